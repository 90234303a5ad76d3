#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mapsdk/display/ActionPaopaoView.h"
#include "mapsdk/display/GMKPinAnnotationView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Snapshot.h"
#include "tests/mapsdk/annot/FakeMapHost.h"

using namespace mapsdk;
using platform::Point;
using platform::Rect;

namespace {

// Records the annotation views' notifications and, like the map view, opens a bubble on a
// select request.
class AnnotationViewTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::Screen::mainScreen().reset();
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const char* name : {NotificationSelectAnnotationView, NotificationClearPaopao,
                             NotificationUptateAnnotationCoordinate}) {
      center.addObserver(
          name, nullptr,
          [this](const platform::Notification& n) {
            heard.push_back(n.name);
            std::shared_ptr<GMKAnnotationView> view;
            if (n.userInfo)
              if (const auto* v = n.userInfo->objectForKey("view")) view = v->as<GMKAnnotationView>();
            views.push_back(view);
            if (n.name == NotificationSelectAnnotationView && view && openBubble) {
              view->setSelected(true);
              auto bubble = ActionPaopaoView::create(nullptr, nullptr);
              bubble->setText(view->annotation()->title(), view->annotation()->subtitle());
              view->setPaopaoView(bubble);
            }
          },
          this);
    }
    annotation = std::make_shared<GMKPointAnnotation>();
    annotation->setCoordinate({39.915, 116.404});
    annotation->setTitle("天安门");
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
    VirtualRunLoopTest::TearDown();
  }

  static void tap(GMKAnnotationView& view) {
    platform::Touch touch(nullptr, nullptr, {1, 1}, 1);
    view.touchesBegan(touch);
    view.touchesEnded(touch);
  }

  std::shared_ptr<GMKPointAnnotation> annotation;
  std::vector<std::string> heard;
  std::vector<std::shared_ptr<GMKAnnotationView>> views;
  bool openBubble = true;
};

TEST_F(AnnotationViewTest, PinsStandWithTheirFootOnTheConvertedCoordinate) {
  auto map = std::make_shared<kavro::test::FakeMapHost>(GMKMapPointFromCoordinate({39.91, 116.40}), 16);
  auto pin = std::make_shared<GMKPinAnnotationView>(annotation, "pin");
  // The bundle's "@2x" pin of 32 x 78 pixels on the retina screen, decoded once for every pin.
  EXPECT_EQ(pin->frame().size, (platform::Size{16, 39}));
  ASSERT_TRUE(pin->image());
  EXPECT_EQ(std::make_shared<GMKPinAnnotationView>(annotation, "pin")->image(), pin->image());
  EXPECT_EQ(pin->centerOffset(), (Point{0, -19.5}));
  map->addSubview(pin);
  pin->layoutInHost(*map, map.get());
  Point foot = map->convertCoordinate(annotation->coordinate(), map.get());
  EXPECT_DOUBLE_EQ(pin->frame().midX(), foot.x);
  EXPECT_DOUBLE_EQ(pin->frame().maxY(), foot.y);
  // 0.005 degrees east at level 16: about 139 points right of the map's centre... as the host says.
  GMKMapPoint east = GMKMapPointFromCoordinate({39.915, 116.409});
  annotation->setCoordinate({39.915, 116.409});
  pin->layoutInHost(*map, map.get());
  EXPECT_DOUBLE_EQ(pin->frame().midX(), map->pointForMapPoint(east).x);

  // Another colour changes the picture only when it is one of the three.
  auto before = pin->image();
  int requests = pin->displayRequests();
  pin->setPinColor(GMKPinAnnotationColor::Red);
  EXPECT_EQ(pin->displayRequests(), requests);
  pin->setPinColor(GMKPinAnnotationColor::Purple);
  EXPECT_NE(pin->image(), before);
  EXPECT_EQ(pin->displayRequests(), requests + 1);
  pin->setPinColor(static_cast<GMKPinAnnotationColor>(3));
  EXPECT_EQ(pin->pinColor(), GMKPinAnnotationColor::Purple);

  // Each colour is a picture of its own, and coming back to one shows its picture again.
  auto picture = [&] {
    auto image = platform::Snapshot::imageOfView(*pin, 2);
    return image ? *image->bitmap() : platform::Bitmap();
  };
  std::vector<platform::Bitmap> seen;
  for (auto colour :
       {GMKPinAnnotationColor::Red, GMKPinAnnotationColor::Green, GMKPinAnnotationColor::Purple}) {
    pin->setPinColor(colour);
    seen.push_back(picture());
    ASSERT_EQ(seen.back().width(), 32);
  }
  EXPECT_FALSE(seen[0] == seen[1]);
  EXPECT_FALSE(seen[1] == seen[2]);
  EXPECT_FALSE(seen[0] == seen[2]);
  pin->setPinColor(GMKPinAnnotationColor::Red);
  EXPECT_TRUE(picture() == seen[0]);
}

TEST_F(AnnotationViewTest, ImagesSizeTheViewInPointsOfTheRetinaScreen) {
  auto view = std::make_shared<GMKAnnotationView>(annotation, "");
  auto bitmap = platform::Bitmap::create(40, 60, true);
  ASSERT_TRUE(bitmap);
  view->setImage(platform::Image::imageWithBitmap(std::move(*bitmap)));
  EXPECT_EQ(view->frame(), Rect(0, 0, 20, 30));
  view->setImage(nullptr);
  EXPECT_EQ(view->frame(), Rect(0, 0, 0, 0));
  EXPECT_TRUE(view->isEnabled());
  EXPECT_TRUE(view->canShowCallout());
  EXPECT_EQ(view->calloutOffset(), (Point{0, 0}));
}

TEST_F(AnnotationViewTest, ATapAsksForSelectionAndPopsTheBubbleOnTheClock) {
  auto view = std::make_shared<GMKPinAnnotationView>(annotation, "pin");
  tap(*view);
  ASSERT_EQ(heard, std::vector<std::string>{NotificationSelectAnnotationView});
  EXPECT_EQ(views[0], view);
  auto bubble = view->paopaoView();
  ASSERT_TRUE(bubble);
  auto pop = platform::LayerAnimations::animationForKey(*bubble, "paopaoAnimation");
  ASSERT_TRUE(pop);
  EXPECT_EQ(pop->keyPath(), "transform.scale");
  EXPECT_DOUBLE_EQ(pop->duration(), 0.6);
  // Grows from nothing, overshoots, settles.
  EXPECT_DOUBLE_EQ(platform::LayerAnimations::presentationValue(*bubble, "transform.scale"), 0);
  runFor(0.12);
  EXPECT_NEAR(platform::LayerAnimations::presentationValue(*bubble, "transform.scale"), 1.15, 1e-4);
  runFor(0.15);
  EXPECT_NEAR(platform::LayerAnimations::presentationValue(*bubble, "transform.scale"), 0.85, 1e-4);
  runFor(0.33);
  EXPECT_FALSE(platform::LayerAnimations::animationForKey(*bubble, "paopaoAnimation"));
  EXPECT_DOUBLE_EQ(platform::LayerAnimations::presentationValue(*bubble, "transform.scale"), 1.0);

  // Selected already: nothing is asked, nothing plays.
  tap(*view);
  EXPECT_EQ(heard.size(), 1u);
  EXPECT_TRUE(platform::LayerAnimations::animationKeys(*bubble).empty());

  // The bubble travels with the view, its bottom centre on the call-out anchor.
  auto map = std::make_shared<kavro::test::FakeMapHost>(GMKMapPointFromCoordinate({39.91, 116.40}), 16);
  view->setCalloutOffset({2, 3});
  view->layoutInHost(*map, map.get());
  Rect f = view->frame(), b = bubble->frame();
  EXPECT_DOUBLE_EQ(b.maxY(), f.y() + 3);
  EXPECT_DOUBLE_EQ(b.x() + std::floor(b.width() / 2), f.midX() + 2);

  view->prepareForReuse();
  EXPECT_FALSE(view->annotation());
  EXPECT_FALSE(view->isSelected());
  EXPECT_FALSE(view->paopaoView());
}

TEST_F(AnnotationViewTest, DisabledViewsAndCancelledTouchesTakeNoTap) {
  auto view = std::make_shared<GMKAnnotationView>(annotation, "");
  view->setEnabled(false);
  tap(*view);
  view->handleSingleTap();
  EXPECT_TRUE(heard.empty());

  view->setEnabled(true);
  platform::Touch touch(nullptr, nullptr, {1, 1}, 1);
  view->touchesBegan(touch);
  view->touchesCancelled(touch);
  view->touchesEnded(touch);
  EXPECT_TRUE(heard.empty());
  // Without a bubble from the map view the tap still asks, and nothing plays.
  openBubble = false;
  tap(*view);
  EXPECT_EQ(heard.size(), 1u);
}

TEST_F(AnnotationViewTest, DragsLiftThePinAndAskForTheNewCoordinateWhereItIsDropped) {
  auto view = std::make_shared<GMKPinAnnotationView>(annotation, "pin");
  view->setFrame(Rect(100, 200, 16, 39));
  view->setDraggable(true);
  view->setDraggable(true);  // one recognizer at most
  ASSERT_EQ(view->gestureRecognizers().size(), 1u);
  auto* pan = dynamic_cast<platform::PanGestureRecognizer*>(view->gestureRecognizers()[0].get());
  ASSERT_TRUE(pan);

  pan->setState(platform::GestureRecognizerState::Began);
  EXPECT_EQ(view->dragState(), GMKAnnotationViewDragState::Starting);
  EXPECT_EQ(view->frame().origin, (Point{100, 150}));
  EXPECT_EQ(heard, std::vector<std::string>{NotificationClearPaopao});
  pan->setTranslation({10, 5}, nullptr);
  pan->setState(platform::GestureRecognizerState::Changed);
  EXPECT_EQ(view->dragState(), GMKAnnotationViewDragState::Dragging);
  EXPECT_EQ(view->frame().origin, (Point{110, 155}));
  EXPECT_EQ(pan->translationInView(nullptr), (Point{0, 0}));
  pan->setTranslation({-4, 1}, nullptr);
  pan->setState(platform::GestureRecognizerState::Ended);
  EXPECT_EQ(view->dragState(), GMKAnnotationViewDragState::Ending);
  // 30 points above where the finger alone would put it.
  EXPECT_EQ(view->frame().origin, (Point{106, 176}));
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1], NotificationUptateAnnotationCoordinate);
  EXPECT_EQ(views[1], view);

  // A cancelled drag keeps the lift and asks nothing.
  heard.clear();
  pan->reset();
  pan->setState(platform::GestureRecognizerState::Began);
  pan->setState(platform::GestureRecognizerState::Cancelled);
  EXPECT_EQ(view->dragState(), GMKAnnotationViewDragState::Canceling);
  EXPECT_EQ(view->frame().origin, (Point{106, 126}));
  EXPECT_EQ(heard, std::vector<std::string>{NotificationClearPaopao});

  // Disabled: the gesture changes nothing.
  view->setEnabled(false);
  pan->reset();
  pan->setState(platform::GestureRecognizerState::Began);
  EXPECT_EQ(view->frame().origin, (Point{106, 126}));
  view->setDraggable(false);
  EXPECT_TRUE(view->gestureRecognizers().empty());
}

}  // namespace
