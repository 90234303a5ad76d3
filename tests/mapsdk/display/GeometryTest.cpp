#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/DeviceInfo.h"
#include "mapsdk/display/GMKGeometry.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/VBase64.h"
#include "mapsdk/engine/VGeoMath.h"
#include "platform/foundation/Dictionary.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"
#include "tests/support/TempHome.h"

using namespace mapsdk;

namespace {

constexpr double kHalfW = 20037508;
constexpr double kHalfH = 19971868;

TEST(GeometryTest, TheWorldAndItsConstants) {
  EXPECT_NEAR(GMKMapSizeWorld().width, 40075016.68557848, 1e-6);
  EXPECT_NEAR(GMKMapSizeWorld().height, 39943737.76081713, 1e-6);
  EXPECT_EQ(GMKMapRectWorld().origin.x, 0);
  EXPECT_TRUE(GMKMapRectIsNull(GMKMapRectNull()));
  EXPECT_TRUE(std::isinf(GMKMapRectNull().origin.y));
  EXPECT_EQ(GMKMapRectNull().size.width, 0);
  EXPECT_FALSE(GMKMapRectIsNull(GMKMapRectWorld()));
}

TEST(GeometryTest, MapPointsAndEnginePointsMeetAtTheWorldsCentre) {
  EXPECT_EQ(GMKMapPointToVPoint({kHalfW, kHalfH}), gmengine::_VPoint(0, 0));
  EXPECT_EQ(GMKMapPointToVPoint({kHalfW + 10.9, kHalfH - 5.9}), gmengine::_VPoint(10, 5));  // y turns up
  GMKMapPoint p = GMKVPointToMapPoint({12958162, 4825907});
  EXPECT_EQ(p.x, kHalfW + 12958162);
  EXPECT_EQ(p.y, kHalfH - 4825907);

  GMKMapRect rect{{kHalfW + 1000, kHalfH - 3000}, {2048, 1024}};
  gmengine::_VRect v = GMKMapRectToVRect(rect);
  EXPECT_EQ(v.left, 1000);
  EXPECT_EQ(v.top, 3000);
  EXPECT_EQ(v.right, 3048);
  EXPECT_EQ(v.bottom, 1976);
  GMKMapRect back = GMKVRectToMapRect(v);
  EXPECT_EQ(back.origin.x, rect.origin.x);
  EXPECT_EQ(back.origin.y, rect.origin.y);
  EXPECT_EQ(back.size.width, rect.size.width);
  EXPECT_EQ(back.size.height, rect.size.height);

  // A coordinate goes through GeoToMercator, truncated.
  GMKMapPoint beijing = GMKMapPointFromCoordinate({39.915, 116.404});
  EXPECT_EQ(beijing.x, kHalfW + 12958034);
  EXPECT_EQ(beijing.y, kHalfH - 4853597);
  CLLocationCoordinate2D again = GMKCoordinateFromMapPoint(beijing);
  EXPECT_NEAR(again.latitude, 39.915, 1e-5);
  EXPECT_NEAR(again.longitude, 116.404, 1e-5);
  EXPECT_NEAR(GMKMapPointsDistance(beijing, GMKMapPointFromCoordinate({39.915, 116.414})), 853, 2);
}

TEST(GeometryTest, RegionsAndRectangles) {
  GMKMapRect flat = GMKCoordinateRegionToMapRect({{0, 10}, {0, 2}});
  EXPECT_EQ(flat.size.height, 0);
  EXPECT_GT(flat.size.width, 0);
  GMKCoordinateRegion region =
      GMKMapRectToCoordinateRegion(GMKCoordinateRegionToMapRect({{39.9, 116.4}, {0.1, 0.2}}));
  EXPECT_NEAR(region.center.latitude, 39.9, 1e-4);
  EXPECT_NEAR(region.span.longitudeDelta, 0.2, 1e-4);
  GMKCoordinateRegion forRect =
      GMKCoordinateRegionForMapRect(GMKCoordinateRegionToMapRect({{39.9, 116.4}, {0.1, 0.2}}));
  EXPECT_NEAR(forRect.span.latitudeDelta, 0.1, 1e-4);

  GMKMapRect grown = GMKMapRectUnionPoint({{0, 0}, {10, 10}}, {20, -5});
  EXPECT_EQ(grown.origin.x, 0);
  EXPECT_EQ(grown.origin.y, -5);
  EXPECT_EQ(grown.size.width, 20);
  EXPECT_EQ(grown.size.height, 15);

  GMKMapRect r{{0, 0}, {10, 10}};
  EXPECT_TRUE(GMKMapRectContainsPoint(r, {0, 0}));
  EXPECT_FALSE(GMKMapRectContainsPoint(r, {10, 10}));
  EXPECT_FALSE(GMKMapRectIntersectsRect(r, {{10, 0}, {5, 5}}));  // a shared edge only
  EXPECT_TRUE(GMKMapRectIntersectsRect(r, {{9.5, 9.5}, {5, 5}}));
  GMKMapRect moved = GMKMapRectOffset(r, 3, -4);
  EXPECT_EQ(moved.origin.y, -4);
  EXPECT_EQ(moved.size.width, 10);
}

// The screen is the caller's: an engine built or not makes no difference.
TEST(GeometryTest, PixelsDoubleOnlyOnAScreen640PixelsWide) {
  const gmengine::CVScreenRecord single;  // 320 x 480
  const gmengine::CVScreenRecord twice{640, 960};
  const gmengine::CVScreenRecord wide{1024, 768};
  for (bool engine : {false, true}) {
    kavro::test::TempHome home;
    if (engine) gmengine::InitMapEngine();  // the default screen: 320 x 480 points at scale 2
    EXPECT_EQ(GMKPixelToScreenPoint({3, -3}, single), (GMKPixelPoint{3, -3}));
    EXPECT_EQ(GMKScreenPointToPixel({3, -3}, single), (GMKPixelPoint{3, -3}));
    EXPECT_EQ(GMKScreenSizeToPixel({320, 480}, single), (GMKPixelSize{320, 480}));
    EXPECT_EQ(GMKPixelToScreenPoint({3, -3}, twice), (GMKPixelPoint{1, -1}));
    EXPECT_EQ(GMKScreenPointToPixel({3, -3}, twice), (GMKPixelPoint{6, -6}));
    EXPECT_EQ(GMKScreenSizeToPixel({320, 480}, twice), (GMKPixelSize{640, 960}));
    EXPECT_EQ(GMKScreenPointToPixel({3, -3}, wide), (GMKPixelPoint{3, -3}));  // only exactly 640 doubles
    if (engine) gmengine::UnInitMapEngine();
  }
}

TEST(GeometryTest, EncodedCoordinatesAreInTheSdksSystem) {
  auto encoded = GMKEncodeMapCoordinate({39.915, 116.404});
  double lon = 0, lat = 0;
  gmengine::CoordShiftToMapSystem(116.404, 39.915, &lon, &lat);
  char text[20];
  std::snprintf(text, sizeof text, "%.5f", lon);
  char expected[40];
  gmengine::Base64Encode(expected, sizeof expected, text);
  const std::string& x = encoded->objectForKey("x")->stringValue();
  EXPECT_EQ(x, expected);
  EXPECT_LE(x.size(), 16u);
  CLLocationCoordinate2D decoded = GMKDecodeCoordinateDictionary(*encoded);
  EXPECT_NEAR(decoded.longitude, lon, 1e-5);
  EXPECT_NEAR(decoded.latitude, lat, 1e-5);

  auto longOne = platform::MutableDictionary::create();
  longOne->setObject(std::string(21, 'A'), "x");
  longOne->setObject(encoded->objectForKey("y")->stringValue(), "y");
  EXPECT_EQ(GMKDecodeCoordinateDictionary(*longOne).latitude, 0);  // neither is set
  auto wide = platform::MutableDictionary::create();
  wide->setObject(
      std::string("\xE5\x8C\x97\xE4\xBA\xAC\xE5\xB8\x82\xE4\xB8\xAD\xE5\xBF\x83\xE5\x8C\xBA\xE5\x9F\x9F"),
      "x");
  wide->setObject(encoded->objectForKey("y")->stringValue(), "y");
  CLLocationCoordinate2D half = GMKDecodeCoordinateDictionary(*wide);  // 7 characters, not ASCII
  EXPECT_EQ(half.longitude, 0);
  EXPECT_NEAR(half.latitude, lat, 1e-5);
  auto missing = platform::MutableDictionary::create();
  missing->setObject(x, "x");
  EXPECT_EQ(GMKDecodeCoordinateDictionary(*missing).longitude, 0);
}

TEST(DeviceInfoTest, AnswersFromTheScreenAndTheModelNames) {
  platform::Device::currentDevice().reset();
  platform::Screen::mainScreen().reset();
  EXPECT_TRUE(DeviceInfo::isRetinaScreen());
  platform::Screen::mainScreen().setScale(1);
  EXPECT_FALSE(DeviceInfo::isRetinaScreen());
  // Both sides must reach the sharp screen's pixels: a narrow tall one or a wide short one does not.
  platform::Screen::mainScreen().reset();
  platform::Screen::mainScreen().setSize({300, 500});
  EXPECT_FALSE(DeviceInfo::isRetinaScreen());
  platform::Screen::mainScreen().setSize({500, 300});
  EXPECT_FALSE(DeviceInfo::isRetinaScreen());
  platform::Screen::mainScreen().setSize({500, 500});
  EXPECT_TRUE(DeviceInfo::isRetinaScreen());
  platform::Screen::mainScreen().reset();
  platform::Device::currentDevice().setSystemVersion("3.1.3");
  EXPECT_FALSE(DeviceInfo::isRetinaScreen());
  platform::Device::currentDevice().reset();

  EXPECT_EQ(DeviceInfo::modelOfPlatform("iPhone3,1"), DeviceModel::IPhone4);
  EXPECT_EQ(DeviceInfo::modelOfPlatform("i386"), DeviceModel::Simulator);
  EXPECT_EQ(DeviceInfo::modelOfPlatform("x86_64"), DeviceModel::Unknown);
  EXPECT_EQ(DeviceInfo::deviceOfModel("iPod touch", ""), DeviceModel::IPod);
  EXPECT_EQ(DeviceInfo::deviceOfModel("Phone", "iPhone1,2"), DeviceModel::IPhone3G);
  EXPECT_EQ(DeviceInfo::deviceOfModel("Phone", "x86_64"), DeviceModel::IPhone4);
  EXPECT_EQ(DeviceInfo::nameOfDevice(DeviceModel::Simulator, true), "iPhone 4G");
  EXPECT_EQ(DeviceInfo::nameOfDevice(DeviceModel::Simulator, false), "iPhone Simulator");
  EXPECT_EQ(DeviceInfo::nameOfDevice(DeviceModel::IPhone4, false), "Unknown");
  EXPECT_FALSE(DeviceInfo::platform().empty());
  EXPECT_FALSE(DeviceInfo::isEmulator());
}

class MapStatusTest : public ::testing::Test {
 protected:
  void Place(int level, int width, int height, int x, int y) {
    status.SetLevel(level);
    status.SetWindow({0, 0, width, height});
    status.SetCenter(x, y);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
  }
  CMapStatus status;
};

TEST_F(MapStatusTest, LevelsSetTheScale) {
  EXPECT_EQ(CMapStatus::UnitsPerPixel(18), 1);
  EXPECT_EQ(CMapStatus::UnitsPerPixel(3), 32768);
  EXPECT_EQ(CMapStatus::UnitsPerPixel(12), 64);
  Place(3, 320, 480, 0, 0);
  EXPECT_EQ(status.upp * 256, 8388608);
  EXPECT_EQ(status.KeptCols(), 3);
  EXPECT_EQ(status.KeptRows(), 3);
}

TEST_F(MapStatusTest, BoundsTilesAndOffsetsOfAWindow) {
  Place(12, 640, 960, 12958162, 4825907);
  EXPECT_EQ(status.mapBounds.left, 12958162 - 320 * 64);
  EXPECT_EQ(status.mapBounds.top, 4825907 + 480 * 64);
  EXPECT_EQ(status.firstTileCol, 789);  // 12937682 / 16384
  EXPECT_EQ(status.firstTileRow, 296);  // 4856627 / 16384
  EXPECT_EQ(status.tileBounds.left, 789 * 16384);
  EXPECT_EQ(status.tileBounds.top, 297 * 16384);
  EXPECT_EQ(status.tileBounds.right, (789 + 4) * 16384);
  EXPECT_EQ(status.tileBounds.bottom, (296 - 4) * 16384);
  EXPECT_EQ(status.offsetX, (12937682 - 789 * 16384) / 64);
  EXPECT_EQ(status.offsetY, (297 * 16384 - 4856627) / 64);

  EXPECT_EQ(status.ScreenToMap(320, 480), gmengine::_VPoint(12958162, 4825907));
  EXPECT_EQ(status.ScreenToMap(321, 479), gmengine::_VPoint(12958162 + 64, 4825907 + 64));
  gmengine::_VPoint back = status.MapToScreen(12958162, 4825907);
  EXPECT_EQ(back, gmengine::_VPoint(320, 480));
  EXPECT_EQ(status.MapToScreenHundredths(1295816200LL, 482590700LL), back);
  EXPECT_EQ(status.MapToScreen(12958162.0, 4825907.0), back);
}

TEST_F(MapStatusTest, ClampsTheCentreAndKeepsTheTileBlockInsideThePoles) {
  Place(12, 640, 960, 30000000, 0);
  EXPECT_EQ(status.centerX, 29360128);
  Place(12, 640, 960, -30000000, 0);
  EXPECT_EQ(status.centerX, -29360128);

  Place(12, 640, 960, 0, -40683701);
  std::int32_t southmost = status.centerY;
  Place(12, 640, 960, 0, -40683700);
  EXPECT_EQ(status.centerY, southmost);
  EXPECT_EQ(status.tileBounds.bottom, (-31812864 / 16384 - 1) * 16384);
  EXPECT_EQ(southmost - status.tileBounds.bottom, 480 * 64);  // the window's bottom on the limit

  Place(12, 640, 960, 0, 40683701);
  EXPECT_EQ(status.tileBounds.top, (31812864 / 16384 + 1) * 16384);
  EXPECT_EQ(status.tileBounds.top - status.centerY, 480 * 64);

  Place(12, 640, 960, 0, -1000000);  // wholly south of the zero line: left where it is
  EXPECT_EQ(status.centerY, -1000000);
  EXPECT_LT(status.tileBounds.top, 0);
}

TEST_F(MapStatusTest, NegativeExactMultiplesRoundOneFurtherDown) {
  EXPECT_EQ(CMapStatus::FloorDiv(-16384, 16384), -2);
  EXPECT_EQ(CMapStatus::FloorDiv(-1, 16384), -1);
  EXPECT_EQ(CMapStatus::FloorDiv(16384, 16384), 1);
  Place(12, 640, 960, -16384 + 320 * 64, 0);  // the window's left edge on -T exactly
  EXPECT_EQ(status.firstTileCol, -2);
}

TEST_F(MapStatusTest, HundredthsBeyondThirtyTwoBitsStillConvert) {
  Place(18, 640, 960, 29000000, 0);
  gmengine::_VPoint exact = status.MapToScreen(29000000, 0);
  EXPECT_EQ(exact, gmengine::_VPoint(320, 480));
  EXPECT_EQ(status.MapToScreenHundredths(2900000000LL, 0), exact);
  EXPECT_EQ(status.MapToScreenHundredths(2900000050LL, 49), exact);
}

TEST_F(MapStatusTest, KnowsWhenTheViewLeftTheLoadedRange) {
  Place(12, 640, 960, 12958162, 4825907);
  gmengine::_VRect range = status.WindowTileRange();
  status.loadedLeftCol = range.left;
  status.loadedRightCol = range.right;
  status.loadedBottomRow = range.bottom;
  status.loadedTopRow = range.top;
  EXPECT_FALSE(status.HasLeftLoadedRange());
  status.SetCenter(12958162 + 16384, 4825907);
  EXPECT_TRUE(status.HasLeftLoadedRange());
}

}  // namespace
