#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "mapsdk/display/ActionPaopaoView.h"
#include "mapsdk/display/StretchImageUtil.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "tests/support/VirtualRunLoop.h"

using namespace mapsdk;
using platform::Rect;

namespace {

class BubbleTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::Screen::mainScreen().reset();
  }
};

struct CountingDelegate : PaopaoBaseViewDelegate {
  void onMoreButtonClicked() override { ++clicks; }
  int clicks = 0;
};

TEST_F(BubbleTest, BodiesFitTheirTextsBetweenTheLimits) {
  auto bubble = PaopaoBaseView::create("天安门", std::nullopt);
  const auto& body = bubble->paopaoButton();
  // The bundle's halves are 41 points high; a short title gives the minimum width.
  EXPECT_EQ(bubble->frame().size, (platform::Size{86, 41}));
  EXPECT_EQ(body->frame(), Rect(0, 0, 86, 41));
  EXPECT_EQ(body->leftImage()->frame(), Rect(0, 0, 43, 41));
  EXPECT_EQ(body->rightImage()->frame(), Rect(43, 0, 43, 41));
  // Alone, the title is centred in the height; the detail line is hidden.
  double lh = platform::TextMetrics::lineHeight(15);
  EXPECT_EQ(body->label()->frame(), Rect(5, std::floor((41 - lh) * 0.5), 76, lh));
  EXPECT_TRUE(body->detailLabel()->isHidden());
  EXPECT_EQ(body->label()->text(), "天安门");

  bubble->setText(std::string(200, 'w'), "detail");
  EXPECT_DOUBLE_EQ(bubble->frame().width(), 300);
  EXPECT_FALSE(body->detailLabel()->isHidden());
  // The two lines together are centred in the height, the detail line right under the title.
  double dh = platform::TextMetrics::lineHeight(13);
  EXPECT_EQ(body->label()->frame(), Rect(5, std::floor((41 - lh - dh) * 0.5), 290, lh));
  EXPECT_EQ(body->detailLabel()->frame(), Rect(5, body->label()->frame().maxY(), 290, dh));
  EXPECT_EQ(body->detailLabel()->text(), "detail");
  // Back to a title alone: the detail line hides again and the title is centred alone.
  bubble->setText("天安门", std::nullopt);
  EXPECT_TRUE(body->detailLabel()->isHidden());
  EXPECT_EQ(body->label()->frame(), Rect(5, std::floor((41 - lh) * 0.5), 76, lh));

  // A 101-point bubble stands with its bottom centre on the point.
  bubble->setFrame(Rect(0, 0, 101, 41));
  bubble->showAtPoint({200, 300});
  EXPECT_EQ(bubble->frame(), Rect(150, 259, 101, 41));

  body->setHighlighted(true);
  EXPECT_TRUE(body->leftImage()->isHighlighted());
  EXPECT_TRUE(body->rightImage()->isHighlighted());
}

TEST_F(BubbleTest, ActionBubblesMakeRoomForTheirSideViews) {
  auto left = std::make_shared<platform::View>(Rect(0, 0, 40, 20));
  auto bubble = ActionPaopaoView::create(left, nullptr);
  EXPECT_EQ(bubble->leftViewRightViewWidth(), 40);
  bubble->setText(std::string(200, 'w'), std::nullopt);
  // 300 less the side width and its 35-point allowance.
  EXPECT_DOUBLE_EQ(bubble->paopaoButton()->maxWidth(), 225);
  EXPECT_DOUBLE_EQ(bubble->frame().width(), 225 + 35);
  EXPECT_EQ(left->frame(), Rect(6, 10, 40, 20));
  EXPECT_DOUBLE_EQ(bubble->paopaoButton()->frame().width(), 260);
  EXPECT_DOUBLE_EQ(bubble->paopaoButton()->label()->frame().x(), 5 + 35);

  auto right = std::make_shared<platform::View>(Rect(0, 0, 20, 20));
  auto both = ActionPaopaoView::create(nullptr, right);
  both->setText("x", std::nullopt);
  EXPECT_DOUBLE_EQ(both->frame().width(), 86 + 23);
  EXPECT_DOUBLE_EQ(right->frame().x(), 86 - 3);

  auto plain = ActionPaopaoView::create(nullptr, nullptr);
  plain->setText(std::string(200, 'w'), std::nullopt);
  EXPECT_DOUBLE_EQ(plain->frame().width(), 300);

  // Side views leave with their bubble; one already moved elsewhere stays where it went.
  auto moved = std::make_shared<platform::View>(Rect(0, 0, 20, 20));
  auto elsewhere = std::make_shared<platform::View>(Rect(0, 0, 100, 100));
  auto moving = ActionPaopaoView::create(moved, nullptr);
  elsewhere->addSubview(moved);
  moving.reset();
  EXPECT_EQ(moved->superview(), elsewhere);
  both.reset();
  EXPECT_FALSE(right->superview());
}

// Pixels that differ between two pictures of one size, in the columns [from, to).
int Differing(const platform::Bitmap& a, const platform::Bitmap& b, int from, int to) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = from; x < to; ++x) n += a.pixelAt(x, y) != b.pixelAt(x, y);
  return n;
}

TEST_F(BubbleTest, APressedBodyShowsItsPressedPicturesOnBothHalvesUntilLetGo) {
  auto bubble = PaopaoBaseView::create("天安门", std::nullopt);
  auto picture = [&] {
    auto image = platform::Snapshot::imageOfView(*bubble, 1);
    return image ? *image->bitmap() : platform::Bitmap();
  };
  const platform::Bitmap normal = picture();
  ASSERT_EQ(normal.width(), 86);
  ASSERT_EQ(normal.height(), 41);
  bubble->paopaoButton()->setHighlighted(true);
  const platform::Bitmap pressed = picture();
  ASSERT_EQ(pressed.width(), 86);
  EXPECT_GT(Differing(normal, pressed, 0, 43), 0);   // the left half's picture
  EXPECT_GT(Differing(normal, pressed, 43, 86), 0);  // and the right half's
  bubble->paopaoButton()->setHighlighted(false);
  EXPECT_TRUE(picture() == normal);
}

TEST_F(BubbleTest, TappingTheBodyTellsTheDelegate) {
  auto bubble = PaopaoBaseView::create("a", "b");
  auto delegate = std::make_shared<CountingDelegate>();
  bubble->paopaoButton()->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
  bubble->setDelegate(delegate);
  bubble->paopaoButton()->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
  EXPECT_EQ(delegate->clicks, 1);
  delegate.reset();
  bubble->onClickContentButton();  // a delegate that is gone hears nothing
}

TEST_F(BubbleTest, StretchPicturesComeFromTheMapBundle) {
  EXPECT_FALSE(StretchImageUtil::getStretchImage("", {1, 0}));
  EXPECT_FALSE(StretchImageUtil::getStretchImage("no_such_picture", {1, 0}));
  auto image = StretchImageUtil::getStretchImage("icon_paopao_middle_left", {10.7, 0});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->leftCapWidth(), 10);
  EXPECT_DOUBLE_EQ(image->scale(), 2);
  auto view =
      StretchImageUtil::getStretchImageViewWithImageName("icon_paopao_middle_left", "", Rect(1, 0, 50, 0));
  EXPECT_EQ(view->frame().size, (platform::Size{50, 41}));
  auto button = StretchImageUtil::getStretchButtonWithImageName(
      "icon_action_paopao_left_nearby", "icon_action_paopao_left_nearby_highlighted", "", Rect(0, 0, 0, 0));
  EXPECT_EQ(button->frame().size, (platform::Size{32, 32}));
  EXPECT_TRUE(button->backgroundImageForState(platform::ControlState::Highlighted));
}

// The double-resolution picture is taken on a retina screen, as the device's screen says, with no
// map engine about; on a single-density screen the plain one.
TEST_F(BubbleTest, MapPicturesFollowTheDevicesScreen) {
  auto& screen = platform::Screen::mainScreen();
  auto retina = StretchImageUtil::mapImageNamed("pin_red");
  ASSERT_TRUE(retina);
  EXPECT_DOUBLE_EQ(retina->scale(), 2);
  screen.setScale(1);
  auto plain = StretchImageUtil::mapImageNamed("pin_red");
  screen.reset();
  ASSERT_TRUE(plain);
  EXPECT_DOUBLE_EQ(plain->scale(), 1);
  EXPECT_EQ(plain->size(), retina->size());  // the same picture in points
}

}  // namespace
