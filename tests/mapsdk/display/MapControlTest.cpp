#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "demo/MapDemoService.h"
#include "mapsdk/display/CMapControl.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/GMKPlanNode.h"
#include "mapsdk/search/GMKSearch.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "tests/mapsdk/display/MapViewTestSupport.h"

namespace kavro::test {
namespace {

using gmengine::CMapControl;
using gmengine::CMapControlBlock;
using gmengine::MapLayerCode;

class MapControlTest : public MapViewTest {
 protected:
  void SetUp() override {
    MapViewTest::SetUp();
    platform::NotificationCenter::defaultCenter().addObserver(
        gmengine::NotificationEngineAnimationBegin, nullptr, [this](const auto&) { ++animationSteps; }, this);
  }
  CMapControlBlock& Control() { return *gmengine::MapControlOfEngine(); }
  gmengine::EngineServices Services() { return gmengine::GetMainGlobalMan()->engine->Services(); }
  // Runs the loop (virtual clock) until the animation or slide under way has ended.
  bool Settle(const std::function<bool()>& done) { return runUntil(done, 10); }
  int animationSteps = 0;
};

// Stands in for the map view as what shows the engine window: counts the pictures.
struct CountingWndView final : gmengine::CVWndView {
  void OnWindowUpdate(const gmengine::CVWnd&) override { ++updates; }
  int updates = 0;
};

// Before a controller has its window and layers, calls that touch them are answered and change
// nothing: a place search answering early, a background refresh, a picture asked for.
TEST_F(MapControlTest, AControllerNotYetBuiltTakesCallsAndDrawsNothing) {
  CMapControlBlock control(Services());
  EXPECT_EQ(gmengine::UpdateMapBKGLayer(&control), 1);
  control.OnPoiBkgData(gmengine::SearchError::None);
  gmengine::CVDC dc;
  EXPECT_EQ(gmengine::DrawMapControl(&control, dc), 0);
}

// A controller drawn into a bitmap of its own window size; the pixel at (x, y).
class DrawnMap {
 public:
  explicit DrawnMap(CMapControl& control) {
    const mapsdk::CMapStatus& s = control.Status();
    dc_.CreateCompatibleDC();
    gmengine::VBitmap* bitmap = gmengine::VCreateBitmap(s.width, s.height, 32, nullptr);
    gmengine::FreeBitmapData(dc_.SelectObject(bitmap));
    width_ = s.width;
    control.Draw(dc_);
  }
  std::uint32_t At(int x, int y) const {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, dc_.GetCurrentBitmap()->pixels + (static_cast<std::size_t>(y) * width_ + x) * 4, 4);
    return pixel;
  }

 private:
  gmengine::CVDC dc_;
  int width_ = 0;
};

TEST_F(MapControlTest, TwoControllersKeepTheirOwnCamera) {
  ASSERT_TRUE(OpenMap());
  const int x0 = Status().centerX;
  const int level0 = Status().level;
  CMapControlBlock other(Services());
  other.Init(x0 + 100000, Status().centerY - 50000, 0, 0, 200, 100, 5);
  EXPECT_EQ(other.Status().level, 5);
  EXPECT_EQ(other.Status().width, 200);
  // The map view's camera did not follow the other controller.
  EXPECT_EQ(Status().centerX, x0);
  EXPECT_EQ(Status().level, level0);
  EXPECT_EQ(Status().width, 640);

  ASSERT_TRUE(platform::UIDriver::pan(*view, {-50, 0}));
  EXPECT_EQ(Status().centerX, x0 + 100 * Status().upp);
  EXPECT_EQ(other.Status().centerX, x0 + 100000);
  other.SetLevel(7, 1, 0, 0);
  EXPECT_EQ(Status().level, level0);
}

TEST_F(MapControlTest, TheEngineWindowShowsItsPicturesOnTheMapViewOnScreenOnly) {
  ASSERT_TRUE(OpenMap());
  // A second map on screen takes the window's pictures; the first keeps what it showed.
  auto second = mapsdk::GMKMapView::create({0, 0, 320, 480});
  ASSERT_TRUE(second);
  window->addSubview(second);
  const std::shared_ptr<platform::Image> shown = view->mapImageView().image();
  {
    RealClockWhile real(*this);
    Control().RequestRepaint();
    ASSERT_TRUE(runUntil([&] { return second->mapImageView().image() != nullptr; }, 5));
  }
  EXPECT_EQ(view->mapImageView().image(), shown);
  // Gone again: the first map, back on screen, shows the pictures once more.
  second->removeFromSuperview();
  second.reset();
  view->removeFromSuperview();
  window->addSubview(view);
  ASSERT_TRUE(RepaintShown());
}

TEST_F(MapControlTest, WhereNoTileIsTheMapShowsGreyUnderADottedGridThatMovesWithIt) {
  // A controller with no tile cached and none of those it asked for answered yet.
  CMapControlBlock control(Services());
  control.Init(gmengine::kInitialCenterX + 7 * 64, gmengine::kInitialCenterY, 0, 0, 200, 100, 12);
  const mapsdk::CMapStatus& s = control.Status();
  const int b = 10;  // a tenth of the shorter side
  const int firstX = (b - s.offsetX % b) % b;
  const int firstY = (b - s.offsetY % b) % b;
  DrawnMap map(control);
  int gridX = 0, gridY = 0;
  for (int y = 0; y < s.height; ++y) gridX += map.At(firstX + 2 * b, y) == CMapControl::kGridColor;
  for (int x = 0; x < s.width; ++x) gridY += map.At(x, firstY + 3 * b) == CMapControl::kGridColor;
  EXPECT_GT(gridX, s.height / 4);
  EXPECT_GT(gridY, s.width / 4);
  // Between the lines: the background grey.
  EXPECT_EQ(map.At(firstX + 2 * b + b / 2, firstY + b / 2), CMapControl::kBackground);

  // Three pixels further east the lines sit three pixels further left.
  control.MoveTo(s.centerX + 3 * s.upp, s.centerY, 0, 0, 0);
  DrawnMap moved(control);
  const int shiftedX = ((firstX - 3) % b + b) % b + 2 * b;
  int shifted = 0;
  for (int y = 0; y < s.height; ++y) shifted += moved.At(shiftedX, y) == CMapControl::kGridColor;
  EXPECT_GT(shifted, s.height / 4);
}

TEST_F(MapControlTest, AnAnimatedMoveGlidesAFifthOfTheRestEachStepAndAShortOneJumps) {
  ASSERT_TRUE(OpenMap());
  RegionLog log;
  view->setDelegate(&log);
  const int upp = Status().upp;
  const int x0 = Status().centerX;
  // 100 pixels east.
  mapsdk::CLLocationCoordinate2D target;
  gmengine::MercatorToGeo(x0 + 100 * upp, Status().centerY, &target.longitude, &target.latitude);
  view->setCenterCoordinate(target, true);
  int tx = 0, ty = 0;
  {
    double mx = 0, my = 0;
    gmengine::GeoToMercator(target.longitude, target.latitude, &mx, &my);
    tx = static_cast<int>(mx);
    ty = static_cast<int>(my);
  }
  const int d = (tx - x0) / upp;
  ASSERT_GE(d, 99);
  // The first step is taken at once: a fifth of the way.
  EXPECT_EQ(Status().centerX, x0 + d / 5 * upp);
  const int first = Status().centerX;
  ASSERT_TRUE(runUntil([&] { return Status().centerX != first; }, 1));
  const int rest = (tx - first) / upp;
  EXPECT_EQ(Status().centerX, first + rest / 5 * upp);
  ASSERT_TRUE(Settle([&] { return log.ended; }));
  EXPECT_EQ(Status().centerX, tx);
  EXPECT_EQ(Status().centerY, ty);
  // 100, 80, 64, 51, 41, 33, 27, 22, 18, 15, 12, 10, 8, 7, 6: fourteen steps, then the finish.
  EXPECT_GE(animationSteps, 10);

  // Five pixels away: there at once, with no animation at all.
  log.ended = false;
  const int steps = animationSteps;
  gmengine::MoveMapCenter(&Control(), tx + 5 * upp, ty + 5 * upp, 1, 1, 1);
  EXPECT_EQ(Status().centerX, tx + 5 * upp);
  EXPECT_EQ(Status().centerY, ty + 5 * upp);
  runFor(0.1);
  EXPECT_EQ(animationSteps, steps);
  EXPECT_FALSE(log.ended);
  // Six on y is far enough to glide, with a first step of one pixel.
  gmengine::MoveMapCenter(&Control(), tx + 5 * upp, ty - upp, 1, 1, 1);
  EXPECT_EQ(Status().centerY, ty + 4 * upp);
  ASSERT_TRUE(Settle([&] { return log.ended; }));
  EXPECT_EQ(Status().centerY, ty - upp);
  view->setDelegate(nullptr);
}

TEST_F(MapControlTest, AFlungMapSlidesOnInShrinkingStepsAndAShortDragDoesNot) {
  ASSERT_TRUE(OpenMap());
  const int upp = Status().upp;
  const int x0 = Status().centerX;
  const int y0 = Status().centerY;
  // A touch that went 40 pixels right before it was let go: the map follows the finger, then
  // slides on by 17, 16, ... 5 pixels.
  ASSERT_EQ(gmengine::MapControlTapHitTest(&Control(), 100, 200), 1);
  ASSERT_EQ(gmengine::MapControlTapMove(&Control(), 140, 200), 1);
  EXPECT_EQ(Status().centerX, x0 - 40 * upp);
  EXPECT_TRUE(Control().IsSliding());
  ASSERT_TRUE(Settle([&] { return !Control().IsSliding(); }));
  const int slid = (17 + 5) * 13 / 2;
  EXPECT_EQ(Status().centerX, x0 - (40 + slid) * upp);
  EXPECT_EQ(Status().centerY, y0);

  // 29 pixels on both axes: the map stops where it was let go.
  const int x1 = Status().centerX;
  const int y1 = Status().centerY;
  ASSERT_EQ(gmengine::MapControlTapHitTest(&Control(), 100, 200), 1);
  ASSERT_EQ(gmengine::MapControlTapMove(&Control(), 71, 229), 1);
  EXPECT_FALSE(Control().IsSliding());
  runFor(0.2);
  EXPECT_EQ(Status().centerX, x1 + 29 * upp);
  EXPECT_EQ(Status().centerY, y1 + 29 * upp);
}

TEST_F(MapControlTest, AMoveAlongAPathVisitsItsPointsAndEndsAtItsLastOne) {
  ASSERT_TRUE(OpenMap());
  const int x0 = Status().centerX;
  const int y0 = Status().centerY;
  gmengine::CComplexPt path;
  gmengine::CVArray<gmengine::_VPoint> points;
  for (int i = 0; i < 20; ++i) points.Add(gmengine::_VPoint((x0 + i * 640) * 100LL, y0 * 100LL));
  path.AddPart(points);
  // Forwards: from the first point, every third of the twenty (n / 10 + 1), then a glide to the last.
  Control().StartPath(path, 1);
  EXPECT_TRUE(Control().IsWalkingPath());
  EXPECT_EQ(Status().centerX, x0);
  ASSERT_TRUE(Settle([&] { return Status().centerX != x0; }));
  EXPECT_EQ(Status().centerX, x0 + 3 * 640);
  ASSERT_TRUE(Settle([&] { return !Control().IsWalkingPath() && Status().centerX == x0 + 19 * 640; }));
  // Backwards: from the last point back to the first.
  Control().StartPath(path, 0);
  EXPECT_EQ(Status().centerX, x0 + 19 * 640);
  ASSERT_TRUE(Settle([&] { return Status().centerX != x0 + 19 * 640; }));
  EXPECT_EQ(Status().centerX, x0 + 16 * 640);
  ASSERT_TRUE(Settle([&] { return !Control().IsWalkingPath() && Status().centerX == x0; }));
}

TEST_F(MapControlTest, ZoomLevelsAreHeldToTheirRangeAndARectPicksTheLevelThatHoldsIt) {
  ASSERT_TRUE(OpenMap());
  Control().SetLevel(2, 1, 0, 1);
  EXPECT_EQ(Status().level, 3);
  Control().SetLevel(25, 1, 0, 1);
  EXPECT_EQ(Status().level, 18);
  // On a 320 x 480 window, 1024 units across need two halvings: level 16.
  CMapControlBlock small(Services());
  small.Init(gmengine::kInitialCenterX, gmengine::kInitialCenterY, 0, 0, 320, 480, 12);
  small.ZoomToRect({gmengine::kInitialCenterX, gmengine::kInitialCenterY + 100,
                    gmengine::kInitialCenterX + 1024, gmengine::kInitialCenterY});
  EXPECT_EQ(small.Status().level, 16);
  // An empty rectangle at the origin changes nothing.
  small.ZoomToRect({0, 0, 0, 0});
  EXPECT_EQ(small.Status().level, 16);
  // An animated zoom ends at the asked level, with the picture shown on the way.
  auto frames = std::make_shared<CountingWndView>();
  gmengine::GetMainGlobalMan()->mapWindow->SetView(frames);
  Control().SetLevel(12, 1, 1, 1);
  EXPECT_EQ(Status().level, 12);
  Control().SetLevel(14, 1, 1, 1);
  EXPECT_EQ(Status().level, 14);
  EXPECT_GT(frames->updates, 0);
}

// The single-point layer takes one POI's details and an address answer; a map point answer leaves
// what it shows alone.
TEST_F(MapControlTest, TheSinglePointLayerTakesDetailsAndAddressAnswersOnly) {
  ASSERT_TRUE(OpenMap());
  mapsdk::GMKSearch installed;
  gmengine::CAppSearch* search = gmengine::SearchOfEngine();
  ASSERT_NE(search, nullptr);
  Control().PointLayer().SetSearch(search);
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::SinglePoint, 1), 1);
  const int x = Status().centerX;
  const int y = Status().centerY;
  auto shownX = [&] {
    const auto& elements = Control().PointLayer().Elements();
    return elements.size() == 1 ? elements[0].shape.GetPartPt(0, 0).x / 100 - x : -1;
  };

  gmengine::tag_PoiDetailRst detail;
  detail.poi.geometry.AddPoint(gmengine::_VPoint(x * 100, y * 100));
  search->SetResult(&detail, gmengine::SearchType::PoiDetail);
  Control().OnSearchResult(gmengine::SearchType::PoiDetail, gmengine::SearchError::None);
  EXPECT_EQ(shownX(), 0);

  gmengine::tag_MapPointRst point;
  point.x = x + 30;
  point.y = y;
  search->SetResult(&point, gmengine::SearchType::MapPoint);
  Control().OnSearchResult(gmengine::SearchType::MapPoint, gmengine::SearchError::None);
  EXPECT_EQ(Control().PointLayer().ResultType(), gmengine::SearchType::PoiDetail);
  EXPECT_EQ(shownX(), 0);

  gmengine::tag_PoiSearchRst address;
  gmengine::tag_PoiInfo gate;
  gate.geometry.AddPoint(gmengine::_VPoint((x + 60) * 100, y * 100));
  address.pois.Add(gate);
  search->SetResult(&address, gmengine::SearchType::ReverseGeocode);
  Control().OnSearchResult(gmengine::SearchType::ReverseGeocode, gmengine::SearchError::None);
  EXPECT_EQ(shownX(), 60);
}

// A continuous move with no step (the only one the map makes) refreshes every layer for where the
// map now stands and repaints.
TEST_F(MapControlTest, AContinuousMoveWithoutAStepRefreshesTheLayersAndRepaints) {
  ASSERT_TRUE(OpenMap());
  auto frames = std::make_shared<CountingWndView>();
  gmengine::GetMainGlobalMan()->mapWindow->SetView(frames);
  const int column = Control().StreetLayer().Needed()[0].x;
  Status().SetCenter(Status().centerX + 4 * 256 * Status().upp, Status().centerY);
  gmengine::GetMainGlobalMan()->dispatcher->PostMessage(gmengine::CVMsgDispatcher::kEngineQueue,
                                                        ToInt(gmengine::EngineMsg::ZoomStep), 0, 0);
  ASSERT_TRUE(Settle([&] { return frames->updates > 0; }));
  EXPECT_EQ(Control().StreetLayer().Needed()[0].x, column + 4);
}

class MapControlServiceTest : public MapControlTest {
 protected:
  void SetUp() override {
    MapControlTest::SetUp();
    demo = std::make_unique<MapDemoService>(server);
  }
  void TearDown() override {
    MapControlTest::TearDown();
    demo.reset();
  }
  bool WaitReal(const std::function<bool()>& done, double seconds = 20) {
    RealClockWhile real(*this);
    return runUntil(done, seconds);
  }
  std::size_t CityRequests() {
    std::size_t n = 0;
    for (const auto& request : server.server().requests())
      n += request.target.find("qt=cen") != std::string::npos;
    return n;
  }
  static std::shared_ptr<mapsdk::GMKPlanNode> Node(const MapDemoService::Place& place) {
    auto n = std::make_shared<mapsdk::GMKPlanNode>();
    mapsdk::CLLocationCoordinate2D c;
    gmengine::MercatorToGeo(place.x, place.y, &c.longitude, &c.latitude);
    n->setPt(c);
    return n;
  }
  // Window pixel of a map point (the view's default centre is the window's).
  gmengine::_VPoint PixelOf(int x, int y) { return Status().MapToScreen(x, y); }
  std::unique_ptr<MapDemoService> demo;
};

// With traffic shown, the traffic of every tile comes once the base map has its tiles: on a map just
// loaded and after a pan into new ground.
TEST_F(MapControlServiceTest, TrafficFollowsTheBaseMapAfterItLoadsAndAfterEveryPan) {
  ASSERT_TRUE(OpenMap());
  // The traffic layer covers the street layer's block, every tile with its pixels.
  auto trafficCovers = [&] {
    const auto& street = Control().StreetLayer().Needed();
    const auto& traffic = Control().TrafficLayer().Needed();
    if (street.IsEmpty() || traffic.GetSize() != street.GetSize()) return false;
    for (int i = 0; i < street.GetSize(); ++i) {
      if (!(traffic[i].Key() == street[i].Key()) || !traffic[i].data) return false;
    }
    return true;
  };
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Traffic, 1), 1);
  ASSERT_TRUE(WaitReal(trafficCovers));
  const int column = Control().StreetLayer().Needed()[0].x;
  // 300 points (600 pixels) west: new columns of tiles, and their traffic.
  ASSERT_TRUE(platform::UIDriver::pan(*view, {300, 0}));
  ASSERT_TRUE(WaitForTiles());
  ASSERT_LT(Control().StreetLayer().Needed()[0].x, column);
  EXPECT_TRUE(WaitReal(trafficCovers));
}

// The traffic layer's alpha at a window pixel (0 where it has no tile there).
int TrafficAlpha(CMapControl& control, int x, int y) {
  const mapsdk::CMapStatus& s = control.Status();
  for (const auto& tile : control.TrafficLayer().Needed()) {
    if (!tile.data || tile.level != s.level) continue;
    const int left = (tile.x - s.firstTileCol) * 256 - s.offsetX;
    const int top = (s.firstTileRow - tile.y) * 256 - s.offsetY;
    if (x < left || x >= left + 256 || y < top || y >= top + 256) continue;
    return static_cast<int>(static_cast<const std::uint32_t*>(tile.data)[(y - top) * 256 + (x - left)] >> 24);
  }
  return 0;
}

// Traffic is drawn over the streets: outside its lines the map is the one without traffic (no
// black where a traffic tile is transparent), on them the traffic colours.
TEST_F(MapControlServiceTest, TrafficOnShowsTheStreetsUnderItsLines) {
  ASSERT_TRUE(OpenMap());
  DrawnMap without(Control());
  auto trafficCovers = [&] {
    const auto& street = Control().StreetLayer().Needed();
    const auto& traffic = Control().TrafficLayer().Needed();
    if (street.IsEmpty() || traffic.GetSize() != street.GetSize()) return false;
    for (int i = 0; i < street.GetSize(); ++i) {
      if (!(traffic[i].Key() == street[i].Key()) || !traffic[i].data) return false;
    }
    return true;
  };
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Traffic, 1), 1);
  ASSERT_TRUE(WaitReal(trafficCovers));
  Control().SetFullDrawMode();
  DrawnMap with(Control());
  const mapsdk::CMapStatus& s = Status();
  int outside = 0, changedOutside = 0, black = 0, onLines = 0;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const int alpha = TrafficAlpha(Control(), x, y);
      black += (with.At(x, y) & 0xFFFFFFu) == 0;
      if (alpha == 0) {
        ++outside;
        changedOutside += with.At(x, y) != without.At(x, y);
      } else if (alpha == 255) {
        ++onLines;
      }
    }
  }
  EXPECT_GT(onLines, 0);
  EXPECT_GT(outside, s.width * s.height / 2);
  EXPECT_EQ(changedOutside, 0);
  EXPECT_EQ(black, 0);
}

// With traffic shown, a refresh of every layer (a new window, a search's answer, a retry) asks for
// the street tiles first and the traffic only once they have all come: traffic shares the street
// client and would otherwise replace the street batch on its way, leaving the map short of tiles.
TEST_F(MapControlServiceTest, WithTrafficShownARefreshOfEveryLayerStillBringsEveryStreetTile) {
  ASSERT_TRUE(OpenMap());
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Traffic, 1), 1);
  auto whole = [&](const mapsdk::CGridLayer& layer) {
    const auto& needed = layer.Needed();
    if (needed.IsEmpty() || needed[0].level != Status().level) return false;
    for (const auto& tile : needed) {
      if (!tile.data) return false;
    }
    return true;
  };
  ASSERT_TRUE(WaitReal([&] { return whole(Control().StreetLayer()) && whole(Control().TrafficLayer()); }));
  for (int round = 1; round <= 3; ++round) {
    // New ground at a new level, every layer refreshed at once.
    Status().SetLevel(12 + round);
    Status().SetCenter(Status().centerX + 5000 * round, Status().centerY - 3000 * round);
    Control().UpdateLayers();
    EXPECT_TRUE(
        WaitReal([&] { return whole(Control().StreetLayer()) && whole(Control().TrafficLayer()); }, 10))
        << "round " << round;
  }
}

// The small places follow the map: after a pan and at a new level, the tile under the centre has
// its places.
TEST_F(MapControlServiceTest, SmallPlacesComeForGroundUncoveredByAPanOrANewLevel) {
  ASSERT_TRUE(OpenMap());
  mapsdk::GMKSearch search;  // the engine's search object, which asks for the places
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::BackgroundPoi, 1), 1);
  const mapsdk::CBKGLayer& layer = Control().BackgroundLayer();
  auto centreHasPlaces = [&] {
    const mapsdk::CMapStatus& s = Status();
    const std::int64_t side = 256LL * s.upp;
    const auto column = static_cast<int>(s.centerX / side);
    const auto row = static_cast<int>(s.centerY / side);
    for (const auto& tile : layer.Tiles()) {
      if (tile.key[0] == s.level && tile.key[1] == column && tile.key[2] == row)
        return tile.pois.GetSize() == MapDemoService::kPlacesPerTile;
    }
    return false;
  };
  ASSERT_TRUE(WaitReal(centreHasPlaces));
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-300, 200}));
  ASSERT_TRUE(WaitForTiles());
  EXPECT_TRUE(WaitReal(centreHasPlaces));
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 2.0));
  ASSERT_TRUE(WaitForTiles());
  EXPECT_EQ(Status().level, 13);
  EXPECT_TRUE(WaitReal(centreHasPlaces));
}

TEST_F(MapControlServiceTest, TheCityIsAskedForAfterTheMapMovedFarOrChangedLevel) {
  ASSERT_TRUE(OpenMap());
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Poi, 1), 1);
  mapsdk::GMKSearch search;  // the engine's search object
  ASSERT_TRUE(search.poiSearchInCity(std::string("Demo"), std::string("coffee"), 0));
  ASSERT_TRUE(WaitReal([&] { return !Control().PoiLayer().Elements().empty(); }));
  // The first moves note where the map stands and ask once.
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-20, 0}));
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-20, 0}));
  RealClockWhile real(*this);
  ASSERT_TRUE(runUntil([&] { return CityRequests() == 1; }, 10));
  // 100 points (200 pixels, 12,800 units at level 12): not far enough.
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-100, 0}));
  runFor(0.3);
  EXPECT_EQ(CityRequests(), 1u);
  // Another 20 points: 15,360 units from where it asked.
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-20, 0}));
  ASSERT_TRUE(runUntil([&] { return CityRequests() == 2; }, 10));
  std::string target;
  for (const auto& request : server.server().requests())
    if (request.target.find("qt=cen") != std::string::npos) target = request.target;
  EXPECT_NE(target.find("&l=12"), std::string::npos) << target;
  // A new level asks again even without a move.
  ASSERT_TRUE(platform::UIDriver::pinch(*view, 2.0));
  ASSERT_TRUE(runUntil([&] { return CityRequests() == 3; }, 10));
}

TEST_F(MapControlServiceTest, ResultLayersAreSwitchedByTheirCodesAndTheLastLayerHitWins) {
  ASSERT_TRUE(OpenMap());
  // A new map shows its streets and the location; results and small places wait for their switch,
  // and nothing is asked for them.
  for (MapLayerCode code : {MapLayerCode::Poi, MapLayerCode::Route, MapLayerCode::BackgroundPoi,
                            MapLayerCode::SinglePoint, MapLayerCode::Satellite, MapLayerCode::Traffic})
    EXPECT_FALSE(Control().IsLayerShown(code)) << static_cast<int>(code);
  EXPECT_TRUE(Control().IsLayerShown(MapLayerCode::Location));
  for (const auto& request : server.server().requests())
    EXPECT_EQ(request.target.find("qt=bkg_data_ex"), std::string::npos) << request.target;
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Poi, 1), 1);
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Route, 1), 1);
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::SinglePoint, 1), 1);
  mapsdk::GMKSearch search;
  ASSERT_TRUE(search.poiSearchInCity(std::string("Demo"), std::string("coffee"), 0));
  ASSERT_TRUE(WaitReal([&] { return Control().PoiLayer().Elements().size() == 3; }));
  mapsdk::GMKSearch route;
  ASSERT_TRUE(route.drivingSearch(std::nullopt, Node(MapDemoService::kPlaces[1]), std::nullopt,
                                  Node(MapDemoService::kPlaces[0])));
  ASSERT_TRUE(WaitReal([&] { return !Control().RouteLayer().Elements().empty(); }));

  // The route ends on the first place's mark: both layers hit, the route's end (asked later)
  // fills the record.
  const auto& place = MapDemoService::kPlaces[0];
  gmengine::_VPoint p = PixelOf(place.x, place.y);
  p.y -= 2;  // the mark stands on its point: a tap just above it
  mapsdk::Attribute hit;
  ASSERT_TRUE(Control().HitTest(p.x, p.y, hit));
  EXPECT_EQ(hit.kind, mapsdk::Attribute::Kind::RouteEnd);

  // Route layer off: the mark answers.
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Route, 0), 1);
  EXPECT_FALSE(Control().IsLayerShown(MapLayerCode::Route));
  mapsdk::Attribute poi;
  ASSERT_TRUE(Control().HitTest(p.x, p.y, poi));
  EXPECT_EQ(poi.kind, mapsdk::Attribute::Kind::Poi);
  EXPECT_EQ(poi.name.ToUtf8(), "Harbour Coffee");

  // POI marks off (and PoiAlias names the same layer): nothing is hit, nothing is drawn.
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Poi, 0), 1);
  EXPECT_FALSE(Control().IsLayerShown(MapLayerCode::Poi));
  mapsdk::Attribute none;
  EXPECT_FALSE(Control().HitTest(p.x, p.y, none));
  ASSERT_TRUE(WaitForTiles());
  auto image = platform::Snapshot::imageOfView(*view, 2);
  EXPECT_NE(image->bitmap()->pixelAt(p.x, p.y - 4), (platform::Pixel{0xE0, 0x30, 0x1E, 255}));
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::PoiAlias, 1), 1);
  EXPECT_TRUE(Control().IsLayerShown(MapLayerCode::Poi));
  EXPECT_TRUE(Control().HitTest(p.x, p.y, none));

  // The location layer and the single point switch too; an unknown code does nothing.
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::Location, 0), 1);
  EXPECT_FALSE(Control().IsLayerShown(MapLayerCode::Location));
  EXPECT_EQ(gmengine::SetMapType(&Control(), MapLayerCode::SinglePoint, 0), 1);
  EXPECT_FALSE(Control().IsLayerShown(MapLayerCode::SinglePoint));
  EXPECT_EQ(gmengine::SetMapType(&Control(), static_cast<MapLayerCode>(10), 1), 0);
  EXPECT_TRUE(Control().IsLayerShown(MapLayerCode::Street));
}

}  // namespace
}  // namespace kavro::test
