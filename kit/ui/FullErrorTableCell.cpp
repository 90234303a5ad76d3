#include "kit/ui/FullErrorTableCell.h"

#include "kit/ui/ListView.h"

namespace kavro {

void FullErrorTableCell::bindCellData(bool reused) {
  ErrorTableCell::bindCellData(reused);
  auto list = listView();
  if (!list) return;
  double height = FullEmptyTableCell::fullHeight(*list, indexPath());
  label_->setFrame(platform::Rect(20, 10, listWidth() - 40, height - 20));
}

}  // namespace kavro
