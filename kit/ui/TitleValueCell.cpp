#include "kit/ui/TitleValueCell.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ListView.h"
#include "kit/ui/TitleFullValueCell.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"

namespace kavro {

using platform::Rect;
using platform::Size;

bool TitleValueCell::wrapsValue(const platform::ClassRef& cls) {
  auto full = platform::classFor<TitleFullValueCell>();
  return full && cls.isSubclassOfClass(*full);
}

Size TitleValueCell::measureValue(bool wrap, const DataItemDetail& record) {
  if (wrap) {
    // The label is sized to its wrapped text: a short value leaves the title its room.
    Size s = AppSkin::sizeForTextWithSkinKey(record.getItemValue(), record.getValueSkin(), MaxValueWidth);
    return Size{std::min(s.width, MaxValueWidth), s.height};
  }
  Size s = AppSkin::sizeForTextWithSkinKey(record.getItemValue(), record.getValueSkin(), 0);
  return Size{std::min(s.width, MaxValueWidth), s.height};
}

double TitleValueCell::rightInset(bool grouped, const DataItemDetail& record) {
  int k = grouped ? 2 : 1;
  if (record.getCellAccessoryType() != 0) k += 2;
  return 10.0 * k;
}

void TitleValueCell::initCellView() {
  leftTitleLabel_ = std::make_shared<platform::Label>();
  rightValueLabel_ = std::make_shared<platform::Label>();
  for (const auto& label : {leftTitleLabel_, rightValueLabel_}) {
    label->setBackgroundColor(platform::Color::clear());
    label->setNumberOfLines(0);
    addSubview(label);
  }
}

void TitleValueCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  AppSkin::applyWithSkinKey(this, record->getCellSkin());
  AppSkin::applyWithSkinKey(leftTitleLabel_, record->getTitleSkin());
  AppSkin::applyWithSkinKey(rightValueLabel_, record->getValueSkin());
  setAccessoryType(static_cast<platform::TableViewCellAccessoryType>(record->getCellAccessoryType()));
  leftTitleLabel_->setText(record->getItemTitle());
  rightValueLabel_->setText(record->getItemValue());

  double w = listWidth();
  double m = grouped() ? 20 : 10;
  double p = rightInset(grouped(), *record);
  auto cls = platform::classOf(*this);
  Size value = measureValue(cls && wrapsValue(*cls), *record);
  rightValueLabel_->setFrame(Rect(w - p - value.width, 10, value.width, value.height));

  double titleWidth = rightValueLabel_->frame().origin.x - m - 5;
  leftTitleLabel_->setFrame(Rect(m, 10, titleWidth, 10));
  label::autoFitHeight(*leftTitleLabel_);

  view::sameTopAndHeightOfView(*leftTitleLabel_, rightValueLabel_.get());
  double height = leftTitleLabel_->frame().size.height;
  if (height < 24) {
    view::setTop(*leftTitleLabel_, (44 - height) / 2);
    view::setTop(*rightValueLabel_, (44 - height) / 2);
  }
}

double TitleValueCell::heightForCell(const platform::ClassRef& cls, ListView& list,
                                     const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  bool g = list.isGroupedTable();
  double w = list.bounds().size.width;
  double m = g ? 20 : 10;
  double p = rightInset(g, *record);
  Size value = measureValue(wrapsValue(cls), *record);
  double titleMax = w - p - m - std::min(value.width, MaxValueWidth) - 5;
  Size title = AppSkin::sizeForTextWithSkinKey(record->getItemTitle(), record->getTitleSkin(),
                                               std::max(titleMax, 1.0));
  return std::max(44.0, std::max(value.height, title.height) + 20);
}

}  // namespace kavro
