#pragma once
#include <memory>

#include "app/jobsearch/ShortTitleValueClickAbleCell.h"
#include "platform/ui/ImageView.h"

namespace kavro {

// The address row: a clickable title-and-value row with a map icon at its right.
class ShortTitleValueAddressCell : public ShortTitleValueClickAbleCell {
 public:
  static constexpr double IconWidth = 16;
  static constexpr double IconHeight = 23;
  // What the icon takes from the value's width: 15 points of room and the icon.
  static constexpr double ValueReduction = 15 + IconWidth;

  using ShortTitleValueClickAbleCell::ShortTitleValueClickAbleCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::ImageView>& icon() const { return icon_; }

 private:
  std::shared_ptr<platform::ImageView> icon_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(ShortTitleValueAddressCell, ShortTitleValueClickAbleCell)
    .classFunction(&CellClassFunctions::heightForCell, &ShortTitleValueAddressCell::heightForCell);
}
