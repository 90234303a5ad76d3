// The platform map of the map search as a person sees it: where the map lies on the screen and
// where the person's place and the search circle are drawn, before and after a search.

#include <gtest/gtest.h>

#include "app/jobmap/JobAppleMapController.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Snapshot.h"
#include "tests/app/jobmap/JobMapTest.h"

namespace kavro::test {
namespace {

constexpr platform::Pixel Land{237, 235, 224, 255};
constexpr platform::Pixel PlaceDot{30, 110, 200, 255};
constexpr platform::Pixel CircleFill{215, 221, 225, 255};

class JobAppleMapPictureTest : public JobMapTest {
 protected:
  static platform::Pixel onScreen(const platform::Image& screen, double x, double y) {
    return screen.bitmap()->pixelAt(static_cast<int>(x), static_cast<int>(y));
  }
};

// The map is as wide as the screen in both of its heights, so the place under the centre mark in
// the middle of the screen is the place searched around, and the circle searched is drawn whole
// around the mark.
TEST_F(JobAppleMapPictureTest, TheMapSpansTheScreenAndTheSearchedPlaceIsUnderTheMark) {
  auto map = openLocated();
  auto& mk = *map->mkMapView();
  const double screenWidth = platform::Screen::mainScreen().bounds().size.width;
  const double middle = screenWidth / 2;
  for (bool expanded : {false, true}) {
    SCOPED_TRACE(expanded ? "expanded" : "packed");
    if (expanded) {
      answerMapSearchWith("map_search.xml");
      ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
      ASSERT_TRUE(runUntil(
          [&] {
            return map->jobListData()->mapViewDataStatus() == MapViewDataStatus::Answered &&
                   !map->isSearchLastLocation();
          },
          10));
      ASSERT_EQ(map->mapViewStatus(), MapViewStatus::Expanded);
      ASSERT_EQ(requestsFor(MapSearchPath).size(), 1u);
      EXPECT_NE(requestsFor(MapSearchPath)[0].find("lonlat=121.473700,31.230400&"), std::string::npos);
    }
    platform::Application::layoutWindows();
    const platform::Rect frame = mk.convertRectToView(mk.bounds(), nullptr);
    EXPECT_EQ(frame.minX(), 0);
    EXPECT_EQ(frame.width(), screenWidth);
    // Between the status line and what follows it: the conditions packed, the page bar expanded.
    auto inWindow = [](platform::View& v) { return v.convertRectToView(v.bounds(), nullptr); };
    EXPECT_EQ(frame.minY(), inWindow(*map->mapStatusBar()).maxY());
    if (expanded)
      EXPECT_EQ(frame.maxY(), inWindow(*map->mapBottomToolBar()).minY());
    else
      EXPECT_LE(frame.maxY(), inWindow(*map->listViewJobMapSearch()).minY());

    // The mark in the middle of the map, and the map's own place there.
    auto screen = platform::Snapshot::imageOfScreen(1);
    ASSERT_TRUE(screen);
    const double y = frame.midY();
    EXPECT_EQ(onScreen(*screen, middle, y), PlaceDot);
    const platform::Coordinate underTheMark = mk.convertPointToCoordinate({middle, y}, nullptr);
    EXPECT_NEAR(underTheMark.latitude, Shanghai.latitude, 1e-6);
    EXPECT_NEAR(underTheMark.longitude, Shanghai.longitude, 1e-6);
    if (!expanded) {
      EXPECT_EQ(onScreen(*screen, middle - 80, y), Land);
      EXPECT_EQ(onScreen(*screen, middle + 80, y), Land);
      continue;
    }
    // The search circle stands around the mark, as far to either side.
    ASSERT_TRUE(map->searchCircle());
    EXPECT_NEAR(mk.convertRectToView(mk.rectForCircle(*map->searchCircle()), nullptr).midX(), middle, 0.5);
    for (double side : {-1.0, 1.0}) {
      EXPECT_EQ(onScreen(*screen, middle + side * 95, y), CircleFill) << side;
      EXPECT_EQ(onScreen(*screen, middle + side * 110, y), Land) << side;
    }
  }
}

// A search the server turns down says so and draws nothing on the map: no circle around the place
// and no pins, only the mark.
TEST_F(JobAppleMapPictureTest, ASearchTurnedDownSaysSoAndDrawsNoCircleOrPins) {
  auto map = openLocated();
  auto& mk = *map->mkMapView();
  server.setAnswer(
      MapSearchPath, 200,
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>0</result>"
      "<status>2</status><message>附近暂无职位</message><resultbody></resultbody></responsemessage>");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(
      runUntil([&] { return map->jobListData()->mapViewDataStatus() == MapViewDataStatus::Answered; }, 10));
  ASSERT_EQ(requestsFor(MapSearchPath).size(), 1u);
  platform::Application::layoutWindows();
  EXPECT_NE(platform::UIDriver::describeScreen().find("附近暂无职位"), std::string::npos)
      << platform::UIDriver::describeScreen();

  runFor(2);  // the tip goes by itself
  platform::Application::layoutWindows();
  EXPECT_EQ(platform::UIDriver::describeScreen().find("附近暂无职位"), std::string::npos);
  EXPECT_FALSE(map->searchCircle());
  EXPECT_TRUE(mk.annotations().empty());
  const double middle = platform::Screen::mainScreen().bounds().size.width / 2;
  const platform::Rect frame = mk.convertRectToView(mk.bounds(), nullptr);
  auto screen = platform::Snapshot::imageOfScreen(1);
  ASSERT_TRUE(screen);
  EXPECT_EQ(onScreen(*screen, middle, frame.midY()), PlaceDot);
  for (double side : {-1.0, 1.0})
    for (double dx : {40.0, 95.0})
      EXPECT_EQ(onScreen(*screen, middle + side * dx, frame.midY()), Land) << side * dx;
}

}  // namespace
}  // namespace kavro::test
