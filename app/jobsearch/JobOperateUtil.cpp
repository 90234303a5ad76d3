#include "app/jobsearch/JobOperateUtil.h"

namespace kavro {

// Placeholder until the job operations land: nothing is sent.
std::shared_ptr<JobOperateUtil> JobOperateUtil::jobApply(std::string_view, std::weak_ptr<JobOperateUtilDelegate>) {
  return nullptr;
}
std::shared_ptr<JobOperateUtil> JobOperateUtil::jobAddToFavorites(std::string_view,
                                                                  std::weak_ptr<JobOperateUtilDelegate>) {
  return nullptr;
}
std::shared_ptr<JobOperateUtil> JobOperateUtil::jobGetResumeMatch(std::string_view,
                                                                  std::weak_ptr<JobOperateUtilDelegate>) {
  return nullptr;
}
bool JobOperateUtil::getjobHasRead(std::string_view) { return false; }
bool JobOperateUtil::setJobHasRead(std::string_view) { return false; }
bool JobOperateUtil::setJobCache(std::string_view, const std::shared_ptr<DataItemResult>&) { return false; }
std::shared_ptr<DataItemResult> JobOperateUtil::getJobCache(std::string_view) { return nullptr; }
bool JobOperateUtil::getConfirmWhileApply() { return false; }
bool JobOperateUtil::setConfirmWhileApply(bool) { return false; }
void JobOperateUtil::dataLoader(DataLoadAndParser&, const DataItemResult&) {}

}  // namespace kavro
