#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"
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
// its delegate. The started object keeps itself alive until its answer has been handled. Also
// keeps the read marks and cached job details (cache store) and the apply-confirmation setting
// (core store). Main thread only.
class JobOperateUtil : public DataLoadAndParserDelegate, public std::enable_shared_from_this<JobOperateUtil> {
 public:
  enum class OperateType { Apply = 0, AddToFavorites = 1, ResumeMatch = 2 };

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
  static bool setJobHasRead(std::string_view jobID);
  static bool setJobCache(std::string_view jobID, const std::shared_ptr<DataItemResult>& cacheData);
  static std::shared_ptr<DataItemResult> getJobCache(std::string_view jobID);

  // Ask before applying (core store, "STORE_CORE_SETTING_APPLY_TIP").
  static bool getConfirmWhileApply();
  static bool setConfirmWhileApply(bool on);

  OperateType operateType() const { return operateType_; }
  const std::shared_ptr<DataItemResult>& operateResult() const { return operateResult_; }
  const std::string& operateJobIDs() const { return operateJobIDs_; }
  const std::string& resumeID() const { return resumeID_; }
  // The screen whose window shows the resume choice; set right after the class operation.
  void setParentCtrl(std::weak_ptr<platform::ViewController> parent) { parentCtrl_ = std::move(parent); }
  void setJobOperateDelegate(std::weak_ptr<JobOperateUtilDelegate> d) { jobOperateDelegate_ = std::move(d); }

  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;

 private:
  OperateType operateType_ = OperateType::Apply;
  std::shared_ptr<DataItemResult> operateResult_;
  std::string operateJobIDs_;
  std::string resumeID_;
  std::weak_ptr<JobOperateUtilDelegate> jobOperateDelegate_;
  std::weak_ptr<platform::ViewController> parentCtrl_;
  std::shared_ptr<DataLoadAndParser> jobLoader_;
};

}  // namespace kavro
