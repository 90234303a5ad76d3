#include "kit/ui/PickerController.h"

#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ScreenSize.h"

namespace kavro {

void PickerController::init() {
  UIBasicController::init();
  listForPicker_ = ListView::create(false);
}

void PickerController::customView() {
  UIBasicController::customView();
  initNavigationBar();
  initListView();
}

void PickerController::initNavigationBar() {
  auto weak = weakAs<PickerController>();
  barbutton::setReturnItem(*this, [weak](auto&&...) {
    if (auto self = weak.lock()) self->backToParent();
  });
}

void PickerController::initListView() {
  double height = view()->bounds().height();
  listForPicker_->setFrame(platform::Rect(0, 44, screen::screenWidth(), height - 44));
  listForPicker_->setCtrl(weakAs<PickerController>());
  view()->addSubview(listForPicker_);
}

std::shared_ptr<ListViewData> PickerController::loadListView(platform::ClassPtr cellClass) {
  auto section = ListViewData::newData();
  section->setMDataCellClass(std::move(cellClass));
  listForPicker_->addSectionWithData(section);
  section->loadData();
  return section;
}

void PickerController::backToParent() { dismissViewControllerAnimated(true); }

bool PickerController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  auto& rows = *section.listData();
  if (result.hasError()) {
    rows.setHasError(result.hasError());
    rows.setLocalError(result.localError());
    rows.setMessage(result.message());
    return true;
  }
  rows.setMaxCount(std::max<std::uint32_t>(result.maxCount(), static_cast<std::uint32_t>(rows.count())));
  rows.appendItems(&result);
  return true;
}

bool PickerController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto keep = sharedAs<PickerController>();
  auto record = list.dataOfIndexPath(ip);
  backToParent();
  if (auto d = delegate()) d->finishPicker(*this, record);
  return true;
}

}  // namespace kavro
