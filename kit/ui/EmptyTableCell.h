#pragma once
#include <memory>
#include <string>

#include "kit/ui/ErrorTableCell.h"

namespace kavro {

// The state row of a finished section without rows; a tap refreshes.
class EmptyTableCell : public ErrorTableCell {
 public:
  using ErrorTableCell::ErrorTableCell;
  static std::string getErrorMessage(ListView& list, const platform::IndexPath& ip);
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(EmptyTableCell, ErrorTableCell)
    .classFunction(&CellClassFunctions::getErrorMessage, &EmptyTableCell::getErrorMessage);
}
