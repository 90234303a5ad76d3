#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/foundation/Object.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

namespace kavro {

class JobOperateUtil;

// Told once per handled answer of a job operation. Main thread only.
class JobOperateUtilDelegate {
 public:
  virtual ~JobOperateUtilDelegate() = default;
  virtual void jobOperate(JobOperateUtil& util) = 0;
};

// One job operation for the logged-in user (apply to one or several jobs, add them to the
// favorites, or ask how well a resume matches a job): runs the server call with its progress tip,
// offers the resume choice when the server asks and retries with it, shows the outcome, then tells
// its delegate. The started object keeps itself alive until its answer has been handled (and while
// its resume choice or its resume-list alert is up). Also keeps the read marks and cached job
// details (cache store) and the apply-confirmation setting (core store). Delegate and parent are
// held weakly, so a late answer never reaches a screen that is gone. Main thread only.
class JobOperateUtil : public platform::Object,
                       public DataLoadAndParserDelegate,
                       public platform::ActionSheetDelegate,
                       public platform::AlertViewDelegate {
 public:
  enum class OperateType { Apply = 0, AddToFavorites = 1, ResumeMatch = 2 };

  // Ages of the cached read marks, job details and the confirmation setting, and how often the
  // caches are swept.
  static constexpr std::int64_t CacheLifetimeSeconds = 2'592'000;
  static constexpr double SweepIntervalSeconds = 86'400;
  // Resumes offered by the choice; the server may send more.
  static constexpr int MaxResumeChoices = 4;
  // The alert after an apply that needs a complete resume; any button opens the resume list.
  static constexpr int ResumeListAlertTag = 1;

  // Each starts the operation at once; nullptr and nothing sent for empty ids. Several ids are
  // joined by ",".
  static std::shared_ptr<JobOperateUtil> jobApply(std::string_view jobIDs,
                                                  std::weak_ptr<JobOperateUtilDelegate> delegate);
  static std::shared_ptr<JobOperateUtil> jobAddToFavorites(std::string_view jobIDs,
                                                           std::weak_ptr<JobOperateUtilDelegate> delegate);
  static std::shared_ptr<JobOperateUtil> jobGetResumeMatch(std::string_view jobID,
                                                           std::weak_ptr<JobOperateUtilDelegate> delegate);

  // Read marks and the job detail cache (cache store, "STORE_CACHE_JOB_DETAIL").
  static bool getjobHasRead(std::string_view jobID);
  // Every job with a read mark, in one store read (a list asks once, not per row); none when
  // there are more than ReadMarksKept.
  static std::optional<std::vector<std::string>> readJobIDs();
  static constexpr std::size_t ReadMarksKept = 100'000;
  static bool setJobHasRead(std::string_view jobID);
  static bool setJobCache(std::string_view jobID, const std::shared_ptr<DataItemResult>& cacheData);
  static std::shared_ptr<DataItemResult> getJobCache(std::string_view jobID);
  // Forgets when the caches were last swept, as a new process would (tests).
  static void resetSweepTimes();

  // Ask before applying (core store, "STORE_CORE_SETTING_APPLY_TIP").
  static bool getConfirmWhileApply();
  static bool setConfirmWhileApply(bool on);

  // The login gate of the job screens: `sel` is an action of the callback object's class, run
  // after a successful login. By default UserLoginController's gate; the runner and tests may
  // watch it instead (an empty function restores the default).
  using LoginGate = std::function<void(const std::shared_ptr<platform::ViewController>& parent,
                                       std::weak_ptr<platform::Object> callback, std::string_view sel)>;
  static void setLoginGate(LoginGate gate);
  static void requireLogin(const std::shared_ptr<platform::ViewController>& parent,
                           std::weak_ptr<platform::Object> callback, std::string_view sel);

  ~JobOperateUtil() override;

  // Start or restart the operation with the current fields.
  void jobApply();
  void jobAddToFavorites();
  void jobGetResumeMatch();
  void showResumePicker(const DataItemResult& answer);

  OperateType operateType() const { return operateType_; }
  const std::shared_ptr<DataItemResult>& operateResult() const { return operateResult_; }
  const std::string& operateJobIDs() const { return operateJobIDs_; }
  const std::string& resumeID() const { return resumeID_; }
  std::shared_ptr<platform::ViewController> parentCtrl() const { return parentCtrl_.lock(); }
  // The screen whose window shows the resume choice; set right after the class operation.
  void setParentCtrl(std::weak_ptr<platform::ViewController> parent) { parentCtrl_ = std::move(parent); }
  std::shared_ptr<JobOperateUtilDelegate> jobOperateDelegate() const { return jobOperateDelegate_.lock(); }
  void setJobOperateDelegate(std::weak_ptr<JobOperateUtilDelegate> d) { jobOperateDelegate_ = std::move(d); }
  const std::shared_ptr<DataLoadAndParser>& jobLoader() const { return jobLoader_; }

  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  void clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) override;
  void clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) override;

 private:
  void start(OperateType type);
  void handleAnswer(const DataItemResult& answer);
  void showApplied(const DataItemResult& answer);
  void retainSelf();
  void releaseSelf();

  OperateType operateType_ = OperateType::Apply;
  std::shared_ptr<DataItemResult> operateResult_;
  std::string operateJobIDs_;
  std::string resumeID_;
  std::weak_ptr<JobOperateUtilDelegate> jobOperateDelegate_;
  std::weak_ptr<platform::ViewController> parentCtrl_;
  std::shared_ptr<DataLoadAndParser> jobLoader_;
  // What keeps a started operation alive, and how many reasons there are.
  std::shared_ptr<JobOperateUtil> keepAlive_;
  int retainCount_ = 0;
  bool answerPending_ = false;
  std::shared_ptr<platform::ActionSheet> resumeSheet_;

 protected:
  JobOperateUtil(std::string jobIDs, std::weak_ptr<JobOperateUtilDelegate> delegate);
};

}  // namespace kavro
