#include "kit/ui/PullDownLoadingTableCell.h"

#include <algorithm>
#include <cmath>

#include "kit/skin/AppSkin.h"
#include "kit/ui/ListViewPullDown.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"

namespace kavro {

bool PullDownLoadingTableCell::headerShowsProgress(ListView& list) {
  auto* pullDown = dynamic_cast<ListViewPullDown*>(&list);
  if (!pullDown || !pullDown->isPullDownRefreshNow()) return false;
  auto first = list.dataOfSection(0);
  if (!first || first->pageAt() > 1) return false;
  double b = std::ceil(list.contentOffset().y + list.bounds().size.height);
  double h = std::max(std::floor(list.contentSize().height), list.frame().size.height);
  return b - ListViewPullDown::HeaderHeight <= h;
}

double PullDownLoadingTableCell::heightForCell(ListView& list, const platform::IndexPath&) {
  return headerShowsProgress(list) ? 0 : 44;
}

void PullDownLoadingTableCell::initCellView() {
  LoadingTableCell::initCellView();
  if (!backgroundView()) setBgColor(platform::Color::clear());
  backgroundView()->setAlpha(0);
  AppSkin::apply(loadingView_, "listview_header_label", ListViewPullDown::SkinGroup);
  view::setTop(*loadingView_, 0);
  view::setHeight(*loadingView_, 44);
}

void PullDownLoadingTableCell::bindCellData(bool reused) {
  LoadingTableCell::bindCellData(reused);
  auto list = listView();
  loadingView_->setHidden(list && headerShowsProgress(*list));
}

}  // namespace kavro
