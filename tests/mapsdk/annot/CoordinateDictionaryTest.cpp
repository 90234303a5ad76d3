#include <gtest/gtest.h>

#include "mapsdk/display/GMKGeometry.h"
#include "mapsdk/engine/VGeoMath.h"
#include "platform/foundation/Dictionary.h"

using namespace mapsdk;

namespace {

// What the job location screen hands on: encoded, then decoded in the SDK's system, to the
// five decimals that the encoding keeps.
TEST(CoordinateDictionary, RoundTripsIntoTheSdksSystem) {
  for (CLLocationCoordinate2D c :
       {CLLocationCoordinate2D{39.915, 116.404}, CLLocationCoordinate2D{-33.86, 151.21},
        CLLocationCoordinate2D{0, 0}, CLLocationCoordinate2D{85, -179.99}}) {
    auto encoded = GMKEncodeMapCoordinate(c);
    ASSERT_TRUE(encoded);
    double x = 0, y = 0;
    gmengine::CoordShiftToMapSystem(c.longitude, c.latitude, &x, &y);
    CLLocationCoordinate2D back = GMKDecodeCoordinateDictionary(*encoded);
    EXPECT_NEAR(back.longitude, x, 5e-6);
    EXPECT_NEAR(back.latitude, y, 5e-6);
    EXPECT_NE(back.longitude, c.longitude);
  }
}

}  // namespace
