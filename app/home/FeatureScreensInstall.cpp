#include "app/home/FeatureScreensInstall.h"

#include <utility>

#include "app/campus/CampusGroupDetailController.h"
#include "app/campus/GroupAreaPickerController.h"
#include "app/jobmap/JobAppleMapController.h"
#include "app/jobmap/JobGeoMapController.h"
#include "app/jobmap/JobMapController.h"
#include "app/jobsearch/FeatureScreens.h"

namespace kavro::home {

void installFeatureScreens() {
  auto& screens = FeatureScreens::shared();
  screens.openGroupDetail = [](std::string_view groupId, CampusGroupType groupType) {
    CampusGroupDetailController::openWithGroupId(groupId, groupType);
  };
  screens.openGroupAreaPicker = [](std::string_view groupId, CampusGroupType groupType,
                                   const std::shared_ptr<pickerControllerDelegate>& delegate) {
    GroupAreaPickerController::groupAreaPickerController(groupId, groupType, delegate);
  };
  screens.openRoute = [](std::shared_ptr<DataItemDetail> record) {
    JobMapController::openWithDetail(std::move(record));
  };
  screens.newGeoMapSearch = [] { return UIBasicController::create<JobGeoMapController>(); };
  screens.newPlatformMapSearch = [] { return UIBasicController::create<JobAppleMapController>(); };
}

}  // namespace kavro::home
