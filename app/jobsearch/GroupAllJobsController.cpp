#include "app/jobsearch/GroupAllJobsController.h"

#include "app/api/ApiCampus.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"

namespace kavro {

std::string GroupAllJobsController::listTitle() const {
  return AppCoreInfo::getLocalizedString("jobdetail_group_alljobs");
}

void GroupAllJobsController::prepareSection(ListViewData&) {}

std::shared_ptr<DataLoadAndParser> GroupAllJobsController::loadPage(ListViewData& section) {
  if (section.pageAt() < 2) listViewAllJobs_->setSeparatorStyle(platform::TableViewCellSeparatorStyle::None);
  return ApiCampus::get_group_alljob(idForAllJobs_, areaCode(), groupType_,
                                     static_cast<std::int32_t>(section.pageSize()),
                                     static_cast<std::int32_t>(section.pageAt()), section.loaderDelegate());
}

void GroupAllJobsController::openAreaPicker() {
  if (const auto& open = FeatureScreens::shared().openGroupAreaPicker)
    open(idForAllJobs_, groupType_, sharedAs<GroupAllJobsController>());
  AppTracking::record("TRACKING_CAMPUS_GROUPOTHERJOBS_FLITER");
}

}  // namespace kavro
