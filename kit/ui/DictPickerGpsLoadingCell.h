#pragma once
#include "kit/ui/LoadingTableCell.h"

namespace kavro {

// The GPS row while the location is looked up.
class DictPickerGpsLoadingCell : public LoadingTableCell {
 public:
  using LoadingTableCell::LoadingTableCell;
  void initCellView() override;
};

KAVRO_CELL_CLASS(DictPickerGpsLoadingCell, LoadingTableCell);

}  // namespace kavro
