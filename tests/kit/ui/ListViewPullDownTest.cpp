#include <gtest/gtest.h>

#include "kit/ui/ListViewPullDown.h"
#include "kit/ui/PullDownLoadingTableCell.h"
#include "kit/ui/TitleCell.h"
#include "tests/kit/ui/ListTestSupport.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {
namespace {

class PullDownController : public ScriptedController, public ListViewPullDownDelegate {
 public:
  std::weak_ptr<ListViewData> section;
  int refreshes = 0;
  int finishes = 0;
  std::vector<bool> pulls;
  bool pullDownToRefresh() override {
    ++refreshes;
    if (auto s = section.lock()) s->refreshData();
    return true;
  }
  bool finishPullDownList(ListViewPullDown&) override {
    ++finishes;
    return true;
  }
  bool pullDownOrUpList(bool up) override {
    pulls.push_back(up);
    return true;
  }
};

class ListViewPullDownTest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ctrl = std::make_shared<PullDownController>();
    ctrl->answer = [this](ListViewData& s) {
      int first = static_cast<int>((s.pageAt() - 1) * s.pageSize()) + 1 + offset;
      return pageXml(35, ids(first, 10, 1000));
    };
    list = ListViewPullDown::create(false);
    list->setCtrl(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 480));
    section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
    section->setMLoadingCellClass(platform::classFor<PullDownLoadingTableCell>());
    ctrl->section = section;
    section->loadData();
    ctrl->deliverAll();
  }
  void TearDown() override {
    list->stopLoading();
    VirtualRunLoopTest::TearDown();
  }
  void pullAndRelease(double y) {
    ASSERT_TRUE(list->beginDragging());
    list->dragTo({0, y});
    list->endDragging();
  }

  int offset = 0;
  std::shared_ptr<PullDownController> ctrl;
  std::shared_ptr<ListViewPullDown> list;
  std::shared_ptr<ListViewData> section;
};

// The loading row at the end of the list says "loading" as the header does, in the same skin.
TEST_F(ListViewPullDownTest, TheLoadingRowWearsTheHeaderSkin) {
  section->loadData();  // the next page, still on its way
  list->reloadData();
  list->layoutIfNeeded();
  platform::IndexPath last = platform::IndexPath::forRow(list->numberOfRowsInSection(0) - 1, 0);
  list->scrollToRowAtIndexPath(last, platform::TableViewScrollPosition::Bottom, false);
  auto cell = list->cellForRowAtIndexPath(last);
  ASSERT_TRUE(cell) << list->numberOfRowsInSection(0);
  auto row = std::dynamic_pointer_cast<PullDownLoadingTableCell>(cell);
  ASSERT_TRUE(row) << platform::classOf(*cell)->name();
  ASSERT_TRUE(row->loadingView());
  EXPECT_EQ(row->loadingView()->getTextColor(), list->loadingView()->getTextColor());
  EXPECT_NE(row->loadingView()->getTextColor(), platform::Color::black());
  EXPECT_EQ(row->loadingView()->frame().origin.y, 0);
  EXPECT_EQ(row->loadingView()->frame().size.height, 44);
}

TEST_F(ListViewPullDownTest, ReleasingAt52PointsRefreshesAndTheRowsStayUntilTheNewFirstPage) {
  EXPECT_EQ(list->refreshHeaderView()->frame(), platform::Rect(0, -52, 320, 52));
  EXPECT_EQ(list->separatorStyle(), platform::TableViewCellSeparatorStyle::None);

  pullAndRelease(-51);
  EXPECT_FALSE(list->isLoading());
  EXPECT_EQ(ctrl->refreshes, 0);
  EXPECT_EQ(list->refreshLabel()->text(), "下拉可以刷新");

  offset = 100;  // the refreshed first page brings other rows
  ASSERT_TRUE(list->beginDragging());
  EXPECT_TRUE(list->isDragged());
  list->dragTo({0, -60});
  EXPECT_EQ(list->refreshLabel()->text(), "松开即可刷新");
  EXPECT_EQ(ctrl->pulls.back(), false);
  list->endDragging();
  EXPECT_TRUE(list->isLoading());
  EXPECT_TRUE(list->isPullDownRefreshNow());
  EXPECT_FALSE(list->isDragged());
  EXPECT_EQ(ctrl->refreshes, 1);
  EXPECT_EQ(ctrl->finishes, 1);
  EXPECT_FALSE(list->loadingView()->isHidden());
  EXPECT_TRUE(list->refreshArrow()->isHidden());
  EXPECT_EQ(section->pageAt(), 1u);
  EXPECT_TRUE(section->isRefreshData());
  EXPECT_EQ(section->count(), 10u);  // kept while the refresh runs

  // Dragging during the refresh neither marks a drag nor changes the prompt but to "loading".
  ASSERT_TRUE(list->beginDragging());
  EXPECT_FALSE(list->isDragged());
  list->dragTo({0, -30});
  EXPECT_EQ(list->contentInset().top, 30);
  EXPECT_EQ(list->refreshLabel()->text(), "正在加载...");
  list->dragTo({0, 20});
  EXPECT_EQ(list->contentInset().top, 0);
  list->endDragging();

  ctrl->deliverAll();
  EXPECT_EQ(section->count(), 10u);
  EXPECT_EQ(section->listData()->getItem(0)->getString("jobid"), "101");

  list->finishPullDownAnimation();
  EXPECT_FALSE(list->isLoading());
  runFor(0.3);
  EXPECT_EQ(list->refreshLabel()->text(), "下拉可以刷新");
  EXPECT_TRUE(list->loadingView()->isHidden());
  EXPECT_FALSE(list->refreshArrow()->isHidden());
  EXPECT_EQ(list->contentInset(), platform::EdgeInsets{});

  list->finishPullDownAnimation();  // no refresh runs: nothing
  EXPECT_FALSE(list->isLoading());
}

TEST_F(ListViewPullDownTest, AFailedRefreshKeepsTheOldRowsAndTheLoadingRowHidesWhileTheHeaderShowsProgress) {
  ctrl->answer = [](ListViewData&) { return pageXml(0, {}, false); };
  pullAndRelease(-60);
  ASSERT_TRUE(list->isLoading());
  // The first page reloads: the loading row takes no room while the header shows the progress.
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, platform::IndexPath::forRow(10, 0)).value_or(-1), 0);
  ctrl->deliverAll();
  EXPECT_FALSE(section->isLoadDataOK());
  EXPECT_EQ(section->count(), 10u);
  list->finishPullDownAnimation();
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, platform::IndexPath::forRow(10, 0)).value_or(-1), 44);
}

// The loading row gives its room to the header's progress only while the header can be seen: a
// list scrolled down during a refresh shows the row again, by the list's height (not its width).
TEST_F(ListViewPullDownTest, TheLoadingRowComesBackWhenTheListIsScrolledAwayFromTheRefreshingHeader) {
  pullAndRelease(-60);
  ASSERT_TRUE(list->isPullDownRefreshNow());
  const platform::IndexPath loadingRow = platform::IndexPath::forRow(10, 0);
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, loadingRow).value_or(-1), 0);
  // Past the header's height below the content's end, counted with the list's 480 points of height;
  // its 320 points of width would leave the header in sight.
  list->setContentOffset({0, 100});
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, loadingRow).value_or(-1), 44);
  list->setContentOffset({0, 52});
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, loadingRow).value_or(-1), 0);
  list->setContentOffset({0, -52});
  EXPECT_EQ(list->heightForRowAtIndexPath(*list, loadingRow).value_or(-1), 0);
}

// What the loading row shows: nothing while the refreshing header shows its progress in sight, and
// "loading" again, in the same reused row, when the next page loads after the refresh.
TEST_F(ListViewPullDownTest, TheLoadingRowShowsNoTextWhileTheHeaderShowsProgress) {
  list->setFrame(platform::Rect(0, 0, 320, 600));  // the loading row is in sight below ten rows
  const platform::IndexPath loadingRow = platform::IndexPath::forRow(10, 0);
  pullAndRelease(-60);
  ASSERT_TRUE(list->isPullDownRefreshNow());
  list->layoutIfNeeded();
  auto during = std::dynamic_pointer_cast<PullDownLoadingTableCell>(list->cellForRowAtIndexPath(loadingRow));
  ASSERT_TRUE(during);
  EXPECT_TRUE(shownTexts(*during).empty());

  ctrl->deliverAll();
  list->finishPullDownAnimation();
  runFor(0.3);
  section->loadData();  // the next page, still on its way
  list->reloadData();
  list->layoutIfNeeded();
  platform::IndexPath last = platform::IndexPath::forRow(list->numberOfRowsInSection(0) - 1, 0);
  list->scrollToRowAtIndexPath(last, platform::TableViewScrollPosition::Bottom, false);
  auto after = std::dynamic_pointer_cast<PullDownLoadingTableCell>(list->cellForRowAtIndexPath(last));
  ASSERT_TRUE(after);
  EXPECT_EQ(after, during) << "the same row, reused";
  EXPECT_EQ(shownTexts(*after), std::vector<std::string>{"正在加载..."});
}

}  // namespace
}  // namespace kavro::test
