#include "app/jobsearch/AreaPickerController.h"

#include "app/api/ApiJob.h"
#include "app/jobsearch/FullTitleCell.h"
#include "kit/core/AppCoreInfo.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

std::shared_ptr<AreaPickerController> AreaPickerController::areaPickerController(
    std::string_view coid, std::weak_ptr<pickerControllerDelegate> delegate) {
  auto picker = create<AreaPickerController>();
  picker->setDelegate(delegate);
  picker->setCoid(coid);
  auto parent = std::dynamic_pointer_cast<platform::ViewController>(delegate.lock());
  if (parent) parent->presentViewController(platform::NavigationController::create(picker), true);
  return picker;
}

void AreaPickerController::customView() {
  PickerController::customView();
  setTitle(AppCoreInfo::getLocalizedString("jobsearch_result_filter"));
  loadListView(platform::classFor<FullTitleCell>());
}

std::optional<std::shared_ptr<DataLoadAndParser>> AreaPickerController::listViewData(ListViewData& section) {
  return ApiJob::get_co_jobarea(coid_, section.loaderDelegate());
}

bool AreaPickerController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  for (const auto& row : result.dataList()) row->setItemTitle(row->getDictValue());
  return PickerController::listViewDataOnReceived(section, result);
}

}  // namespace kavro
