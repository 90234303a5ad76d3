#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "demo/MapDemoService.h"
#include "mapsdk/display/CMapControl.h"
#include "mapsdk/display/GMKMapProbe.h"
#include "mapsdk/display/TileImage.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/mapsdk/display/MapViewTestSupport.h"

namespace kavro::test {
namespace {

// A map host that fails every batch: the map asks again after growing waits, not at once.
class MapHostFailureTest : public MapViewTest {
 protected:
  void SetUp() override {
    MapViewTest::SetUp();
    platform::NotificationCenter::defaultCenter().addObserver(
        gmengine::kNotificationMapTilesFailed, nullptr, [this](const auto&) { ++reports; }, &reports);
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(&reports);
    MapViewTest::TearDown();
  }
  // Runs virtual seconds in small steps, giving the engine's network thread a few real
  // milliseconds at each to fail and post.
  void RunVirtual(double seconds) {
    for (double t = 0; t < seconds; t += 0.05) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      runFor(0.05);
    }
  }
  void OpenWithoutWaiting() {
    view = mapsdk::GMKMapView::create({0, 0, 320, 480});
    ASSERT_TRUE(view);
    window->addSubview(view);
  }
  int reports = 0;
};

TEST_F(MapHostFailureTest, AResetConnectionIsAskedAgainAfterGrowingWaitsAndReportedOnce) {
  server.server().setHandler([](const RecordedRequest&) {
    ScriptedResponse reset;
    reset.closeWithoutResponse = true;
    return reset;
  });
  OpenWithoutWaiting();
  RunVirtual(60);
  // Waits of 0.5, 1, 2, 4, 8, 16 and 30 seconds fit in a minute: eight batches, each tried three
  // times by the client (asking again at once made thousands).
  const std::size_t asked = server.requestCount();
  EXPECT_GE(asked, 4u);
  EXPECT_LE(asked, 8u * gmengine::CHttpClient::kAttempts + 3);
  EXPECT_EQ(reports, 1);
  auto* control = gmengine::MapControlOfEngine();
  ASSERT_NE(control, nullptr);
  EXPECT_GE(control->TileFailures(), 5);
  EXPECT_EQ(control->RetryDelay(), gmengine::CMapControl::kLastRetrySeconds);

  // The host comes back: the next attempt brings tiles and the count of failures starts again.
  MapDemoService demo(server);
  RunVirtual(31);
  EXPECT_EQ(control->TileFailures(), 0);
  EXPECT_TRUE(WaitForTiles());
  EXPECT_EQ(reports, 1);
}

TEST_F(MapHostFailureTest, AnHtmlPageInPlaceOfTilesIsAFailureToo) {
  server.server().setHandler([](const RecordedRequest&) {
    return ScriptedResponse::ok("<html><body>Sign in to the network</body></html>",
                                {{"Content-Type", "text/html"}});
  });
  OpenWithoutWaiting();
  RunVirtual(30);
  EXPECT_GE(server.requestCount(), 3u);
  EXPECT_LE(server.requestCount(), 16u);
  EXPECT_EQ(reports, 1);
  // Read on its own the page is no tile either, nor is a tile cut short; a whole one is every pixel.
  EXPECT_TRUE(mapsdk::GMKMapProbe::decodeTile("<html><body>Sign in to the network</body></html>").empty());
  const std::string tile = server.tile("map", 15, 6400, 3000);
  ASSERT_GT(tile.size(), 64u);
  EXPECT_TRUE(mapsdk::GMKMapProbe::decodeTile(tile.substr(0, tile.size() / 2)).empty());
  EXPECT_EQ(mapsdk::GMKMapProbe::decodeTile(tile).size(),
            static_cast<std::size_t>(mapsdk::tileimage::kTilePixels));
}

}  // namespace
}  // namespace kavro::test
