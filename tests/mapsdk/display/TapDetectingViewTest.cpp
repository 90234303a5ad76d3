#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mapsdk/display/GMKPointAnnotation.h"
#include "mapsdk/display/TapDetectingView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/UIDriver.h"
#include "tests/mapsdk/display/MapViewTestSupport.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using mapsdk::TapDetectingView;
using platform::Point;
using platform::UIDriver;

// Writes down every report with its point and the virtual time since the test began.
class Reports : public mapsdk::TapDetectingViewDelegate {
 public:
  explicit Reports(std::function<double()> clock) : clock_(std::move(clock)) {}
  std::vector<std::string> seen;
  std::vector<double> at;

  bool tapDetectingViewGotSingleTap(TapDetectingView&, Point p) override { return note("single", p); }
  bool tapDetectingViewGotDoubleTap(TapDetectingView&, Point p) override { return note("double", p); }
  bool tapDetectingViewGotTwoFingerTap(TapDetectingView&, Point p) override { return note("two", p); }
  bool tapDetectingViewGotNormalPress(TapDetectingView&, Point p) override { return note("press", p); }
  bool tapDetectingViewGotLongPress(TapDetectingView&, Point p) override { return note("long", p); }
  bool tapDetectingViewBeginTouch(TapDetectingView&, Point p) override { return note("begin", p); }
  bool tapDetectingViewMoveTouch(TapDetectingView&, Point p) override { return note("move", p); }
  bool tapDetectingViewEndTouch(TapDetectingView&, Point p) override { return note("end", p); }

 private:
  bool note(const char* what, Point p) {
    seen.push_back(std::string(what) + " " + std::to_string(static_cast<int>(p.x)) + "," +
                   std::to_string(static_cast<int>(p.y)));
    at.push_back(clock_());
    return true;
  }
  std::function<double()> clock_;
};

using Seen = std::vector<std::string>;

// A tap-detecting view of 200 x 200 at (50, 100) of the window: its centre is (100, 100) in its
// own coordinates and (150, 200) on screen.
class TapDetectingViewTest : public UITest {
 protected:
  void SetUp() override {
    UITest::SetUp();
    start = now();
    reports = std::make_unique<Reports>([this] { return now() - start; });
    view = TapDetectingView::create({50, 100, 200, 200});
    view->setDelegate(reports.get());
    window->addSubview(view);
  }
  void TearDown() override {
    view->removeFromSuperview();
    view.reset();
    UITest::TearDown();
  }
  const Seen& seen() const { return reports->seen; }

  double start = 0;
  std::unique_ptr<Reports> reports;
  std::shared_ptr<TapDetectingView> view;
};

TEST_F(TapDetectingViewTest, ASingleTapIsToldAfterTheWaitAndADoubleTapOnlyOnce) {
  ASSERT_TRUE(UIDriver::tapAt({150, 200}));
  EXPECT_EQ(seen(), (Seen{"begin 100,100", "end 100,100"}));
  runFor(0.3);
  EXPECT_EQ(seen().size(), 2u);
  runFor(0.1);
  ASSERT_EQ(seen(), (Seen{"begin 100,100", "end 100,100", "single 100,100"}));
  EXPECT_NEAR(reports->at.back(), 0.35, 1e-6);

  // The second touch of a double tap cancels the first one's single tap.
  reports->seen.clear();
  ASSERT_TRUE(UIDriver::tapAt({100, 150}, 1));
  runFor(0.1);
  ASSERT_TRUE(UIDriver::tapAt({100, 150}, 2));
  runFor(1);
  EXPECT_EQ(seen(), (Seen{"begin 50,50", "end 50,50", "begin 50,50", "end 50,50", "double 50,50"}));
}

TEST_F(TapDetectingViewTest, OneFingerHeldASecondIsALongPressAndNoNormalPress) {
  ASSERT_TRUE(UIDriver::longPress(*view, 1.0));
  EXPECT_EQ(seen(), (Seen{"begin 100,100", "long 100,100", "end 100,100"}));
  EXPECT_NEAR(reports->at[1], 1.0, 1e-6);
  runFor(1);
  EXPECT_EQ(seen().size(), 3u);  // no single tap, no normal press

  // Lifted sooner it is a normal press.
  reports->seen.clear();
  ASSERT_TRUE(UIDriver::longPress(*view, 0.6));
  runFor(2);
  EXPECT_EQ(seen(), (Seen{"begin 100,100", "end 100,100", "press 100,100"}));
}

TEST_F(TapDetectingViewTest, ADragReportsItsBeginMoveAndEndAndIsANormalPress) {
  ASSERT_TRUE(UIDriver::pan(*view, {30, -20}));
  runFor(2);
  EXPECT_EQ(seen(), (Seen{"begin 100,100", "move 130,80", "end 130,80", "press 130,80"}));
}

TEST_F(TapDetectingViewTest, TwoFingersLiftedOneAfterTheOtherAreOneTwoFingerTapAtTheirMidpoint) {
  ASSERT_TRUE(UIDriver::twoFingerTap(*view));
  runFor(2);
  // Only the first finger begins a touch point; no long press while both are down and gone.
  EXPECT_EQ(seen(), (Seen{"begin 90,100", "end 90,100", "end 90,100", "two 100,100"}));

  // Afterwards one finger is a single finger again.
  reports->seen.clear();
  ASSERT_TRUE(UIDriver::tapAt({150, 200}));
  runFor(0.5);
  EXPECT_EQ(seen().back(), "single 100,100");
}

TEST_F(TapDetectingViewTest, ThreeFingersOrAFingerThatTappedTwiceAreNoTwoFingerTap) {
  // Fingers at (140, 200), (160, 200) and (150, 220) of the window, each counting its taps.
  auto lift = [this](std::vector<platform::Touch>& fingers) {
    for (auto& f : fingers) view->touchesBegan(f);
    for (auto& f : fingers) view->touchesEnded(f);
    runFor(2);
  };
  const Point at[] = {{140, 200}, {160, 200}, {150, 220}};
  auto fingers = [&](std::vector<int> taps) {
    std::vector<platform::Touch> out;
    for (std::size_t i = 0; i < taps.size(); ++i) out.emplace_back(window, view, at[i], taps[i]);
    return out;
  };
  auto three = fingers({1, 1, 1});
  lift(three);
  auto firstTwice = fingers({2, 1});
  lift(firstTwice);
  auto lastTwice = fingers({1, 2});
  lift(lastTwice);
  for (const auto& s : seen()) EXPECT_EQ(s.rfind("two", 0), std::string::npos) << s;
  EXPECT_EQ(seen().front(), "begin 90,100");

  // Each of those ended the gesture: two single-tap fingers are a two-finger tap again.
  reports->seen.clear();
  auto two = fingers({1, 1});
  lift(two);
  EXPECT_EQ(seen().back(), "two 100,100");
}

// Tells the content view of each scroll step, as the map view does.
class DragNotifier : public platform::ScrollViewDelegate {
 public:
  explicit DragNotifier(TapDetectingView& view) : view_(view) {}
  void scrollViewDidScroll(platform::ScrollView&) override { view_.notifyDrag(); }

 private:
  TapDetectingView& view_;
};

TEST_F(TapDetectingViewTest, APanThatScrollsCancelsTheLongPressBeforeItFires) {
  view->removeFromSuperview();
  auto scroll = std::make_shared<platform::ScrollView>(platform::Rect(0, 0, 320, 480));
  scroll->setContentSize({1600, 2400});
  view->setFrame({0, 0, 1600, 2400});
  scroll->addSubview(view);
  window->addSubview(scroll);
  auto notifier = std::make_shared<DragNotifier>(*view);
  scroll->setDelegate(notifier);

  ASSERT_TRUE(UIDriver::pan(*scroll, {-40, 0}));
  runFor(2);
  EXPECT_EQ(seen(), (Seen{"begin 160,240"}));  // the touch was the scroll view's: no long press
  scroll->removeFromSuperview();
}

TEST_F(MapViewTest, ATapOnTheEmptyMapClosesTheBubbleOnlyAfterTheDoubleTapWait) {
  ASSERT_TRUE(OpenMap());
  auto place = std::make_shared<mapsdk::GMKPointAnnotation>();
  place->setCoordinate(view->centerCoordinate());
  place->setTitle("here");
  view->addAnnotation(place);
  runFor(0);  // shown when the turn ends
  view->selectAnnotation(place);
  auto pin = view->viewForAnnotation(place);
  ASSERT_TRUE(pin && pin->isSelected());
  const int x0 = Status().centerX;

  // Held for a second: a long press, which the map leaves alone.
  auto& content = view->contentView();
  ASSERT_TRUE(UIDriver::longPress(content, 1.0));
  runFor(1);
  EXPECT_TRUE(pin->isSelected());
  EXPECT_EQ(Status().centerX, x0);

  ASSERT_TRUE(UIDriver::tapAt({40, 420}));
  EXPECT_TRUE(pin->isSelected());  // it might still become a double tap
  runFor(0.4);
  EXPECT_FALSE(pin->isSelected());
}

}  // namespace
}  // namespace kavro::test
