#include "app/jobmap/JobMapSearchResultController.h"

#include <cmath>

#include "app/api/ApiJob.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/jobsearch/JobSearchResultEmptyCell.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace kavro {

std::shared_ptr<JobMapSearchResultController> JobMapSearchResultController::initWithParam(
    std::shared_ptr<MapQueryParam> param, std::shared_ptr<DataItemResult> result) {
  // The base keeps the same query, so nothing of it ever finds none.
  auto screen = JobSearchResultController::initWithParam<JobMapSearchResultController>(param);
  screen->mapQueryParam_ = std::move(param);
  screen->result_ = std::move(result);
  return screen;
}

JobMapSearchResultController::~JobMapSearchResultController() {
  platform::RunLoop::main().cancelPerforms(this);
}

void JobMapSearchResultController::initNavBar() {
  navigationItem()->setTitleView(navTitleView_);
  navTitleView_->setNavItem(navigationItem());
  navTitleView_->onlyMainTitle(AppCoreInfo::getLocalizedString("jobmap_search_result_title"));
  navTitleView_->setNavItem(nullptr);
  std::weak_ptr<JobMapSearchResultController> weak = sharedAs<JobMapSearchResultController>();
  navigationItem()->setLeftBarButtonItem(std::make_shared<platform::BarButtonItem>(
      AppCoreInfo::getLocalizedString("common_text_return"), platform::BarButtonItemStyle::Bordered,
      [weak](platform::BarButtonItem&) {
        if (auto self = weak.lock()) self->mapClicked();
      }));
}

void JobMapSearchResultController::loadListView() {
  listDataSearchResult_->setMDataCellClass(platform::classFor<JobListSearchResultCell>());
  listDataSearchResult_->setMEmtpyCellClass(platform::classFor<JobSearchResultEmptyCell>());
  listDataSearchResult_->setMHeaderViewClass(platform::classFor<JobMapSearchResultController>());
  listDataSearchResult_->setShowHeader(true);
  listDataSearchResult_->listData()->setItemUniqueKeyName("jobid");
  listViewResult_->addSectionWithData(listDataSearchResult_);
  if (!result_) {
    listDataSearchResult_->loadData();
    return;
  }
  listDataSearchResult_->setListViewDataStatus(ListViewDataStatus::Loading);
  std::weak_ptr<JobMapSearchResultController> weak = sharedAs<JobMapSearchResultController>();
  platform::RunLoop::main().performAfter(FillDelay, this, [weak] {
    if (auto self = weak.lock()) self->loadListFromResult();
  });
}

std::shared_ptr<platform::View> JobMapSearchResultController::viewForHeaderInSection(ListView& list, int) {
  auto screen = std::dynamic_pointer_cast<JobMapSearchResultController>(list.ctrl());
  double width = platform::Screen::mainScreen().bounds().size.width;
  auto header = std::make_shared<platform::View>(platform::Rect(0, 0, width, HeaderHeight));
  auto band = std::make_shared<platform::View>(header->bounds());
  band->setBackgroundColor(platform::Color::black());
  band->setAlpha(0.45);
  header->addSubview(band);
  auto label = std::make_shared<platform::Label>(header->bounds());
  label->setTextColor(platform::Color::white());
  label->setFont(platform::Font::systemFontOfSize(platform::Font::systemFontSize()));
  label->setTextAlignment(platform::TextAlignment::Center);
  label->setText(screen ? screen->currentTitle() : std::string());
  header->addSubview(label);
  return header;
}

void JobMapSearchResultController::showCount() {
  auto count = static_cast<int>(listDataSearchResult_->listData()->maxCount());
  navTitleView_->setNavItem(navigationItem());
  navTitleView_->setCurrentTitle(AppCoreInfo::getLocalizedString("jobmap_search_result_title"), count);
  navTitleView_->setNavItem(nullptr);
  auto detail = toolbarButton(DetailItem);
  if (!detail) return;
  detail->setEnabled(true);
  if (count == 0 && listDataSearchResult_->isLoadDataOK()) detail->setEnabled(false);
}

void JobMapSearchResultController::loadListFromResult() {
  listDataSearchResult_->setListViewDataStatus(ListViewDataStatus::Loaded);
  listDataSearchResult_->listData()->appendItems(result_.get());
  listViewResult_->reloadData();
  showCount();
  if (!mapViewDataForList_ || mapViewDataForList_->pageAt() == 0) return;
  int row = static_cast<int>(mapViewDataForList_->pageSize() * (mapViewDataForList_->pageAt() - 1));
  if (row < listViewResult_->numberOfRowsInSection(0))
    listViewResult_->scrollToRowAtIndexPath(platform::IndexPath::forRow(row, 0),
                                            platform::TableViewScrollPosition::Top, true);
}

std::optional<std::shared_ptr<DataLoadAndParser>> JobMapSearchResultController::listViewData(
    ListViewData& section) {
  // Always the first page the map has not fetched yet, with the map's last centre and filters.
  std::uint32_t page = mapViewDataForList_ ? mapViewDataForList_->maxPageAt() + 1 : section.pageAt();
  if (mapViewDataForList_) mapViewDataForList_->setPageAt(page);
  mapQueryParam_->setPageAt(static_cast<std::int32_t>(page));
  return ApiJob::map_search(*mapQueryParam_, section.loaderDelegate());
}

bool JobMapSearchResultController::listViewDataOnReceived(ListViewData& section,
                                                          const DataItemResult& result) {
  if (auto& pager = mapViewDataForList_) {
    if (result.isValidListData()) {
      pager->setMaxCount(static_cast<std::uint32_t>(result.maxCount()));
      pager->setMaxPageAt(pager->maxPageAt() + 1);
      pager->mapDataResult()->appendItems(&result);
    } else if (pager->pageAt() > 0) {
      pager->setPageAt(pager->pageAt() - 1);
    }
  }
  // A failed page is the list's own: its error row offers the retry.
  if (result.hasError()) return false;
  section.listData()->appendItems(&result);
  showCount();
  return true;
}

void JobMapSearchResultController::mapClicked() {
  auto keep = sharedAs<JobMapSearchResultController>();
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_MAP");
  if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
  auto& list = *listViewResult_;
  auto& pager = mapViewDataForList_;
  double offsetY = list.contentOffset().y;
  auto top = list.indexPathForRowAtPoint(list.contentOffset());
  // With no row at the top (an empty list) the pager keeps its page.
  if (pager && top && top->row < static_cast<int>(listDataSearchResult_->count())) {
    int row = top->row;
    int cellHeight = static_cast<int>(list.rectForRowAtIndexPath(*top).size.height);
    if (cellHeight > 0) {
      int remainder = (static_cast<int>(offsetY) - static_cast<int>(HeaderHeight)) % cellHeight;
      if (remainder > cellHeight / 2.0) ++row;
      auto size = std::max<std::uint32_t>(pager->pageSize(), 1);
      pager->setPageAt(static_cast<std::uint32_t>(std::ceil((row + 1) / static_cast<double>(size))));
    }
  }
  if (auto d = delegate_.lock()) d->jobMapSearchClickDone();
}

}  // namespace kavro
