#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"

namespace kavro {

// The empty row of the resume lists.
class ResumeListEmptyCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(ResumeListEmptyCell, DataTableCell);
}
