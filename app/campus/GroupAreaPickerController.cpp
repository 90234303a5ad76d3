#include "app/campus/GroupAreaPickerController.h"

#include "app/api/ApiCampus.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AppControllers.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

void GroupAreaCell::bindCellData(bool) {
  if (auto record = detail()) textLabel()->setText(record->getString("value"));
}

std::shared_ptr<GroupAreaPickerController> GroupAreaPickerController::groupAreaPickerController(
    std::string_view groupId, CampusGroupType grouptype,
    const std::shared_ptr<pickerControllerDelegate>& delegate) {
  auto parent = std::dynamic_pointer_cast<platform::ViewController>(delegate);
  if (!parent) parent = AppControllers::mostRecentController();
  auto picker = create<GroupAreaPickerController>();
  picker->groupId_ = groupId;
  picker->groupType_ = grouptype;
  picker->setDelegate(delegate);
  if (parent) parent->presentViewController(platform::NavigationController::create(picker), true);
  return picker;
}

void GroupAreaPickerController::customView() {
  PickerController::customView();
  setTitle(AppCoreInfo::getLocalizedString("campus_group_area_title"));
  loadListView(platform::classFor<GroupAreaCell>());
}

std::optional<std::shared_ptr<DataLoadAndParser>> GroupAreaPickerController::listViewData(
    ListViewData& section) {
  return ApiCampus::get_group_jobarea(groupId_, groupType_, section.loaderDelegate());
}

}  // namespace kavro
