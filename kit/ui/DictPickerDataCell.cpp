#include "kit/ui/DictPickerDataCell.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

DictPickerDataCell::Layout DictPickerDataCell::layoutFor(bool grouped, double listWidth,
                                                         const DataItemDetail& record) {
  double left = grouped ? 20 : 10;
  double right = left + ((record.getDictHasSubItem() || record.getDictIsSelected()) ? 20 : 0);
  bool hasValue = !record.getItemValue().empty();
  double gap = hasValue ? 5 : 0;
  double value = hasValue ? 50 : 0;
  return Layout{left, listWidth - left - right - gap - value, gap, value};
}

void DictPickerDataCell::initCellView() {
  TitleValueCell::initCellView();
  AppSkin::apply(leftTitleLabel_.get(), "skinCellMainLabel");
  AppSkin::apply(rightValueLabel_.get(), "skinCellSubLabel");
  rightValueLabel_->setTextAlignment(platform::TextAlignment::Right);
}

void DictPickerDataCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  Layout l = layoutFor(grouped(), listWidth(), *record);
  double h = bounds().height();
  leftTitleLabel_->setText(record->getDictValue());
  leftTitleLabel_->setFrame(platform::Rect(l.left, 0, l.main, h));
  rightValueLabel_->setText(record->getItemValue());
  rightValueLabel_->setFrame(platform::Rect(l.left + l.main + l.gap, 0, l.value, h));
  using Accessory = platform::TableViewCellAccessoryType;
  if (record->getDictHasSubItem())
    setAccessoryType(Accessory::DisclosureIndicator);
  else if (record->getDictIsSelected())
    setAccessoryType(Accessory::Checkmark);
  else
    setAccessoryType(Accessory::None);
  setSelectionStyle(record->getDictIsMultiDict() ? platform::TableViewCellSelectionStyle::None
                                                 : platform::TableViewCellSelectionStyle::Blue);
}

double DictPickerDataCell::heightForCell(const platform::ClassRef&, ListView& list,
                                         const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  Layout l = layoutFor(list.isGroupedTable(), list.bounds().width(), *record);
  double main = AppSkin::sizeForText(record->getDictValue(), "skinCellMainLabel", "", l.main).height;
  double value = record->getItemValue().empty()
                     ? 0
                     : AppSkin::sizeForText(record->getItemValue(), "skinCellSubLabel", "", l.value).height;
  return std::max(main, value) + 28;
}

}  // namespace kavro
