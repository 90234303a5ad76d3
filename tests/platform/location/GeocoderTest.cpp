// Reverse geocoding as tests and the runner feed it, and the maps application's record.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

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
  g->start();
  EXPECT_TRUE(answers->found.empty()) << "never at once";
  runFor(0);
  EXPECT_EQ(Geocoder::requestCount(), 1) << "started again while asking, it asks once";
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

  // Each query asks again once it answered, found or failed, as it did the first time.
  Geocoder::setOffline(false);
  for (auto& again : {g, far, offline}) {
    EXPECT_FALSE(again->isQuerying());
    again->start();
    runFor(0);
  }
  EXPECT_EQ(Geocoder::requestCount(), 6);
  ASSERT_EQ(answers->found.size(), 3u);
  EXPECT_EQ(answers->found[1].subLocality, "徐汇区");
  EXPECT_EQ(answers->found[2].subLocality, "静安区");
  ASSERT_EQ(answers->failed.size(), 3u);
  EXPECT_EQ(answers->failed[2].code, platform::GeocoderErrorPlacemarkNotFound);
}

TEST_F(GeocoderTest, ACancelledOrDroppedGeocodingTellsNothing) {
  auto g = ask({31.2304, 121.4737});
  g->cancel();
  ask({31.2304, 121.4737}).reset();
  runFor(1);
  EXPECT_TRUE(answers->found.empty());
  EXPECT_TRUE(answers->failed.empty());

  // A cancelled query started again answers once.
  g->start();
  runFor(1);
  EXPECT_EQ(answers->found.size(), 1u);
  EXPECT_FALSE(g->isQuerying());
}

TEST_F(GeocoderTest, AnAnswerWhoseListenerIsGoneTellsNobodyAndEnds) {
  auto g = ask({31.2304, 121.4737});
  answers.reset();
  runFor(1);
  EXPECT_FALSE(g->isQuerying());
  EXPECT_EQ(Geocoder::requestCount(), 1);
}

TEST_F(GeocoderTest, TheFeedKeepsTheLatestThousandAndTwentyFourPlaces) {
  Geocoder::reset();
  auto at = [](int i) { return platform::Coordinate{10 + i * 0.01, 20}; };
  auto nameAt = [&](int i) -> std::string {
    auto p = Geocoder::placemarkAt(at(i));
    return p ? p->name : "none";
  };
  for (int i = 0; i < 1024; ++i) {
    Placemark p;
    p.coordinate = at(i);
    p.name = "place " + std::to_string(i);
    Geocoder::addPlace(p, 10);
  }
  EXPECT_EQ(nameAt(0), "place 0");
  EXPECT_EQ(nameAt(1023), "place 1023");
  Placemark last;
  last.coordinate = at(1024);
  last.name = "place 1024";
  Geocoder::addPlace(last, 10);
  EXPECT_EQ(nameAt(0), "none") << "the oldest place makes room";
  EXPECT_EQ(nameAt(1), "place 1");
  EXPECT_EQ(nameAt(1024), "place 1024");
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

TEST_F(GeocoderTest, TheMapsRecordKeepsTheLatestTwoHundredAndFiftySixInOrder) {
  using platform::MapItem;
  EXPECT_FALSE(MapItem::openMapsWithItems(
      {MapItem::forPlace({1, 1}, "a"), MapItem::forPlace({2, 2}, "b"), MapItem::forPlace({3, 3}, "c")}, {}));
  EXPECT_TRUE(MapItem::openedMaps().empty()) << "three places are refused and not recorded";
  for (int i = 0; i < 256; ++i)
    ASSERT_TRUE(MapItem::openMapsWithItems({MapItem::forPlace({1, 2}, std::to_string(i))}, {}));
  auto opened = MapItem::openedMaps();
  ASSERT_EQ(opened.size(), 256u);
  EXPECT_EQ(opened.front().items[0].name, "0");
  EXPECT_EQ(opened.back().items[0].name, "255");
  ASSERT_TRUE(MapItem::openMapsWithItems({MapItem::forPlace({1, 2}, "256")}, {}));
  opened = MapItem::openedMaps();
  ASSERT_EQ(opened.size(), 256u);
  EXPECT_EQ(opened.front().items[0].name, "1") << "the oldest record makes room";
  EXPECT_EQ(opened.back().items[0].name, "256");
}

}  // namespace
