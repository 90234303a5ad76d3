#include "app/jobsearch/JobDetailView.h"

#include <algorithm>

#include "app/api/ApiJob.h"
#include "app/jobsearch/CompanyAllJobsController.h"
#include "app/jobsearch/CompanyDetailController.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/jobsearch/JobDetailCellUtil.h"
#include "app/jobsearch/JobDetailHeaderView.h"
#include "app/jobsearch/JobText.h"
#include "app/jobsearch/ReportJobController.h"
#include "app/jobsearch/ShortTitleValueCell.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ButtonExt.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/UITipsImageView.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
using jobtext::text;

constexpr int FavoriteItem = 0;
constexpr int ApplyItem = 2;
constexpr int ReportItem = 4;
}  // namespace

JobDetailView::JobDetailView(platform::Rect frame) : platform::View(frame) {}

JobDetailView::~JobDetailView() {
  platform::RunLoop::main().cancelPerforms(this);
  if (listViewJobDetail_) listViewJobDetail_->stopLoading();
  if (confirmAlert_) confirmAlert_->setDelegate({});
}

std::weak_ptr<JobDetailView> JobDetailView::weakSelf() {
  return std::static_pointer_cast<JobDetailView>(shared_from_this());
}

std::shared_ptr<JobDetailView> JobDetailView::initWithJobID(std::string_view jobid, platform::Rect frame) {
  auto page = std::shared_ptr<JobDetailView>(new JobDetailView(frame));
  page->initWithJobID(jobid);
  return page;
}

void JobDetailView::initWithJobID(std::string_view jobid) {
  jobid_ = jobid;
  needShowCompany_ = true;
  listViewJobDetail_ = ListView::create(true);
  bottomToolBar_ = std::make_shared<platform::Toolbar>();
}

std::shared_ptr<PageTurnController> JobDetailView::openWithJobID(
    std::string_view jobid, std::shared_ptr<platform::ViewController> parent) {
  if (jobid.empty()) return nullptr;
  if (!parent) parent = AppControllers::mostRecentController();
  auto record = DataItemDetail::newDetail();
  record->set_jobid(jobid);
  auto single = ListViewData::newData();
  single->listData()->addItem(record);
  single->listData()->setMaxCount(1);
  single->setListViewDataStatus(ListViewDataStatus::Loaded);
  auto pager = PageTurnController::create(single, 0, platform::classFor<JobDetailView>());
  if (parent) pager->ShowUIBasicController(parent);
  return pager;
}

std::string JobDetailView::getTitle() { return text("jobdetail_title"); }

std::shared_ptr<platform::View> JobDetailView::customPartViewWithDetail(
    const std::shared_ptr<DataItemDetail>& record, platform::Rect frame, PageTurnController& ctrl) {
  if (!record) return nullptr;
  auto page = initWithJobID(record->get_jobid(), frame);
  page->setPageTurnCtrl(std::static_pointer_cast<PageTurnController>(ctrl.shared_from_this()));
  page->listRecord_ = record;
  if (record->hasNeedShowCompanyInfo()) page->needShowCompany_ = record->getNeedShowCompanyInfo();
  if (record->hasNeedShowGroupInfo() && !record->get_groupid().empty()) {
    page->needShowGroup_ = record->getNeedShowGroupInfo();
    page->groupid_ = record->get_groupid();
    page->groupname_ = record->getString("groupname");
  }
  if (record->hasJobHasApplied()) page->hasApplied_ = record->getJobHasApplied();
  if (record->hasJobHasCollected()) page->hasFavorited_ = record->getJobHasCollected();
  if (!record->get_latitude().empty() && !record->get_longitude().empty()) {
    page->joblatitude_ = record->get_latitude();
    page->joblongitude_ = record->get_longitude();
  }
  page->customView();
  return page;
}

void JobDetailView::customView() {
  double width = screen::screenWidth();
  double height = frame().height();
  setBackgroundColor(platform::Color::clear());

  // The bar: favorite, apply and report, hidden until the first answer is shown.
  bottomToolBar_->setFrame(platform::Rect(0, height - BarHeight, width, BarHeight));
  AppSkin::apply(bottomToolBar_.get());
  auto weak = weakSelf();
  auto makeButton = [&](std::string_view title, std::string_view skin,
                        void (JobDetailView::*action)(platform::Object&)) {
    auto item = UIKavroBarButton::barButtonWithFrame(platform::Rect(0, 0, 80, BarHeight), text(title),
                                                     [weak, action]() {
                                                       if (auto self = weak.lock()) ((*self).*action)(*self);
                                                     });
    if (auto button = item->customButton()) {
      AppSkin::apply(button.get(), skin, "job_related");
      button::setTitleUnderIcon(*button);
    }
    return item;
  };
  bottomToolBar_->setItems(
      {makeButton("jobdetail_button_favorite", "jobsearch_result_bottom_favorite_button",
                  &JobDetailView::addToFavorites),
       UIKavroBarButton::flexItem(),
       makeButton("jobdetail_button_apply", "jobsearch_result_bottom_apply_button", &JobDetailView::applyJob),
       UIKavroBarButton::flexItem(),
       makeButton("jobdetail_button_report", "jobsearch_result_bottom_report_button",
                  &JobDetailView::reportJob)});
  bottomToolBar_->setHidden(true);
  addSubview(bottomToolBar_);
  refreshButtonsStatus();

  listViewJobDetail_->setFrame(platform::Rect(0, 0, width, height - BarHeight));
  listViewJobDetail_->setCtrl(weakSelf());
  addSubview(listViewJobDetail_);
  loadListView();

  platform::RunLoop::main().performAfter(
      0.1, this, [] { UITipsImageView::showImageOnceADay("@user_tips@jobdetail_guide", "jobDetail"); });
}

void JobDetailView::layoutSubviews() {
  platform::View::layoutSubviews();
  // Pages are as high as the container's scroll view, which may reach below the screen under an
  // opaque navigation bar: the bar goes to the bottom of what can be seen.
  double width = bounds().width();
  double height = bounds().height();
  if (auto w = window()) {
    platform::Rect inWindow = convertRectToView(bounds(), nullptr);
    double visibleBottom = std::min(inWindow.maxY(), w->bounds().height());
    height = std::clamp(visibleBottom - inWindow.origin.y, BarHeight, height);
  }
  bottomToolBar_->setFrame(platform::Rect(0, height - BarHeight, width, BarHeight));
  listViewJobDetail_->setFrame(platform::Rect(0, 0, width, height - BarHeight));
}

std::shared_ptr<UIKavroBarButton> JobDetailView::barButton(int index) const {
  int item = index == 0 ? FavoriteItem : index == 1 ? ApplyItem : ReportItem;
  const auto& items = bottomToolBar_->items();
  if (item >= static_cast<int>(items.size())) return nullptr;
  return std::dynamic_pointer_cast<UIKavroBarButton>(items[static_cast<std::size_t>(item)]);
}

void JobDetailView::loadListView() {
  auto section =
      ListViewData::newDataOnListView(*listViewJobDetail_, platform::classFor<ShortTitleValueCell>());
  section->loadData();
}

std::optional<std::shared_ptr<DataItemResult>> JobDetailView::dataCacheForSection(ListViewData&) {
  auto cached = JobOperateUtil::getJobCache(jobid_);
  if (!cached || !cached->isValidDetailData()) return std::nullopt;
  return cached;
}

std::optional<std::shared_ptr<DataLoadAndParser>> JobDetailView::listViewData(ListViewData& section) {
  return ApiJob::get_job_info(jobid_, section.loaderDelegate());
}

bool JobDetailView::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  if (result.isValidDetailData()) {
    listData(section, result);
    return true;
  }
  return false;
}

void JobDetailView::listData(ListViewData& section, const DataItemResult& result) {
  auto answer = DataItemResult::create();
  answer->appendItems(&result);
  // Showing an answer renews its age.
  JobOperateUtil::setJobCache(jobid_, answer);
  jobDetailInfo_ = answer->detailInfo();
  auto& job = *jobDetailInfo_;
  job.set_groupid(groupid_);
  job.setString(groupname_, "groupname");
  job.set_latitude(joblatitude_);
  job.set_longitude(joblongitude_);
  bottomToolBar_->setHidden(false);

  auto* jobRows = &section;
  std::shared_ptr<ListViewData> jobSection;
  if (needShowCompany_) {
    if (needShowGroup_) {
      JobDetailCellUtil::addNormalClickRow(section, text("jobdetail_group"), groupname_, TagGroup);
      JobDetailCellUtil::addNormalClickRow(section, text("jobdetail_subcompany"), job.get_coname(),
                                           TagSubCompany);
    } else {
      JobDetailCellUtil::addTitleRow(section, job.get_coname(), TagCompany);
    }
    jobSection =
        ListViewData::newDataOnListView(*listViewJobDetail_, platform::classFor<ShortTitleValueCell>());
    jobRows = jobSection.get();
  }
  auto& rows = *jobRows;
  JobDetailCellUtil::addTwoColumnRow(rows, text("codetail_title_cotype"), job.get_cotype(),
                                     text("codetail_title_cosize"), job.get_cosize(), TagCompanyType);
  JobDetailCellUtil::addTwoColumnRow(rows, text("jobdetail_jobarea"), job.get_jobarea(),
                                     text("jobdetail_published"), job.get_issuedate(), TagJobArea);
  JobDetailCellUtil::addNormalRow(rows, text("jobdetail_number_of_people"), job.get_jobnum(), TagJobNum);
  JobDetailCellUtil::addDescriptionRow(rows, text("jobdetail_jobinfo"), job.get_jobinfo(), TagJobInfo);
  JobDetailCellUtil::addAddressRow(rows, text("jobdetail_company_address"), job.get_caddr(), TagAddress);
  JobDetailCellUtil::addNormalRow(rows, text("jobdetail_work_experience"), job.getString("workyear"),
                                  TagWorkYear);
  JobDetailCellUtil::addNormalRow(rows, text("jobdetail_language"), job.get_language(), TagLanguage);
  JobDetailCellUtil::addNormalRow(rows, text("jobdetail_education"), job.get_degree(), TagDegree);
  JobDetailCellUtil::addNormalRow(rows, text("jobdetail_providesalary"), job.get_providesalary(), TagSalary);
  if (needShowCompany_) {
    auto allJobs =
        ListViewData::newDataOnListView(*listViewJobDetail_, platform::classFor<ShortTitleValueCell>());
    JobDetailCellUtil::addTitleRow(*allJobs, text("codetail_title_all_jobs"), TagAllJobs);
  }

  listViewJobDetail_->setTableHeaderView(JobDetailHeaderView::viewForJobID(
      job.get_jobid().empty() ? jobid_ : job.get_jobid(), job.get_jobname(), pageTurnCtrl_));
  listViewJobDetail_->reloadData();

  if (!touchObserver_) {
    touchObserver_ = std::make_shared<platform::GestureRecognizer>();
    touchObserver_->setDelegate(weakSelf());
    touchObserver_->setCancelsTouchesInView(false);
    addGestureRecognizer(touchObserver_);
  }
}

void JobDetailView::markAsRead() {
  if (!touchObserver_ || !touchObserver_->isEnabled()) return;
  JobOperateUtil::setJobHasRead(jobid_);
  touchObserver_->setEnabled(false);
}

std::optional<bool> JobDetailView::gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer& gr,
                                                                       const platform::Touch&) {
  if (&gr == touchObserver_.get()) markAsRead();
  return false;
}

void JobDetailView::touchesBegan(const platform::Touch& touch) {
  // Touches that reach the page itself count as well (the observer never recognises anything).
  markAsRead();
  platform::View::touchesBegan(touch);
}

std::shared_ptr<platform::NavigationController> JobDetailView::navigation() const {
  auto ctrl = pageTurnCtrl();
  return ctrl ? ctrl->navigationController() : nullptr;
}

bool JobDetailView::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto job = jobDetailInfo_;
  if (!job) return true;
  auto keep = shared_from_this();
  switch (list.tagOfIndexPath(ip)) {
    case TagGroup:
      if (const auto& open = FeatureScreens::shared().openGroupDetail) open(groupid_, CampusGroupType::Job);
      AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_GROUPNAME");
      break;
    case TagSubCompany:
    case TagCompany:
      CompanyDetailController::companyWithParent(pageTurnCtrl(), job->get_coid());
      AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_OPENCOMPANYDETAIL");
      break;
    case TagAddress:
      if (job->get_caddr().empty() || job->get_caddr() == "0") {
        alert::showAlert(text("jobdetail_inexact_coddr"));
        break;
      }
      JobDetailCellUtil::openRouteController(job);
      AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_ADDRESS");
      break;
    case TagAllJobs: {
      auto screen = UIBasicController::create<CompanyAllJobsController>();
      screen->setIdForAllJobs(job->get_coid());
      if (auto nav = navigation()) nav->pushViewController(screen, true);
      AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_OTHERJOBS");
      break;
    }
    default:
      break;
  }
  return true;
}

// ---- Bar buttons ----

void JobDetailView::addToFavorites(platform::Object&) {
  addToFavorites();
  AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_FAVORITE");
}

void JobDetailView::addToFavorites() {
  if (!UserCoreInfo::hasLogined()) {
    JobOperateUtil::requireLogin(pageTurnCtrl(), weak_from_this(), "addToFavorites");
    return;
  }
  if (auto util = JobOperateUtil::jobAddToFavorites(jobid_, weakSelf())) util->setParentCtrl(pageTurnCtrl_);
  AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_FAVORITE");
}

void JobDetailView::applyJob(platform::Object&) {
  applyJob();
  AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_APPLY");
}

void JobDetailView::applyJob() {
  if (!UserCoreInfo::hasLogined()) {
    JobOperateUtil::requireLogin(pageTurnCtrl(), weak_from_this(), "applyJob");
    return;
  }
  if (JobOperateUtil::getConfirmWhileApply()) {
    if (confirmAlert_) confirmAlert_->setDelegate({});
    confirmAlert_ = std::make_shared<platform::AlertView>(
        text("jobapply_show_tip_title"), text("jobapply_show_tip_content"), weakSelf(),
        text("common_text_cancel"), std::vector<std::string>{text("jobapply_show_tip_apply")});
    confirmAlert_->setTag(ApplyConfirmAlertTag);
    confirmAlert_->show();
    return;
  }
  startApply();
}

void JobDetailView::startApply() {
  if (auto util = JobOperateUtil::jobApply(jobid_, weakSelf())) util->setParentCtrl(pageTurnCtrl_);
}

void JobDetailView::clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) {
  if (alert.tag() != ApplyConfirmAlertTag) return;
  auto keep = shared_from_this();
  if (confirmAlert_.get() == &alert) confirmAlert_.reset();
  if (buttonIndex == 1) startApply();
}

void JobDetailView::reportJob(platform::Object&) {
  reportJob();
  AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_REPORT");
}

void JobDetailView::reportJob() {
  if (!UserCoreInfo::hasLogined()) {
    JobOperateUtil::requireLogin(pageTurnCtrl(), weak_from_this(), "reportJob");
    return;
  }
  auto screen = UIBasicController::create<ReportJobController>();
  screen->setJobid(jobid_);
  if (auto nav = navigation()) nav->pushViewController(screen, true);
  AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_REPORT");
}

void JobDetailView::jobOperate(JobOperateUtil& util) {
  auto answer = util.operateResult();
  if (!answer || answer->hasError()) return;
  // The page's own list record takes the mark, wherever the user has swiped meanwhile; the
  // container's current record only when it is the same job.
  auto own = listRecord_.lock();
  auto current = pageTurnCtrl() ? pageTurnCtrl()->get_current_item() : nullptr;
  if (current && current->get_jobid() != jobid_) current.reset();
  if (util.operateType() == JobOperateUtil::OperateType::AddToFavorites) {
    for (const auto& r : {jobDetailInfo_, own, current})
      if (r) r->setJobHasCollected(true);
    hasFavorited_ = true;
  } else {
    for (const auto& r : {jobDetailInfo_, own, current})
      if (r) r->setJobHasApplied(true);
    hasApplied_ = true;
  }
  refreshButtonsStatus();
}

void JobDetailView::refreshButtonsStatus() {
  if (hasFavorited_) {
    if (auto item = barButton(0)) {
      if (auto button = item->customButton()) button->setTitle(text("jobdetail_job_in_favorites"));
      item->setEnabled(false);
    }
  }
  if (hasApplied_) {
    if (auto item = barButton(1)) {
      if (auto button = item->customButton()) button->setTitle(text("jobdetail_job_has_applied"));
      item->setEnabled(false);
    }
  }
}

}  // namespace kavro
