// Reverse geocoding as tests and the runner feed it, and the maps application's record.

#include <gtest/gtest.h>

#include <type_traits>

#include "platform/location/Geocoder.h"
#include "platform/location/MapItem.h"
#include "tests/support/VirtualRunLoop.h"

namespace {

// A query exists only as create() makes it (shared, so its answer can find it later).
static_assert(!std::is_constructible_v<platform::ReverseGeocoder, platform::Coordinate>);

using platform::Geocoder;
using platform::Placemark;
using platform::ReverseGeocoder;

struct Answers : platform::ReverseGeocoderDelegate {
  std::vector<Placemark> found;
  std::vector<platform::Error> failed;
  void reverseGeocoderDidFindPlacemark(ReverseGeocoder&, const Placemark& p) override { found.push_back(p); }
  void reverseGeocoderDidFailWithError(ReverseGeocoder&, const platform::Error& e) override {
    failed.push_back(e);
  }
};

class GeocoderTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    Geocoder::reset();
    Placemark jingan;
    jingan.coordinate = {31.2304, 121.4737};
    jingan.administrativeArea = "上海市";
    jingan.subLocality = "静安区";
    Geocoder::addPlace(jingan, 2000);
    Placemark xuhui = jingan;
    xuhui.coordinate = {31.2304, 121.4937};
    xuhui.subLocality = "徐汇区";
    Geocoder::addPlace(xuhui, 2000);
  }
  void TearDown() override {
    Geocoder::reset();
    platform::MapItem::reset();
    VirtualRunLoopTest::TearDown();
  }
  std::shared_ptr<ReverseGeocoder> ask(platform::Coordinate c) {
    auto g = ReverseGeocoder::create(c);
    g->setDelegate(answers);
    g->start();
    return g;
  }
  std::shared_ptr<Answers> answers = std::make_shared<Answers>();
};

TEST_F(GeocoderTest, TheNearestFedPlaceAnswersLaterAndUnknownPlacesFail) {
  auto g = ask({31.2304, 121.4900});
  EXPECT_TRUE(g->isQuerying());
  EXPECT_TRUE(answers->found.empty()) << "never at once";
  runFor(0);
  ASSERT_EQ(answers->found.size(), 1u);
  EXPECT_EQ(answers->found[0].subLocality, "徐汇区");
  EXPECT_NEAR(answers->found[0].coordinate.longitude, 121.49, 1e-9) << "the place of the question";

  auto far = ask({40.0, 116.4});
  runFor(0);
  ASSERT_EQ(answers->failed.size(), 1u);
  EXPECT_EQ(answers->failed[0].code, platform::GeocoderErrorPlacemarkNotFound);

  Geocoder::setOffline(true);
  auto offline = ask({31.2304, 121.4737});
  runFor(0);
  ASSERT_EQ(answers->failed.size(), 2u);
  EXPECT_EQ(answers->failed[1].code, platform::GeocoderErrorUnknown);
  EXPECT_EQ(Geocoder::requestCount(), 3);
}

TEST_F(GeocoderTest, ACancelledOrDroppedGeocodingTellsNothing) {
  auto g = ask({31.2304, 121.4737});
  g->cancel();
  ask({31.2304, 121.4737}).reset();
  runFor(1);
  EXPECT_TRUE(answers->found.empty());
  EXPECT_TRUE(answers->failed.empty());
}

TEST_F(GeocoderTest, TheMapsApplicationRecordsOneOrTwoPlaces) {
  using platform::MapItem;
  EXPECT_FALSE(MapItem::openMapsWithItems({}, {}));
  ASSERT_TRUE(
      MapItem::openMapsWithItems({MapItem::mapItemForCurrentLocation(), MapItem::forPlace({1, 2}, "公司")},
                                 {std::string(MapItem::DirectionsModeDriving), true}));
  auto opened = MapItem::openedMaps();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].items[0].isCurrentLocation);
  EXPECT_EQ(opened[0].items[1].name, "公司");
  EXPECT_TRUE(opened[0].options.showsTraffic);
}

}  // namespace
