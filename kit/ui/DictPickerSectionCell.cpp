#include "kit/ui/DictPickerSectionCell.h"

#include "kit/skin/AppSkin.h"

namespace kavro {

void DictPickerSectionCell::initCellView() {
  TitleValueCell::initCellView();
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setUserInteractionEnabled(false);
  AppSkin::apply(this, "section_cell", "dictpicker");
  AppSkin::apply(leftTitleLabel_.get(), "section_label", "dictpicker");
  rightValueLabel_->setHidden(true);
}

void DictPickerSectionCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  leftTitleLabel_->setFrame(platform::Rect(10, 0, listWidth() - 20, 31));
  leftTitleLabel_->setText(record->getDictValue());
}

}  // namespace kavro
