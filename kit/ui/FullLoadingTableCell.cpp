#include "kit/ui/FullLoadingTableCell.h"

#include "kit/ui/ListView.h"

namespace kavro {

void FullLoadingTableCell::bindCellData(bool reused) {
  LoadingTableCell::bindCellData(reused);
  auto list = listView();
  if (!list) return;
  double height = FullEmptyTableCell::fullHeight(*list, indexPath());
  loadingView_->setFrame(platform::Rect(20, 10, listWidth() - 40, height - 20));
}

}  // namespace kavro
