#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "mapsdk/display/CGridLayer.h"
#include "mapsdk/display/CLocLayer.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/CVectorLayer.h"
#include "mapsdk/display/MapDrawTarget.h"
#include "mapsdk/display/TileImage.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/search/CAppSearch.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageCodec.h"
#include "tests/mapsdk/display/SearchResultsFixture.h"

using namespace mapsdk;

namespace {

struct CountingTarget : MapDrawTarget {
  void drawBitmap(const std::uint32_t*, int, int, int, const gmengine::_VRect&) override { ++bitmaps; }
  void drawPolyline(std::span<const gmengine::_VPoint>, std::uint32_t, int) override {}
  int bitmaps = 0;
};

struct CountingDraw : GridDraw {
  explicit CountingDraw(int* destroyed, int* drawn) : destroyed_(destroyed), drawn_(drawn) {}
  ~CountingDraw() override { ++*destroyed_; }
  void Draw(MapDrawTarget&) override { ++*drawn_; }
  int* destroyed_;
  int* drawn_;
};

struct CountingReq : GridReq {
  explicit CountingReq(int* requests) : GridReq(GridKind::Street), requests_(requests) {}
  void Request() override { ++*requests_; }
  int* requests_;
};

// One update and repaint while shown, then one while hidden.
void ShownThenHidden(CMapLayer& layer) {
  CountingTarget target;
  layer.Update();
  layer.Draw(target);
  layer.Show(false);
  layer.Update();
  layer.Draw(target);
}

TEST(TileKeyMapTest, RefreshKeepsTheBlocksStatesAndDropsTheRest) {
  TileKeyMap keys;
  keys.Refresh(10, 20, 3, 3);  // columns 10..12, rows 20 down to 18
  EXPECT_EQ(keys.Count(), 9);
  EXPECT_TRUE(keys.List({11, 19}));
  EXPECT_FALSE(keys.List({11, 19}));  // once per pass
  EXPECT_FALSE(keys.List({13, 19}));  // outside the block
  const int own = 5;                  // a state word of the request's own
  keys.SetState({12, 18}, own);
  keys.Refresh(11, 20, 3, 3);                           // one column east
  EXPECT_EQ(keys.StateOf({11, 19}), TileKeyMap::kNew);  // listed: new again
  EXPECT_EQ(keys.StateOf({12, 18}), own);               // any other state stays
  EXPECT_FALSE(keys.Contains({10, 19}));
  EXPECT_EQ(keys.StateOf({10, 19}), TileKeyMap::kAbsent);
  EXPECT_TRUE(keys.Contains({13, 18}));

  keys.Refresh(0, 0, 11, 10);  // 110 tiles: too many to list any
  keys.LimitSize();
  EXPECT_FALSE(keys.List({0, 0}));

  gmengine::GridKey key;
  EXPECT_TRUE(gmengine::GridKey::Parse("-3_17", key));
  EXPECT_EQ(key, (gmengine::GridKey{-3, 17}));
  EXPECT_EQ(key.Text(), "-3_17");
  EXPECT_FALSE(gmengine::GridKey::Parse("3_", key));
  EXPECT_FALSE(gmengine::GridKey::Parse("3x4", key));
  EXPECT_FALSE(gmengine::GridKey::Parse("3_4 ", key));
  EXPECT_EQ(key, (gmengine::GridKey{-3, 17}));  // a failed read leaves the key alone
}

TEST(LayerFrameworkTest, AHiddenLayerNeitherRequestsNorDraws) {
  int destroyed = 0, drawn = 0, requests = 0;
  CGridLayer layer;
  layer.SetRequest(std::make_unique<CountingReq>(&requests));
  layer.SetDrawer(std::make_unique<CountingDraw>(&destroyed, &drawn));
  ShownThenHidden(layer);
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(drawn, 1);
  EXPECT_FALSE(layer.IsShown());
}

TEST(LayerFrameworkTest, ReplacingADrawerDestroysTheOldOneOnce) {
  int destroyedA = 0, destroyedB = 0, drawn = 0;
  {
    CGridLayer layer;
    layer.SetDrawer(std::make_unique<CountingDraw>(&destroyedA, &drawn));
    layer.SetDrawer(std::make_unique<CountingDraw>(&destroyedB, &drawn));
    EXPECT_EQ(destroyedA, 1);
    EXPECT_EQ(destroyedB, 0);
  }
  EXPECT_EQ(destroyedA, 1);
  EXPECT_EQ(destroyedB, 1);
}

struct CountingLocDraw : CLocDraw {
  CountingLocDraw(int* destroyed, int* drawn) : destroyed_(destroyed), drawn_(drawn) {}
  ~CountingLocDraw() override { ++*destroyed_; }
  void Draw(MapDrawTarget&) override { ++*drawn_; }
  int* destroyed_;
  int* drawn_;
};

struct CountingLocReq : CLocReq {
  explicit CountingLocReq(int* requests) : requests_(requests) {}
  void Request() override { ++*requests_; }
  int* requests_;
};

// The location layer asks for the position only while shown, but its drawer runs on every repaint.
TEST(LayerFrameworkTest, TheLocationLayerDrawsEvenWhenHiddenAndRequestsOnlyWhenShown) {
  int destroyedA = 0, destroyedB = 0, drawn = 0, requests = 0;
  {
    CLocLayer layer;
    ASSERT_TRUE(layer.Request());
    ASSERT_TRUE(layer.Drawer());
    layer.Update();  // no location object yet: nothing to read, no fix
    EXPECT_FALSE(layer.HasFix());
    layer.SetRequest(std::make_unique<CountingLocReq>(&requests));
    layer.SetDrawer(std::make_unique<CountingLocDraw>(&destroyedA, &drawn));
    ShownThenHidden(layer);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(drawn, 2);
    layer.SetDrawer(std::make_unique<CountingLocDraw>(&destroyedB, &drawn));
    EXPECT_EQ(destroyedA, 1);
    EXPECT_EQ(destroyedB, 0);
  }
  EXPECT_EQ(destroyedA, 1);
  EXPECT_EQ(destroyedB, 1);
}

struct CountingVectorReq : CVectorReq {
  CountingVectorReq(int* requests, const CMapStatus* status) : CVectorReq(status), requests_(requests) {}
  void Request() override {
    ++*requests_;
    CVectorReq::Request();
  }
  int* requests_;
};

// Counts its repaints and how many elements the layer handed it to draw on the last one.
struct CountingVectorDraw : CVectorDraw {
  CountingVectorDraw(int* destroyed, int* drawn)
      : CVectorDraw(nullptr, nullptr), destroyed_(destroyed), drawn_(drawn) {}
  ~CountingVectorDraw() override { ++*destroyed_; }
  void Draw(MapDrawTarget&) override {
    ++*drawn_;
    seen = data_ ? static_cast<int>(data_->drawn.size()) : -1;
  }
  int* destroyed_;
  int* drawn_;
  int seen = -1;
};

// Three places 20 units apart east of the centre, stored as the answer of a place list and of an
// address.
class VectorLayerPairTest : public kavro::test::SearchResultsTest {
 protected:
  void SetUp() override {
    SearchResultsTest::SetUp();
    if (HasFatalFailure()) return;
    for (int i = 0; i < 3; ++i) {
      gmengine::tag_PoiInfo poi;
      std::snprintf(poi.name, sizeof poi.name, "Place %d", i);
      poi.geometry.AddPoint(
          gmengine::_VPoint((kavro::test::kCentre + 20 * i) * 100, kavro::test::kCentre * 100));
      places.pois.Add(poi);
    }
    search->SetResult(&places, gmengine::SearchType::PoiInCity);
    search->SetResult(&places, gmengine::SearchType::ReverseGeocode);
  }

  gmengine::tag_PoiSearchRst places;
};

// The vector layer's request builds only while the layer is shown and its drawer paints only then;
// a new drawer destroys the one it replaces.
TEST_F(VectorLayerPairTest, TheVectorLayerBuildsAndDrawsOnlyWhileShown) {
  int destroyedA = 0, destroyedB = 0, drawn = 0, requests = 0;
  {
    CVectorLayer layer(VectorSource::Poi, &status);
    ASSERT_TRUE(layer.Request());
    ASSERT_TRUE(layer.Drawer());
    layer.SetRequest(std::make_unique<CountingVectorReq>(&requests, &status));
    layer.SetDrawer(std::make_unique<CountingVectorDraw>(&destroyedA, &drawn));
    ShownThenHidden(layer);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(drawn, 1);
    layer.SetDrawer(std::make_unique<CountingVectorDraw>(&destroyedB, &drawn));
    EXPECT_EQ(destroyedA, 1);
    EXPECT_EQ(destroyedB, 0);
  }
  EXPECT_EQ(destroyedA, 1);
  EXPECT_EQ(destroyedB, 1);
}

// What the user set on the layer (the search, the result shown, the selection) lives in its request:
// a fresh request takes it over from the one it replaces and builds the layer's own kind into the
// layer's elements, which the drawer then gets and a tap finds.
TEST_F(VectorLayerPairTest, ANewRequestCarriesOnWhatTheOldOneShowed) {
  int destroyed = 0, drawn = 0, requests = 0;
  CVectorLayer list(VectorSource::Poi, &status);
  list.SetSearch(search);
  list.SetResultType(gmengine::SearchType::PoiInCity);
  list.SetSelection(VectorSelection{0, -1, 0, 2, 0});
  list.SetRequest(std::make_unique<CountingVectorReq>(&requests, &status));
  auto* drawer = new CountingVectorDraw(&destroyed, &drawn);
  list.SetDrawer(std::unique_ptr<CVectorDraw>(drawer));
  EXPECT_EQ(list.ResultType(), gmengine::SearchType::PoiInCity);
  EXPECT_EQ(list.Selection().poi, 2);
  list.Update();
  EXPECT_EQ(requests, 1);
  ASSERT_EQ(list.Elements().size(), 3u);
  ASSERT_EQ(list.Drawn().size(), 4u);  // the selected place once more on top
  EXPECT_EQ(list.Drawn().back().attribute.name.ToUtf8(), "Place 2");
  CountingTarget target;
  list.Draw(target);
  EXPECT_EQ(drawer->seen, 4);
  Attribute hit;
  gmengine::_VPoint p = status.MapToScreen(kavro::test::kCentre + 20, kavro::test::kCentre);
  ASSERT_TRUE(list.HitTest(p.x, p.y - 1, hit));  // just above its point
  EXPECT_EQ(hit.name.ToUtf8(), "Place 1");

  // The same answer on a single-point layer gives its one point, whatever the request was made for.
  CVectorLayer point(VectorSource::SinglePoint, &status);
  point.SetSearch(search);
  point.SetResultType(gmengine::SearchType::ReverseGeocode);
  point.SetSelection(VectorSelection{0, -1, 0, 0, 1});
  point.SetRequest(std::make_unique<CVectorReq>(&status));
  point.Update();
  ASSERT_EQ(point.Elements().size(), 1u);
  EXPECT_EQ(point.Elements()[0].attribute.kind, Attribute::Kind::SinglePoint);
  EXPECT_EQ(point.Elements()[0].attribute.name.ToUtf8(), "Place 1");

  // A request that comes with its own search object is taken as it is: it has no result to show.
  auto own = std::make_unique<CVectorReq>(&status);
  own->SetSearch(search);
  point.SetRequest(std::move(own));
  EXPECT_EQ(point.ResultType(), gmengine::SearchType::None);
  point.Update();
  EXPECT_TRUE(point.Elements().empty());
  point.SetRequest(nullptr);  // without a request the layer keeps what it has and asks nothing
  point.SetResultType(gmengine::SearchType::ReverseGeocode);
  point.Update();
  EXPECT_TRUE(point.Elements().empty());
}

TEST(TileImageTest, RecordsAreToldApartByTheirBytes) {
  auto empty = tileimage::EmptyRecord(0);
  EXPECT_EQ(tileimage::KindOf(empty.data(), empty.size()), tileimage::RecordKind::EmptyTile);
  auto none = tileimage::EmptyRecord(1);
  EXPECT_EQ(tileimage::KindOf(none.data(), none.size()), tileimage::RecordKind::NoTile);
  const std::uint8_t png[] = {0x89, 'P', 'N', 'G'};
  EXPECT_EQ(tileimage::KindOf(png, sizeof png), tileimage::RecordKind::PNG);
  const std::uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'};
  EXPECT_EQ(tileimage::KindOf(jpeg, sizeof jpeg), tileimage::RecordKind::JPEG);
  EXPECT_EQ(tileimage::KindOf(png, 3), tileimage::RecordKind::Unknown);
  EXPECT_EQ(tileimage::BackgroundFor(9), 0xFFF2F0EBu);
  EXPECT_EQ(tileimage::BackgroundFor(10), 0xFFF5F3F0u);
  std::uint32_t out[4] = {};
  EXPECT_FALSE(tileimage::Decode(png, sizeof png, out));
}

TEST(TileImageTest, APngTileDecodesIntoItsWordsAndOnlyAWholeOneCounts) {
  auto bitmap = platform::Bitmap::create(tileimage::kTileSide, tileimage::kTileSide, true);
  ASSERT_TRUE(bitmap);
  bitmap->fill({10, 20, 30, 255});
  bitmap->setPixel(0, 0, {0xFF, 0x80, 0x01, 0x40});
  bitmap->setPixel(255, 255, {1, 2, 3, 0});
  platform::Data png = platform::ImageCodec::encodePNG(*bitmap);
  std::vector<std::uint32_t> out(tileimage::kTilePixels);
  ASSERT_TRUE(tileimage::Decode(png.data(), png.size(), out.data()));
  EXPECT_EQ(out[0], 0x40FF8001u);
  EXPECT_EQ(out[1], 0xFF0A141Eu);
  EXPECT_EQ(out[tileimage::kTilePixels - 1] >> 24, 0u);
  // Cut short, or of another size: refused.
  EXPECT_FALSE(tileimage::Decode(png.data(), png.size() / 2, out.data()));
  auto small = platform::Bitmap::create(128, 256, false);
  ASSERT_TRUE(small);
  platform::Data other = platform::ImageCodec::encodePNG(*small);
  EXPECT_FALSE(tileimage::Decode(other.data(), other.size(), out.data()));
}

TEST(TileImageTest, AQuarterIsStretchedOverTheWholeTile) {
  std::vector<std::uint32_t> source(tileimage::kTilePixels, 1);
  for (int y = 128; y < 256; ++y) {
    for (int x = 0; x < 128; ++x) source[static_cast<std::size_t>(y * 256 + x)] = 2;  // bottom left
  }
  std::vector<std::uint32_t> out(tileimage::kTilePixels);
  tileimage::StretchSquare(source.data(), 0, 128, 128, out.data());
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint32_t p) { return p == 2; }));
  tileimage::StretchSquare(source.data(), 64, 64, 128, out.data());
  EXPECT_EQ(out[0], 1u);
  EXPECT_EQ(out[255 * 256], 2u);
}

}  // namespace
