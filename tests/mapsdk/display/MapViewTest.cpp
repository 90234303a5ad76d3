#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/Environment.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "tests/mapsdk/display/MapViewTestSupport.h"

namespace kavro::test {
namespace {

using mapsdk::CMapStatus;
using mapsdk::GMKMapView;

TEST_F(MapViewTest, AMapOpenedAtTheDefaultCentreShowsTheDemoServicesTiles) {
  ASSERT_TRUE(OpenMap());
  EXPECT_EQ(Status().level, 12);
  EXPECT_EQ(Status().centerX, gmengine::kInitialCenterX);
  EXPECT_EQ(Status().width, 640);  // the view's points at scale 2
  EXPECT_EQ(Status().height, 960);
  EXPECT_GT(server.requestCount(), 0u);

  auto image = platform::Snapshot::imageOfView(*view, 2);
  ASSERT_TRUE(image);
  const platform::Bitmap& bitmap = *image->bitmap();
  // The red dot of the demo map sits on the default centre; the east-west road runs through it.
  EXPECT_EQ(bitmap.pixelAt(320, 480), (platform::Pixel{0xE0, 0x40, 0x30, 255}));
  EXPECT_EQ(bitmap.pixelAt(40, 477), (platform::Pixel{0xFF, 0xC8, 0x70, 255}));
  EXPECT_EQ(bitmap.pixelAt(4, 4), (platform::Pixel{0xF5, 0xF3, 0xF0, 255}));
}

TEST_F(MapViewTest, APanMovesTheCentreByTheDragAndAsksForTheNewTiles) {
  ASSERT_TRUE(OpenMap());
  const int x0 = Status().centerX;
  const int y0 = Status().centerY;
  // Dragging the map 100 points left and 50 up shows what lay east and south.
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-100, -50}));
  EXPECT_EQ(Status().centerX, x0 + 200 * Status().upp);
  EXPECT_EQ(Status().centerY, y0 - 100 * Status().upp);
  ASSERT_TRUE(WaitForTiles());
  auto image = platform::Snapshot::imageOfView(*view, 2);
  EXPECT_EQ(image->bitmap()->pixelAt(320 - 200, 480 - 100), (platform::Pixel{0xE0, 0x40, 0x30, 255}));

  // Three more tiles' width east: only the tiles of the new columns are asked for.
  const std::size_t before = server.requestedKeys().size();
  const int oldRight = Status().loadedRightCol;
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-384, 0}));
  ASSERT_TRUE(WaitForTiles());
  std::vector<std::string> keys = server.requestedKeys();
  ASSERT_GT(keys.size(), before);
  for (std::size_t i = before; i < keys.size(); ++i) {
    int column = 0, row = 0;
    ASSERT_TRUE(mapsdk::TileKeyMap::SplitKey(keys[i], column, row));
    EXPECT_GT(column, oldRight);
    EXPECT_LE(column, Status().loadedRightCol);
  }
}

TEST_F(MapViewTest, PinchesAndTapsChangeTheLevelAndAskForTheTilesOfTheNewLevel) {
  ASSERT_TRUE(OpenMap());
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 2.0));
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(WaitForTiles());
  EXPECT_EQ(StreetLevel(), 13);
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 3.0));
  EXPECT_EQ(Status().level, 15);
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 0.3));
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 1.15));  // slightly enlarged: no step down
  EXPECT_EQ(Status().level, 13);

  // A double tap raises the level about the tapped point; a two-finger tap lowers it.
  ASSERT_TRUE(platform::UIDriver::tapAt({160, 240}, 2));
  EXPECT_EQ(Status().level, 14);
  auto& twoFinger = view->contentView().twoFingerTapRecognizer();
  twoFinger->setLocation({160, 240}, 2);
  twoFinger->setState(platform::GestureRecognizerState::Ended);
  twoFinger->reset();
  EXPECT_EQ(Status().level, 13);
  EXPECT_TRUE(view->zoomIn());
  EXPECT_EQ(view->zoomLevel(), 14);

  view->setZoomLevel(25);
  EXPECT_EQ(view->zoomLevel(), 18);
  EXPECT_TRUE(view->zoomIn());  // nothing happens at the deepest level
  EXPECT_EQ(view->zoomLevel(), 18);
  view->setZoomLevel(0);
  EXPECT_EQ(view->zoomLevel(), 3);
}

TEST_F(MapViewTest, AnAnimatedMoveRunsInStepsOnTheClockAndEndsWithTheRegionCallback) {
  ASSERT_TRUE(OpenMap());
  RegionLog log;
  view->setDelegate(&log);
  mapsdk::CLLocationCoordinate2D target = view->centerCoordinate();
  target.longitude += 0.05;
  view->setCenterCoordinate(target, true);
  const int x0 = Status().centerX;
  ASSERT_TRUE(runUntil([&] { return Status().centerX != x0; }, 5));
  EXPECT_FALSE(log.ended);  // still sliding
  ASSERT_TRUE(runUntil([&] { return log.ended; }, 5));
  EXPECT_NEAR(view->centerCoordinate().longitude, target.longitude, 1e-4);
  EXPECT_EQ(log.willAnimated, 1);
  view->setDelegate(nullptr);
}

TEST_F(MapViewTest, ASecondMapViewSharesTheEngineWindowAndController) {
  ASSERT_TRUE(OpenMap());
  auto* control = gmengine::MapControlOfEngine();
  auto second = GMKMapView::create({0, 0, 320, 480});
  ASSERT_TRUE(second);
  EXPECT_EQ(gmengine::MapControlOfEngine(), control);
  EXPECT_EQ(GMKMapView::liveCount(), 2);
  second.reset();
  EXPECT_EQ(GMKMapView::liveCount(), 1);
}

}  // namespace
}  // namespace kavro::test
