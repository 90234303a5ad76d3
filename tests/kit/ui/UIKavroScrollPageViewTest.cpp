#include <gtest/gtest.h>

#include "kit/ui/UIKavroScrollPageView.h"
#include "platform/ui/Control.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {
namespace {

class UIKavroScrollPageViewTest : public VirtualRunLoopTest {
 protected:
  std::vector<std::shared_ptr<platform::View>> pages(int n) {
    std::vector<std::shared_ptr<platform::View>> out;
    for (int i = 0; i < n; ++i)
      out.push_back(std::make_shared<platform::View>(platform::Rect(0, 0, 300, 100)));
    return out;
  }
};

TEST_F(UIKavroScrollPageViewTest, PagesJoinLazilyAndThePageSwitchesPastHalfAPage) {
  auto views = pages(4);
  auto pager = UIKavroScrollPageView::create(platform::Rect(0, 0, 320, 118), views);
  EXPECT_EQ(pager->scrollView()->frame(), platform::Rect(0, 0, 320, 100));
  EXPECT_EQ(pager->pageControl()->frame(), platform::Rect(0, 100, 320, 10));
  EXPECT_EQ(pager->scrollView()->contentSize(), (platform::Size{1280, 100}));
  EXPECT_TRUE(views[0]->superview());
  EXPECT_TRUE(views[1]->superview());
  EXPECT_FALSE(views[2]->superview());
  EXPECT_EQ(views[1]->frame(), platform::Rect(320, 0, 300, 100));
  pager->scrollViewDidEndDecelerating(*pager->scrollView());  // the first page change has settled

  pager->scrollView()->setContentOffset({150, 0});
  EXPECT_EQ(pager->pageControl()->currentPage(), 0);
  pager->scrollView()->setContentOffset({170, 0});
  EXPECT_EQ(pager->pageControl()->currentPage(), 1);
  EXPECT_TRUE(views[2]->superview());
  EXPECT_FALSE(views[3]->superview());
}

TEST_F(UIKavroScrollPageViewTest, APageControlTapScrollsWithoutMovingTheDotsOnTheWay) {
  auto views = pages(3);
  auto pager = UIKavroScrollPageView::create(platform::Rect(0, 0, 320, 118), views);
  pager->scrollViewDidEndDecelerating(*pager->scrollView());
  pager->pageControl()->setCurrentPage(2);
  pager->pageControl()->sendActionsForControlEvents(platform::ControlEvent::ValueChanged);
  EXPECT_TRUE(pager->pageControlUsed());
  EXPECT_EQ(pager->scrollView()->contentOffset().x, 640);
  EXPECT_EQ(pager->pageControl()->currentPage(), 2);
  EXPECT_TRUE(views[2]->superview());
}

TEST_F(UIKavroScrollPageViewTest, OnePageOrNone) {
  auto one = pages(1);
  auto pager = UIKavroScrollPageView::create(platform::Rect(0, 0, 320, 118), one);
  EXPECT_TRUE(one[0]->superview());
  auto empty = UIKavroScrollPageView::create(platform::Rect(0, 0, 320, 118), {});
  EXPECT_EQ(empty->scrollView()->contentSize(), (platform::Size{0, 100}));
  EXPECT_TRUE(empty->scrollView()->subviews().empty());
}

}  // namespace
}  // namespace kavro::test
