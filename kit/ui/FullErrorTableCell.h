#pragma once
#include <memory>
#include <string>

#include "kit/ui/ErrorTableCell.h"
#include "kit/ui/FullEmptyTableCell.h"
namespace kavro {

// The error state filling the list.
class FullErrorTableCell : public ErrorTableCell {
 public:
  using ErrorTableCell::ErrorTableCell;
  void bindCellData(bool reused) override;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(FullErrorTableCell, ErrorTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &FullEmptyTableCell::heightForCell);
}
