#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"

namespace kavro {

// An invisible spacer row of height 0.
class ClearTableCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  static double heightForCell(ListView&, const platform::IndexPath&) { return 0; }
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(ClearTableCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &ClearTableCell::heightForCell);
}
