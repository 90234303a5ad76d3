#pragma once

#include "kit/ui/DataTableCell.h"

namespace kavro {

// A row of the search filter form: the condition's name and its chosen value. The landmark row
// (tag 0) says so when the searched area offers no landmarks.
class JobSearchFilterCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
};

KAVRO_CELL_CLASS(JobSearchFilterCell, DataTableCell);

}  // namespace kavro
