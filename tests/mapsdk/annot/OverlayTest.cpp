#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "mapsdk/display/GMKCircleView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "mapsdk/display/GMKPolygonView.h"
#include "mapsdk/display/GMKPolylineView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Snapshot.h"
#include "tests/mapsdk/annot/FakeMapHost.h"
#include "tests/support/Pixels.h"

using namespace mapsdk;
using platform::Rect;

namespace {

using kavro::test::kBlue;
using kavro::test::kClear;
using kavro::test::kRed;

class OverlayTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::Screen::mainScreen().reset();
  }

  // The map at level 18 (a map unit a point) around the point, with the view placed as the map
  // view places overlay views; a picture of it at scale 1.
  platform::Bitmap render(GMKMapPoint center, const std::shared_ptr<GMKOverlayView>& view) {
    auto map = std::make_shared<kavro::test::FakeMapHost>(center, 18);
    view->initDelegate(map);
    view->setFrame(map->convertMapRect(view->boundingMapRect(), map.get()));
    map->addSubview(view);
    auto image = platform::Snapshot::imageOfView(*map, 1);
    return image ? *image->bitmap() : platform::Bitmap();
  }
};

TEST_F(OverlayTest, CirclesAreDrawnInTrueMetresAtTheirLatitude) {
  for (double latitude : {0.0, 60.0}) {
    auto circle = GMKCircle::circleWithCenterCoordinate({latitude, 10}, 20);
    double r = 20 / std::cos(latitude * M_PI / 180);  // map units, a point each at level 18
    EXPECT_NEAR(circle->boundingMapRect().size.width, 2 * r, 1e-9);
    auto view = GMKCircleView::initWithOverlay(circle);
    ASSERT_TRUE(view);
    view->setFillColor(platform::Color::red());
    platform::Bitmap b = render(GMKMapPointFromCoordinate(circle->coordinate()), view);
    ASSERT_EQ(b.width(), 320);
    EXPECT_EQ(b.pixelAt(160, 240), kRed) << latitude;
    EXPECT_EQ(b.pixelAt(160 + static_cast<int>(r) - 2, 240), kRed) << latitude;
    EXPECT_EQ(b.pixelAt(160 + static_cast<int>(r) + 2, 240), kClear) << latitude;
    EXPECT_EQ(b.pixelAt(160, 240 - static_cast<int>(r) - 2), kClear) << latitude;
  }
  EXPECT_FALSE(GMKCircleView::initWithOverlay(GMKPolyline::polylineWithPoints(nullptr, 0)));
}

TEST_F(OverlayTest, PolygonsFillEvenOddSoTheirHolesStayUnpainted) {
  GMKMapPoint c = GMKMapPointFromCoordinate({39.9, 116.4});
  GMKMapPoint outer[] = {
      {c.x - 50, c.y - 50}, {c.x + 50, c.y - 50}, {c.x + 50, c.y + 50}, {c.x - 50, c.y + 50}};
  GMKMapPoint inner[] = {
      {c.x - 20, c.y - 20}, {c.x + 20, c.y - 20}, {c.x + 20, c.y + 20}, {c.x - 20, c.y + 20}};
  auto polygon = GMKPolygon::polygonWithPoints(outer, 4, {GMKPolygon::polygonWithPoints(inner, 4)});
  auto view = GMKPolygonView::initWithOverlay(polygon);
  ASSERT_TRUE(view);
  view->setFillColor(platform::Color::red());
  view->setStrokeColor(platform::Color::blue());
  view->setLineWidth(4);
  platform::Bitmap b = render(c, view);
  EXPECT_EQ(b.pixelAt(160 - 40, 240), kRed);  // in the ring
  EXPECT_EQ(b.pixelAt(160, 240), kClear);     // in the hole
  // Every side of both rings is stroked, the one back to the first point too (the left sides).
  for (int r : {20, 50}) {
    EXPECT_EQ(b.pixelAt(160 + r, 240 + 5), kBlue) << r;
    EXPECT_EQ(b.pixelAt(160 - r, 240 + 5), kBlue) << r;  // for the outer ring, inside the grown bounds
    EXPECT_EQ(b.pixelAt(160 + 5, 240 + r), kBlue) << r;
    EXPECT_EQ(b.pixelAt(160 + 5, 240 - r), kBlue) << r;
  }
  EXPECT_EQ(b.pixelAt(160 - 55, 240), kClear);
  EXPECT_FALSE(GMKPolygonView::initWithOverlay(GMKCircle::circleWithCenterCoordinate({0, 0}, 1)));
}

TEST_F(OverlayTest, PolylinesOnlyStrokeAndFollowTheirDashes) {
  GMKMapPoint c = GMKMapPointFromCoordinate({31.2, 121.5});
  GMKMapPoint pts[] = {{c.x - 60, c.y}, {c.x + 60, c.y}, {c.x + 60, c.y + 40}};
  auto line = GMKPolyline::polylineWithPoints(pts, 3);
  auto view = GMKPolylineView::initWithOverlay(line);
  ASSERT_TRUE(view);
  view->setFillColor(platform::Color::red());
  view->setStrokeColor(platform::Color::blue());
  view->setLineWidth(4);
  view->setLineCap(platform::LineCap::Butt);
  view->setLineDashPattern(std::vector<double>{8, 4});
  platform::Bitmap b = render(c, view);
  int x0 = 160 - 60;
  // Map points go through coordinates, so an edge may land a unit either way.
  for (int dx : {1, 5, 14, 16}) EXPECT_EQ(b.pixelAt(x0 + dx, 240), kBlue) << dx;
  for (int dx : {9, 10, 21, 22}) EXPECT_EQ(b.pixelAt(x0 + dx, 240), kClear) << dx;
  EXPECT_EQ(b.pixelAt(160, 250), kClear);  // the corner's inside is never filled
  EXPECT_EQ(b.pixelAt(160 + 60, 240 + 2), kBlue);
}

TEST_F(OverlayTest, ShapesKeepTheirGeometry) {
  // A rectangle's circle: the larger side's half as radius, anchored at its origin.
  GMKMapPoint equator = GMKMapPointFromCoordinate({0, 0});
  auto circle = GMKCircle::circleWithMapRect({{equator.x, equator.y - 50}, {300, 100}});
  EXPECT_NEAR(circle->radius(), 150, 1e-3);
  EXPECT_EQ(circle->boundingMapRect().origin.x, equator.x);
  EXPECT_EQ(circle->boundingMapRect().size.width, 300);
  EXPECT_EQ(circle->boundingMapRect().size.height, 300);
  GMKMapRect before = circle->boundingMapRect();
  circle->setCoordinate({1, 1});
  EXPECT_EQ(circle->boundingMapRect().origin.x, before.origin.x);

  auto empty = GMKPolyline::polylineWithPoints(nullptr, 3);
  EXPECT_TRUE(GMKMapRectIsNull(empty->boundingMapRect()));
  EXPECT_EQ(empty->coordinate().latitude, 0);
  GMKMapPoint one[] = {{1000, 2000}};
  auto dot = GMKPolyline::polylineWithPoints(one, 1);
  EXPECT_EQ(dot->boundingMapRect().size.width, 0);
  EXPECT_TRUE(*dot->intersectsMapRect({{900, 1900}, {200, 200}}));
  EXPECT_FALSE(*dot->intersectsMapRect({{1001, 1900}, {200, 200}}));
  GMKMapPoint level[] = {{0, 10}, {100, 10}};
  auto flat = GMKPolyline::polylineWithPoints(level, 2);
  EXPECT_TRUE(*flat->intersectsMapRect({{50, 0}, {10, 20}}));
  EXPECT_FALSE(*flat->intersectsMapRect({{50, 11}, {10, 20}}));
  // A level line and a standing one against rectangles on each of their sides, touching at an end
  // and across them.
  GMKMapPoint upright[] = {{10, 0}, {10, 100}};
  auto standing = GMKPolyline::polylineWithPoints(upright, 2);
  struct Case {
    GMKMapRect level, standing;
    bool meets;
  };
  const Case cases[] = {
      {{{50, -30}, {10, 20}}, {{-30, 50}, {20, 10}}, false},  // above / to the left
      {{{50, 11}, {10, 20}}, {{11, 50}, {20, 10}}, false},    // below / to the right
      {{{101, 0}, {10, 20}}, {{0, 101}, {20, 10}}, false},    // past the far end
      {{{-20, 0}, {10, 20}}, {{0, -20}, {20, 10}}, false},    // before the near end
      {{{-20, 0}, {20, 20}}, {{0, -20}, {20, 20}}, true},     // touching the near end
      {{{100, 0}, {10, 20}}, {{0, 100}, {20, 10}}, true},     // touching the far end
      {{{50, 0}, {10, 20}}, {{0, 50}, {20, 10}}, true},       // across the middle
  };
  for (const Case& c : cases) {
    EXPECT_EQ(*flat->intersectsMapRect(c.level), c.meets) << c.level.origin.x << "," << c.level.origin.y;
    EXPECT_EQ(*standing->intersectsMapRect(c.standing), c.meets)
        << c.standing.origin.x << "," << c.standing.origin.y;
  }

  CLLocationCoordinate2D coords[] = {{39.9, 116.4}, {39.95, 116.45}, {40.0, 116.5}};
  auto poly = GMKPolyline::polylineWithCoordinates(coords, 3);
  CLLocationCoordinate2D out[3];
  EXPECT_EQ(poly->getCoordinates(out, 1, 5), 2u);
  EXPECT_NEAR(out[0].latitude, 39.95, 1e-4);
  EXPECT_EQ(poly->getCoordinates(out, 3, 1), 0u);
  EXPECT_EQ(poly->getCoordinates(nullptr, 0, 1), 0u);

  auto point = std::make_shared<GMKPointAnnotation>();
  EXPECT_TRUE(point->setCoordinate({1, 2}));
  EXPECT_EQ(point->coordinate().longitude, 2);
}

TEST_F(OverlayTest, ViewsConvertThroughTheirMapViewOrTakeMapUnitsAsPoints) {
  GMKMapPoint c = GMKMapPointFromCoordinate({39.9, 116.4});
  GMKMapPoint pts[] = {{c.x, c.y}, {c.x + 100, c.y}};
  auto view = GMKPolylineView::initWithOverlay(GMKPolyline::polylineWithPoints(pts, 2));
  // Without a companion: map units as they are.
  EXPECT_EQ(view->rectForMapRect({{1, 2}, {3, 0}}), Rect(1, 2, 3, 0));
  EXPECT_FALSE(view->delegate());
  // With a companion whose map view is gone: nothing, but never thinner than a point.
  {
    auto gone = std::make_shared<kavro::test::FakeMapHost>(c, 18);
    view->initDelegate(gone);
  }
  ASSERT_TRUE(view->delegate());
  EXPECT_EQ(view->rectForMapRect({{1, 2}, {3, 4}}), Rect(0, 0, 1, 1));
  EXPECT_EQ(view->pointForMapPoint(c), (platform::Point{0, 0}));

  auto map = std::make_shared<kavro::test::FakeMapHost>(c, 17);
  view->initDelegate(map);
  view->setLineWidth(3);
  view->setFrame(map->convertMapRect(view->boundingMapRect(), map.get()));
  // The bounds grow by the line width around the frame.
  EXPECT_EQ(view->bounds(), Rect(-3, -3, 50 + 6, 0 + 6));
  // A level line is given a point of height.
  view->setNeedsDisplayInMapRect(view->boundingMapRect());
  EXPECT_EQ(view->lastInvalidRect(), Rect(-3, -3, 50 + 6, 1 + 6));
}

}  // namespace
