#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mapsdk/display/GMKUserLocation.h"
#include "mapsdk/display/LocationView.h"
#include "mapsdk/engine/VCoordShift.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Snapshot.h"
#include "tests/mapsdk/annot/FakeMapHost.h"

using namespace mapsdk;
using platform::Rect;

namespace {

struct FakeSource : GMKUserLocationSource {
  LocationRecord GetLocation() override { return record; }
  LocMode GetLocMode() override { return mode; }
  std::optional<platform::Location> bestEffortAtLocation() override { return best; }
  LocationRecord record;
  LocMode mode = LocMode::Off;
  std::optional<platform::Location> best;
};

class UserLocationTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::Screen::mainScreen().reset();
    gmengine::ResetShiftState();
    source = std::make_shared<FakeSource>();
    user = std::make_shared<GMKUserLocation>(source);
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const char* name : {"NotificationMainMapPaint", NotificationLocationDidUpdate}) {
      center.addObserver(
          name, nullptr, [this](const platform::Notification& n) { heard.emplace_back(n.name, n.object); },
          this);
    }
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
    VirtualRunLoopTest::TearDown();
  }

  void locate(double latitude, double longitude, double accuracy) {
    source->record.state = LocationState::Valid;
    source->best = platform::Location{latitude, longitude, accuracy, 1.7e9};
    platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
  }

  std::shared_ptr<FakeSource> source;
  std::shared_ptr<GMKUserLocation> user;
  std::vector<std::pair<std::string, const void*>> heard;
};

TEST_F(UserLocationTest, UpdatesFromTheLocationNotificationInTheServicesSystem) {
  EXPECT_EQ(user->title(), "我的位置");
  EXPECT_EQ(user->coordinate().latitude, -180);
  EXPECT_FALSE(user->isUpdating());

  // Not located: updating unless location is off.
  auto& center = platform::NotificationCenter::defaultCenter();
  center.post(NotificationLocationUpdate);
  EXPECT_FALSE(user->isUpdating());
  source->mode = LocMode::SatelliteAndNetwork;
  center.post(NotificationLocationUpdate);
  EXPECT_TRUE(user->isUpdating());
  // Valid, but no fix from the platform yet: nothing else changes.
  source->record.state = LocationState::Valid;
  center.post(NotificationLocationUpdate);
  EXPECT_FALSE(user->isUpdating());
  EXPECT_FALSE(user->location());
  EXPECT_TRUE(heard.empty());

  locate(39.915, 116.404, 35);
  ASSERT_TRUE(user->location());
  CLLocationCoordinate2D c = user->coordinate();
  // Shifted and moved into the service's system: near the fix, never on it.
  EXPECT_NE(c.latitude, 39.915);
  EXPECT_NEAR(c.latitude, 39.915, 0.02);
  EXPECT_NEAR(c.longitude, 116.404, 0.02);
  EXPECT_EQ(user->location()->horizontalAccuracy, 35);
  EXPECT_EQ(user->location()->timestamp, 1.7e9);
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].first, "NotificationMainMapPaint");
  EXPECT_EQ(heard[1].first, NotificationLocationDidUpdate);
  EXPECT_EQ(heard[1].second, user.get());
}

TEST_F(UserLocationTest, UpdatesPostedFromAnotherThreadRunOnTheMainThread) {
  source->record.state = LocationState::Valid;
  source->best = platform::Location{31.23, 121.47, 10, 0};
  // Another thread is waited for on the real clock.
  loop().setClock(platform::Clock::real());
  std::atomic<bool> returned{false};
  std::thread poster([&] {
    platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
    returned = true;
  });
  EXPECT_TRUE(runUntil([&] { return returned.load(); }, 10));
  poster.join();
  EXPECT_TRUE(user->location());
  EXPECT_EQ(heard.size(), 2u);

  // Gone: later notifications reach nothing.
  user.reset();
  platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
  EXPECT_EQ(heard.size(), 2u);
}

TEST_F(UserLocationTest, TheLocationViewGrowsToTheAccuracyCircleInTrueMetres) {
  auto map = std::make_shared<kavro::test::FakeMapHost>(GMKMapPoint{}, 18);
  auto view = std::make_shared<LocationView>(user, "");
  view->setMapView(map);
  ASSERT_TRUE(view->image());
  EXPECT_EQ(view->frame().size, (platform::Size{10, 10}));  // 20 pixels, a retina screen

  source->mode = LocMode::SatelliteAndNetwork;
  locate(0, 10, 50);
  view->needRect();
  EXPECT_NEAR(view->frame().width(), 100 / std::cos(user->coordinate().latitude * M_PI / 180), 1e-9);
  EXPECT_NEAR(view->calloutOffset().y, (view->frame().width() - 20) * 0.5, 1e-9);
  auto path = view->path();
  ASSERT_TRUE(path);
  view->needRect();
  EXPECT_EQ(view->path(), path);  // the same diameter keeps the path

  locate(60, 10, 50);
  view->needRect();
  EXPECT_NEAR(view->frame().width(), 100 / std::cos(user->coordinate().latitude * M_PI / 180), 1e-9);
  EXPECT_GT(view->frame().width(), 199);

  map->setLevel(12);  // 64 map units a point: the circle is smaller than the picture
  view->needRect();
  EXPECT_EQ(view->frame(), Rect(0, 0, 20, 20));
  EXPECT_EQ(view->calloutOffset(), (platform::Point{0, 0}));
  // Then the picture is drawn alone, as any pin's, with no circle around it (here and in a view
  // that never had a larger circle).
  for (const auto& shown : {view, std::make_shared<LocationView>(user, "")}) {
    shown->setMapView(map);
    shown->needRect();
    ASSERT_EQ(shown->frame(), Rect(0, 0, 20, 20));
    auto plain = std::make_shared<GMKAnnotationView>(user, "");
    plain->setImage(shown->image());
    plain->setFrame(shown->frame());
    auto drawn = platform::Snapshot::imageOfView(*shown, 1);
    auto alone = platform::Snapshot::imageOfView(*plain, 1);
    ASSERT_TRUE(drawn && alone);
    EXPECT_TRUE(*drawn->bitmap() == *alone->bitmap());
  }
}

TEST_F(UserLocationTest, OnlyATapOnThePictureSelectsTheLocationView) {
  std::vector<std::string> asks;
  platform::NotificationCenter::defaultCenter().addObserver(
      NotificationSelectAnnotationView, nullptr,
      [&](const platform::Notification& n) { asks.push_back(n.name); }, this);
  auto map = std::make_shared<kavro::test::FakeMapHost>(GMKMapPoint{}, 18);
  auto view = std::make_shared<LocationView>(user, "");
  view->setMapView(map);
  locate(0, 10, 50);
  view->needRect();
  double w = view->frame().width();
  platform::Touch ring(nullptr, nullptr, {w * 0.5 - 30, w * 0.5}, 1);
  view->touchesBegan(ring);
  view->touchesEnded(ring);
  EXPECT_TRUE(asks.empty());
  platform::Touch middle(nullptr, nullptr, {w * 0.5, w * 0.5}, 1);
  view->touchesBegan(middle);
  view->touchesEnded(middle);
  EXPECT_EQ(asks.size(), 1u);

  // Drawn: the translucent circle, its ring, and the picture in the middle.
  view->setFrame(Rect(0, 0, 100, 100));
  auto image = platform::Snapshot::imageOfView(*view, 1);
  ASSERT_TRUE(image);
  const platform::Bitmap& b = *image->bitmap();
  platform::Pixel fill = b.pixelAt(20, 50), middlePixel = b.pixelAt(50, 50), outside = b.pixelAt(1, 1);
  EXPECT_GT(fill.a, 100);
  EXPECT_LT(fill.a, 140);
  EXPECT_GT(fill.b, fill.r);
  EXPECT_EQ(middlePixel.a, 255);
  EXPECT_EQ(outside.a, 0);
  EXPECT_EQ(b.pixelAt(2, 50).a, 255);  // the ring

  // A view given a frame larger than its picture before any fix draws the same circle.
  auto fresh = std::make_shared<LocationView>(user, "");
  fresh->setFrame(Rect(0, 0, 100, 100));
  auto freshImage = platform::Snapshot::imageOfView(*fresh, 1);
  ASSERT_TRUE(freshImage);
  EXPECT_TRUE(*freshImage->bitmap() == b);
}

}  // namespace
