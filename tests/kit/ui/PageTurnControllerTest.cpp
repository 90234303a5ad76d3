#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ListView.h"
#include "kit/ui/PageTurnController.h"
#include "kit/ui/TitleCell.h"
#include "platform/ui/NavigationController.h"
#include "tests/kit/ui/ListTestSupport.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

class RecordPage : public platform::View, public PageTurnDelegate {
 public:
  explicit RecordPage(platform::Rect frame) : View(frame) {}
  std::shared_ptr<PageTurnController> pageTurnCtrl() const override { return ctrl_.lock(); }
  void setPageTurnCtrl(std::weak_ptr<PageTurnController> c) override { ctrl_ = std::move(c); }
  bool on_view_active() override {
    ++activations;
    return true;
  }
  static std::shared_ptr<platform::View> make(const std::shared_ptr<DataItemDetail>& record,
                                              platform::Rect frame, PageTurnController&) {
    auto page = std::make_shared<RecordPage>(frame);
    page->jobid = record->getString("jobid");
    return page;
  }
  static std::string title() { return "Job"; }
  std::string jobid;
  int activations = 0;

 private:
  std::weak_ptr<PageTurnController> ctrl_;
};

KAVRO_CLASS(RecordPage, platform::View)
    .classFunction(&PageClassFunctions::customPartViewWithDetail, &RecordPage::make)
    .classFunction(&PageClassFunctions::getTitle, &RecordPage::title);

namespace {

class PageTurnControllerTest : public VirtualRunLoopTest {
 protected:
  TempHome home;
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ctrl = std::make_shared<ScriptedController>();
    ctrl->answer = [this](ListViewData& s) {
      int first = static_cast<int>((s.pageAt() - 1) * s.pageSize()) + 1;
      return pageXml(total, ids(first, static_cast<int>(s.pageSize()), served));
    };
    list = ListView::plainListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 480));
    section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
  }
  void TearDown() override {
    list->stopLoading();
    // The stores the list opened stand in this test's home, which goes with the test.
    AppCoreInfo::destroyAppCoreInfo();
    VirtualRunLoopTest::TearDown();
  }
  std::shared_ptr<PageTurnController> open(int index) {
    auto pager = PageTurnController::create(section, index, platform::classFor<RecordPage>());
    pager->view();
    return pager;
  }
  void swipeTo(PageTurnController& pager, int page) {
    pager.pagesScrollView()->setContentOffset({page * pager.scrollPageSize().width, 0});
    pager.scrollViewDidEndDecelerating(*pager.pagesScrollView());
  }
  std::shared_ptr<RecordPage> current(PageTurnController& pager) {
    return std::dynamic_pointer_cast<RecordPage>(pager.get_current_view());
  }

  int total = 12;
  int served = 12;
  std::shared_ptr<ScriptedController> ctrl;
  std::shared_ptr<ListView> list;
  std::shared_ptr<ListViewData> section;
};

TEST_F(PageTurnControllerTest, IsAScreenRegisteredAtCreationAndBuiltOnce) {
  auto pager = open(2);
  EXPECT_EQ(AppControllers::mostRecentController(), pager);
  EXPECT_TRUE(platform::isKindOfClass(*pager, "UIBasicController"));
  EXPECT_TRUE(pager->isCustomed());
  auto scrollView = pager->pagesScrollView();
  pager->viewDidLoad();  // loaded again: not built a second time
  EXPECT_EQ(pager->pagesScrollView(), scrollView);
}

TEST_F(PageTurnControllerTest, AShortListIsOneWindowWithTheOpenedRecordOnScreen) {
  section->setPageSize(20);
  section->loadData();
  ctrl->deliverAll();
  auto pager = open(5);
  EXPECT_EQ(pager->title(), "Job");
  EXPECT_EQ(pager->maxScrollPage(), 12u);
  EXPECT_EQ(pager->scrollStartPosition(), 0);
  EXPECT_EQ(pager->currentPageIndex(), 5);
  EXPECT_FALSE(pager->needCheckPagePosition());
  auto page = current(*pager);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->jobid, "6");
  EXPECT_EQ(page->tag(), 5);
  EXPECT_EQ(page->activations, 1);
  EXPECT_EQ(pager->pagesScrollView()->contentSize().width, 12 * pager->scrollPageSize().width);

  swipeTo(*pager, 6);
  EXPECT_EQ(pager->scrollStartPosition(), 0);
  EXPECT_EQ(pager->get_current_item()->getString("jobid"), "7");
  // Only the pages in view and the right neighbour are views; recycled ones within two pages.
  EXPECT_LE(pager->visiblePages().size(), 2u);
  for (const auto& v : pager->recycledPages()) EXPECT_GE(v->tag(), 4);
}

TEST_F(PageTurnControllerTest, ALongListKeepsAWindowOf51PagesAroundTheCurrentRecord) {
  total = 200;
  served = 200;
  section->setPageSize(200);
  section->loadData();
  ctrl->deliverAll();
  auto pager = open(120);
  EXPECT_TRUE(pager->needCheckPagePosition());
  EXPECT_EQ(pager->maxScrollPage(), 51u);
  EXPECT_EQ(pager->scrollStartPosition(), 102);
  EXPECT_EQ(pager->currentPageIndex(), 18);

  swipeTo(*pager, 49);  // record 151, near the window's end: 25 pages before it
  EXPECT_EQ(pager->scrollStartPosition(), 126);
  EXPECT_EQ(pager->currentPageIndex(), 25);
  EXPECT_EQ(pager->get_current_item()->getString("jobid"), "152");
  EXPECT_EQ(pager->pagesScrollView()->contentOffset().x, 25 * pager->scrollPageSize().width);

  swipeTo(*pager, 49);  // record 175: the window never runs past the last record
  EXPECT_EQ(pager->scrollStartPosition(), 149);
  EXPECT_EQ(pager->currentPageIndex(), 26);

  swipeTo(*pager, 0);  // record 149, at the window's start
  EXPECT_EQ(pager->scrollStartPosition(), 124);
  EXPECT_EQ(pager->currentPageIndex(), 25);
}

TEST_F(PageTurnControllerTest, ARecordNotYetLoadedShowsASpinnerUntilTheNextPageArrives) {
  total = 35;
  served = 35;
  section->loadData();
  ctrl->deliverAll();
  auto pager = open(9);
  pager->pageCheckStart();
  // The right neighbour of record 9 is not loaded: its spinner asked for page 2.
  EXPECT_EQ(ctrl->requestedPages, (std::vector<std::uint32_t>{1, 2}));
  swipeTo(*pager, 10);
  EXPECT_FALSE(current(*pager));
  ctrl->deliverAll();
  runFor(0.5);
  auto page = current(*pager);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->jobid, "11");
}

TEST_F(PageTurnControllerTest, SwipingPastTheLastRecordOfAFinishedSectionPopsTheContainer) {
  total = 12;
  served = 10;  // the server holds fewer records than it says
  section->loadData();
  ctrl->deliverAll();
  auto root = std::make_shared<platform::ViewController>();
  auto nav = platform::NavigationController::create(root);
  auto pager = PageTurnController::create(section, 9, platform::classFor<RecordPage>());
  nav->pushViewController(pager, false);
  pager->view();
  ctrl->deliverAll();  // page 2, empty: the section is finished
  EXPECT_TRUE(section->loadFinished());
  swipeTo(*pager, 10);
  runFor(0.5);
  EXPECT_EQ(nav->topViewController(), root);
}

}  // namespace
}  // namespace kavro::test
