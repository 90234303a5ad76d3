// The platform map view stand-in: its geometry, region reports, gestures, pins and the user's
// position; and the radius arithmetic the application shares.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/mapview/MapView.h"
#include "platform/mapview/MapViewUtil.h"
#include "platform/ui/Application.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/Window.h"
#include "tests/support/VirtualRunLoop.h"

namespace {

using platform::Coordinate;
using platform::MapView;

constexpr Coordinate Shanghai{31.2304, 121.4737};

struct Recorder : platform::MapViewDelegate {
  int willChange = 0, didChange = 0, started = 0, stopped = 0;
  std::vector<Coordinate> fixes;
  std::vector<platform::Error> failures;
  std::vector<std::string> selected, deselected;
  void regionWillChangeAnimated(MapView&, bool) override { ++willChange; }
  void regionDidChangeAnimated(MapView&, bool) override { ++didChange; }
  void willStartLocatingUser(MapView&) override { ++started; }
  void didStopLocatingUser(MapView&) override { ++stopped; }
  void didUpdateUserLocation(MapView&, platform::UserLocation& user) override {
    fixes.push_back(user.coordinate());
  }
  void didFailToLocateUserWithError(MapView&, const platform::Error& e) override { failures.push_back(e); }
  void didSelectAnnotationView(MapView&, platform::AnnotationView& v) override {
    selected.push_back(v.annotation()->title());
  }
  void didDeselectAnnotationView(MapView&, platform::AnnotationView& v) override {
    deselected.push_back(v.annotation()->title());
  }
};

class MapViewTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::LocationDevice::reset();
    window = std::make_shared<platform::Window>();
    window->makeKeyAndVisible();
    map = std::make_shared<MapView>(platform::Rect(0, 69, 320, 150));
    window->addSubview(map);
    map->setDelegate(recorder);
  }
  void TearDown() override {
    map.reset();
    window.reset();
    platform::Application::destroySharedApplication();
    platform::LocationDevice::reset();
    VirtualRunLoopTest::TearDown();
  }
  static std::shared_ptr<platform::PointAnnotation> pin(Coordinate c, std::string title) {
    auto p = std::make_shared<platform::PointAnnotation>(c);
    p->setTitle(std::move(title));
    return p;
  }

  std::shared_ptr<platform::Window> window;
  std::shared_ptr<MapView> map;
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(MapViewTest, TheMeasuredRadiusIsTheRadiusTheMapWasSetTo) {
  for (double latitude : {0.0, 31.2304, 60.0}) {
    for (double height : {150.0, 323.0}) {
      map->setFrame(platform::Rect(0, 69, 320, height));
      for (double radius : {714.2857, 3571.4285, 7142.857}) {
        platform::mapview::setCenterCoordinate(*map, {latitude, 121.47}, static_cast<float>(radius), false);
        EXPECT_NEAR(platform::mapview::countRadiusByIosSdk(*map), radius, radius * 1e-5)
            << "latitude " << latitude << ", height " << height;
        EXPECT_NEAR(map->centerCoordinate().latitude, latitude, 1e-9);
      }
    }
  }
}

TEST_F(MapViewTest, CirclesAreDrawnInTrueMetresAtTheirOwnLatitude) {
  platform::mapview::setCenterCoordinate(*map, Shanghai, 3000, false);
  double measured = platform::mapview::countRadiusByIosSdk(*map);
  platform::Circle atCentre(Shanghai, measured);
  auto r = map->rectForCircle(atCentre);
  EXPECT_NEAR(r.size.width, 2 * platform::mapview::RadiusPoints, 1e-3) << "the 290-point search circle";
  EXPECT_NEAR(r.center().x, 160, 1e-6);
  EXPECT_NEAR(r.center().y, 75, 1e-6);

  // Further north a metre takes more of the Mercator map.
  platform::Circle north({Shanghai.latitude + 20, Shanghai.longitude}, measured);
  double expected = 2 * platform::mapview::RadiusPoints * std::cos(Shanghai.latitude * M_PI / 180) /
                    std::cos((Shanghai.latitude + 20) * M_PI / 180);
  EXPECT_NEAR(map->rectForCircle(north).size.width, expected, 1e-3);

  auto overlay = std::make_shared<platform::Circle>(Shanghai, measured / 2);
  map->addOverlay(overlay);
  map->layoutIfNeeded();
  ASSERT_EQ(map->overlays().size(), 1u);
  map->removeOverlay(overlay);
  EXPECT_TRUE(map->overlays().empty());

  // With the first of two circles gone, the one left still follows the map.
  auto first = std::make_shared<platform::Circle>(Shanghai, measured / 3);
  auto second = std::make_shared<platform::Circle>(Coordinate{31.25, 121.45}, measured);
  map->addOverlay(first);
  map->addOverlay(second);
  map->removeOverlay(first);
  map->setCenterCoordinate({31.3, 121.5}, false);
  map->setNeedsLayout();
  map->layoutIfNeeded();
  const auto& content = map->contentView();
  auto placed = map->convertRectToView(map->rectForCircle(*second), content.get());
  auto near = [&](const auto& v) {
    const auto& f = v->frame();
    return std::abs(f.origin.x - placed.origin.x) < 1e-6 && std::abs(f.origin.y - placed.origin.y) < 1e-6 &&
           std::abs(f.size.width - placed.size.width) < 1e-6;
  };
  EXPECT_TRUE(std::any_of(content->subviews().begin(), content->subviews().end(), near));
}

TEST_F(MapViewTest, RegionChangesAreToldAtOnceAndSettledLaterOnlyOnceForABurst) {
  map->setCenterCoordinate(Shanghai, true);
  map->setCenterCoordinate({31.3, 121.5}, true);
  EXPECT_EQ(recorder->willChange, 1);
  EXPECT_EQ(recorder->didChange, 0);
  EXPECT_NEAR(map->centerCoordinate().latitude, 31.3, 1e-9) << "the end state applies at once";
  runFor(0.2);
  EXPECT_EQ(recorder->didChange, 0) << "animated moves settle after the animation";
  runFor(0.2);
  EXPECT_EQ(recorder->didChange, 1);
  map->setCenterCoordinate(Shanghai, false);
  runFor(0);
  EXPECT_EQ(recorder->willChange, 2);
  EXPECT_EQ(recorder->didChange, 2);
  map->setCenterCoordinate({100, 0}, false);
  runFor(1);
  EXPECT_EQ(recorder->willChange, 2) << "an invalid centre is refused";
}

TEST_F(MapViewTest, DragsAndPinchesMoveAndZoomTheMapWithoutTheApplicationsRecognizers) {
  platform::mapview::setCenterCoordinate(*map, Shanghai, 3000, false);
  runFor(1);
  EXPECT_TRUE(map->gestureRecognizers().empty());
  double before = platform::mapview::countRadiusByIosSdk(*map);
  ASSERT_TRUE(platform::UIDriver::pan(*map, {100, 0}));
  runFor(1);
  EXPECT_LT(map->centerCoordinate().longitude, Shanghai.longitude) << "dragging right shows the west";
  EXPECT_EQ(recorder->didChange, 2);
  ASSERT_TRUE(platform::UIDriver::pinch(*map, 2.0));
  runFor(1);
  EXPECT_NEAR(platform::mapview::countRadiusByIosSdk(*map), before / 2, before * 1e-3);
}

TEST_F(MapViewTest, PinsAreSelectedByTapOrAheadOfBeingAdded) {
  platform::mapview::setCenterCoordinate(*map, Shanghai, 3000, false);
  auto a = pin(Shanghai, "a");
  auto b = pin({Shanghai.latitude, Shanghai.longitude + 0.01}, "b");
  map->selectAnnotation(b, false);
  EXPECT_TRUE(map->selectedAnnotations().empty()) << "not on the map yet";
  map->addAnnotations({a, b});
  EXPECT_EQ(recorder->selected, std::vector<std::string>{"b"});
  map->layoutIfNeeded();
  auto va = map->viewForAnnotation(a.get());
  ASSERT_TRUE(va);
  EXPECT_NEAR(va->center().x, 160, 1e-6);

  EXPECT_EQ(platform::UIDriver::findView("a"), va) << "a pin reads as its title";
  ASSERT_TRUE(platform::UIDriver::tap(*va));
  EXPECT_EQ(recorder->selected, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(recorder->deselected, std::vector<std::string>{"b"});
  ASSERT_TRUE(platform::UIDriver::tapAt({20, 80}));
  EXPECT_TRUE(map->selectedAnnotations().empty()) << "a tap on the bare map deselects";

  map->removeAnnotations(map->annotations());
  EXPECT_TRUE(map->annotations().empty());
  EXPECT_EQ(va->superview(), nullptr);
}

TEST_F(MapViewTest, TheUsersPositionFollowsTheLocationService) {
  map->setShowsUserLocation(true);
  EXPECT_EQ(recorder->started, 1);
  platform::LocationDevice::setCurrentLocation({Shanghai.latitude, Shanghai.longitude, 50, 0});
  runFor(0);
  ASSERT_EQ(recorder->fixes.size(), 1u);
  EXPECT_EQ(recorder->fixes[0], Shanghai);
  EXPECT_TRUE(map->isUserLocationVisible());
  platform::LocationDevice::failWithError({std::string(platform::LocationErrorDomain), 0, "lost", {}, {}});
  runFor(0);
  EXPECT_EQ(recorder->failures.size(), 1u);
  map->setShowsUserLocation(false);
  EXPECT_EQ(recorder->stopped, 1);
  EXPECT_FALSE(map->isUserLocationVisible());
  EXPECT_FALSE(platform::isValidCoordinate(map->userLocation()->coordinate()));
  EXPECT_FALSE(map->userLocation()->isUpdating());
  platform::LocationDevice::setCurrentLocation({1, 2, 50, 0});
  runFor(0);
  EXPECT_EQ(recorder->fixes.size(), 1u) << "nothing after switching it off";

  // Switched on again, it is located afresh, as the first time.
  map->setShowsUserLocation(true);
  EXPECT_EQ(recorder->started, 2);
  runFor(0);
  ASSERT_EQ(recorder->fixes.size(), 2u);
  EXPECT_EQ(recorder->fixes[1], (Coordinate{1, 2}));
  EXPECT_TRUE(map->isUserLocationVisible());
  EXPECT_EQ(map->userLocation()->coordinate(), (Coordinate{1, 2}));
  EXPECT_TRUE(map->userLocation()->isUpdating());
}

}  // namespace
