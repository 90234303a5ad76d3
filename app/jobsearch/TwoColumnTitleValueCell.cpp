#include "app/jobsearch/TwoColumnTitleValueCell.h"

#include <algorithm>

#include "app/jobsearch/ShortTitleValueCell.h"
#include "kit/ui/ListView.h"

namespace kavro {

namespace {
using detailcell::TitleSkin;
using detailcell::ValueSkin;
}  // namespace

double TwoColumnTitleValueCell::halfWidth(double listWidth, bool grouped) {
  return (listWidth - 2 * detailcell::sideMargin(grouped) - 10) / 2;
}

void TwoColumnTitleValueCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setUserInteractionEnabled(false);
  title1_ = detailcell::addLabel(*this, TitleSkin);
  value1_ = detailcell::addLabel(*this, ValueSkin);
  title2_ = detailcell::addLabel(*this, TitleSkin);
  value2_ = detailcell::addLabel(*this, ValueSkin);
}

void TwoColumnTitleValueCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  double l = detailcell::sideMargin(grouped());
  double half = halfWidth(listWidth(), grouped());
  double x2 = l + half + 10;
  using detailcell::placeLabel;
  placeLabel(*title1_, record->getItemTitle(), TitleSkin, {}, platform::Rect(l, 10, TitleWidth, 0));
  placeLabel(*value1_, record->getItemValue(), ValueSkin, {}, platform::Rect(l + 45, 10, half - 45, 0));
  placeLabel(*title2_, record->getItemTitle2(), TitleSkin, {}, platform::Rect(x2, 10, TitleWidth, 0));
  placeLabel(*value2_, record->getItemValue2(), ValueSkin, {}, platform::Rect(x2 + 45, 10, half - 45, 0));
}

double TwoColumnTitleValueCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  double half = halfWidth(list.bounds().size.width, list.isGroupedTable());
  using detailcell::textHeight;
  double h = std::max({textHeight(record->getItemTitle(), TitleSkin, {}, TitleWidth),
                       textHeight(record->getItemValue(), ValueSkin, {}, half - 45),
                       textHeight(record->getItemTitle2(), TitleSkin, {}, TitleWidth),
                       textHeight(record->getItemValue2(), ValueSkin, {}, half - 45)});
  return std::max(44.0, h + 20);
}

}  // namespace kavro
