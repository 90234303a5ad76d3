#pragma once
#include <string>

#include "kit/ui/ErrorTableCell.h"

namespace kavro {

// The GPS row after a failed lookup; a tap retries.
class DictPickerGpsErrorCell : public ErrorTableCell {
 public:
  using ErrorTableCell::ErrorTableCell;
  void initCellView() override;
  static std::string getErrorMessage(ListView& list, const platform::IndexPath& ip);
};

KAVRO_CELL_CLASS(DictPickerGpsErrorCell, ErrorTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &ErrorTableCell::heightForCell)
    .classFunction(&CellClassFunctions::getErrorMessage, &DictPickerGpsErrorCell::getErrorMessage);

}  // namespace kavro
