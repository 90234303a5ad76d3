#pragma once
#include <memory>
#include <string>

#include "kit/ui/LoadingTableCell.h"

namespace kavro {

// The loading row of pull-down lists: it takes no room while the pull-down header already shows
// the progress of a refresh of the first page.
class PullDownLoadingTableCell : public LoadingTableCell {
 public:
  using LoadingTableCell::LoadingTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);
  // The header shows the progress, so the row hides.
  static bool headerShowsProgress(ListView& list);
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(PullDownLoadingTableCell, LoadingTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &PullDownLoadingTableCell::heightForCell);
}
