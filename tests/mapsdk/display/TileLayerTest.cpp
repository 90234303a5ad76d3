#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "demo/MapFixtureServer.h"
#include "mapsdk/display/CGridLayer.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/CTrafficReq.h"
#include "mapsdk/display/CVDCDrawTarget.h"
#include "mapsdk/display/GridDraw.h"
#include "mapsdk/display/MapDrawTarget.h"
#include "mapsdk/display/TileImage.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/offline/COfflineDataCache.h"
#include "mapsdk/raster/CVDC.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageCodec.h"
#include "tests/mapsdk/engine/EngineTestParts.h"
#include "tests/support/TempHome.h"

using namespace mapsdk;
using gmengine::CVString;
using kavro::test::MapFixtureServer;

namespace {

constexpr int kCenterX = 12958162;
constexpr int kCenterY = 4825907;

struct DrawnBitmap {
  std::vector<std::uint32_t> pixels;
  gmengine::_VRect rect;
  int bytes = 0;
};

// Keeps what the layer painted, so pixels of the window can be read back.
class RecordingTarget : public MapDrawTarget {
 public:
  void drawBitmap(const std::uint32_t* pixels, int width, int height, int bytes,
                  const gmengine::_VRect& destination) override {
    bitmaps.push_back({std::vector<std::uint32_t>(pixels, pixels + width * height), destination, bytes});
  }
  void drawPolyline(std::span<const gmengine::_VPoint>, std::uint32_t, int) override {}
  // The last painted colour at a window pixel; 0 where nothing was painted.
  std::uint32_t PixelAt(int x, int y) const {
    for (auto it = bitmaps.rbegin(); it != bitmaps.rend(); ++it) {
      const gmengine::_VRect& r = it->rect;
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
        return it->pixels[static_cast<std::size_t>((y - r.top) * 256 + (x - r.left))];
      }
    }
    return 0;
  }
  std::vector<DrawnBitmap> bitmaps;
};

// The engine started on the real clock, its tile-client messages handed to the layer's request;
// a 640 x 960 window on the demo map service.
class TileLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Environment::setMapHostUrl(server.hostUrl() + "/");
    gmengine::InitMapEngine();
    enginetest::Route(*gmengine::GetMainGlobalMan()->engine, gmengine::EngineSlot::MapControl,
                      [this](int message, int, int lParam) {
                        const auto m = static_cast<gmengine::EngineMsg>(message);
                        if (m != gmengine::EngineMsg::Timer && layer && layer->Request()) {
                          ++messages;
                          if (layer->Request()->OnHttpMessage(m, lParam)) ++changes;
                          if (m != gmengine::EngineMsg::HttpData) ++finished;
                        }
                        // A second map's layer hears the same messages, as two views on one engine do.
                        if (m != gmengine::EngineMsg::Timer && other && other->Request())
                          other->Request()->OnHttpMessage(m, lParam);
                        return -1;
                      });
    ASSERT_EQ(gmengine::GetMainGlobalMan()->engine->Start(), 1);
    ASSERT_EQ(client.Init(gmengine::GetMainGlobalMan()->engine->Services()), 1);
    status.SetLevel(12);
    status.SetWindow({0, 0, 640, 960});
    status.SetCenter(kCenterX, kCenterY);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
    MakeLayer();
  }
  void TearDown() override {
    other.reset();
    layer.reset();
    client.CancelRequest();
    gmengine::UnInitMapEngine();
    platform::RunLoop::main().discardAll();
    platform::Environment::setMapHostUrl("");
  }
  void MakeLayer() {
    layer = std::make_unique<CGridLayer>();
    auto request = std::make_unique<GridReqEx>(GridKind::Street, &status);
    request->Init(status.KeptCols(), status.KeptRows(), 500, "Data.Index", "Grid.ca", false, true);
    request->SetClient(&client);
    if (offline) request->SetOfflineStore(offline.get());
    layer->SetRequest(std::move(request));
    layer->SetDrawer(std::make_unique<GridDrawEx>(&status));
  }
  // Runs the main loop until the batch in flight has ended.
  bool WaitForBatch() {
    int before = finished;
    return platform::RunLoop::main().runUntil([&] { return finished > before; }, 20);
  }
  int TilesWithData() const {
    const auto& needed = layer->Needed();
    return static_cast<int>(
        std::count_if(needed.begin(), needed.end(), [](const auto& t) { return t.data; }));
  }
  const gmengine::tagGirdData* Tile(int column, int row) const {
    for (const auto& t : layer->Needed()) {
      if (t.x == column && t.y == row) return &t;
    }
    return nullptr;
  }
  int CenterColumn() const { return kCenterX / (256 * status.upp); }
  int CenterRow() const { return kCenterY / (256 * status.upp); }

  kavro::test::TempHome home;
  // Plain tiles: one batch holds the whole window.
  MapFixtureServer server{MapFixtureServer::defaultFixture(), false};
  CGridHttpClient client;
  CMapStatus status;
  std::unique_ptr<gmengine::COfflineDataCache> offline;
  std::unique_ptr<CGridLayer> layer;
  std::unique_ptr<CGridLayer> other;
  int messages = 0;
  int changes = 0;
  int finished = 0;
};

TEST_F(TileLayerTest, OneBatchFillsTheWindowWithTheMapsShapes) {
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  EXPECT_EQ(server.requestCount(), 1u);
  std::vector<std::string> keys = server.requestedKeys();
  ASSERT_FALSE(keys.empty());
  EXPECT_LE(keys.size(), 20u);
  gmengine::GridKey first;  // the innermost ring comes first
  ASSERT_TRUE(gmengine::GridKey::Parse(keys.front(), first));
  EXPECT_LE(std::abs(first.x - CenterColumn()), 1);
  EXPECT_LE(std::abs(first.y - CenterRow()), 1);
  EXPECT_NE(keys.back(), keys.front());
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize());
  EXPECT_EQ(status.loadedLeftCol, status.firstTileCol);

  RecordingTarget target;
  layer->Draw(target);
  EXPECT_EQ(static_cast<int>(target.bitmaps.size()), layer->Needed().GetSize());
  EXPECT_EQ(target.PixelAt(320, 480), 0xFFE04030u);  // the red dot at the centre
  EXPECT_EQ(target.PixelAt(2, 2), 0xFFF5F3F0u);      // land in the north-west corner
}

TEST_F(TileLayerTest, TilesComeFromTheFileCacheAfterARestart) {
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  int tiles = TilesWithData();
  ASSERT_GT(tiles, 0);
  layer.reset();
  MakeLayer();  // a new memory cache over the same files
  layer->Update();
  EXPECT_EQ(TilesWithData(), tiles);  // at once, without the network
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(TileLayerTest, ABrokenTileIsRefusedNotCachedAndAskedAgain) {
  std::string broken = server.tile("map", 12, CenterColumn(), CenterRow());
  broken.resize(broken.size() / 2);  // a picture cut in half
  server.replaceTile(12, CenterColumn(), CenterRow(), broken);
  server.replaceTile(12, CenterColumn() + 1, CenterRow(), "\x89PNG\r\n\x1a\nnot really");
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  ASSERT_NE(Tile(CenterColumn(), CenterRow()), nullptr);
  EXPECT_EQ(Tile(CenterColumn(), CenterRow())->data, nullptr);
  EXPECT_EQ(Tile(CenterColumn() + 1, CenterRow())->data, nullptr);
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize() - 2);

  // Neither reached the caches: a fresh layer asks for exactly those two again.
  layer.reset();
  MakeLayer();
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  std::vector<std::string> keys = server.requestedKeys();
  std::vector<std::string> second(keys.end() - 2, keys.end());
  std::sort(second.begin(), second.end());
  std::vector<std::string> expected{gmengine::GridKey{CenterColumn(), CenterRow()}.Text(),
                                    gmengine::GridKey{CenterColumn() + 1, CenterRow()}.Text()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(second, expected);
}

TEST_F(TileLayerTest, ACutShortAnswerKeepsWhatArrivedAndAsksForTheRest) {
  layer->Request()->SetClient(nullptr);
  layer->Update();  // lists the window's tiles without asking
  std::vector<std::string> keys;
  for (const auto& t : layer->Needed()) keys.push_back(t.Key().grid.Text());
  ASSERT_FALSE(keys.empty());
  std::string whole = server.batchAnswer("map", 12, keys);
  std::size_t header = 8 + 8 * keys.size();
  server.enqueue(kavro::test::ScriptedResponse::ok(whole.substr(0, header + (whole.size() - header) / 2)));
  layer->Request()->SetClient(&client);
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  int arrived = TilesWithData();
  EXPECT_GT(arrived, 0);
  EXPECT_LT(arrived, layer->Needed().GetSize());

  layer->Update();  // the missing ones only
  ASSERT_TRUE(WaitForBatch());
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize());
  EXPECT_EQ(server.requestedKeys().size(), keys.size() + (keys.size() - static_cast<std::size_t>(arrived)));
}

TEST_F(TileLayerTest, AnOversizedAnswerIsDroppedWhole) {
  server.enqueue(kavro::test::ScriptedResponse::ok(std::string(CGridHttpClient::kBufferSize + 1000, 'x')));
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  EXPECT_EQ(TilesWithData(), 0);
  std::size_t asked = server.requestedKeys().size();
  layer->Update();  // nothing was kept: everything is asked for again
  ASSERT_TRUE(WaitForBatch());
  EXPECT_EQ(server.requestedKeys().size(), asked * 2);
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize());
}

TEST_F(TileLayerTest, OfflineTilesArePreferredToTheNetwork) {
  status.SetLevel(11);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  int column = CenterColumn(), row = CenterRow();
  std::string name = gmengine::GridKey{column, row}.Text();
  offline = std::make_unique<gmengine::COfflineDataCache>();
  offline->Init(CVString::FromUtf8(home.path() + "/GeoMapSdk/"), CVString("10000001"), 0);
  int stored = 0;
  ASSERT_EQ(offline->CreateOfflineDat(11, CVString::FromUtf8(name), 11, 12, stored), 1);
  std::string png = server.tile("map", 11, column, row);
  ASSERT_EQ(offline->WriteGridData(11, gmengine::GridKey{column, row}, 11, 12, 11, png.data(),
                                   static_cast<int>(png.size())),
            1);
  MakeLayer();
  layer->Update();
  ASSERT_NE(Tile(column, row), nullptr);
  EXPECT_NE(Tile(column, row)->data, nullptr);  // before any answer
  ASSERT_TRUE(WaitForBatch());
  std::vector<std::string> keys = server.requestedKeys();
  EXPECT_EQ(std::count(keys.begin(), keys.end(), name), 0);
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize());
}

TEST_F(TileLayerTest, AMissingTileIsDrawnFromItsParentMagnified) {
  status.SetLevel(11);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  status.SetLevel(12);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  server.enqueue(kavro::test::ScriptedResponse::ok(MapFixtureServer::buildBatch({})));
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  EXPECT_EQ(TilesWithData(), 0);
  const GridShowList& shown = layer->DrawList();
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(std::all_of(shown.begin(), shown.end(),
                          [](const auto& s) { return s.pixels && s.ancestorLevel == 11; }));
  RecordingTarget target;
  layer->Draw(target);
  EXPECT_EQ(target.bitmaps.size(), shown.size());
  EXPECT_EQ(target.PixelAt(320, 480), 0xFFE04030u);  // the dot, twice as large

  // The substitutes count against the layer's pixels and go with them when it is hidden.
  const std::size_t tileBytes = tileimage::kTilePixels * sizeof(std::uint32_t);
  EXPECT_GE(layer->Request()->DecodedBytes(), shown.size() * tileBytes);
  layer->Show(false);
  EXPECT_EQ(layer->Request()->DecodedBytes(), 0u);
  EXPECT_TRUE(layer->DrawList().empty());
}

TEST_F(TileLayerTest, AMissingTileLooksUpToFourLevelsUpAndNotAboveTheTopLevel) {
  // Fetches the window at one level, then shows another whose tiles do not come; answers the
  // levels the shown substitutes come from.
  auto substitutes = [this](int fetched, int shownLevel) {
    status.SetLevel(fetched);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
    layer->Update();
    EXPECT_TRUE(WaitForBatch()) << fetched;
    status.SetLevel(shownLevel);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
    server.enqueue(kavro::test::ScriptedResponse::ok(MapFixtureServer::buildBatch({})));
    layer->Update();
    EXPECT_TRUE(WaitForBatch()) << shownLevel;
    std::set<int> levels;
    for (const auto& s : layer->DrawList())
      if (s.pixels) levels.insert(s.ancestorLevel);
    return levels;
  };
  // Five levels up is too far; four is not.
  EXPECT_EQ(substitutes(7, 12), std::set<int>{});
  EXPECT_EQ(substitutes(8, 12), std::set<int>{8});
  // The top level stands in for the one under it.
  EXPECT_EQ(substitutes(CMapStatus::kMinLevel, CMapStatus::kMinLevel + 1),
            std::set<int>{CMapStatus::kMinLevel});
}

TEST_F(TileLayerTest, BatchesAreBoundedAndNotRepeatedWhileInFlight) {
  gmengine::CVArray<gmengine::GridKey> keys;
  for (int i = 0; i < 41; ++i) keys.Add(gmengine::GridKey{i, 0});
  EXPECT_EQ(client.RequestGrids(0, 12, 0, 0, keys, 1, 1), 0);
  keys.SetSize(40);
  server.enqueue([] {
    kavro::test::ScriptedResponse slow = kavro::test::ScriptedResponse::ok("");
    slow.holdWithoutResponse = true;
    return slow;
  }());
  EXPECT_EQ(client.RequestGrids(0, 12, 0, 0, keys, 1, 1), 1);
  keys.SetSize(10);
  EXPECT_EQ(client.RequestGrids(0, 12, 0, 0, keys, 2, 1), 0);  // already on its way
  EXPECT_EQ(client.RequestGrids(0, 13, 0, 0, keys, 3, 1), 1);
  gmengine::CVArray<gmengine::GridKey> none;
  EXPECT_EQ(client.RequestGrids(0, 12, 0, 0, none, 4, 1), 0);
}

TEST_F(TileLayerTest, SequencesWrapAroundTheirRanges) {
  layer->Request()->SetSequence(999999);
  layer->Update();
  EXPECT_EQ(layer->Request()->Sequence(), 1);
  ASSERT_TRUE(WaitForBatch());
  EXPECT_NE(server.server().requests().front().target.find("&tick=1"), std::string::npos);

  CGridLayer traffic;
  auto request = std::make_unique<CTrafficReq>(&status);
  request->Init(status.KeptCols(), status.KeptRows(), 0, "TrafData.Index", "Traf.ca", true, true);
  request->SetClient(&client);
  request->SetSequence(CTrafficReq::kLastSequence);
  traffic.SetRequest(std::move(request));
  traffic.Update();
  EXPECT_EQ(traffic.Request()->Sequence(), 1000001);
  EXPECT_FALSE(traffic.KeepsData());
}

TEST_F(TileLayerTest, NoTrafficIsAskedForBelowLevelSix) {
  status.SetLevel(5);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  CGridLayer traffic;
  auto request = std::make_unique<CTrafficReq>(&status);
  request->Init(status.KeptCols(), status.KeptRows(), 0, "TrafData.Index", "Traf.ca", true, true);
  request->SetClient(&client);
  traffic.SetRequest(std::move(request));
  traffic.Update();
  EXPECT_TRUE(traffic.Needed().IsEmpty());
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(TileLayerTest, AnEmptyTileIsPaintedInTheBackgroundOfItsLevel) {
  for (int level : {9, 10}) {
    status.SetLevel(level);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
    layer->Request()->SetClient(nullptr);
    layer->Update();
    const auto& first = layer->Needed()[0];
    layer->Request()->OnTileData(nullptr, 0, first.Key().grid, level, 0);
    ASSERT_NE(layer->Needed()[0].data, nullptr);
    EXPECT_EQ(static_cast<const std::uint32_t*>(layer->Needed()[0].data)[0], tileimage::BackgroundFor(level));
  }
  EXPECT_EQ(tileimage::BackgroundFor(9), 0xFFF2F0EBu);
}

// Decoded pixels: one 256 x 256 buffer per kept tile at most while shown, none while hidden.
TEST_F(TileLayerTest, DecodedPixelsStayWithinTheKeptBlockAndGoWhenHidden) {
  const std::size_t tileBytes = tileimage::kTilePixels * sizeof(std::uint32_t);
  const std::size_t budget = static_cast<std::size_t>(status.KeptCols() * status.KeptRows()) * tileBytes;
  for (int screen = 0; screen < 6; ++screen) {
    status.SetCenter(kCenterX + screen * 640 * status.upp, kCenterY);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
    layer->Update();
    ASSERT_TRUE(WaitForBatch());
    ASSERT_EQ(TilesWithData(), layer->Needed().GetSize());
    EXPECT_LE(layer->Request()->DecodedBytes(), budget);
    EXPECT_LE(layer->Request()->Cache().GetCount(), status.KeptCols() * status.KeptRows());
  }
  const std::size_t requests = server.requestCount();

  layer->Show(false);
  EXPECT_EQ(layer->Request()->DecodedBytes(), 0u);
  EXPECT_EQ(TilesWithData(), 0);
  RecordingTarget hidden;
  layer->Draw(hidden);
  EXPECT_TRUE(hidden.bitmaps.empty());

  // Shown again, the window decodes from the memory cache without asking the service.
  layer->Show(true);
  layer->Update();
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize());
  EXPECT_EQ(server.requestCount(), requests);
  EXPECT_LE(layer->Request()->DecodedBytes(), budget);
}

// Traffic is not kept while hidden: shown again, it shows none of the old picture and is asked
// of the service afresh, as the roads may have cleared or filled meanwhile.
TEST_F(TileLayerTest, TrafficShownAgainIsAskedAfreshNotDrawnFromBefore) {
  layer = std::make_unique<CGridLayer>();
  auto request = std::make_unique<CTrafficReq>(&status);
  request->Init(status.KeptCols(), status.KeptRows(), 0, "TrafData.Index", "Traf.ca", true, true);
  request->SetClient(&client);
  layer->SetRequest(std::move(request));
  layer->SetDrawer(std::make_unique<GridDraw>(&status));
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  ASSERT_EQ(TilesWithData(), layer->Needed().GetSize());
  RecordingTarget first;
  layer->Draw(first);
  ASSERT_EQ(static_cast<int>(first.bitmaps.size()), layer->Needed().GetSize());
  const std::size_t requests = server.requestCount();
  EXPECT_GT(layer->Request()->Cache().GetCount(), 0) << "kept while shown";

  layer->Show(false);
  EXPECT_EQ(layer->Request()->Cache().GetCount(), 0) << "nothing of the roads is held while hidden";
  EXPECT_EQ(layer->Request()->DecodedBytes(), 0u);
  EXPECT_EQ(TilesWithData(), 0);
  RecordingTarget hidden;
  layer->Draw(hidden);
  EXPECT_TRUE(hidden.bitmaps.empty());

  layer->Show(true);
  layer->Update();
  RecordingTarget waiting;  // the answer not yet in
  layer->Draw(waiting);
  EXPECT_TRUE(waiting.bitmaps.empty()) << "traffic of before it was hidden";
  ASSERT_TRUE(WaitForBatch());
  EXPECT_EQ(server.requestCount(), requests + 1);
  EXPECT_EQ(TilesWithData(), layer->Needed().GetSize());
  RecordingTarget again;
  layer->Draw(again);
  EXPECT_EQ(again.bitmaps.size(), first.bitmaps.size());
}

// A map not yet given its level has no scale: its layer asks for no tile until it has one.
TEST_F(TileLayerTest, ALayerOfAMapWithoutALevelAsksForNothing) {
  CMapStatus unscaled;
  unscaled.SetWindow({0, 0, 640, 960});
  unscaled.SetCenter(kCenterX, kCenterY);
  layer = std::make_unique<CGridLayer>();
  auto request = std::make_unique<GridReqEx>(GridKind::Street, &unscaled);
  request->Init(4, 5, 500, "Data.Index", "Grid.ca", false, true);
  request->SetClient(&client);
  layer->SetRequest(std::move(request));
  layer->SetDrawer(std::make_unique<GridDrawEx>(&unscaled));
  layer->Update();
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(layer->Needed().GetSize(), 0);
  EXPECT_EQ(server.requestCount(), 0u);

  unscaled.SetLevel(12);
  unscaled.UpdateBounds(unscaled.KeptCols(), unscaled.KeptRows());
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  EXPECT_GT(layer->Needed().GetSize(), 0);
  EXPECT_EQ(server.requestCount(), 1u);
}

// A layer that starts hidden (satellite, traffic) holds no pixels when its block is sized.
TEST_F(TileLayerTest, ALayerHiddenBeforeItsBlockIsSizedMakesNoBuffers) {
  layer->Show(false);
  layer->Request()->Init(status.KeptCols() + 1, status.KeptRows(), 500, "SatData.Index", "Satllite.ca", false,
                         true);
  EXPECT_EQ(layer->Request()->DecodedBytes(), 0u);
  layer->Update();  // hidden: nothing asked, nothing decoded
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_EQ(layer->Request()->DecodedBytes(), 0u);
}

// A street tile with transparent pixels (an RGBA PNG) keeps them when drawn: what lies under it
// shows through, as under a traffic tile. The opaque part covers it.
TEST_F(TileLayerTest, AnRGBATileKeepsItsTransparencyWhenDrawn) {
  std::optional<platform::Bitmap> picture = platform::Bitmap::create(256, 256, true);
  ASSERT_TRUE(picture);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x)
      picture->setPixel(x, y, x < 128 ? platform::Pixel{} : platform::Pixel{200, 0, 0, 255});
  }
  const platform::Data png = platform::ImageCodec::encodePNG(*picture);
  ASSERT_FALSE(png.empty());
  server.replaceTile(12, CenterColumn(), CenterRow(), std::string(png.begin(), png.end()));
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  const gmengine::tagGirdData* tile = Tile(CenterColumn(), CenterRow());
  ASSERT_TRUE(tile && tile->data);
  EXPECT_EQ(tile->size, tileimage::kTileBytes + tileimage::kAlphaPlaneBytes);

  constexpr std::uint32_t kUnder = 0xFF123456u;
  gmengine::CVDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC());
  gmengine::FreeBitmapData(dc.SelectObject(gmengine::VCreateBitmap(640, 960, 32, nullptr)));
  dc.FillSolidRect({0, 0, 640, 960}, kUnder);
  CVDCDrawTarget target(dc);
  layer->Draw(target);
  auto at = [&](int x, int y) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, dc.GetCurrentBitmap()->pixels + (static_cast<std::size_t>(y) * 640 + x) * 4, 4);
    return pixel;
  };
  const int left = (CenterColumn() - status.firstTileCol) * 256 - status.offsetX;
  const int top = (status.firstTileRow - CenterRow()) * 256 - status.offsetY;
  auto inside = [](int v, int limit) { return v >= 0 && v < limit; };
  int checked = 0;
  for (int dy = 8; dy < 256; dy += 31) {
    for (int dx = 8; dx < 256; dx += 31) {
      if (!inside(left + dx, 640) || !inside(top + dy, 960)) continue;
      ++checked;
      EXPECT_EQ(at(left + dx, top + dy), dx < 128 ? kUnder : 0xFFC80000u) << dx << "," << dy;
    }
  }
  EXPECT_GT(checked, 20);
  // Opaque tiles carry no plane.
  for (const auto& t : layer->Needed()) {
    if (t.data && !(t.x == CenterColumn() && t.y == CenterRow())) {
      EXPECT_EQ(t.size, tileimage::kTileBytes);
    }
  }
}

// A missing tile whose parent has transparent pixels stands in magnified with them: the substitute
// carries its alpha plane and is blended where it is drawn.
TEST_F(TileLayerTest, AMagnifiedTransparentParentStaysTransparent) {
  std::optional<platform::Bitmap> picture = platform::Bitmap::create(256, 256, true);
  ASSERT_TRUE(picture);
  picture->fill(platform::Pixel{});
  const platform::Data png = platform::ImageCodec::encodePNG(*picture);
  status.SetLevel(11);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  const int column = kCenterX / (256 * status.upp), row = kCenterY / (256 * status.upp);
  server.replaceTile(11, column, row, std::string(png.begin(), png.end()));
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  status.SetLevel(12);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  server.enqueue(kavro::test::ScriptedResponse::ok(MapFixtureServer::buildBatch({})));
  layer->Update();
  ASSERT_TRUE(WaitForBatch());
  int transparent = 0;
  for (const auto& entry : layer->DrawList()) {
    if (!entry.pixels || entry.ancestorX != column || entry.ancestorY != row) continue;
    ++transparent;
    EXPECT_EQ(entry.size, tileimage::kTileBytes + tileimage::kAlphaPlaneBytes);
  }
  EXPECT_GT(transparent, 0);

  constexpr std::uint32_t kUnder = 0xFF123456u;
  gmengine::CVDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC());
  gmengine::FreeBitmapData(dc.SelectObject(gmengine::VCreateBitmap(640, 960, 32, nullptr)));
  dc.FillSolidRect({0, 0, 640, 960}, kUnder);
  CVDCDrawTarget target(dc);
  layer->Draw(target);
  // The window's centre lies in one of those children: what was under it shows.
  std::uint32_t centre = 0;
  std::memcpy(&centre, dc.GetCurrentBitmap()->pixels + (static_cast<std::size_t>(480) * 640 + 320) * 4, 4);
  EXPECT_EQ(centre, kUnder);
}

// A 40 x 40 drawing context of 32-bit pixels, read back one by one.
struct Canvas {
  gmengine::CVDC dc;
  const bool made = dc.CreateCompatibleDC();
  Canvas() { gmengine::FreeBitmapData(dc.SelectObject(gmengine::VCreateBitmap(40, 40, 32, nullptr))); }
  std::uint32_t at(int x, int y) const {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, dc.GetCurrentBitmap()->pixels + (static_cast<std::size_t>(y) * 40 + x) * 4, 4);
    return pixel;
  }
};

TEST(CVDCDrawTargetTest, LinesOfTwoPointsOrMoreAreDrawnAndASinglePointIsNot) {
  constexpr std::uint32_t kUnder = 0xFF123456u;
  Canvas canvas;
  ASSERT_TRUE(canvas.made);
  gmengine::CVDC& dc = canvas.dc;
  auto at = [&](int x, int y) { return canvas.at(x, y); };
  CVDCDrawTarget target(dc);
  const gmengine::_VPoint line[] = {{4, 10}, {36, 10}, {36, 30}};
  for (std::size_t n : {1u, 2u, 3u}) {
    dc.FillSolidRect({0, 0, 40, 40}, kUnder);
    target.drawPolyline(std::span(line, n), 0xFFE04030u, 3);
    EXPECT_EQ(at(4, 10) != kUnder, n >= 2) << n;  // a lone point leaves no dot
    EXPECT_EQ(at(20, 10), n >= 2 ? 0xFFE04030u : kUnder) << n;
    EXPECT_EQ(at(36, 20) != kUnder, n >= 3) << n;
    EXPECT_EQ(at(20, 20), kUnder) << n;
  }
}

// A bitmap lands in its rectangle and nowhere else, copied at its own size or stretched, opaque or
// blended through its alpha plane; each of its pixels stays in its own corner.
TEST(CVDCDrawTargetTest, ABitmapLandsInItsRectangleCopiedOrStretched) {
  constexpr std::uint32_t kUnder = 0xFF123456u;
  constexpr std::uint32_t kPixels[] = {0xFFE04030u, 0xFF30E040u, 0xFF4030E0u, 0xFFE0E030u};
  Canvas canvas;
  ASSERT_TRUE(canvas.made);
  gmengine::CVDC& dc = canvas.dc;
  auto at = [&](int x, int y) { return canvas.at(x, y); };
  CVDCDrawTarget target(dc);
  // Two by two pixels, then an alpha plane of a byte each (all opaque).
  std::uint32_t words[5] = {kPixels[0], kPixels[1], kPixels[2], kPixels[3], 0xFFFFFFFFu};
  for (int side : {2, 6}) {
    for (bool alpha : {false, true}) {
      SCOPED_TRACE(std::to_string(side) + (alpha ? " with alpha" : " opaque"));
      dc.FillSolidRect({0, 0, 40, 40}, kUnder);
      const gmengine::_VRect rect{10, 20, 10 + side, 20 + side};
      target.drawBitmap(words, 2, 2, alpha ? 20 : 16, rect);
      const int half = side / 2;
      EXPECT_EQ(at(10, 20), kPixels[0]);
      EXPECT_EQ(at(10 + side - 1, 20), kPixels[1]);
      EXPECT_EQ(at(10, 20 + side - 1), kPixels[2]);
      EXPECT_EQ(at(10 + side - 1, 20 + side - 1), kPixels[3]);
      EXPECT_EQ(at(10 + half - 1, 20 + half - 1), kPixels[0]);
      EXPECT_EQ(at(10 + half, 20 + half), kPixels[3]);
      for (int x : {9, 10, 10 + side - 1, 10 + side}) {
        EXPECT_EQ(at(x, 19), kUnder) << x;
        EXPECT_EQ(at(x, 20 + side), kUnder) << x;
      }
      EXPECT_EQ(at(9, 21), kUnder);
      EXPECT_EQ(at(10 + side, 21), kUnder);
    }
  }
}

// Every tile of the layer with a picture shows exactly what the service sends for its place and
// level; the first tile that does not, as "level/column/row".
std::string FirstWrongTile(MapFixtureServer& server, const CGridLayer& layer) {
  std::vector<std::uint32_t> expected(tileimage::kTilePixels);
  for (const auto& tile : layer.Needed()) {
    if (!tile.data) continue;
    const std::string bytes = server.tile("map", tile.level, tile.x, tile.y);
    const bool decodes =
        tileimage::Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), expected.data());
    if (!decodes ||
        !std::equal(expected.begin(), expected.end(), static_cast<const std::uint32_t*>(tile.data)))
      return std::to_string(tile.level) + "/" + std::to_string(tile.x) + "/" + std::to_string(tile.y);
  }
  return {};
}

}  // namespace

// Two live maps on one engine (the job map under a job's location map): each has its own street
// client under the same client id, each numbers its batches from 1, and their batches are in
// flight together. Each map's tiles come from its own answers only, round after round, whichever
// answer comes first.
TEST(TwoMapsTest, EachMapTakesOnlyTheAnswersOfItsOwnBatches) {
  kavro::test::TempHome home;
  MapFixtureServer server;  // generated tiles: no two places or levels look alike
  platform::Environment::setMapHostUrl(server.hostUrl() + "/");
  gmengine::InitMapEngine();
  struct Map {
    CMapStatus status;
    CGridHttpClient client;
    std::unique_ptr<CGridLayer> layer;
    int finished = 0;
  };
  Map maps[2];
  enginetest::Route(*gmengine::GetMainGlobalMan()->engine, gmengine::EngineSlot::MapControl,
                    [&](int message, int, int lParam) {
                      const auto m = static_cast<gmengine::EngineMsg>(message);
                      if (m == gmengine::EngineMsg::Timer) return -1;
                      for (Map& map : maps) {
                        if (!map.layer) continue;
                        map.layer->Request()->OnHttpMessage(m, lParam);
                        if (m != gmengine::EngineMsg::HttpData && lParam == map.layer->Request()->Sequence())
                          ++map.finished;
                      }
                      return -1;
                    });
  ASSERT_EQ(gmengine::GetMainGlobalMan()->engine->Start(), 1);
  const int levels[2] = {14, 16};
  for (int i = 0; i < 2; ++i) {
    Map& map = maps[i];
    ASSERT_EQ(map.client.Init(gmengine::GetMainGlobalMan()->engine->Services()), 1);
    map.status.SetLevel(levels[i]);
    map.status.SetWindow({0, 0, 640, 694});
    map.status.SetCenter(kCenterX, kCenterY);
    map.layer = std::make_unique<CGridLayer>();
    auto request = std::make_unique<GridReqEx>(GridKind::Street, &map.status);
    request->Init(map.status.KeptCols(), map.status.KeptRows(), 500, i ? "B.Index" : "A.Index",
                  i ? "B.ca" : "A.ca", false, true);
    request->SetClient(&map.client);
    map.layer->SetRequest(std::move(request));
    map.layer->SetDrawer(std::make_unique<GridDrawEx>(&map.status));
  }
  auto complete = [&](const Map& map) {
    const auto& needed = map.layer->Needed();
    return !needed.IsEmpty() &&
           std::all_of(needed.begin(), needed.end(), [](const auto& t) { return t.data; });
  };
  for (int round = 0; round < 8; ++round) {
    for (int i = 0; i < 2; ++i) {
      Map& map = maps[(i + round) % 2];
      // A new stretch of ground each round, so every round asks for whole batches.
      map.status.SetCenter(kCenterX + round * 2000 * map.status.upp,
                           kCenterY + (i + 1) * 3000 * map.status.upp);
      map.status.UpdateBounds(map.status.KeptCols(), map.status.KeptRows());
      map.layer->Update();
    }
    if (round == 0) {
      EXPECT_EQ(maps[0].layer->Request()->Sequence(), maps[1].layer->Request()->Sequence());
    }
    // A batch cut short asks for the rest: the maps are updated until both are whole.
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] {
          for (Map& map : maps) {
            if (!complete(map) && !map.client.IsBusy()) map.layer->Update();
          }
          return complete(maps[0]) && complete(maps[1]);
        },
        30))
        << "round " << round;
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(FirstWrongTile(server, *maps[i].layer), "")
          << "map at level " << levels[i] << ", round " << round;
    }
  }
  for (Map& map : maps) {
    map.layer.reset();
    map.client.CancelRequest();
  }
  gmengine::UnInitMapEngine();
  platform::RunLoop::main().discardAll();
  platform::Environment::setMapHostUrl("");
}
