#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/EmptyTableCell.h"
#include "kit/ui/ErrorTableCell.h"
#include "kit/ui/FullEmptyNotClickTableCell.h"
#include "kit/ui/FullLoadingTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/LoadingTableCell.h"
#include "kit/ui/MoreTableCell.h"
#include "kit/ui/TitleCell.h"
#include "kit/ui/TitleValueCell.h"
#include "tests/kit/ui/ListTestSupport.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

// A row class that counts how it is built and bound.
class CountingCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  static inline int built = 0;
  static inline int boundNew = 0;
  static inline int boundReused = 0;
  void initCellView() override { ++built; }
  void bindCellData(bool reused) override { ++(reused ? boundReused : boundNew); }
};

}  // namespace
}  // namespace kavro::test

namespace kavro::test {
KAVRO_CELL_CLASS(CountingCell, DataTableCell);
}

namespace kavro::test {
namespace {

class ListViewTest : public VirtualRunLoopTest {
 protected:
  TempHome home;
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ctrl = std::make_shared<ScriptedController>();
    ctrl->answer = [this](ListViewData& s) {
      int first = static_cast<int>((s.pageAt() - 1) * s.pageSize()) + 1;
      return pageXml(total, ids(first, static_cast<int>(s.pageSize()), total));
    };
    list = ListView::plainListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, height));
    section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
  }
  void TearDown() override {
    list->stopLoading();
    // The stores the list opened stand in this test's home, which goes with the test.
    AppCoreInfo::destroyAppCoreInfo();
    VirtualRunLoopTest::TearDown();
  }
  int rows() { return list->numberOfRowsInSection(0); }
  std::shared_ptr<platform::TableViewCell> lastCell() {
    list->layoutIfNeeded();
    IndexPath ip = IndexPath::forRow(rows() - 1, 0);
    list->scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::Bottom, false);
    return list->cellForRowAtIndexPath(ip);
  }

  int total = 35;
  double height = 480;
  std::shared_ptr<ScriptedController> ctrl;
  std::shared_ptr<ListView> list;
  std::shared_ptr<ListViewData> section;
};

TEST_F(ListViewTest, PagesWithALoadingRowThenAMoreRowUntilTheTotalIsReached) {
  section->loadData();
  EXPECT_EQ(section->listViewDataStatus(), ListViewDataStatus::Loading);
  EXPECT_EQ(rows(), 1);
  auto loading = std::dynamic_pointer_cast<LoadingTableCell>(lastCell());
  ASSERT_TRUE(loading);
  EXPECT_EQ(shownTexts(*loading), std::vector<std::string>{"正在加载..."});
  EXPECT_FALSE(loading->loadingView()->isHidden()) << "the row says that it loads";
  list->tapRowAtIndexPath(IndexPath::forRow(0, 0));  // the loading row does not react
  EXPECT_EQ(section->listViewDataStatus(), ListViewDataStatus::Loading);
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1}));

  ctrl->deliverAll();
  EXPECT_EQ(rows(), 11);
  EXPECT_TRUE(section->hasNextPage());
  EXPECT_FALSE(section->loadFinished());
  auto more = std::dynamic_pointer_cast<MoreTableCell>(lastCell());
  ASSERT_TRUE(more);
  EXPECT_EQ(shownTexts(*more), std::vector<std::string>{"显示下10条"});
  EXPECT_EQ(ctrl->requestedPages.size(), 1u);  // 11 rows do not fit 480 points: no paging by itself

  list->tapRowAtIndexPath(IndexPath::forRow(10, 0));
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 2}));
  ctrl->deliverAll();

  // The next page comes while a row is selected and the list stands scrolled: the rows held keep
  // their places, cells and the selection, the page's rows follow them in order, and all lie as a
  // reload of the whole list lays them out. The screen hears of each reload as before.
  list->setContentOffset({0, 30});
  list->layoutSubviews();
  list->selectRowAtIndexPath(IndexPath::forRow(2, 0), false, platform::TableViewScrollPosition::None);
  const int reloads = ctrl->reloads;
  section->loadDataforNextPage();
  EXPECT_EQ(rows(), 21);
  EXPECT_TRUE(std::dynamic_pointer_cast<LoadingTableCell>(lastCell()));
  list->setContentOffset({0, 30});
  list->layoutSubviews();
  const auto third = list->cellForRowAtIndexPath(IndexPath::forRow(2, 0));
  ASSERT_TRUE(third);
  ctrl->deliverAll();
  EXPECT_EQ(ctrl->reloads, reloads + 2);
  EXPECT_EQ(rows(), 31);
  EXPECT_EQ(list->contentOffset().y, 30);
  EXPECT_EQ(list->indexPathForSelectedRow(), IndexPath::forRow(2, 0));
  EXPECT_EQ(list->cellForRowAtIndexPath(IndexPath::forRow(2, 0)), third);
  std::vector<platform::Rect> laidOut;
  for (int r = 0; r < rows(); ++r) laidOut.push_back(list->rectForRowAtIndexPath(IndexPath::forRow(r, 0)));
  const platform::Size size = list->contentSize();
  for (double y : {30.0, 600.0, size.height - 480}) {
    list->setContentOffset({0, y});
    list->layoutSubviews();
    for (const IndexPath& ip : list->indexPathsForVisibleRows()) {
      auto cell = std::dynamic_pointer_cast<DataTableCell>(list->cellForRowAtIndexPath(ip));
      ASSERT_TRUE(cell);
      EXPECT_EQ(cell->frame(), laidOut[static_cast<std::size_t>(ip.row)]);
      if (ip.row < 30)
        EXPECT_EQ(cell->detail()->getString("jobid"), std::to_string(ip.row + 1));
      else
        EXPECT_TRUE(std::dynamic_pointer_cast<MoreTableCell>(cell));
    }
  }
  list->reloadData();
  EXPECT_EQ(list->contentSize(), size);
  for (int r = 0; r < rows(); ++r)
    EXPECT_EQ(list->rectForRowAtIndexPath(IndexPath::forRow(r, 0)), laidOut[static_cast<std::size_t>(r)]);
  section->loadDataforNextPage();
  ctrl->deliverAll();
  EXPECT_EQ(section->pageAt(), 4u);
  EXPECT_EQ(section->count(), 35u);
  EXPECT_FALSE(section->hasNextPage());
  EXPECT_TRUE(section->loadFinished());
  EXPECT_EQ(rows(), 35);
  section->loadDataforNextPage();
  EXPECT_EQ(ctrl->requestedPages.size(), 4u);

  list->tapRowAtIndexPath(IndexPath::forRow(3, 0));
  ASSERT_EQ(ctrl->selected.size(), 1u);
  EXPECT_EQ(ctrl->selected[0], IndexPath::forRow(3, 0));
  EXPECT_EQ(list->dataOfIndexPath(IndexPath::forRow(3, 0))->getString("jobid"), "4");
}

TEST_F(ListViewTest, AListShorterThanItsFrameFetchesPagesByItselfAndAtTheBottomAfterScrolling) {
  list->setFrame(platform::Rect(0, 0, 320, 2000));
  section->loadData();
  ctrl->deliverAll();
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 2, 3, 4}));
  EXPECT_EQ(section->count(), 35u);

  // A taller total: after the first screenful, paging waits for the user to reach the bottom.
  total = 100;
  list->setFrame(platform::Rect(0, 0, 320, 480));
  section->refreshData();
  ctrl->deliverAll();
  EXPECT_EQ(section->count(), 10u);
  list->setContentOffset({0, list->contentSize().height - 480});
  list->scrollViewDidEndDecelerating(*list);
  EXPECT_EQ(section->pageAt(), 2u);
}

TEST_F(ListViewTest, AFailedPageShowsTheErrorRowAndATapAsksForTheSamePageAgain) {
  section->loadData();
  ctrl->deliverAll();
  ctrl->answer = [](ListViewData&) { return pageXml(0, {}, false, "server busy"); };
  section->loadDataforNextPage();
  ctrl->deliverAll();
  EXPECT_FALSE(section->isLoadDataOK());
  EXPECT_EQ(section->count(), 10u);
  EXPECT_EQ(rows(), 11);
  auto error = std::dynamic_pointer_cast<ErrorTableCell>(lastCell());
  ASSERT_TRUE(error);
  EXPECT_EQ(shownTexts(*error), std::vector<std::string>{"server busy"});
  EXPECT_EQ(error->label()->frame().size.height, 24);

  // At the bottom after the failure, the failed page is not asked for again by itself...
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 2}));
  // ...but a tap on the error row asks again for page 2.
  list->tapRowAtIndexPath(IndexPath::forRow(10, 0));
  EXPECT_EQ(ctrl->loadDataTaps, 1);
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 2, 2}));
  ctrl->deliverAll();

  ctrl->handleLoadData = true;
  list->tapRowAtIndexPath(IndexPath::forRow(10, 0));
  EXPECT_EQ(ctrl->loadDataTaps, 2);
  EXPECT_EQ(ctrl->requestedPages.size(), 3u);
}

TEST_F(ListViewTest, AFailedLastPageIsAskedForAgainAfterTheNextAnswerOfAnotherSection) {
  // Two sections: the first short and done, the last failing its second page.
  auto last = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
  bool failing = false;
  ctrl->answer = [&](ListViewData& s) {
    if (&s == section.get()) return pageXml(3, ids(1, 3, 3));
    if (failing) return pageXml(0, {}, false, "server busy");
    int first = static_cast<int>((s.pageAt() - 1) * s.pageSize()) + 1;
    return pageXml(total, ids(first, static_cast<int>(s.pageSize()), total));
  };
  auto toBottom = [&] {
    list->layoutIfNeeded();
    IndexPath ip = IndexPath::forRow(list->numberOfRowsInSection(1) - 1, 1);
    list->scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::Bottom, false);
  };
  section->loadData();
  last->loadData();
  ctrl->deliverAll();
  toBottom();  // on the more row
  ctrl->requestedPages.clear();
  failing = true;
  last->loadDataforNextPage();
  ctrl->deliverAll();
  toBottom();  // on the error row
  ASSERT_TRUE(list->isAtBottom());
  // Its own failure does not ask again (that would repeat for as long as the server fails).
  EXPECT_FALSE(last->isLoadDataOK());
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{2}));

  // The next answer, of the other section, finds the list at its bottom: the page is asked again.
  failing = false;
  section->refreshData();
  ctrl->deliverOne();
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{2, 1, 2}));
  ctrl->deliverAll();
  EXPECT_TRUE(last->isLoadDataOK());
  EXPECT_GE(last->count(), 20u);
}

TEST_F(ListViewTest, AFailedFirstPageShowsOnlyTheErrorRowWithTheDefaultText) {
  ctrl->answer = [](ListViewData&) { return pageXml(0, {}, false); };
  section->loadData();
  ctrl->deliverAll();
  EXPECT_TRUE(section->loadFinished());
  EXPECT_FALSE(section->hasNextPage());
  EXPECT_EQ(rows(), 1);
  auto error = std::dynamic_pointer_cast<ErrorTableCell>(lastCell());
  ASSERT_TRUE(error);
  EXPECT_EQ(shownTexts(*error), std::vector<std::string>{"加载失败，点击重试"});
  section->setErrorTipsMessage("try later");
  EXPECT_EQ(section->getErrorTipsMessage(), "try later");
}

TEST_F(ListViewTest, AnEmptySectionShowsTheEmptyRowAndATapRefreshesFromPageOne) {
  total = 0;
  section->loadData();
  ctrl->deliverAll();
  EXPECT_EQ(rows(), 1);
  auto empty = std::dynamic_pointer_cast<EmptyTableCell>(lastCell());
  ASSERT_TRUE(empty);
  EXPECT_EQ(shownTexts(*empty), std::vector<std::string>{"暂无数据"});
  list->tapRowAtIndexPath(IndexPath::forRow(0, 0));
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 1}));
  EXPECT_EQ(section->listViewDataStatus(), ListViewDataStatus::Loading);
}

TEST_F(ListViewTest, RepeatedRowsAcrossPagesAreRefusedByTheUniqueKey) {
  section->listData()->setItemUniqueKeyName("jobid");
  ctrl->answer = [](ListViewData& s) {
    return s.pageAt() == 1 ? pageXml(30, ids(1, 10, 30)) : pageXml(30, ids(6, 10, 30));
  };
  section->loadData();
  ctrl->deliverAll();
  section->loadDataforNextPage();
  ctrl->deliverAll();
  EXPECT_EQ(section->count(), 15u);
  EXPECT_EQ(list->indexPathsForKey("jobid", "6").size(), 1u);
}

TEST_F(ListViewTest, RefreshStartsAgainFromPageOneAndIsRefusedWhileLoading) {
  section->loadData();
  ctrl->deliverAll();
  section->loadDataforNextPage();
  ctrl->deliverAll();
  EXPECT_EQ(section->count(), 20u);
  section->refreshData();
  EXPECT_EQ(section->pageAt(), 1u);
  EXPECT_EQ(section->count(), 0u);  // a plain list empties the section first
  section->refreshData();           // refused while loading
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 2, 1}));
  ctrl->deliverAll();
  EXPECT_EQ(section->count(), 10u);
  section->clearData();
  EXPECT_EQ(section->listViewDataStatus(), ListViewDataStatus::Idle);
  EXPECT_EQ(rows(), 0);
}

TEST_F(ListViewTest, EachRecordIsDrawnByItsOwnCellClassOrTheSectionsAndCellsAreReusedPerClass) {
  section->setMDataCellClass(platform::classFor<CountingCell>());
  section->loadData();
  ctrl->deliverAll();
  section->listData()->getItem(1)->setCellClass(platform::classFor<TitleValueCell>());
  list->reloadData();
  list->layoutIfNeeded();
  EXPECT_EQ(list->cellClassAtIndexPath(IndexPath::forRow(1, 0))->name(), "TitleValueCell");
  EXPECT_TRUE(
      std::dynamic_pointer_cast<TitleValueCell>(list->cellForRowAtIndexPath(IndexPath::forRow(1, 0))));
  auto first = std::dynamic_pointer_cast<CountingCell>(list->cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->detail()->getString("jobid"), "1");
  EXPECT_EQ(first->reuseIdentifier(), "cellclass-CountingCell");
  EXPECT_EQ(CountingCell::built, CountingCell::boundNew);
  int built = CountingCell::built;
  list->reloadData();
  list->layoutIfNeeded();
  EXPECT_EQ(CountingCell::built, built);  // the second pass takes every cell from the pool
  EXPECT_GT(CountingCell::boundReused, 0);
  EXPECT_EQ(list->dataOfSection(-1), nullptr);
  EXPECT_EQ(list->dataOfSection(1), nullptr);
}

TEST_F(ListViewTest, FlagSetsAreReadOnceAReloadAndTooLargeOnesPerRow) {
  int setReads = 0, rowReads = 0;
  auto marked = [&]() -> ListView::FlagKeys {
    ++setReads;
    return std::vector<std::string>{"1", "3"};
  };
  auto tooMany = [&]() -> ListView::FlagKeys {
    ++setReads;
    return std::nullopt;
  };
  auto row = [&] {
    ++rowReads;
    return true;
  };
  EXPECT_TRUE(list->rowFlagInSet("read", "1", marked, row));
  EXPECT_FALSE(list->rowFlagInSet("read", "2", marked, row));
  EXPECT_TRUE(list->rowFlagInSet("read", "3", marked, row));
  EXPECT_EQ(setReads, 1);
  EXPECT_EQ(rowReads, 0);
  list->reloadData();
  EXPECT_TRUE(list->rowFlagInSet("read", "1", marked, row));
  EXPECT_EQ(setReads, 2) << "a reload reads the set again";

  EXPECT_TRUE(list->rowFlagInSet("big", "2", tooMany, row));
  EXPECT_TRUE(list->rowFlagInSet("big", "2", tooMany, row));
  EXPECT_EQ(setReads, 3);
  EXPECT_EQ(rowReads, 1) << "each row read once";
}

class CachingController : public ScriptedController {
 public:
  std::shared_ptr<DataItemResult> cache;
  bool cachedFlag = false;
  std::optional<std::shared_ptr<DataItemResult>> dataCacheForSection(ListViewData&) override { return cache; }
  bool dataLoadedForSection(ListViewData& s, const DataItemResult& r, bool cached) override {
    cachedFlag = cached;
    s.listData()->appendItems(&r);
    return true;
  }
};

TEST_F(ListViewTest, ACachedAnswerIsTakenWithoutALoader) {
  auto caching = std::make_shared<CachingController>();
  caching->cache = DataLoadAndParser::initWithData(pageXml(3, {1, 2, 3}))->getResult();
  list->setCtrl(caching);
  section->loadData();
  EXPECT_TRUE(caching->requestedPages.empty());
  EXPECT_TRUE(caching->cachedFlag);
  EXPECT_EQ(section->count(), 3u);
  EXPECT_TRUE(section->loadFinished());
  EXPECT_EQ(rows(), 3);
}

TEST_F(ListViewTest, DeletingRowsLowersTheTotalAndTheLastRowReloadsTheList) {
  total = 2;
  list->setAllowEditCell(true);
  section->loadData();
  ctrl->deliverAll();
  list->layoutIfNeeded();
  EXPECT_TRUE(list->canEditRowAtIndexPath(*list, IndexPath::forRow(0, 0)).value_or(false));
  list->deleteRowsAtIndexPaths({IndexPath::forRow(0, 0)}, platform::TableViewRowAnimation::Fade);
  EXPECT_EQ(section->count(), 1u);
  EXPECT_EQ(section->listData()->maxCount(), 1u);
  EXPECT_EQ(section->listData()->detailInfo()->getInt(ListViewData::RemovedSectionItemCountKey), 1);
  list->deleteRowsAtIndexPaths({IndexPath::forRow(0, 0)}, platform::TableViewRowAnimation::Fade);
  EXPECT_EQ(rows(), 1);  // the empty row
  EXPECT_FALSE(list->canEditRowAtIndexPath(*list, IndexPath::forRow(0, 0)).value_or(true));
}

TEST_F(ListViewTest, BurstsOfDelayedReloadsGiveOneReload) {
  struct Counting : ScriptedController {
    int reloads = 0;
    bool listViewOnReloaded(ListView&) override {
      ++reloads;
      return true;
    }
  };
  auto counting = std::make_shared<Counting>();
  list->setCtrl(counting);
  for (int i = 0; i < 5; ++i) list->delayReloadData();
  runFor(0.1);
  EXPECT_EQ(counting->reloads, 1);
}

TEST_F(ListViewTest, ErrorRowsGrowWithTheirTextAndTitleValueRowsCapTheValue) {
  ctrl->answer = [](ListViewData&) { return pageXml(0, {}, false, std::string(300, 'x')); };
  section->loadData();
  ctrl->deliverAll();
  double h = list->heightForRowAtIndexPath(*list, IndexPath::forRow(0, 0)).value_or(0);
  EXPECT_GT(h, 44);

  auto form = ListViewData::newDataOnListView(*list, platform::classFor<TitleValueCell>());
  auto record = DataItemDetail::newDetail();
  record->setItemTitle("Title");
  record->setItemValue(std::string(100, 'v'));
  form->listData()->addItem(record);
  list->reloadData();
  list->layoutIfNeeded();
  auto cell = std::dynamic_pointer_cast<TitleValueCell>(list->cellForRowAtIndexPath(IndexPath::forRow(0, 1)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->rightValueLabel()->frame().size.width, 160);
  EXPECT_EQ(cell->rightValueLabel()->frame().origin.x, 320 - 10 - 160);
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, IndexPath::forRow(0, 1)).value_or(0), 44);
}

}  // namespace
}  // namespace kavro::test

namespace kavro::test {
namespace {

TEST_F(ListViewTest, SectionHeadersComeFromTheTitleOrFromAHeaderClass) {
  section->setShowHeader(true);
  section->setTitle("Jobs near you");
  EXPECT_EQ(list->heightForHeaderInSection(*list, 0).value_or(-1), 44);
  EXPECT_EQ(list->titleForHeaderInSection(*list, 0).value_or(""), "Jobs near you");
  section->setMHeaderViewClass(platform::classFor<ListView>());
  EXPECT_FALSE(list->titleForHeaderInSection(*list, 0));
  auto header = list->viewForHeaderInSection(*list, 0);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->subviews().front()->frame().origin.x, 10);
  EXPECT_EQ(list->heightForHeaderInSection(*list, 0).value_or(-1), header->frame().size.height);
  EXPECT_GT(header->frame().size.height, 20);
  section->setShowHeader(false);
  EXPECT_EQ(list->heightForHeaderInSection(*list, 0).value_or(-1), 0);
  EXPECT_EQ(list->heightForFooterInSection(*list, 0).value_or(-1), 0);
}

}  // namespace
}  // namespace kavro::test

namespace kavro::test {
namespace {

TEST_F(ListViewTest, FullSizeStateRowsFillTheListAndTheMoreRowNamesThePageSize) {
  section->setPageSize(20);
  total = 50;
  section->loadData();
  ctrl->deliverAll();
  auto more = std::dynamic_pointer_cast<MoreTableCell>(lastCell());
  ASSERT_TRUE(more);
  EXPECT_EQ(shownTexts(*more), std::vector<std::string>{"显示下20条"});

  auto empty = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
  empty->setMEmtpyCellClass(platform::classFor<FullEmptyNotClickTableCell>());
  empty->setMLoadingCellClass(platform::classFor<FullLoadingTableCell>());
  total = 0;
  empty->loadData();
  IndexPath ip = IndexPath::forRow(0, 1);
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, ip).value_or(0), 480);
  // While it loads, the row filling the list says so, across the list and down to its end.
  list->reloadData();
  list->layoutIfNeeded();
  list->scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::Top, false);
  auto loading = std::dynamic_pointer_cast<FullLoadingTableCell>(list->cellForRowAtIndexPath(ip));
  ASSERT_TRUE(loading);
  EXPECT_EQ(shownTexts(*loading), std::vector<std::string>{"正在加载..."});
  EXPECT_FALSE(loading->loadingView()->isHidden());
  EXPECT_EQ(loading->loadingView()->frame(), platform::Rect(20, 10, 280, 460));
  ctrl->deliverAll();
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, ip).value_or(0), 480);
  empty->setSectionHeight(300);
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, ip).value_or(0), 300);
  list->reloadData();
  list->layoutIfNeeded();
  list->scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::Top, false);
  auto cell = std::dynamic_pointer_cast<FullEmptyNotClickTableCell>(list->cellForRowAtIndexPath(ip));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->customButton()->frame(), platform::Rect(0, 0, 320, 300));
  EXPECT_EQ(cell->subviews().back(), cell->customButton());
  EXPECT_EQ(cell->label()->frame(), platform::Rect(20, 10, 280, 280));
}

}  // namespace
}  // namespace kavro::test
