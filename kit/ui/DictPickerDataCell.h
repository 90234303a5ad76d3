#pragma once
#include "kit/ui/TitleValueCell.h"

namespace kavro {

// A dictionary entry: its "value" at the left, the short "<&ItemValue&>" at the right, a
// disclosure for an entry with a lower level, else a check mark for a picked one.
class DictPickerDataCell : public TitleValueCell {
 public:
  using TitleValueCell::TitleValueCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(const platform::ClassRef& cls, ListView& list, const platform::IndexPath& ip);

  struct Layout {
    double left, main, gap, value;
  };
  static Layout layoutFor(bool grouped, double listWidth, const DataItemDetail& record);
};

KAVRO_CELL_CLASS(DictPickerDataCell, TitleValueCell)
    .classFunction(&CellClassFunctions::heightForCell, &DictPickerDataCell::heightForCell);

}  // namespace kavro
