#pragma once
#include <memory>
#include <string>

#include "kit/ui/FullEmptyTableCell.h"
#include "kit/ui/LoadingTableCell.h"
namespace kavro {

// The loading state filling the list.
class FullLoadingTableCell : public LoadingTableCell {
 public:
  using LoadingTableCell::LoadingTableCell;
  void bindCellData(bool reused) override;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(FullLoadingTableCell, LoadingTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &FullEmptyTableCell::heightForCell);
}
