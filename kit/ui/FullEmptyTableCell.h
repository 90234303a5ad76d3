#pragma once
#include <memory>
#include <string>

#include "kit/ui/EmptyTableCell.h"

namespace kavro {

// The empty state filling the list (or the section's sectionHeight).
class FullEmptyTableCell : public EmptyTableCell {
 public:
  using EmptyTableCell::EmptyTableCell;
  void bindCellData(bool reused) override;
  // The section's sectionHeight when set, else the list's height; the height of every full-size
  // state row.
  static double fullHeight(ListView& list, const platform::IndexPath& ip);
  static double heightForCell(ListView& list, const platform::IndexPath& ip) { return fullHeight(list, ip); }
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(FullEmptyTableCell, EmptyTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &FullEmptyTableCell::heightForCell);
}
