#pragma once

#include "kit/ui/DataTableCell.h"

namespace kavro {

// A row of the map search form: a condition's title and its value.
class JobMapSearchCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  static double heightForCell(ListView&, const platform::IndexPath&) { return 46; }
  void initCellView() override;
  void bindCellData(bool reused) override;
};

KAVRO_CELL_CLASS(JobMapSearchCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &JobMapSearchCell::heightForCell);

}  // namespace kavro
