#include "kit/ui/FullEmptyTableCell.h"

#include "kit/ui/ListView.h"

namespace kavro {

double FullEmptyTableCell::fullHeight(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  if (section && section->sectionHeight() != 0) return section->sectionHeight();
  return list.frame().size.height;
}

void FullEmptyTableCell::bindCellData(bool reused) {
  EmptyTableCell::bindCellData(reused);
  auto list = listView();
  if (!list) return;
  double height = fullHeight(*list, indexPath());
  label_->setFrame(platform::Rect(20, 10, listWidth() - 40, height - 20));
}

}  // namespace kavro
