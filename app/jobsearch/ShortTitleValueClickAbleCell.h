#pragma once
#include "app/jobsearch/ShortTitleValueCell.h"

namespace kavro {

// A title-and-value row that leads on: disclosure indicator, selectable.
class ShortTitleValueClickAbleCell : public ShortTitleValueCell {
 public:
  using ShortTitleValueCell::ShortTitleValueCell;
  void initCellView() override;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(ShortTitleValueClickAbleCell, ShortTitleValueCell);
}
