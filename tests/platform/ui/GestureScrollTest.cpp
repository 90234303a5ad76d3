#include <gtest/gtest.h>

#include "platform/ui/ImageView.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/UIDriver.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using GestureScrollTest = UITest;

// A view that writes down the touches it hears.
class TouchLog : public View {
 public:
  using View::View;
  std::vector<std::string> log;
  void touchesBegan(const Touch&) override { log.push_back("began"); }
  void touchesEnded(const Touch&) override { log.push_back("ended"); }
  void touchesCancelled(const Touch&) override { log.push_back("cancelled"); }
};

class Refuser : public GestureRecognizerDelegate {
 public:
  bool refuse = true;
  std::optional<bool> gestureRecognizerShouldBegin(GestureRecognizer&) override { return !refuse; }
};

TEST_F(GestureScrollTest, RecognizersMatchTheGestureAndCancelTheTouch) {
  auto v = std::make_shared<TouchLog>(Rect(0, 100, 200, 200));
  window->addSubview(v);
  std::vector<std::string> seen;
  auto doubleTap =
      std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { seen.push_back("double"); });
  doubleTap->setNumberOfTapsRequired(2);
  auto press = std::make_shared<LongPressGestureRecognizer>([&](GestureRecognizer& g) {
    seen.push_back(g.state() == GestureRecognizerState::Began ? "press began" : "press ended");
  });
  auto swipe = std::make_shared<SwipeGestureRecognizer>([&](GestureRecognizer&) { seen.push_back("swipe"); });
  swipe->setDirection(SwipeDirection::Left);
  auto pan = std::make_shared<PanGestureRecognizer>([&](GestureRecognizer& g) {
    if (g.state() == GestureRecognizerState::Changed) {
      Point t = static_cast<PanGestureRecognizer&>(g).translationInView(v.get());
      seen.push_back("pan " + std::to_string(int(t.x)) + "," + std::to_string(int(t.y)));
    }
  });
  auto pinch = std::make_shared<PinchGestureRecognizer>([&](GestureRecognizer& g) {
    if (g.state() == GestureRecognizerState::Ended)
      seen.push_back("pinch " + std::to_string(static_cast<PinchGestureRecognizer&>(g).scale()));
  });
  for (auto& g : std::vector<std::shared_ptr<GestureRecognizer>>{doubleTap, press, swipe, pan, pinch})
    v->addGestureRecognizer(g);

  ASSERT_TRUE(UIDriver::tap(*v));  // a single tap: no recognizer wants it
  ASSERT_TRUE(UIDriver::tap(*v, 2));
  ASSERT_TRUE(UIDriver::longPress(*v, 0.6));
  ASSERT_TRUE(UIDriver::swipe(*v, SwipeDirection::Left));
  ASSERT_TRUE(UIDriver::pan(*v, {30, -10}));
  ASSERT_TRUE(UIDriver::pinch(*v, 2));
  EXPECT_EQ(seen, (std::vector<std::string>{"double", "press began", "press ended", "swipe", "pan 30,-10",
                                            "pinch 2.000000"}));
  EXPECT_EQ(v->log,
            (std::vector<std::string>{"began", "ended", "began", "cancelled", "began", "cancelled", "began",
                                      "cancelled", "began", "cancelled", "began", "cancelled"}));

  // A delegate may refuse; a recognizer that does not cancel lets the touch end.
  auto refuser = std::make_shared<Refuser>();
  doubleTap->setDelegate(refuser);
  v->log.clear();
  UIDriver::tap(*v, 2);
  EXPECT_EQ(seen.size(), 6u);
  refuser->refuse = false;
  doubleTap->setCancelsTouchesInView(false);
  UIDriver::tap(*v, 2);
  EXPECT_EQ(seen.back(), "double");
  EXPECT_EQ(v->log, (std::vector<std::string>{"began", "ended", "began", "ended"}));
}

// A view dragged by a pan that takes the translation step by step (read in its container, then
// set back to zero there) follows the finger exactly, in a container moved off the window's
// origin and in one drawn twice as large.
TEST_F(GestureScrollTest, ADraggedViewFollowsTheFingerInAMovedOrScaledContainer) {
  for (double scale : {1.0, 2.0}) {
    auto container = std::make_shared<View>(Rect(100, 140, 100, 100));
    container->setTransform(AffineTransform::makeScale(scale, scale));
    window->addSubview(container);
    auto card = std::make_shared<View>(Rect(10, 10, 40, 40));
    container->addSubview(card);
    std::vector<Point> steps;
    auto pan = std::make_shared<PanGestureRecognizer>([&](GestureRecognizer& g) {
      if (g.state() != GestureRecognizerState::Changed && g.state() != GestureRecognizerState::Ended) return;
      auto& p = static_cast<PanGestureRecognizer&>(g);
      Point t = p.translationInView(container.get());
      steps.push_back(t);
      card->setCenter({card->center().x + t.x, card->center().y + t.y});
      p.setTranslation({0, 0}, container.get());
    });
    card->addGestureRecognizer(pan);
    const Rect before = card->convertRectToView(card->bounds(), nullptr);
    ASSERT_TRUE(UIDriver::pan(*card, {30, -10})) << scale;
    const Rect after = card->convertRectToView(card->bounds(), nullptr);
    EXPECT_EQ(after.origin.x - before.origin.x, 30) << scale;
    EXPECT_EQ(after.origin.y - before.origin.y, -10) << scale;
    EXPECT_EQ(steps, (std::vector<Point>{{30 / scale, -10 / scale}, {0, 0}})) << scale;
    // A translation set in the container reads back the same there, and scaled in the window.
    pan->setTranslation({4, -6}, container.get());
    EXPECT_EQ(pan->translationInView(container.get()), (Point{4, -6})) << scale;
    EXPECT_EQ(pan->translationInView(nullptr), (Point{4 * scale, -6 * scale})) << scale;
    container->removeFromSuperview();
  }
}

TEST_F(GestureScrollTest, ARectIsScrolledToFromEachSideAndWithinTheContent) {
  auto view = std::make_shared<ScrollView>(Rect(0, 0, 100, 50));
  view->setContentSize({1000, 800});
  window->addSubview(view);
  auto shown = [&](Rect r) {
    view->scrollRectToVisible(r, false);
    return view->contentOffset();
  };
  EXPECT_EQ(shown(Rect(300, 200, 40, 30)), (Point{240, 180})) << "right and below: its far edges show";
  EXPECT_EQ(shown(Rect(10, 20, 40, 30)), (Point{10, 20})) << "left and above: its near edges show";
  EXPECT_EQ(shown(Rect(30, 40, 10, 10)), (Point{10, 20})) << "in sight already: nothing moves";
  EXPECT_EQ(shown(Rect(500, 400, 300, 200)), (Point{500, 400})) << "larger than the view: its top left shows";
  EXPECT_EQ(shown(Rect(980, 790, 40, 30)), (Point{900, 750})) << "past the content: held at its end";
  EXPECT_EQ(shown(Rect(-20, -30, 5, 5)), (Point{0, 0})) << "before the content: held at its start";
}

TEST_F(GestureScrollTest, PagingSettlesOnPagesAndAnimatedScrollsReportTheirEnd) {
  struct Log : ScrollViewDelegate {
    std::vector<std::string> events;
    std::shared_ptr<View> zoomed;
    void scrollViewWillBeginDragging(ScrollView&) override { events.push_back("drag"); }
    void scrollViewDidEndDragging(ScrollView&, bool d) override {
      events.push_back(d ? "end+decelerate" : "end");
    }
    void scrollViewDidEndDecelerating(ScrollView& sv) override {
      events.push_back("rest " + std::to_string(int(sv.contentOffset().x)));
    }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override { events.push_back("animation"); }
    std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return zoomed; }
  };
  auto log = std::make_shared<Log>();
  auto pager = std::make_shared<ScrollView>(Rect(0, 0, 320, 400));
  pager->setContentSize({320 * 5, 400});
  pager->setPagingEnabled(true);
  pager->setDelegate(log);
  window->addSubview(pager);
  ASSERT_TRUE(UIDriver::swipe(*pager, SwipeDirection::Left));
  UIDriver::scroll(*pager, {700, 0});  // nearer page 2 than 3
  UIDriver::scroll(*pager, {640, 0});
  EXPECT_EQ(log->events, (std::vector<std::string>{"drag", "end+decelerate", "rest 320", "drag",
                                                   "end+decelerate", "rest 640", "drag", "end"}));
  log->events.clear();
  pager->scrollRectToVisible(Rect(1500, 0, 20, 20), true);
  EXPECT_EQ(pager->contentOffset().x, 1200);
  EXPECT_TRUE(log->events.empty());
  runFor(ScrollView::ScrollAnimationDuration);
  EXPECT_EQ(log->events, (std::vector<std::string>{"animation"}));

  // Zooming scales the delegate's view within the limits and grows the content.
  log->zoomed = std::make_shared<ImageView>(Rect(0, 0, 200, 100));
  pager->addSubview(log->zoomed);
  pager->setMinimumZoomScale(1);
  pager->setMaximumZoomScale(2.5);
  ASSERT_TRUE(UIDriver::pinch(*pager, 4));
  EXPECT_EQ(pager->zoomScale(), 2.5);
  EXPECT_EQ(pager->contentSize(), (Size{500, 250}));
  EXPECT_EQ(log->zoomed->frame(), Rect(0, 0, 500, 250));
}

}  // namespace
}  // namespace kavro::test
