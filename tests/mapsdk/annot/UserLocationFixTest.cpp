#include <gtest/gtest.h>

#include <memory>

#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/display/GMKCircle.h"
#include "mapsdk/display/GMKUserLocation.h"
#include "mapsdk/display/LocationSources.h"
#include "mapsdk/engine/VCoordShift.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/location/LocationManager.h"
#include "tests/support/VirtualRunLoop.h"

using namespace mapsdk;

namespace {

struct FixedSource : GMKUserLocationSource {
  LocationRecord GetLocation() override {
    LocationRecord record;
    record.state = LocationState::Valid;
    return record;
  }
  LocMode GetLocMode() override { return LocMode::SatelliteOnly; }
  std::optional<platform::Location> bestEffortAtLocation() override { return best; }
  std::optional<platform::Location> best;
};

class UserLocationFixTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    gmengine::ResetShiftState();
    platform::LocationDevice::reset();
  }
  void TearDown() override {
    IphoneGPSMan::destroyInstance();
    platform::LocationDevice::reset();
    VirtualRunLoopTest::TearDown();
  }

  static platform::Location Fix(double now) {
    platform::Location fix;
    fix.latitude = 31.23;
    fix.longitude = 121.47;
    fix.horizontalAccuracy = 12;
    fix.timestamp = now;
    fix.altitude = 35.5;
    fix.verticalAccuracy = 8;
    fix.course = 270;
    fix.speed = 4.25;
    return fix;
  }
};

TEST_F(UserLocationFixTest, TheNewLocationCarriesAltitudeVerticalAccuracyCourseAndSpeed) {
  auto source = std::make_shared<FixedSource>();
  source->best = Fix(now());
  GMKUserLocation user(source);
  platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
  ASSERT_TRUE(user.location());
  const GMKLocation& location = *user.location();
  EXPECT_EQ(location.altitude, 35.5);
  EXPECT_EQ(location.horizontalAccuracy, 12);
  EXPECT_EQ(location.verticalAccuracy, 8);
  EXPECT_EQ(location.course, 270);
  EXPECT_EQ(location.speed, 4.25);
  EXPECT_NE(location.coordinate.latitude, 31.23);  // the coordinate alone is shifted

  // A fix that knows none of them reads 0 and -1.
  source->best = platform::Location{31.23, 121.47, 12, now()};
  platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
  EXPECT_EQ(user.location()->altitude, 0);
  EXPECT_EQ(user.location()->verticalAccuracy, -1);
  EXPECT_EQ(user.location()->course, -1);
  EXPECT_EQ(user.location()->speed, -1);
}

TEST_F(UserLocationFixTest, TheEnginesSourceTakesThemFromThePlatformsFix) {
  auto gps = IphoneGPSMan::getInstance();
  gps->initialize();
  platform::LocationDevice::setCurrentLocation(Fix(now()));
  runFor(0);
  auto engineLocation = std::make_shared<CAppLocation>();
  GMKEngineUserLocationSource source(engineLocation);
  std::optional<platform::Location> best = source.bestEffortAtLocation();
  ASSERT_TRUE(best);
  EXPECT_FLOAT_EQ(best->latitude, 31.23);
  EXPECT_EQ(best->altitude, 35.5);
  EXPECT_EQ(best->verticalAccuracy, 8);
  EXPECT_EQ(best->course, 270);
  EXPECT_EQ(best->speed, 4.25);
}

TEST_F(UserLocationFixTest, ACircleOfTheSameMetresSpansTwiceTheMapUnitsAtSixtyDegreesNorth) {
  auto atEquator = GMKCircle::circleWithCenterCoordinate({0, 20}, 1000);
  auto atSixty = GMKCircle::circleWithCenterCoordinate({60, 20}, 1000);
  EXPECT_NEAR(atEquator->boundingMapRect().size.width, 2000, 1e-6);
  EXPECT_NEAR(atSixty->boundingMapRect().size.width, 4000, 1e-6);
  EXPECT_EQ(atSixty->radius(), 1000);
  // Back from map units: the same square gives the same metres.
  auto back = GMKCircle::circleWithMapRect(atSixty->boundingMapRect());
  EXPECT_NEAR(back->radius(), 1000, 1e-3);
}

}  // namespace
