#include <gtest/gtest.h>

#include <memory>

#include "mapsdk/display/GMKCircleView.h"
#include "mapsdk/display/GMKPolygonView.h"
#include "mapsdk/display/GMKPolylineView.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "tests/mapsdk/annot/FakeMapHost.h"
#include "tests/support/Pixels.h"

using namespace mapsdk;

namespace {

using kavro::test::kBlue;
using kavro::test::kClear;
using kavro::test::kGreen;

// Overlay views at level 18 (a map unit a point) around the equator's origin meridian.
class OverlayColourTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::Screen::mainScreen().reset();
    map = std::make_shared<kavro::test::FakeMapHost>(center, 18);
  }

  void place(const std::shared_ptr<GMKOverlayView>& view) {
    view->initDelegate(map);
    view->setFrame(map->convertMapRect(view->boundingMapRect(), map.get()));
    map->addSubview(view);
  }
  // The view drawn into a context whose colours the caller chose, with the view's origin at
  // (20, 20) of a 200 x 200 picture.
  platform::Bitmap drawWithContextColours(const std::shared_ptr<GMKOverlayPathView>& view,
                                          platform::Color fill, platform::Color stroke) {
    place(view);
    platform::BitmapContext context({200, 200}, false, 1);
    context.setFillColor(fill);
    context.setStrokeColor(stroke);
    context.translateCTM(20, 20);
    view->drawMapRect(view->boundingMapRect(), 1, context);
    return context.bitmap();
  }

  GMKMapPoint center = GMKMapPointFromCoordinate({0, 0});
  std::shared_ptr<kavro::test::FakeMapHost> map;
};

TEST_F(OverlayColourTest, AnUnsetColourKeepsTheContextsColour) {
  // A circle with only a stroke set is filled in the context's colour, not left hollow.
  auto circle = GMKCircle::circleWithMapRect({{center.x - 30, center.y - 30}, {60, 60}});
  auto view = GMKCircleView::initWithOverlay(circle);
  ASSERT_TRUE(view);
  view->setStrokeColor(platform::Color::blue());
  view->setLineWidth(4);
  platform::Bitmap b = drawWithContextColours(view, platform::Color::green(), platform::Color::red());
  EXPECT_EQ(b.pixelAt(20 + 30, 20 + 30), kGreen);  // the middle
  EXPECT_EQ(b.pixelAt(20 + 30, 20), kBlue);        // the rim, in the colour that was set
  EXPECT_EQ(b.pixelAt(20 + 30, 20 - 6), kClear);   // outside

  // A clear fill keeps it hollow.
  auto hollow = GMKCircleView::initWithOverlay(circle);
  hollow->setFillColor(platform::Color::clear());
  hollow->setStrokeColor(platform::Color::blue());
  hollow->setLineWidth(4);
  b = drawWithContextColours(hollow, platform::Color::green(), platform::Color::red());
  EXPECT_EQ(b.pixelAt(20 + 30, 20 + 30), kClear);
  EXPECT_EQ(b.pixelAt(20 + 30, 20), kBlue);
}

TEST_F(OverlayColourTest, PolygonsAndPolylinesWithoutColoursDrawInTheContextsColours) {
  GMKMapPoint outer[] = {{center.x - 40, center.y - 40},
                         {center.x + 40, center.y - 40},
                         {center.x + 40, center.y + 40},
                         {center.x - 40, center.y + 40}};
  GMKMapPoint inner[] = {{center.x - 10, center.y - 10},
                         {center.x + 10, center.y - 10},
                         {center.x + 10, center.y + 10},
                         {center.x - 10, center.y + 10}};
  auto polygon = GMKPolygonView::initWithOverlay(
      GMKPolygon::polygonWithPoints(outer, 4, {GMKPolygon::polygonWithPoints(inner, 4)}));
  ASSERT_TRUE(polygon);
  polygon->setLineWidth(2);
  platform::Bitmap b = drawWithContextColours(polygon, platform::Color::green(), platform::Color::blue());
  EXPECT_EQ(b.pixelAt(20 + 15, 20 + 40), kGreen);  // in the ring
  EXPECT_EQ(b.pixelAt(20 + 40, 20 + 40), kClear);  // the hole stays a hole
  EXPECT_EQ(b.pixelAt(20 + 40, 20 + 30), kBlue);   // the hole's edge
  EXPECT_EQ(b.pixelAt(20, 20 + 40), kBlue);        // the outer edge

  GMKMapPoint pts[] = {{center.x - 40, center.y}, {center.x + 40, center.y}, {center.x + 40, center.y + 30}};
  auto line = GMKPolylineView::initWithOverlay(GMKPolyline::polylineWithPoints(pts, 3));
  ASSERT_TRUE(line);
  line->setLineWidth(4);
  b = drawWithContextColours(line, platform::Color::green(), platform::Color::blue());
  EXPECT_EQ(b.pixelAt(20 + 40, 20), kBlue);        // stroked in the context's stroke colour
  EXPECT_EQ(b.pixelAt(20 + 60, 20 + 10), kClear);  // and never filled
  EXPECT_EQ(b.pixelAt(20 + 40, 20 + 15), kClear);  // nor closed: its ends stay apart
}

}  // namespace
