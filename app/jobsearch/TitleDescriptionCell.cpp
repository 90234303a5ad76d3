#include "app/jobsearch/TitleDescriptionCell.h"

#include "app/jobsearch/ShortTitleValueCell.h"
#include "kit/ui/ListView.h"

namespace kavro {

namespace {
using detailcell::TitleSkin;
constexpr std::string_view DescriptionSkin = "skin_cell_below_mulit_detailinfo";
}  // namespace

void TitleDescriptionCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setUserInteractionEnabled(false);
  title_ = detailcell::addLabel(*this, TitleSkin);
  value_ = detailcell::addLabel(*this, DescriptionSkin);
}

void TitleDescriptionCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  double l = detailcell::sideMargin(grouped());
  double w = listWidth() - 2 * l;
  detailcell::placeLabel(*title_, record->getItemTitle(), TitleSkin, {}, platform::Rect(l, 10, w, 0));
  detailcell::placeLabel(*value_, record->getItemValue(), DescriptionSkin, {},
                         platform::Rect(l, title_->frame().maxY() + 5, w, 0));
}

double TitleDescriptionCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  double w = list.bounds().size.width - 2 * detailcell::sideMargin(list.isGroupedTable());
  return detailcell::textHeight(record->getItemTitle(), TitleSkin, {}, w) +
         detailcell::textHeight(record->getItemValue(), DescriptionSkin, {}, w) + 25;
}

}  // namespace kavro
