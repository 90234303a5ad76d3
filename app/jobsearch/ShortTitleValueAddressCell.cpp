#include "app/jobsearch/ShortTitleValueAddressCell.h"

#include "kit/skin/AppSkin.h"

namespace kavro {

void ShortTitleValueAddressCell::initCellView() {
  ShortTitleValueClickAbleCell::initCellView();
  // The map pin stands where the disclosure mark would be drawn and says the same: the row opens.
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  icon_ = std::make_shared<platform::ImageView>(platform::Rect(0, 0, IconWidth, IconHeight));
  AppSkin::apply(icon_.get(), "jobdetail_location_map", "job_related");
  contentView()->addSubview(icon_);
}

void ShortTitleValueAddressCell::bindCellData(bool) {
  double h = layoutLabels(ValueReduction);
  double l = detailcell::sideMargin(grouped());
  icon_->setFrame(
      platform::Rect(listWidth() - 15 - IconWidth - l, (h + 20 - IconHeight) / 2, IconWidth, IconHeight));
}

double ShortTitleValueAddressCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  return heightWithReduction(list, ip, ValueReduction);
}

}  // namespace kavro
