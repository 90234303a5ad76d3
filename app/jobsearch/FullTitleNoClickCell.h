#pragma once
#include "app/jobsearch/FullTitleCell.h"

namespace kavro {

// A full-width title row that cannot be selected.
class FullTitleNoClickCell : public FullTitleCell {
 public:
  using FullTitleCell::FullTitleCell;
  void initCellView() override;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(FullTitleNoClickCell, FullTitleCell);
}
