#include "app/jobsearch/JobOperateUtil.h"

#include <cmath>
#include <optional>

#include "app/account/MyResumeListController.h"
#include "app/account/UserLoginController.h"
#include "app/api/ApiUser.h"
#include "app/jobsearch/JobText.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DataKavroDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/ui/AlertViewExt.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Window.h"

namespace kavro {

namespace {

constexpr std::string_view ApplyTipKey = "storeKey_applyTipOn";
constexpr std::string_view UserHasDoJobApplyKey = "storeKey_userHasDoJobApply";
// When the read marks and the cached details were last swept in this process.
std::optional<double> readMarkSweptAt;
std::optional<double> jobCacheSweptAt;

// The read marks as last read, with their table's change stamp then: a list asks again on every
// reload, and the marks change only through the store.
struct ReadMarks {
  std::weak_ptr<DataAppCacheDB> store;
  DataSQLiteDB::ChangeStamp stamp;
  std::optional<std::vector<std::string>> ids;
};
ReadMarks readMarks;

JobOperateUtil::LoginGate& loginGate() {
  static JobOperateUtil::LoginGate gate;
  return gate;
}

double now() { return platform::RunLoop::main().now(); }

// True (and the time taken) at the first use in a process and then at most once a day.
bool sweepDue(std::optional<double>& sweptAt) {
  double t = now();
  if (sweptAt && std::fabs(t - *sweptAt) <= JobOperateUtil::SweepIntervalSeconds) return false;
  sweptAt = t;
  return true;
}

using jobtext::text;

}  // namespace

JobOperateUtil::JobOperateUtil(std::string jobIDs, std::weak_ptr<JobOperateUtilDelegate> delegate)
    : operateJobIDs_(std::move(jobIDs)), jobOperateDelegate_(std::move(delegate)) {}

JobOperateUtil::~JobOperateUtil() {
  if (jobLoader_) jobLoader_->stopLoading();
  if (resumeSheet_) resumeSheet_->setDelegate({});
}

std::shared_ptr<JobOperateUtil> JobOperateUtil::jobApply(std::string_view jobIDs,
                                                         std::weak_ptr<JobOperateUtilDelegate> delegate) {
  if (jobIDs.empty()) return nullptr;
  auto util = std::shared_ptr<JobOperateUtil>(new JobOperateUtil(std::string(jobIDs), std::move(delegate)));
  util->jobApply();
  return util;
}

std::shared_ptr<JobOperateUtil> JobOperateUtil::jobAddToFavorites(
    std::string_view jobIDs, std::weak_ptr<JobOperateUtilDelegate> delegate) {
  if (jobIDs.empty()) return nullptr;
  auto util = std::shared_ptr<JobOperateUtil>(new JobOperateUtil(std::string(jobIDs), std::move(delegate)));
  util->jobAddToFavorites();
  return util;
}

std::shared_ptr<JobOperateUtil> JobOperateUtil::jobGetResumeMatch(
    std::string_view jobID, std::weak_ptr<JobOperateUtilDelegate> delegate) {
  if (jobID.empty()) return nullptr;
  auto util = std::shared_ptr<JobOperateUtil>(new JobOperateUtil(std::string(jobID), std::move(delegate)));
  util->jobGetResumeMatch();
  return util;
}

void JobOperateUtil::jobApply() { start(OperateType::Apply); }
void JobOperateUtil::jobAddToFavorites() { start(OperateType::AddToFavorites); }
void JobOperateUtil::jobGetResumeMatch() { start(OperateType::ResumeMatch); }

void JobOperateUtil::retainSelf() {
  if (retainCount_++ == 0) keepAlive_ = std::static_pointer_cast<JobOperateUtil>(shared_from_this());
}

void JobOperateUtil::releaseSelf() {
  if (retainCount_ > 0 && --retainCount_ == 0) {
    // The last reason to live may be this very reset: nothing runs on the object afterwards.
    auto last = std::move(keepAlive_);
  }
}

void JobOperateUtil::start(OperateType type) {
  operateType_ = type;
  // A call still under way is replaced: it never answers, and its retain serves the new one.
  if (answerPending_ && jobLoader_)
    jobLoader_->stopLoading();
  else
    retainSelf();
  answerPending_ = true;
  auto self = std::static_pointer_cast<JobOperateUtil>(shared_from_this());
  bool several = operateJobIDs_.find(',') != std::string::npos;
  switch (type) {
    case OperateType::Apply:
      jobLoader_ = ApiUser::apply_job(operateJobIDs_, resumeID_, self);
      alert::showTips(text(several ? "joboperate_applying_jobs_tip" : "joboperate_applying_tips"), true);
      break;
    case OperateType::AddToFavorites:
      jobLoader_ = ApiUser::add_favorite(operateJobIDs_, self);
      alert::showTips(text(several ? "joboperate_add_favorite_jobs_tip" : "joboperate_add_to_favorite_tips"),
                      true);
      break;
    case OperateType::ResumeMatch:
      jobLoader_ = ApiUser::get_resume_match(operateJobIDs_, resumeID_, self);
      alert::showTips(text("common_text_loading"), true);
      break;
  }
}

void JobOperateUtil::dataLoader(DataLoadAndParser& loader, const DataItemResult& result) {
  if (&loader != jobLoader_.get()) return;
  auto keep = std::static_pointer_cast<JobOperateUtil>(shared_from_this());
  answerPending_ = false;
  operateResult_ = loader.getResult();
  if (!operateResult_) {
    operateResult_ = DataItemResult::create();
    operateResult_->appendItems(&result);
  }
  handleAnswer(*operateResult_);
  if (auto d = jobOperateDelegate()) d->jobOperate(*this);
  releaseSelf();
}

void JobOperateUtil::handleAnswer(const DataItemResult& answer) {
  const bool error = answer.hasError();
  const bool fromServer = !answer.localError();
  const int status = answer.statusCode();
  switch (operateType_) {
    case OperateType::ResumeMatch:
      if (status != 4 || !fromServer) {
        alert::showAlert(answer.message());
      } else if (error) {
        showResumePicker(answer);
      } else {
        alert::showTips(answer.message(), false, 1.5);
      }
      return;
    case OperateType::Apply:
      if (!error) {
        showApplied(answer);
      } else if (fromServer && (status == 7 || status == 8)) {
        showResumePicker(answer);
      } else if (fromServer && (status == 5 || status == 6)) {
        if (auto shown = alert::showAlert(answer.message(),
                                          std::static_pointer_cast<JobOperateUtil>(shared_from_this()))) {
          shown->setTag(ResumeListAlertTag);
          retainSelf();
        }
      } else {
        alert::showAlert(answer.message());
      }
      return;
    case OperateType::AddToFavorites:
      if (error)
        alert::showAlert(answer.message());
      else
        alert::showTips(answer.message(), false, 1.5);
      return;
  }
}

void JobOperateUtil::showApplied(const DataItemResult& answer) {
  std::string tip = answer.message();
  if (getConfirmWhileApply()) tip += "\n" + text("jobapply_after_show_tip");
  alert::showTips(tip, false, 3.0);
  if (auto core = AppCoreInfo::getCoreDB()) core->setIntValue(STORE_CORE_KAVRO_MAIN, UserHasDoJobApplyKey, 1);
}

void JobOperateUtil::showResumePicker(const DataItemResult& answer) {
  if (answer.count() == 0) {
    alert::showAlert(answer.message());
    return;
  }
  alert::hiddenTips();
  std::vector<std::string> titles;
  for (std::size_t i = 0; i < answer.count() && i < static_cast<std::size_t>(MaxResumeChoices); ++i)
    titles.push_back(answer.getItem(i)->get_resumename());
  auto self = std::static_pointer_cast<JobOperateUtil>(shared_from_this());
  if (resumeSheet_) resumeSheet_->setDelegate({});
  resumeSheet_ = std::make_shared<platform::ActionSheet>(answer.message(), self, text("common_text_cancel"),
                                                         std::nullopt, titles);
  retainSelf();
  auto parent = parentCtrl();
  std::shared_ptr<platform::View> host;
  if (parent && parent->isViewLoaded()) host = parent->view()->window();
  if (!host && parent) host = parent->view();
  if (host)
    resumeSheet_->showInView(*host);
  else
    resumeSheet_->showInView(*std::make_shared<platform::View>());
}

void JobOperateUtil::clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) {
  if (&sheet != resumeSheet_.get()) return;
  auto keep = std::static_pointer_cast<JobOperateUtil>(shared_from_this());
  resumeSheet_->setDelegate({});
  resumeSheet_.reset();
  // The resume buttons come first, the cancel button after them.
  std::size_t rows = operateResult_ ? operateResult_->count() : 0;
  if (buttonIndex >= 0 && static_cast<std::size_t>(buttonIndex) < rows && buttonIndex < MaxResumeChoices &&
      buttonIndex != sheet.cancelButtonIndex()) {
    resumeID_ = operateResult_->getItem(static_cast<std::size_t>(buttonIndex))->get_userid();
    if (operateType_ == OperateType::ResumeMatch)
      jobGetResumeMatch();
    else
      jobApply();
  }
  releaseSelf();
}

void JobOperateUtil::clickedButtonAtIndex(platform::AlertView& alert, int) {
  if (alert.tag() != ResumeListAlertTag) return;
  auto keep = std::static_pointer_cast<JobOperateUtil>(shared_from_this());
  alert.setDelegate({});
  UIBasicController::OpenUIBasicController<MyResumeListController>();
  releaseSelf();
}

// ---- Read marks, detail cache, confirmation setting ----

bool JobOperateUtil::getjobHasRead(std::string_view jobID) {
  auto cache = AppCoreInfo::getCacheDB();
  if (!cache) return false;
  if (sweepDue(readMarkSweptAt)) cache->clearIntDataType(STORE_CACHE_JOB_DETAIL, "", CacheLifetimeSeconds);
  return cache->hasIntItem(STORE_CACHE_JOB_DETAIL, jobID);
}

std::optional<std::vector<std::string>> JobOperateUtil::readJobIDs() {
  auto cache = AppCoreInfo::getCacheDB();
  if (!cache) return std::vector<std::string>{};
  if (sweepDue(readMarkSweptAt)) cache->clearIntDataType(STORE_CACHE_JOB_DETAIL, "", CacheLifetimeSeconds);
  const auto stamp = cache->tableChangeStamp(cache->TABLE_INT_VALUE());
  if (readMarks.ids && readMarks.store.lock() == cache && readMarks.stamp == stamp) return readMarks.ids;
  auto ids = cache->intItemKeys(STORE_CACHE_JOB_DETAIL, ReadMarksKept);
  readMarks = ids ? ReadMarks{cache, stamp, ids} : ReadMarks{};
  return ids;
}

bool JobOperateUtil::setJobHasRead(std::string_view jobID) {
  auto cache = AppCoreInfo::getCacheDB();
  return cache && !jobID.empty() && cache->setIntValue(STORE_CACHE_JOB_DETAIL, jobID, 1) > 0;
}

bool JobOperateUtil::setJobCache(std::string_view jobID, const std::shared_ptr<DataItemResult>& cacheData) {
  if (jobID.empty() || !cacheData) return false;
  auto cache = AppCoreInfo::getCacheDB();
  if (!cache) return false;
  return cache->saveItemsCache(STORE_CACHE_JOB_DETAIL, jobID, *cacheData);
}

std::shared_ptr<DataItemResult> JobOperateUtil::getJobCache(std::string_view jobID) {
  auto cache = AppCoreInfo::getCacheDB();
  if (!cache) return nullptr;
  if (sweepDue(jobCacheSweptAt)) cache->clearItemsDataType(STORE_CACHE_JOB_DETAIL, "", CacheLifetimeSeconds);
  if (jobID.empty()) return nullptr;
  return cache->getItemsCache(STORE_CACHE_JOB_DETAIL, jobID);
}

void JobOperateUtil::resetSweepTimes() {
  readMarkSweptAt.reset();
  jobCacheSweptAt.reset();
  readMarks = {};
}

bool JobOperateUtil::getConfirmWhileApply() {
  auto core = AppCoreInfo::getCoreDB();
  if (!core) return false;
  core->clearIntDataType(STORE_CORE_SETTING_APPLY_TIP, ApplyTipKey, CacheLifetimeSeconds);
  return core->getIntValue(STORE_CORE_SETTING_APPLY_TIP, ApplyTipKey) == 1;
}

bool JobOperateUtil::setConfirmWhileApply(bool on) {
  auto core = AppCoreInfo::getCoreDB();
  return core && core->setIntValue(STORE_CORE_SETTING_APPLY_TIP, ApplyTipKey, on ? 1 : 0) > 0;
}

// ---- Login gate ----

void JobOperateUtil::setLoginGate(LoginGate gate) { loginGate() = std::move(gate); }

void JobOperateUtil::requireLogin(const std::shared_ptr<platform::ViewController>& parent,
                                  std::weak_ptr<platform::Object> callback, std::string_view sel) {
  if (auto& gate = loginGate()) {
    gate(parent, std::move(callback), sel);
    return;
  }
  UserLoginController::loginWithParent(parent, std::move(callback), sel);
}

}  // namespace kavro
