#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/CVDCDrawTarget.h"
#include "mapsdk/display/CVectorLayer.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CDataDisp.h"
#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/search/CAppSearch.h"
#include "tests/mapsdk/display/SearchResultsFixture.h"

using namespace mapsdk;
using gmengine::CComplexPt;
using gmengine::SearchType;

namespace {

using kavro::test::kCentre;
using kavro::test::kSide;

// A shape of points given in map units off the centre (kept in hundredths).
CComplexPt Shape(std::initializer_list<std::pair<int, int>> points) {
  gmengine::CVArray<gmengine::_VPoint> part;
  for (auto [x, y] : points) part.Add(gmengine::_VPoint((kCentre + x) * 100, (kCentre + y) * 100));
  CComplexPt shape;
  shape.AddPart(part);
  return shape;
}

// The search results of the map's vector layers, drawn into a 200 x 200 context through the
// element drawer with the map's styles, at level 18 around (100000, 100000).
class VectorLayerTest : public kavro::test::SearchResultsTest {
 protected:
  void SetUp() override {
    SearchResultsTest::SetUp();
    if (HasFatalFailure()) return;
    layerstyles::Install(disp);
    layerstyles::RegisterIcons(*gmengine::GetGlobalMan());
    disp.SetIcons(gmengine::GetGlobalMan());
    dc.CreateCompatibleDC();
    ASSERT_EQ(buffer.CreateBitmap(gmengine::_VSize{kSide, kSide}), 1);
    gmengine::FreeBitmapData(dc.SelectObject(&buffer));
  }
  void TearDown() override {
    dc.DeleteDC();
    SearchResultsTest::TearDown();
  }
  void Paint(CVectorLayer& layer) {
    dc.FillSolidRect(gmengine::_VRect(0, 0, kSide, kSide), kBlank);
    CVDCDrawTarget target(dc);
    layer.Draw(target);
  }
  // The pixel under a map point given in map units off the centre.
  std::uint32_t At(int dx, int dy) const {
    gmengine::_VPoint p = status.MapToScreen(kCentre + dx, kCentre + dy);
    const gmengine::VBitmap* b = dc.GetCurrentBitmap();
    return reinterpret_cast<const std::uint32_t*>(b->pixels + static_cast<std::size_t>(p.y) * b->stride)[p.x];
  }
  static int Count(const std::vector<CGeoElement>& elements, Attribute::Kind kind, int style) {
    int n = 0;
    for (const CGeoElement& e : elements) n += e.attribute.kind == kind && e.attribute.styleId == style;
    return n;
  }

  static constexpr std::uint32_t kBlank = 0xFF000000u;
  gmengine::CDataDisp disp;
  gmengine::CVDC dc;
  gmengine::CVBitmap buffer;
};

// A transit plan of two rides (a subway line, then a bus) with a walk before each and one at the end.
gmengine::tag_BusRouteRst TwoRides() {
  gmengine::tag_BusRouteRst plan;
  plan.startPoint.AddPoint(gmengine::_VPoint((kCentre - 80) * 100, kCentre * 100));
  plan.endPoint.AddPoint(gmengine::_VPoint((kCentre + 80) * 100, (kCentre + 60) * 100));
  std::snprintf(plan.startName, sizeof plan.startName, "Home");
  gmengine::tag_BusRoute route;
  gmengine::CVArray<gmengine::tag_BusLine> lines;
  gmengine::tag_BusLine subway;
  subway.lineType = 1;
  std::snprintf(subway.name, sizeof subway.name, "Line 2");
  gmengine::tag_BusLine bus;
  std::snprintf(bus.name, sizeof bus.name, "Bus 20");
  gmengine::CVArray<gmengine::tag_BusTransStop> stops;
  stops.SetSize(3);
  auto point = [](CComplexPt& shape, int x, int y) {
    shape.AddPoint(gmengine::_VPoint((kCentre + x) * 100, (kCentre + y) * 100));
  };
  // The subway runs east from (-60, 0) to (0, 0); the bus north from (0, 0) to (0, 60).
  subway.geometry = Shape({{-60, 0}, {0, 0}});
  bus.geometry = Shape({{0, 0}, {0, 60}});
  point(stops[0].onPoint, -60, 0);
  point(stops[0].offPoint, 0, 0);
  std::snprintf(stops[0].onName, sizeof stops[0].onName, "West Gate");
  point(stops[1].onPoint, 0, 10);
  point(stops[1].offPoint, 0, 60);
  std::snprintf(stops[1].offName, sizeof stops[1].offName, "North Square");
  stops[0].walkPath = Shape({{-80, 0}, {-60, 0}});
  stops[1].walkPath = Shape({{0, 0}, {0, 10}});
  stops[2].walkPath = Shape({{0, 60}, {80, 60}});
  lines.Add(subway);
  lines.Add(bus);
  route.plans.Add(lines);
  route.stops.Add(stops);
  plan.routes.Add(route);
  return plan;
}

TEST_F(VectorLayerTest, ATransitPlanShowsItsStopsAndTheSelectedStepOnTop) {
  gmengine::tag_BusRouteRst plan = TwoRides();
  search->SetResult(&plan, SearchType::Transit);
  CVectorLayer layer(VectorSource::Route, &status, &disp);
  layer.SetSearch(search);
  layer.SetResultType(SearchType::Transit);
  layer.Update();
  // Each ride's boarding and alighting stop, styled by its line's kind.
  EXPECT_EQ(Count(layer.Elements(), Attribute::Kind::TransitStop, layerstyles::kStopSubway), 2);
  EXPECT_EQ(Count(layer.Elements(), Attribute::Kind::TransitStop, layerstyles::kStopOther), 2);
  EXPECT_EQ(Count(layer.Elements(), Attribute::Kind::None, layerstyles::kWalk), 3);
  EXPECT_EQ(Count(layer.Elements(), Attribute::Kind::RouteStart, layerstyles::kRouteStart), 1);
  EXPECT_EQ(layer.Drawn().size(), layer.Elements().size());  // nothing selected yet
  Paint(layer);
  EXPECT_EQ(At(-30, 0), layerstyles::kRouteColor);
  EXPECT_EQ(At(0, 60), layerstyles::kStopColor);
  EXPECT_EQ(At(40, 60), layerstyles::kWalkColor);

  // A tap on the stop answers it.
  Attribute hit;
  gmengine::_VPoint westGate = status.MapToScreen(kCentre - 60, kCentre);
  ASSERT_TRUE(layer.HitTest(westGate.x, westGate.y, hit));
  EXPECT_EQ(hit.kind, Attribute::Kind::TransitStop);
  EXPECT_EQ(hit.name.ToUtf8(), "West Gate");

  // The first ride selected: its line is drawn again, wider and in the highlight colour, with its
  // two stops over it.
  layer.SetSelection(VectorSelection{0, 0, 0, 0, 0});
  layer.Update();
  const std::vector<CGeoElement>& drawn = layer.Drawn();
  ASSERT_EQ(drawn.size(), layer.Elements().size() + 3);
  EXPECT_EQ(drawn[drawn.size() - 3].attribute.styleId, layerstyles::kSelectedLine);
  EXPECT_EQ(drawn[drawn.size() - 3].attribute.name.ToUtf8(), "Line 2");
  EXPECT_EQ(Count(drawn, Attribute::Kind::TransitStop, layerstyles::kStopSubway), 4);
  Paint(layer);
  EXPECT_EQ(At(-30, 0), layerstyles::kSelectedColor);
  EXPECT_EQ(At(0, 40), layerstyles::kRouteColor);  // the other ride as it was
  EXPECT_EQ(At(-60, 0), layerstyles::kStopColor);

  // The last walk selected: from the bus's last stop to the plan's end.
  layer.SetSelection(VectorSelection{0, 1, 2, 0, 0});
  layer.Update();
  ASSERT_EQ(layer.Drawn().size(), layer.Elements().size() + 3);
  EXPECT_EQ(layer.Drawn().back().attribute.kind, Attribute::Kind::RouteEnd);
  EXPECT_STREQ(layer.Drawn()[layer.Drawn().size() - 2].attribute.name.ToUtf8().c_str(), "North Square");
  Paint(layer);
  EXPECT_EQ(At(40, 60), layerstyles::kSelectedColor);
  // A step out of range selects nothing.
  layer.SetSelection(VectorSelection{0, 1, 3, 0, 0});
  layer.Update();
  EXPECT_EQ(layer.Drawn().size(), layer.Elements().size());
}

TEST_F(VectorLayerTest, TheSelectedPoiIsDrawnAgainWithItsNumber) {
  gmengine::tag_PoiSearchRst result;
  for (int i = 0; i < 3; ++i) {
    gmengine::tag_PoiInfo poi;
    std::snprintf(poi.name, sizeof poi.name, "Place %d", i);
    poi.poiType = i == 0 ? 2 : 0;  // the first is a bus line: no mark, no number
    poi.geometry.AddPoint(gmengine::_VPoint((kCentre + 20 * i) * 100, kCentre * 100));
    result.pois.Add(poi);
  }
  search->SetResult(&result, SearchType::PoiInCity);
  CVectorLayer layer(VectorSource::Poi, &status, &disp);
  layer.SetSearch(search);
  layer.SetResultType(SearchType::PoiInCity);
  layer.SetSelection(VectorSelection{0, -1, 0, 2, 0});
  layer.Update();
  ASSERT_EQ(layer.Elements().size(), 2u);
  ASSERT_EQ(layer.Drawn().size(), 3u);
  EXPECT_EQ(layer.Drawn().back().attribute.styleId, 2);  // its number in the list
  EXPECT_EQ(layer.Drawn().back().attribute.index, 2);
  EXPECT_EQ(layer.Drawn().back().attribute.name.ToUtf8(), "Place 2");
  Paint(layer);
  EXPECT_EQ(At(40, 4), layerstyles::kPoiColor);  // the mark stands on its point
  // The bus line itself is never highlighted.
  layer.SetSelection(VectorSelection{0, -1, 0, 0, 0});
  layer.Update();
  EXPECT_EQ(layer.Drawn().size(), 2u);
}

TEST_F(VectorLayerTest, LinesAreThinnedForTheLevelTheyAreDrawnAt) {
  // A road that wavers 5 map units either side of a straight line every 10 units.
  gmengine::CVArray<gmengine::_VPoint> wavy;
  for (int i = 0; i <= 40; ++i)
    wavy.Add(gmengine::_VPoint((kCentre - 200 + 10 * i) * 100, (kCentre + (i % 2 ? 5 : -5)) * 100));
  gmengine::tag_CarRouteRst drive;
  gmengine::tag_Link link;
  link.geometry.AddPart(wavy);
  drive.route.links.Add(link);
  search->SetResult(&drive, SearchType::Driving);
  CVectorLayer layer(VectorSource::Route, &status, &disp);
  layer.SetSearch(search);
  layer.SetResultType(SearchType::Driving);
  auto drawnPoints = [&] {
    for (const CGeoElement& e : layer.Drawn()) {
      if (e.attribute.geometryClass == 2) return e.shape.GetPart(0)->GetSize();
    }
    return -1;
  };
  layer.Update();
  EXPECT_EQ(drawnPoints(), 41);  // a wave of 5 units is more than the 4 units level 18 lets go
  SetLevel(12);
  layer.Update();
  EXPECT_EQ(drawnPoints(), 3);  // one straight stroke (its end written twice)
  EXPECT_EQ(layer.Elements()[0].shape.GetPart(0)->GetSize(), 41);  // the answer itself keeps its points
  Paint(layer);
  EXPECT_EQ(At(0, 0), layerstyles::kRouteColor);
}

}  // namespace

namespace {

// The single-point layer draws one POI's details at its point and the selected POI of an address
// answer; an answer of any other kind draws nothing.
TEST_F(VectorLayerTest, TheSinglePointLayerDrawsTheAnswerOfEachOfItsKinds) {
  CVectorLayer layer(VectorSource::SinglePoint, &status, &disp);
  layer.SetSearch(search);
  auto pointOf = [&]() -> std::pair<int, int> {
    if (layer.Elements().size() != 1) return {-1, -1};
    const gmengine::_VPoint p = layer.Elements()[0].shape.GetPartPt(0, 0);
    return {p.x / 100 - kCentre, p.y / 100 - kCentre};
  };

  gmengine::tag_PoiDetailRst detail;
  std::snprintf(detail.poi.name, sizeof detail.poi.name, "Tea House");
  detail.poi.geometry = Shape({{30, -20}});
  search->SetResult(&detail, SearchType::PoiDetail);
  layer.SetResultType(SearchType::PoiDetail);
  layer.Update();
  EXPECT_EQ(pointOf(), (std::pair<int, int>{30, -20}));
  EXPECT_EQ(layer.Elements()[0].attribute.kind, Attribute::Kind::SinglePoint);
  EXPECT_EQ(layer.Elements()[0].attribute.name.ToUtf8(), "Tea House");
  Paint(layer);
  EXPECT_EQ(At(30, -20), layerstyles::kEndColor);

  gmengine::tag_PoiSearchRst address;
  for (int i = 0; i < 2; ++i) {
    gmengine::tag_PoiInfo poi;
    std::snprintf(poi.name, sizeof poi.name, "Gate %d", i);
    poi.geometry = Shape({{-40 + 50 * i, 10}});
    address.pois.Add(poi);
  }
  search->SetResult(&address, SearchType::ReverseGeocode);
  layer.SetResultType(SearchType::ReverseGeocode);
  layer.Update();
  EXPECT_EQ(pointOf(), (std::pair<int, int>{-40, 10}));
  layer.SetSelection(VectorSelection{0, -1, 0, 0, 1});
  layer.Update();
  EXPECT_EQ(pointOf(), (std::pair<int, int>{10, 10}));
  EXPECT_EQ(layer.Elements()[0].attribute.name.ToUtf8(), "Gate 1");
  layer.SetSelection(VectorSelection{0, -1, 0, 0, 5});  // past the list: nothing
  layer.Update();
  EXPECT_TRUE(layer.Elements().empty());

  // A map point is not a single-point answer, and neither is a list stored under another type.
  gmengine::tag_MapPointRst point;
  point.x = kCentre + 5;
  point.y = kCentre - 5;
  search->SetResult(&point, SearchType::MapPoint);
  layer.SetResultType(SearchType::MapPoint);
  layer.Update();
  EXPECT_TRUE(layer.Elements().empty());
  EXPECT_TRUE(layer.Drawn().empty());
  search->SetResult(&address, SearchType::PoiInCity);
  layer.SetResultType(SearchType::PoiInCity);
  layer.SetSelection(VectorSelection{});
  layer.Update();
  EXPECT_TRUE(layer.Elements().empty());
}

// The elements are built from the stored answer once and kept: an update draws the kept copy with
// the selection's highlight, and only a new answer, another result to show, another route or
// single point, a new request, or (for routes, whose lines are thinned per level) another level
// builds them again from what the search holds.
TEST_F(VectorLayerTest, TheKeptElementsAreRebuiltOnlyWhenMarked) {
  auto places = [](int count, int dx) {
    gmengine::tag_PoiSearchRst result;
    for (int i = 0; i < count; ++i) {
      gmengine::tag_PoiInfo poi;
      std::snprintf(poi.name, sizeof poi.name, "Place %d", i);
      poi.geometry.AddPoint(gmengine::_VPoint((kCentre + dx + 20 * i) * 100, kCentre * 100));
      result.pois.Add(poi);
    }
    return result;
  };
  gmengine::tag_PoiSearchRst first = places(3, 0);
  gmengine::tag_PoiSearchRst second = places(2, 50);
  search->SetResult(&first, SearchType::PoiInCity);
  CVectorLayer layer(VectorSource::Poi, &status, &disp);
  layer.SetSearch(search);
  layer.SetResultType(SearchType::PoiInCity);
  layer.Show(true);
  layer.Update();
  ASSERT_EQ(layer.Elements().size(), 3u);
  EXPECT_FALSE(layer.Request()->NeedsRebuild());

  // The store changes under the layer: updates, a level change and a new POI selected keep the
  // elements.
  search->SetResult(&second, SearchType::PoiInCity);
  layer.Update();
  SetLevel(16);
  layer.Update();
  EXPECT_EQ(layer.Elements().size(), 3u);
  layer.SetSelection(VectorSelection{0, -1, 0, 1, 0});
  layer.Update();
  ASSERT_EQ(layer.Drawn().size(), 4u);
  EXPECT_EQ(layer.Drawn().back().attribute.name.ToUtf8(), "Place 1");
  // The highlight is one record, taken from what the search holds at each update.
  EXPECT_EQ(layer.Drawn().back().shape.GetPartPt(0, 0).x, (kCentre + 70) * 100);
  layer.SetSelection(VectorSelection{0, -1, 0, 2, 0});
  layer.Update();
  EXPECT_EQ(layer.Drawn().back().attribute.name.ToUtf8(), "Place 2");
  EXPECT_EQ(layer.Elements().size(), 3u);

  // A new answer: built again, and drawn from it.
  layer.SetResultType(SearchType::PoiInCity);
  EXPECT_TRUE(layer.Request()->NeedsRebuild());
  layer.Update();
  ASSERT_EQ(layer.Elements().size(), 2u);
  EXPECT_EQ(layer.Elements()[0].shape.GetPartPt(0, 0).x, (kCentre + 50) * 100);
  EXPECT_EQ(layer.Drawn().size(), 2u);  // the selected third place is not in this answer

  // Hidden, the layer builds nothing, but stays marked for when it shows again.
  search->SetResult(&first, SearchType::PoiInCity);
  layer.SetResultType(SearchType::PoiInCity);
  layer.Show(false);
  layer.Update();
  EXPECT_EQ(layer.Elements().size(), 2u);
  layer.Show(true);
  layer.Update();
  EXPECT_EQ(layer.Elements().size(), 3u);

  // A fresh request starts marked, with what the old one showed.
  search->SetResult(&second, SearchType::PoiInCity);
  layer.SetRequest(std::make_unique<CVectorReq>(&status));
  layer.Update();
  EXPECT_EQ(layer.Elements().size(), 2u);
}

TEST_F(VectorLayerTest, ARouteIsBuiltAgainForAnotherLevelOrAnotherRoute) {
  gmengine::tag_BusRouteRst plan = TwoRides();
  gmengine::tag_BusRouteRst other = TwoRides();
  std::snprintf(other.startName, sizeof other.startName, "Office");
  gmengine::tag_BusRoute shortRoute;
  gmengine::CVArray<gmengine::tag_BusLine> lines;
  gmengine::tag_BusLine tram;
  std::snprintf(tram.name, sizeof tram.name, "Tram 1");
  tram.geometry = Shape({{0, -40}, {40, -40}});
  lines.Add(tram);
  shortRoute.plans.Add(lines);
  plan.routes.Add(shortRoute);  // the plan's second route: one ride, no stops
  search->SetResult(&plan, SearchType::Transit);
  CVectorLayer layer(VectorSource::Route, &status, &disp);
  layer.SetSearch(search);
  layer.SetResultType(SearchType::Transit);
  layer.Show(true);
  layer.Update();
  auto startName = [&] {
    for (const CGeoElement& e : layer.Elements()) {
      if (e.attribute.kind == Attribute::Kind::RouteStart) return e.attribute.name.ToUtf8();
    }
    return std::string();
  };
  EXPECT_EQ(startName(), "Home");

  // The selected step is built when it changes and kept with the elements.
  search->SetResult(&other, SearchType::Transit);
  layer.SetSelection(VectorSelection{0, 0, 1, 0, 0});
  layer.Update();
  EXPECT_EQ(startName(), "Home");
  ASSERT_EQ(layer.Drawn().size(), layer.Elements().size() + 3);
  EXPECT_EQ(layer.Drawn()[layer.Drawn().size() - 3].attribute.name.ToUtf8(), "Bus 20");
  layer.Update();
  EXPECT_EQ(layer.Drawn().size(), layer.Elements().size() + 3);

  // Another level: the lines are thinned anew from what the search holds now, the step with them.
  SetLevel(17);
  layer.Update();
  EXPECT_EQ(startName(), "Office");
  EXPECT_EQ(layer.Drawn().size(), layer.Elements().size() + 3);

  // Another route of the plan: built again.
  search->SetResult(&plan, SearchType::Transit);
  layer.SetSelection(VectorSelection{1, -1, 0, 0, 0});
  layer.Update();
  ASSERT_EQ(layer.Elements().size(), 3u);  // the tram's line, the plan's start and end
  EXPECT_EQ(layer.Elements()[0].attribute.name.ToUtf8(), "Tram 1");
}

}  // namespace
