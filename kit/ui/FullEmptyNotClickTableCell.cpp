#include "kit/ui/FullEmptyNotClickTableCell.h"

#include "kit/ui/ListView.h"

namespace kavro {

void FullEmptyNotClickTableCell::initCellView() {
  FullEmptyTableCell::initCellView();
  customButton_ = platform::Button::buttonWithType(platform::ButtonType::Custom);
  addSubview(customButton_);
}

void FullEmptyNotClickTableCell::bindCellData(bool reused) {
  FullEmptyTableCell::bindCellData(reused);
  auto list = listView();
  if (!list) return;
  customButton_->setFrame(platform::Rect(0, 0, listWidth(), fullHeight(*list, indexPath())));
  bringSubviewToFront(customButton_.get());
}

}  // namespace kavro
