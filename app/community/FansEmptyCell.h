#pragma once
#include <string>
#include <string_view>

#include "kit/ui/ErrorTableCell.h"
#include "kit/ui/ListViewData.h"

namespace kavro {

// The empty row of the community's lists: one line of text, no picture, nothing to tap.
class FansEmptyCell : public ErrorTableCell {
 public:
  static constexpr std::string_view ShowStrKey = "<&FansEmptyCellShowStr&>";

  using ErrorTableCell::ErrorTableCell;
  void initCellView() override;

  // The text the empty row of that list shows (kept with the list's answer).
  static void setEmptyCellShowStr(ListViewData& data, std::string_view text);
  static std::string getErrorMessage(ListView& list, const platform::IndexPath& ip);
};

KAVRO_CELL_CLASS(FansEmptyCell, ErrorTableCell)
    .classFunction(&CellClassFunctions::getErrorMessage, &FansEmptyCell::getErrorMessage);

}  // namespace kavro
