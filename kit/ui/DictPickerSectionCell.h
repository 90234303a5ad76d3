#pragma once
#include "kit/ui/TitleValueCell.h"

namespace kavro {

// A group heading inside a dictionary level: 31 points of "value", not a choice.
class DictPickerSectionCell : public TitleValueCell {
 public:
  using TitleValueCell::TitleValueCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(const platform::ClassRef&, ListView&, const platform::IndexPath&) { return 31; }
};

KAVRO_CELL_CLASS(DictPickerSectionCell, TitleValueCell)
    .classFunction(&CellClassFunctions::heightForCell, &DictPickerSectionCell::heightForCell);

}  // namespace kavro
