#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "demo/MapDemoService.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/GMKOfflineMap.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/GMKPlanNode.h"
#include "mapsdk/search/GMKSearch.h"
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
  // Around them the generated map: white streets and yellow arterials all over the window.
  int streets = 0;
  for (int y = 0; y < bitmap.height(); y += 2) {
    for (int x = 0; x < bitmap.width(); x += 2) {
      const platform::Pixel p = bitmap.pixelAt(x, y);
      if ((p.r >= 0xFA && p.g >= 0xFA && p.b >= 0xFA) || (p.r == 0xFC && p.g == 0xD2 && p.b == 0x7A))
        ++streets;
    }
  }
  EXPECT_GT(streets, 2000);
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
    gmengine::GridKey key;
    ASSERT_TRUE(gmengine::GridKey::Parse(keys[i], key));
    EXPECT_GT(key.x, oldRight);
    EXPECT_LE(key.x, Status().loadedRightCol);
  }
}

// A drag that is not a number leaves the map where it was; one longer than any screen moves the
// centre as far as the world goes and no further.
TEST_F(MapViewTest, ADragOfNoNumberOrOfAnyLengthKeepsTheCentreOnTheWorld) {
  ASSERT_TRUE(OpenMap());
  const int x0 = Status().centerX;
  const int y0 = Status().centerY;
  ASSERT_TRUE(platform::UIDriver::pan(*view, {std::nan(""), std::nan("")}));
  EXPECT_EQ(Status().centerX, x0);
  EXPECT_EQ(Status().centerY, y0);

  ASSERT_TRUE(platform::UIDriver::pan(*view, {-1e308, 1e308}));
  EXPECT_GT(Status().centerX, x0) << "dragged left: the map shows what lay east";
  EXPECT_GT(Status().centerY, y0) << "dragged down: the map shows what lay north";
}

TEST_F(MapViewTest, PinchesAndTapsChangeTheLevelAndAskForTheTilesOfTheNewLevel) {
  ASSERT_TRUE(OpenMap());
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 2.0));
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(WaitForTiles());
  EXPECT_EQ(StreetLevel(), 13);
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 3.0));
  EXPECT_EQ(Status().level, 15);
  // The engine draws the new level before the pinch returns, so the next pinch is taken.
  ASSERT_TRUE(Rest());
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 0.3));
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(Rest());
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 1.15));  // slightly enlarged: no step down
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(Rest());

  // A double tap raises the level about the tapped point; a two-finger tap lowers it.
  ASSERT_TRUE(platform::UIDriver::tapAt({160, 240}, 2));
  EXPECT_EQ(Status().level, 14);
  ASSERT_TRUE(Rest());
  ASSERT_TRUE(platform::UIDriver::twoFingerTap(*view));
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(Rest());
  EXPECT_TRUE(view->zoomIn());
  EXPECT_EQ(view->zoomLevel(), 14);
  ASSERT_TRUE(Rest());

  view->setZoomLevel(25);
  EXPECT_EQ(view->zoomLevel(), 18);
  ASSERT_TRUE(Rest());
  EXPECT_TRUE(view->zoomIn());  // nothing happens at the deepest level
  EXPECT_EQ(view->zoomLevel(), 18);
  // Nor can the map be pinched open there; closed it can.
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 2.0));
  EXPECT_EQ(view->zoomLevel(), 18);
  ASSERT_TRUE(Rest());
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 0.5));
  EXPECT_EQ(view->zoomLevel(), 17);
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

TEST_F(MapViewTest, MapTypesSwitchTheTileLayersAndKeepTheirBits) {
  ASSERT_TRUE(OpenMap());
  auto* control = gmengine::MapControlOfEngine();
  view->setMapType(mapsdk::GMKMapTypeStandard);
  view->setMapType(mapsdk::GMKMapTypeTrafficOn);
  EXPECT_EQ(view->mapType(), mapsdk::GMKMapTypeStandard | mapsdk::GMKMapTypeTrafficOn);
  EXPECT_TRUE(control->IsLayerShown(gmengine::MapLayerCode::Traffic));
  // Any other value (here two bits at once) turns traffic off and leaves the rest.
  view->setMapType(mapsdk::GMKMapTypeStandard | mapsdk::GMKMapTypeTrafficOn);
  EXPECT_EQ(view->mapType(), mapsdk::GMKMapTypeStandard);
  EXPECT_FALSE(control->IsLayerShown(gmengine::MapLayerCode::Traffic));
  view->setMapType(mapsdk::GMKMapTypeSatellite);
  EXPECT_EQ(view->mapType(), mapsdk::GMKMapTypeSatellite);
  EXPECT_TRUE(control->IsLayerShown(gmengine::MapLayerCode::Satellite));
  EXPECT_FALSE(control->IsLayerShown(gmengine::MapLayerCode::Street));
  view->setMapType(mapsdk::GMKMapTypeStandard);
  EXPECT_TRUE(control->IsLayerShown(gmengine::MapLayerCode::Street));
  EXPECT_FALSE(control->IsLayerShown(gmengine::MapLayerCode::Satellite));
}

TEST_F(MapViewTest, ASingleTapOnEmptyMapLeavesTheCentreAndAConversionRoundTrips) {
  ASSERT_TRUE(OpenMap());
  const int x0 = Status().centerX;
  const int y0 = Status().centerY;
  ASSERT_TRUE(platform::UIDriver::tapAt({100, 100}, 1));
  EXPECT_EQ(Status().centerX, x0);
  EXPECT_EQ(Status().centerY, y0);
  mapsdk::CLLocationCoordinate2D c = view->convertPointToCoordinate({80, 120});
  platform::Point p = view->convertCoordinateToPoint(c);
  EXPECT_NEAR(p.x, 80, 1);
  EXPECT_NEAR(p.y, 120, 1);
}

TEST_F(MapViewTest, ARegionIsShownAtTheLevelThatHoldsItAroundItsCentre) {
  ASSERT_TRUE(OpenMap());
  mapsdk::GMKCoordinateRegion region;
  region.center = view->centerCoordinate();
  region.center.longitude += 0.02;
  region.span = {0.02, 0.02};
  view->setRegion(region);
  // About 2,230 by 2,900 map units: at level 16 (4 units a pixel) 640 x 960 pixels hold them,
  // at level 17 they would not.
  EXPECT_EQ(view->zoomLevel(), 16);
  EXPECT_NEAR(view->centerCoordinate().longitude, region.center.longitude, 1e-4);
  EXPECT_NEAR(view->region().center.longitude, region.center.longitude, 1e-3);
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

// An application may let its map view go after the map manager. Until then the view shows its
// last picture, moves nothing, and its user location reads none when the platform, which outlives
// the engine, reports a fix.
TEST_F(MapViewTest, AMapViewThatOutlivesTheEngineKeepsItsPictureAndLocatesNothing) {
  ASSERT_TRUE(OpenMap());
  view->setShowsUserLocation(true);
  const std::shared_ptr<platform::Image> shown = view->mapImageView().image();
  manager.reset();
  ASSERT_EQ(gmengine::GetMainGlobalMan(), nullptr);
  platform::NotificationCenter::defaultCenter().post(mapsdk::NotificationLocationUpdate);
  EXPECT_FALSE(view->userLocation()->location());
  EXPECT_FALSE(view->userLocation()->isUpdating());
  EXPECT_FALSE(view->isUserLocationVisible());
  view->setNeedsDisplay();
  EXPECT_EQ(view->mapImageView().image(), shown);
  EXPECT_EQ(view->zoomLevel(), 0);
  EXPECT_TRUE(platform::UIDriver::pan(*view, {-50, 0}));
  EXPECT_FALSE(view->adjustMapWindowWithFrame({0, 0, 200, 300}));
  view->setMapType(mapsdk::GMKMapTypeSatellite);
  view->setShowsUserLocation(false);
  EXPECT_EQ(view->mapImageView().image(), shown);
}

}  // namespace
}  // namespace kavro::test

namespace kavro::test {
namespace {

class MapServiceTest : public MapViewTest {
 protected:
  void SetUp() override {
    MapViewTest::SetUp();
    demo = std::make_unique<MapDemoService>(server);
  }
  void TearDown() override {
    MapViewTest::TearDown();
    demo.reset();
  }
  // Waits on the real clock (the engine's threads answer in real time).
  bool WaitReal(const std::function<bool()>& done, double seconds = 20) {
    RealClockWhile real(*this);
    return runUntil(done, seconds);
  }
  std::unique_ptr<MapDemoService> demo;
};

TEST_F(MapServiceTest, AKeywordSearchShowsItsPlacesOnTheMap) {
  ASSERT_TRUE(OpenMap());
  auto* control = gmengine::MapControlOfEngine();
  EXPECT_EQ(gmengine::SetMapType(control, gmengine::MapLayerCode::Poi, 1), 1);
  mapsdk::GMKSearch search;
  ASSERT_TRUE(search.poiSearchInCity(std::string("Demo"), std::string("coffee"), 0));
  ASSERT_TRUE(WaitReal([&] { return control->PoiLayer().Elements().size() == 3; }));
  ASSERT_TRUE(WaitForTiles());
  auto image = platform::Snapshot::imageOfView(*view, 2);
  const platform::Bitmap& bitmap = *image->bitmap();
  for (const auto& place : MapDemoService::kPlaces) {
    // A numbered mark stands on its point.
    const int x = 320 + (place.x - gmengine::kInitialCenterX) / Status().upp;
    const int y = 480 - (place.y - gmengine::kInitialCenterY) / Status().upp - 6;
    EXPECT_EQ(bitmap.pixelAt(x, y), (platform::Pixel{0xE0, 0x30, 0x1E, 255})) << place.name;
    // It is the pin of the bundle, its head well above the point and wider than a small square.
    EXPECT_EQ(bitmap.pixelAt(x - 8, y - 19), (platform::Pixel{0xE0, 0x30, 0x1E, 255})) << place.name;
    EXPECT_EQ(bitmap.pixelAt(x + 8, y - 19), (platform::Pixel{0xE0, 0x30, 0x1E, 255})) << place.name;
  }
  // A tap on the first mark hits it; one far from the marks does not.
  mapsdk::Attribute hit;
  const int px = 320 + (MapDemoService::kPlaces[0].x - gmengine::kInitialCenterX) / Status().upp;
  const int py = 480 - (MapDemoService::kPlaces[0].y - gmengine::kInitialCenterY) / Status().upp;
  ASSERT_TRUE(control->HitTest(px, py - 4, hit));
  EXPECT_EQ(hit.kind, mapsdk::Attribute::Kind::Poi);
  EXPECT_EQ(hit.name.ToUtf8(), "Harbour Coffee");
  // Ten pixels of reach sideways; a standing mark is missed just below its point and counts the
  // height above it half.
  EXPECT_TRUE(control->HitTest(px + 10, py, hit));
  EXPECT_FALSE(control->HitTest(px + 11, py, hit));
  EXPECT_FALSE(control->HitTest(px, py + 1, hit));
  EXPECT_TRUE(control->HitTest(px, py - 19, hit));
}

// The background layer asks the service for the small places of the window's tiles once the search
// engine exists; its answer (EngineMsg::PoiBkgData) brings them to the map as dots, and a tap on one
// answers it.
TEST_F(MapServiceTest, SmallPlacesOfTheServiceShowAsDotsOnTheirTiles) {
  ASSERT_TRUE(OpenMap());
  EXPECT_EQ(gmengine::SetMapType(gmengine::MapControlOfEngine(), gmengine::MapLayerCode::BackgroundPoi, 1),
            1);
  mapsdk::GMKSearch search;
  ASSERT_TRUE(search.poiSearchInCity(std::string("Demo"), std::string("coffee"), 0));
  auto* control = gmengine::MapControlOfEngine();
  const mapsdk::CBKGLayer& layer = control->BackgroundLayer();
  auto items = [&] {
    int n = 0;
    for (const auto& tile : layer.Tiles()) n += tile.pois.GetSize();
    return n;
  };
  ASSERT_TRUE(WaitReal([&] { return items() == layer.Tiles().GetSize() * MapDemoService::kPlacesPerTile; }));
  ASSERT_GT(layer.Tiles().GetSize(), 0);
  // Every tile the window shows, its edges' rows and columns too, was asked for.
  const gmengine::_VRect range = Status().WindowTileRange();
  for (int column = range.left; column <= range.right; ++column) {
    for (int row = range.bottom; row <= range.top; ++row) {
      bool asked = false;
      for (const auto& tile : layer.Tiles())
        asked = asked || (tile.key[0] == Status().level && tile.key[1] == column && tile.key[2] == row);
      EXPECT_TRUE(asked) << column << "," << row;
    }
  }
  ASSERT_TRUE(WaitForTiles());
  auto image = platform::Snapshot::imageOfView(*view, 2);
  const platform::Bitmap& bitmap = *image->bitmap();
  const std::uint32_t dot = mapsdk::layerstyles::kBackgroundPoiColor;
  const platform::Pixel dotPixel{static_cast<std::uint8_t>(dot >> 16), static_cast<std::uint8_t>(dot >> 8),
                                 static_cast<std::uint8_t>(dot), 255};
  int shown = 0;
  std::optional<MapDemoService::SmallPlace> tapped;
  gmengine::_VPoint tappedAt;
  for (const auto& tile : layer.Tiles()) {
    for (const auto& place : MapDemoService::SmallPlaces(tile.key[0], tile.key[1], tile.key[2])) {
      const gmengine::_VPoint p =
          Status().MapToScreen(static_cast<std::int32_t>(place.x), static_cast<std::int32_t>(place.y));
      if (p.x < 20 || p.y < 20 || p.x >= 620 || p.y >= 940) continue;
      EXPECT_EQ(bitmap.pixelAt(p.x, p.y), dotPixel) << place.name << " at " << p.x << "," << p.y;
      ++shown;
      if (!tapped) {
        tapped = place;
        tappedAt = p;
      }
    }
  }
  ASSERT_GT(shown, 0);
  mapsdk::Attribute hit;
  ASSERT_TRUE(control->HitTest(tappedAt.x + 9, tappedAt.y - 9, hit));
  EXPECT_EQ(hit.kind, mapsdk::Attribute::Kind::BackgroundPoi);
  EXPECT_EQ(hit.name.ToUtf8(), tapped->name);
  EXPECT_STREQ(hit.uid, tapped->uid.c_str());
  EXPECT_EQ(hit.hitX, tapped->x);
}

// A service that has no small places for the window's tiles answers without them: the layer asks
// for them a couple of times and then leaves them, rather than asking again after every answer.
TEST_F(MapServiceTest, TilesWithoutSmallPlacesAreNotAskedForAgainAndAgain) {
  demo->withholdSmallPlaces = true;
  ASSERT_TRUE(OpenMap());
  EXPECT_EQ(gmengine::SetMapType(gmengine::MapControlOfEngine(), gmengine::MapLayerCode::BackgroundPoi, 1),
            1);
  auto asked = [&] {
    int n = 0;
    for (const auto& request : server.server().requests())
      n += request.target.find("qt=bkg_data_ex") != std::string::npos;
    return n;
  };
  struct Answers : mapsdk::GMKSearchDelegate {
    bool onGetPoiResult(const mapsdk::GMKArray<mapsdk::GMKPoiResult>&, gmengine::SearchType,
                        gmengine::DelegateError) override {
      ++count;
      return true;
    }
    int count = 0;
  };
  auto searching = [] {
    gmengine::CAppSearch* engineSearch = gmengine::SearchOfEngine();
    return engineSearch && engineSearch->IsSearching();
  };
  const mapsdk::CBKGLayer& layer = gmengine::MapControlOfEngine()->BackgroundLayer();
  auto answers = std::make_shared<Answers>();
  mapsdk::GMKSearch search;
  search.setDelegate(answers);
  // Each search answer frees the search client and gives the layer a chance to ask again; once
  // its tiles were asked for in two answered requests, it asks for nothing more.
  int before = -1;
  for (int round = 0; round < 5 && asked() != before; ++round) {
    before = asked();
    ASSERT_TRUE(search.poiSearchInCity(std::string("Demo"), "coffee " + std::to_string(round), 0));
    ASSERT_TRUE(
        WaitReal([&] { return answers->count == round + 1 && !layer.Request()->Asking() && !searching(); }));
  }
  std::string targets;
  for (const auto& request : server.server().requests()) {
    if (request.target.find("qt=bkg_data_ex") != std::string::npos) targets += "\n" + request.target;
  }
  EXPECT_EQ(asked(), before) << targets;
  EXPECT_GE(asked(), 2) << targets;
  EXPECT_EQ(layer.Tiles()[0].pois.GetSize(), 0);

  // What was asked of tiles goes with them when they leave the kept block: panned far away and
  // back, the layer asks for the same tiles afresh at the next chance.
  const int centerX = Status().centerX;
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-3000, 0}));
  ASSERT_TRUE(WaitReal([&] { return !layer.Request()->Asking() && !searching(); }));
  const int away = asked();
  ASSERT_TRUE(platform::UIDriver::pan(*view, {3000, 0}));
  ASSERT_EQ(Status().centerX, centerX);
  ASSERT_TRUE(search.poiSearchInCity(std::string("Demo"), std::string("coffee back"), 0));
  const int answered = answers->count;
  ASSERT_TRUE(
      WaitReal([&] { return answers->count > answered && !layer.Request()->Asking() && !searching(); }));
  EXPECT_GT(asked(), away) << targets;
}

TEST_F(MapServiceTest, ADrivingRouteIsDrawnAlongItsLinks) {
  ASSERT_TRUE(OpenMap());
  auto node = [](const MapDemoService::Place& place) {
    auto n = std::make_shared<mapsdk::GMKPlanNode>();
    mapsdk::CLLocationCoordinate2D c;
    gmengine::MercatorToGeo(place.x, place.y, &c.longitude, &c.latitude);
    n->setPt(c);
    return n;
  };
  auto* control = gmengine::MapControlOfEngine();
  EXPECT_EQ(gmengine::SetMapType(control, gmengine::MapLayerCode::Route, 1), 1);
  mapsdk::GMKSearch search;
  ASSERT_TRUE(search.drivingSearch(std::nullopt, node(MapDemoService::kPlaces[1]), std::nullopt,
                                   node(MapDemoService::kPlaces[0])));
  ASSERT_TRUE(WaitReal([&] { return !control->RouteLayer().Elements().empty(); }));
  ASSERT_TRUE(WaitForTiles());
  // The route runs north from the second place, then east to the first: a point on each leg.
  const auto& from = MapDemoService::kPlaces[1];
  const auto& to = MapDemoService::kPlaces[0];
  const int upp = Status().upp;
  auto image = platform::Snapshot::imageOfView(*view, 2);
  const platform::Pixel blue{0x2E, 0x6F, 0xE0, 255};
  EXPECT_EQ(image->bitmap()->pixelAt(320 + (from.x - gmengine::kInitialCenterX) / upp,
                                     480 - ((from.y + to.y) / 2 - gmengine::kInitialCenterY) / upp),
            blue);
  EXPECT_EQ(image->bitmap()->pixelAt(320 + ((from.x + to.x) / 2 - gmengine::kInitialCenterX) / upp,
                                     480 - (to.y - gmengine::kInitialCenterY) / upp),
            blue);
}

TEST_F(MapServiceTest, TheOfflineCityListAnswerReachesTheRecords) {
  ASSERT_TRUE(OpenMap());
  auto offline = mapsdk::GMKOfflineMap::create();  // makes the search object too
  gmengine::COLRecordMan* records = gmengine::RecordManOfEngine();
  ASSERT_NE(records, nullptr);
  ASSERT_NE(gmengine::SearchOfEngine(), nullptr);
  // The demo city is installed at data version 1; the catalogue now says 2.
  gmengine::COLUpdateRecord installed = MapDemoService::DemoCity();
  ASSERT_EQ(records->StoreRecord(installed), 1);
  gmengine::COLVersionInfo catalogue;
  catalogue.d = gmengine::CVString("2");
  catalogue.m = gmengine::CVString("1");
  catalogue.c = gmengine::CVString("1");
  ASSERT_EQ(records->StoreVersion(catalogue), 1);
  gmengine::CVArray<int> ids;
  ids.Add(MapDemoService::kDemoCityId);
  ASSERT_EQ(gmengine::SearchOfEngine()->OfflineCitySearch(ids), 1);
  ASSERT_TRUE(WaitReal([&] {
    auto record = records->GetUpdateRecord(MapDemoService::kDemoCityId);
    return record && record->server.dataVersion == gmengine::CVString("2");
  })) << records->GetUpdateRecord(MapDemoService::kDemoCityId)->server.dataVersion.ToUtf8();
  auto record = records->GetUpdateRecord(MapDemoService::kDemoCityId);
  // The city list's data and map versions are the catalogue's: an update is offered.
  EXPECT_EQ(record->server.update, 1);
  EXPECT_EQ(record->server.mapVersion, gmengine::CVString("1"));
  EXPECT_EQ(record->server.name.ToUtf8(), "Demo City");
  EXPECT_EQ(record->server.baseLevel, 11);
  ASSERT_EQ(record->server.packages.GetSize(), 1);
  EXPECT_EQ(record->server.packages[0].ToUtf8(), "395_147");
}

// Cities offered for download and not yet on the phone are listed as the service described them,
// each with its own name, size and centre (longitude from the x, latitude from the y).
TEST_F(MapServiceTest, OfferedCitiesAreListedWithTheirOwnNameSizeAndCentre) {
  server.server().setHandler([](const RecordedRequest& request) {
    if (MapDemoService::query(request.target, "qt") != "taskcity") {
      ScriptedResponse missing;
      missing.status = 404;
      return missing;
    }
    return ScriptedResponse::ok(
        R"({"result":{"type":507,"error":0},"content":[)"
        R"({"name":"Harbour Town","cityid":"257","task":"401_150|402_150","size":1234567,)"
        R"("center_x":"12960000","center_y":"4830000","l":"12","ls":"10","le":"16","cityver":"3"},)"
        R"({"name":"River Town","cityid":"258","task":"380_140","size":"2345678",)"
        R"("center_x":"13520000","center_y":"3640000","l":"13","ls":"11","le":"15","cityver":"4"}]})",
        {{"Content-Type", "application/json"}});
  });
  auto offline = mapsdk::GMKOfflineMap::create();
  ASSERT_TRUE(offline);
  gmengine::COLRecordMan* records = gmengine::RecordManOfEngine();
  ASSERT_NE(records, nullptr);
  gmengine::CVArray<int> ids;
  ids.Add(257);
  ids.Add(258);
  ASSERT_EQ(gmengine::SearchOfEngine()->OfflineCitySearch(ids), 1);
  ASSERT_TRUE(WaitReal([&] { return offline->getUpdateInfo(258) != nullptr; }));

  struct Offered {
    int id;
    std::string name;
    int size;
    int x, y;
    double longitude, latitude;
    int base, first, last;
    std::string version;
    std::vector<std::string> packages;
  };
  const Offered offered[] = {
      {257,
       "Harbour Town",
       1234567,
       12960000,
       4830000,
       116.42,
       39.75,
       12,
       10,
       16,
       "3",
       {"401_150", "402_150"}},
      {258, "River Town", 2345678, 13520000, 3640000, 121.45, 31.06, 13, 11, 15, "4", {"380_140"}},
  };
  auto all = offline->getAllUpdateInfo();
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 2u);
  for (const Offered& city : offered) {
    SCOPED_TRACE(city.name);
    auto element = offline->getUpdateInfo(city.id);
    ASSERT_TRUE(element);
    EXPECT_EQ(element->cityID(), city.id);
    EXPECT_EQ(element->cityName(), city.name);
    EXPECT_EQ(element->size(), city.size);
    EXPECT_EQ(element->ratio(), 0);
    EXPECT_NEAR(element->pt().longitude, city.longitude, 0.01);
    EXPECT_NEAR(element->pt().latitude, city.latitude, 0.01);
    // Back to map units, the centre is the one the service gave.
    double x = 0, y = 0;
    gmengine::GeoToMercator(element->pt().longitude, element->pt().latitude, &x, &y);
    EXPECT_NEAR(x, city.x, 1);
    EXPECT_NEAR(y, city.y, 1);

    // What the download goes by: both halves of the record alike.
    auto record = records->GetUpdateRecord(city.id);
    ASSERT_TRUE(record);
    for (const gmengine::COLUpdateElement* half : {&record->local, &record->server}) {
      EXPECT_EQ(half->x, city.x);
      EXPECT_EQ(half->y, city.y);
      EXPECT_EQ(half->baseLevel, city.base);
      EXPECT_EQ(half->firstLevel, city.first);
      EXPECT_EQ(half->lastLevel, city.last);
      EXPECT_EQ(half->cityVersion.ToUtf8(), city.version);
      ASSERT_EQ(half->packages.GetSize(), static_cast<int>(city.packages.size()));
      for (std::size_t k = 0; k < city.packages.size(); ++k)
        EXPECT_EQ(half->packages[static_cast<int>(k)].ToUtf8(), city.packages[k]);
    }
  }
}

TEST_F(MapServiceTest, AnOfflineDownloadRunsToDoneAndTheMapThenDrawsWithoutTheNetwork) {
  demo->refuseMapTiles = true;  // the map's own requests fail from the start
  view = mapsdk::GMKMapView::create({0, 0, 320, 480});
  ASSERT_TRUE(view);
  window->addSubview(view);
  auto* control = gmengine::MapControlOfEngine();
  auto centreTile = [&]() -> const gmengine::tagGirdData* {
    for (const auto& tile : control->StreetLayer().Needed()) {
      if (tile.x == 790 && tile.y == 294) return &tile;
    }
    return nullptr;
  };
  ASSERT_TRUE(WaitReal([&] { return server.requestCount() > 0; }));
  ASSERT_TRUE(centreTile());
  EXPECT_EQ(centreTile()->data, nullptr);

  // The demo city around the default centre, levels 11 to 17.
  auto offline = mapsdk::GMKOfflineMap::create();
  auto* records = gmengine::RecordManOfEngine();
  ASSERT_NE(records, nullptr);
  gmengine::COLUpdateRecord city = MapDemoService::DemoCity();
  ASSERT_EQ(records->StoreRecord(city), 1);
  ASSERT_EQ(records->StartCity(MapDemoService::kDemoCityId), 1);  // asking for it switches downloading on
  auto finished = [&] {
    auto record = records->GetUpdateRecord(MapDemoService::kDemoCityId);
    return record && record->local.state == gmengine::OfflineCityState::Finished &&
           record->local.ratio == 10000;
  };
  // However busy the machine, the download is waited for while tiles come: a minute without one
  // ends the wait.
  for (int last = control->OfflineMan().GetReceivedCount(); !finished();) {
    if (!WaitReal([&] { return finished() || control->OfflineMan().GetReceivedCount() != last; }, 60)) break;
    last = control->OfflineMan().GetReceivedCount();
  }
  ASSERT_TRUE(finished()) << "packages " << control->OfflineMan().GetPackageCount() << " received "
                          << control->OfflineMan().GetReceivedCount() << " of "
                          << control->OfflineMan().GetTotalCount() << " on "
                          << control->OfflineMan().IsDownloadOn() << " state "
                          << gmengine::ToInt(
                                 records->GetUpdateRecord(MapDemoService::kDemoCityId)->local.state)
                          << " requesting " << control->GridClient().IsMapRequesting() << " last "
                          << server.server().requests().back().target;
  EXPECT_EQ(control->OfflineMan().GetPackageCount(), 0);

  // The map's own batches are still refused, yet the centre tile now comes from the download.
  control->UpdateLayers();
  ASSERT_NE(centreTile(), nullptr);
  ASSERT_NE(centreTile()->data, nullptr);
  ASSERT_TRUE(RepaintShown());
  auto image = platform::Snapshot::imageOfView(*view, 2);
  EXPECT_EQ(image->bitmap()->pixelAt(320, 480), (platform::Pixel{0xE0, 0x40, 0x30, 255}));

  // The package files carry the store's id.
  std::string bytes;
  ASSERT_TRUE(gmengine::olrecord::ReadWholeFile(
      control->OfflineStore().PackagePath(gmengine::CVString("395_147")), bytes));
  ASSERT_GE(bytes.size(), 12u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8 |
                static_cast<unsigned char>(bytes[10]) << 16 | static_cast<unsigned char>(bytes[11]) << 24,
            10000001);
  // The traffic tiles share the street tiles' index name.
  EXPECT_EQ(control->TrafficLayer().Request()->IndexName(), "Data.Index");

  // With the map host gone, every level the package holds is drawn from it: each tile of the
  // window that lies in the package has its picture, and the picture shows streets.
  server.server().stop();
  const double packageLeft = 395.0 * 32768, packageBottom = 147.0 * 32768;
  for (int level = 11; level <= 17; ++level) {
    view->setZoomLevel(level);
    control->UpdateLayers();
    int inPackage = 0;
    for (const auto& tile : control->StreetLayer().Needed()) {
      const double side = 256.0 * Status().upp;
      const double x = (tile.x + 0.5) * side, y = (tile.y + 0.5) * side;
      if (x < packageLeft || x > packageLeft + 32768 || y < packageBottom || y > packageBottom + 32768)
        continue;
      ++inPackage;
      EXPECT_NE(tile.data, nullptr) << "level " << level << " tile " << tile.x << "_" << tile.y;
    }
    EXPECT_GT(inPackage, 0) << "level " << level;
    ASSERT_TRUE(RepaintShown());
    auto shown = platform::Snapshot::imageOfView(*view, 2);
    int streets = 0;
    for (int y = 0; y < shown->bitmap()->height(); y += 2) {
      for (int x = 0; x < shown->bitmap()->width(); x += 2) {
        const platform::Pixel p = shown->bitmap()->pixelAt(x, y);
        if ((p.r >= 0xFA && p.g >= 0xFA && p.b >= 0xFA) || (p.r == 0xFC && p.g == 0xD2 && p.b == 0x7A))
          ++streets;
      }
    }
    EXPECT_GT(streets, 300) << "level " << level;
  }
}

TEST_F(MapServiceTest, AnOfflineDownloadThatCannotSaveStopsOnceAndKeepsOnlyWholeTiles) {
  demo->refuseMapTiles = true;
  view = mapsdk::GMKMapView::create({0, 0, 320, 480});
  ASSERT_TRUE(view);
  window->addSubview(view);
  auto* control = gmengine::MapControlOfEngine();
  int stops = 0;
  platform::NotificationCenter::defaultCenter().addObserver(
      gmengine::kNotificationOfflineSaveFailed, nullptr, [&](const auto&) { ++stops; }, &stops);
  auto offline = mapsdk::GMKOfflineMap::create();
  auto* records = gmengine::RecordManOfEngine();
  ASSERT_NE(records, nullptr);
  gmengine::COLUpdateRecord city = MapDemoService::DemoCity();
  ASSERT_EQ(records->StoreRecord(city), 1);

  // A disk that takes a few hundred kilobytes more: the package's tables and a few tiles.
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 400 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ASSERT_EQ(records->StartCity(MapDemoService::kDemoCityId), 1);
  const bool stopped =
      WaitReal([&] { return stops > 0 && control->OfflineMan().GetPackageCount() == 0; }, 60);
  auto offlineRequests = [&] {
    std::size_t n = 0;
    for (const auto& request : server.server().requests()) {
      if (std::atoll(MapDemoService::query(request.target, "tick").c_str()) >= 1000000) ++n;
    }
    return n;
  };
  const std::size_t asked = offlineRequests();
  WaitReal([] { return false; }, 2);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(&stops);
  ASSERT_TRUE(stopped) << "offline batches asked: " << offlineRequests();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(offlineRequests(), asked);  // nothing more is asked for
  EXPECT_LT(asked, 100u);
  EXPECT_EQ(control->OfflineMan().IsDownloadOn(), 0);

  // The package holds whole tiles only: the count it reports, the first of them readable.
  int stored = -1;
  ASSERT_EQ(control->OfflineStore().CreateOfflineDat(11, gmengine::CVString("395_147"), 11, 17, stored), 1);
  EXPECT_GT(stored, 0);
  EXPECT_LT(stored, 5461);
  void* data = nullptr;
  int size = 0;
  EXPECT_EQ(control->OfflineStore().ReadGridData(11, gmengine::GridKey{395, 147}, 11, data, size), 1);
  EXPECT_GT(size, 1000);
  gmengine::VFree(data);
}

}  // namespace
}  // namespace kavro::test
