#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mapsdk/display/GMKCircle.h"
#include "mapsdk/display/GMKCircleView.h"
#include "mapsdk/display/GMKGeometry.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "tests/mapsdk/display/MapViewTestSupport.h"

namespace kavro::test {
namespace {

using mapsdk::GMKMapRect;
using mapsdk::GMKMapSize;
using mapsdk::GMKMapView;
using platform::UIDriver;

// The region callbacks in the order they came.
class RegionCalls : public mapsdk::GMKMapViewDelegate {
 public:
  bool mapViewRegionWillChangeAnimated(GMKMapView&, bool animated) override {
    calls.push_back(animated ? "will YES" : "will NO");
    return true;
  }
  bool mapViewRegionDidChangeAnimated(GMKMapView&, bool animated) override {
    calls.push_back(animated ? "did YES" : "did NO");
    return true;
  }
  std::shared_ptr<mapsdk::GMKOverlayView> mapViewViewForOverlay(
      GMKMapView&, const std::shared_ptr<mapsdk::GMKOverlay>& overlay) override {
    return mapsdk::GMKCircleView::initWithOverlay(overlay);
  }
  std::vector<std::string> calls;
};

// Map views come out of archives, 320 x 480, while it lives.
struct RestoreMapViews {
  RestoreMapViews() {
    platform::KeyedUnarchiver::setClass(
        [](platform::KeyedUnarchiver& coder) -> platform::ObjectPtr {
          return GMKMapView::create({0, 0, 320, 480}, coder);
        },
        "GMKMapView");
  }
  ~RestoreMapViews() { platform::KeyedUnarchiver::setClass({}, "GMKMapView"); }
};

// --- Gestures on the canvas ------------------------------------------------------------------------

TEST_F(MapViewTest, TheMapLiesInTheMiddleOfACanvasFiveViewsWideThatADragCarries) {
  ASSERT_TRUE(OpenMap());
  platform::ScrollView& canvas = view->scrollView();
  EXPECT_EQ(canvas.frame(), (platform::Rect{0, 0, 320, 480}));
  EXPECT_EQ(canvas.contentSize(), (platform::Size{1600, 2400}));
  EXPECT_EQ(canvas.contentOffset(), (platform::Point{640, 960}));
  EXPECT_EQ(view->contentView().frame(), (platform::Rect{0, 0, 1600, 2400}));
  EXPECT_EQ(view->mapImageView().frame(), (platform::Rect{640, 960, 320, 480}));

  // A place 100 points left of the centre: dragging the map right by 100 brings it to the middle.
  RegionCalls calls;
  view->setDelegate(&calls);
  const mapsdk::CLLocationCoordinate2D west = view->convertPointToCoordinate({60, 240});
  ASSERT_TRUE(UIDriver::pan(*view, {100, 0}));
  EXPECT_EQ(calls.calls, (std::vector<std::string>{"will YES", "did YES"}));
  ASSERT_TRUE(Rest());
  const platform::Point p = view->convertCoordinateToPoint(west);
  EXPECT_NEAR(p.x, 160, 1);
  EXPECT_NEAR(p.y, 240, 1);
  view->setDelegate(nullptr);
}

TEST_F(MapViewTest, APinchAwayFromTheCentreKeepsThePointUnderTheFingers) {
  ASSERT_TRUE(OpenMap());
  // Fingers spread to twice their distance 100 points right of the centre.
  const mapsdk::CLLocationCoordinate2D under = view->convertPointToCoordinate({260, 240});
  ASSERT_TRUE(UIDriver::pinchAt({260, 240}, 2.0));
  EXPECT_EQ(Status().level, 13);
  ASSERT_TRUE(Rest());
  platform::Point p = view->convertCoordinateToPoint(under);
  EXPECT_NEAR(p.x, 260, 2);
  EXPECT_NEAR(p.y, 240, 2);

  // Pinched together to 0.3 above and left of the centre: two levels down, a quarter of the size.
  // The point in the middle at the end of the pinch becomes the centre, so the one under the
  // fingers comes a sixth nearer to it: 0.25 / 0.3 of its distance.
  const mapsdk::CLLocationCoordinate2D upper = view->convertPointToCoordinate({100, 120});
  ASSERT_TRUE(UIDriver::pinchAt({100, 120}, 0.3));
  EXPECT_EQ(Status().level, 11);
  ASSERT_TRUE(Rest());
  p = view->convertCoordinateToPoint(upper);
  EXPECT_NEAR(p.x, 160 - 60 * 0.25 / 0.3, 2);
  EXPECT_NEAR(p.y, 240 - 120 * 0.25 / 0.3, 2);
}

TEST_F(MapViewTest, APinRidesTheCanvasThroughAPinchAndStaysOnItsPoint) {
  ASSERT_TRUE(OpenMap());
  auto place = std::make_shared<mapsdk::GMKPointAnnotation>();
  place->setCoordinate(view->convertPointToCoordinate({210, 200}));
  view->addAnnotation(place);
  runFor(0);  // shown when the turn ends
  auto pin = view->viewForAnnotation(place);
  ASSERT_TRUE(pin);
  const platform::Size size = pin->frame().size;
  auto foot = [&] {
    const platform::Rect f = OnMap(*pin);
    return platform::Point{f.x() + f.width() / 2, f.maxY()};
  };
  EXPECT_NEAR(foot().x, 210, 1);
  EXPECT_NEAR(foot().y, 200, 1);
  // Spread about the centre: the pin's point goes twice as far out, the pin keeps its size.
  ASSERT_TRUE(UIDriver::pinch(*view, 2.0));
  EXPECT_NEAR(foot().x, 260, 1);
  EXPECT_NEAR(foot().y, 160, 1);
  EXPECT_EQ(pin->frame().size, size);
  // One level up, drawn anew: it stays there.
  ASSERT_TRUE(Rest());
  EXPECT_NEAR(foot().x, 260, 1);
  EXPECT_NEAR(foot().y, 160, 1);
}

TEST_F(MapViewTest, ZoomingSwitchedOffTakesNoPinchAndSwitchedOnWaitsForTheNextPicture) {
  ASSERT_TRUE(OpenMap());
  view->setZoomEnabled(false);
  EXPECT_FALSE(view->isZoomEnabled());
  EXPECT_FALSE(UIDriver::pinch(*view, 2.0));
  EXPECT_EQ(Status().level, 12);
  ASSERT_TRUE(RepaintShown());
  EXPECT_FALSE(UIDriver::pinch(*view, 2.0));

  view->setZoomEnabled(true);
  EXPECT_FALSE(UIDriver::pinch(*view, 2.0));
  ASSERT_TRUE(RepaintShown());
  ASSERT_TRUE(UIDriver::pinch(*view, 2.0));
  EXPECT_EQ(Status().level, 13);

  // Scrolling switched off: a drag moves nothing.
  ASSERT_TRUE(Rest());
  view->setScrollEnabled(false);
  const int x0 = Status().centerX;
  UIDriver::pan(*view, {-100, 0});
  EXPECT_EQ(Status().centerX, x0);
}

// --- The visible rect, regions and conversions -------------------------------------------------

TEST_F(MapViewTest, AnAnimatedVisibleRectZoomsTheCanvasFirstAndTheEngineFollows) {
  ASSERT_TRUE(OpenMap());
  RegionCalls calls;
  view->setDelegate(&calls);
  // The middle quarter of what is shown: one level up.
  const GMKMapRect shown = view->visibleMapRect();
  const GMKMapRect quarter{{shown.origin.x + shown.size.width / 4, shown.origin.y + shown.size.height / 4},
                           {shown.size.width / 2, shown.size.height / 2}};
  view->setVisibleMapRect(quarter, true);
  EXPECT_TRUE(calls.calls.empty());
  EXPECT_EQ(Status().level, 12);
  EXPECT_DOUBLE_EQ(view->scrollView().zoomScale(), 2);
  runFor(platform::ScrollView::ScrollAnimationDuration);
  EXPECT_EQ(Status().level, 13);
  EXPECT_EQ(calls.calls, (std::vector<std::string>{"did YES"}));

  // Without animation at once, told before and after.
  ASSERT_TRUE(Rest());
  calls.calls.clear();
  view->setVisibleMapRect(shown);
  EXPECT_EQ(Status().level, 12);
  EXPECT_EQ(calls.calls, (std::vector<std::string>{"will NO", "did NO"}));
  view->setDelegate(nullptr);
}

TEST_F(MapViewTest, FitsWithEdgePaddingChooseTheLevelThatHoldsTheRectWithinTheInsets) {
  ASSERT_TRUE(OpenMap());
  const mapsdk::GMKMapPoint c = mapsdk::GMKMapPointFromCoordinate(view->centerCoordinate());
  // 300 by 300 map units: at one unit a point the view holds it.
  const GMKMapRect rect{{c.x - 150, c.y - 150}, {300, 300}};
  GMKMapRect fit = view->mapRectThatFits(rect);
  EXPECT_NEAR(fit.size.width, 320, 1);
  EXPECT_NEAR(fit.size.height, 480, 1);
  EXPECT_NEAR(fit.origin.x + fit.size.width / 2, c.x, 1);
  EXPECT_NEAR(fit.origin.y + fit.size.height / 2, c.y, 1);
  // Within 20 points a side less it does not fit: twice the units a point.
  fit = view->mapRectThatFits(rect, {0, 20, 0, 20});
  EXPECT_NEAR(fit.size.width, 640, 1);
  EXPECT_NEAR(fit.size.height, 960, 1);
  // Nor under 100 points top and bottom.
  fit = view->mapRectThatFits(rect, {100, 0, 100, 0});
  EXPECT_NEAR(fit.size.width, 640, 1);
  // Exactly as wide, or exactly as high, as the view's points holds at one unit a point; a unit more
  // does not.
  for (const GMKMapSize size : {GMKMapSize{320, 100}, GMKMapSize{100, 480}}) {
    const GMKMapRect edge{{c.x - size.width / 2, c.y - size.height / 2}, size};
    EXPECT_NEAR(view->mapRectThatFits(edge).size.width, 320, 1) << size.width << " x " << size.height;
    const GMKMapRect over{
        edge.origin, {size.width + (size.width > 300 ? 2 : 0), size.height + (size.height > 300 ? 2 : 0)}};
    EXPECT_NEAR(view->mapRectThatFits(over).size.width, 640, 1) << size.width << " x " << size.height;
  }

  // 700 units: halved twice it fits 320 points, thrice 160; the engine's 640 pixels show 1,280
  // units at level 17 and 2,560 at 16.
  const GMKMapRect wide{{c.x - 350, c.y - 350}, {700, 700}};
  view->setVisibleMapRect(wide, {}, false);
  EXPECT_EQ(view->zoomLevel(), 17);
  view->setVisibleMapRect(wide, {0, 80, 0, 80}, false);
  EXPECT_EQ(view->zoomLevel(), 16);
  EXPECT_NEAR(view->visibleMapRect().origin.x + view->visibleMapRect().size.width / 2, c.x, 2 * Status().upp);
}

TEST_F(MapViewTest, RegionsAndRectsConvertToTheViewAndBack) {
  ASSERT_TRUE(OpenMap());
  const GMKMapRect shown = view->visibleMapRect();
  platform::Rect r = view->convertMapRect(shown, view.get());
  EXPECT_NEAR(r.x(), 0, 1);
  EXPECT_NEAR(r.y(), 0, 1);
  EXPECT_NEAR(r.width(), 320, 1);
  EXPECT_NEAR(r.height(), 480, 1);
  // Into another view's coordinates: the window's, the map 50 points down.
  view->setFrame({0, 50, 320, 480});
  ASSERT_TRUE(WaitForTiles());
  r = view->convertRegion(view->region(), nullptr);
  EXPECT_NEAR(r.y(), 50, 2);
  EXPECT_NEAR(r.height(), 480, 2);
  // A rect without width keeps none.
  r = view->convertMapRect({shown.origin, {0, 1000}}, view.get());
  EXPECT_EQ(r.width(), 0);
  EXPECT_GT(r.height(), 0);

  // The view's own rect is the visible map rect; its left half is half of it.
  const GMKMapRect back = view->convertRectToMapRect(view->bounds(), view.get());
  EXPECT_NEAR(back.size.width, view->visibleMapRect().size.width, 2 * Status().upp);
  const mapsdk::GMKCoordinateRegion left = view->convertRectToRegion({0, 0, 160, 480}, view.get());
  EXPECT_NEAR(left.span.longitudeDelta, view->region().span.longitudeDelta / 2, 1e-4);
  EXPECT_LT(left.center.longitude, view->centerCoordinate().longitude);
}

// --- Saving and restoring ----------------------------------------------------------------------------

TEST_F(MapViewTest, ASavedMapViewComesBackWithItsRectTypeAndLocationSwitch) {
  ASSERT_TRUE(OpenMap());
  view->setZoomLevel(14);
  view->setMapType(mapsdk::GMKMapTypeSatellite);
  view->setShowsUserLocation(true);
  const GMKMapRect saved = view->visibleMapRect();
  RestoreMapViews restore;
  const platform::Data archive = platform::KeyedArchiver::archivedDataWithRootObject(platform::Value(view));
  ASSERT_FALSE(archive.empty());

  // Elsewhere meanwhile.
  view->setZoomLevel(5);
  view->setMapType(mapsdk::GMKMapTypeStandard);
  view->setShowsUserLocation(false);
  view->removeFromSuperview();
  view.reset();

  std::optional<platform::Value> restored = platform::KeyedUnarchiver::unarchiveObjectWithData(archive);
  ASSERT_TRUE(restored);
  view = std::dynamic_pointer_cast<GMKMapView>(restored->objectValue());
  ASSERT_TRUE(view);
  EXPECT_EQ(view->zoomLevel(), 14);
  EXPECT_NEAR(view->visibleMapRect().origin.x, saved.origin.x, 2 * Status().upp);
  EXPECT_NEAR(view->visibleMapRect().origin.y, saved.origin.y, 2 * Status().upp);
  EXPECT_EQ(view->mapType(), mapsdk::GMKMapTypeSatellite);
  EXPECT_TRUE(view->showsUserLocation());
  view->setShowsUserLocation(false);
}

TEST_F(MapViewTest, AMapViewFromACoderWithoutItsKeysKeepsTheDefaults) {
  RestoreMapViews restore;
  // An archive of another map view's class name whose rect is not four numbers long.
  class Foreign : public platform::Object, public platform::Coding {
   public:
    std::string classForCoder() const override { return "GMKMapView"; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override {
      coder.encodeBytes(platform::Data(31, 0), "MapRect");
    }
  };
  const platform::Data archive =
      platform::KeyedArchiver::archivedDataWithRootObject(platform::Value(std::make_shared<Foreign>()));
  std::optional<platform::Value> restored = platform::KeyedUnarchiver::unarchiveObjectWithData(archive);
  ASSERT_TRUE(restored);
  view = std::dynamic_pointer_cast<GMKMapView>(restored->objectValue());
  ASSERT_TRUE(view);
  EXPECT_EQ(view->zoomLevel(), 12);
  EXPECT_EQ(view->mapType(), mapsdk::GMKMapTypeStandard);
  EXPECT_FALSE(view->showsUserLocation());
}

// --- The logo ------------------------------------------------------------------------------------------

TEST_F(MapViewTest, TheLogoStandsInTheBottomLeftCornerOverTheMap) {
  ASSERT_TRUE(OpenMap());
  platform::ImageView& logo = view->logoView();
  ASSERT_TRUE(logo.image());
  const platform::Size size = logo.image()->size();
  EXPECT_EQ(logo.frame(), (platform::Rect{4, 480 - size.height - 4, size.width, size.height}));
  EXPECT_EQ(view->subviews().back().get(), &logo);
  // Its blue mark over the streets; the map keeps the bottom left for it after a new size too.
  auto image = platform::Snapshot::imageOfView(*view, 2);
  const platform::Point mark{logo.frame().x() + 7, logo.frame().y() + 7};
  EXPECT_EQ(image->bitmap()->pixelAt(static_cast<int>(2 * mark.x), static_cast<int>(2 * mark.y)),
            (platform::Pixel{0x2E, 0x6F, 0xE0, 255}));
  view->setFrame({0, 0, 320, 400});
  EXPECT_EQ(logo.frame().maxY(), 396);
}

// --- Overlays and annotations ------------------------------------------------------------------------

TEST_F(MapViewTest, OverlaysAreInsertedAndExchangedInTheirDrawingOrder) {
  ASSERT_TRUE(OpenMap());
  RegionCalls delegate;
  view->setDelegate(&delegate);
  const mapsdk::CLLocationCoordinate2D at = view->centerCoordinate();
  auto circle = [&](double metres) { return mapsdk::GMKCircle::circleWithCenterCoordinate(at, metres); };
  auto a = circle(100), b = circle(200), c = circle(300), d = circle(400), stranger = circle(500);
  view->addOverlays({a, b});
  view->insertOverlay(c, 0);
  view->insertOverlayAboveOverlay(d, c);
  EXPECT_EQ(view->overlays(), (std::vector<std::shared_ptr<mapsdk::GMKOverlay>>{c, d, a, b}));
  view->exchangeOverlayAtIndex(0, 3);
  EXPECT_EQ(view->overlays(), (std::vector<std::shared_ptr<mapsdk::GMKOverlay>>{b, d, a, c}));
  view->insertOverlayBelowOverlay(stranger, a);
  EXPECT_EQ(view->overlays(), (std::vector<std::shared_ptr<mapsdk::GMKOverlay>>{b, d, stranger, a, c}));
  runFor(0);
  // The views are drawn in that order, the last on top.
  std::vector<const platform::View*> drawn;
  for (const auto& sub : view->mapImageView().subviews()) drawn.push_back(sub.get());
  std::vector<const platform::View*> expected;
  for (const auto& o : view->overlays()) expected.push_back(view->viewForOverlay(o).get());
  EXPECT_EQ(drawn, expected);

  // Beyond the list: no exchange; an insert appends; a sibling not in the list takes none, yet the
  // map repaints.
  view->exchangeOverlayAtIndex(1, 5);
  EXPECT_EQ(view->overlays()[1], d);
  view->removeOverlays({stranger, c});
  view->insertOverlay(c, 99);
  EXPECT_EQ(view->overlays().back(), c);
  const std::shared_ptr<platform::Image> before = view->mapImageView().image();
  view->insertOverlayAboveOverlay(stranger, circle(600));
  EXPECT_EQ(view->overlays().size(), 4u);
  EXPECT_TRUE(NewPicture(before));
  view->setDelegate(nullptr);
}

TEST_F(MapViewTest, EveryRemovedViewWithAnIdentifierWaitsForReuse) {
  ASSERT_TRUE(OpenMap());
  std::vector<std::shared_ptr<mapsdk::GMKAnnotation>> places;
  for (int i = 0; i < 60; ++i) {
    auto place = std::make_shared<mapsdk::GMKPointAnnotation>();
    place->setCoordinate(view->convertPointToCoordinate({20.0 + 4 * i, 200}));
    places.push_back(place);
  }
  view->addAnnotations(places);
  runFor(0);
  for (const auto& place : places) ASSERT_TRUE(view->viewForAnnotation(place));
  view->removeAnnotations(places);
  // The first 50 wait; the queue keeps no more, whatever took the views off.
  int reused = 0;
  while (view->dequeueReusableAnnotationViewWithIdentifier("pin_red")) ++reused;
  EXPECT_EQ(reused, 50);
}

TEST_F(MapViewTest, TheUserLocationIsVisibleOnlyWhileItIsShownAndOnTheMap) {
  ASSERT_TRUE(OpenMap());
  EXPECT_FALSE(view->isUserLocationVisible());
  view->setShowsUserLocation(true);
  // Not located yet.
  EXPECT_FALSE(view->isUserLocationVisible());
  view->setShowsUserLocation(false);
}

}  // namespace
}  // namespace kavro::test
