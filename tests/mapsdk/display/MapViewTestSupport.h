#pragma once
#include <memory>
#include <string>

#include "demo/MapFixtureServer.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/Environment.h"
#include "tests/platform/ui/UITest.h"
#include "tests/support/TempHome.h"

namespace kavro::test {

// A started map engine over the demo map service, and a 320 x 480 map view in the key window.
class MapViewTest : public UITest {
 protected:
  void SetUp() override {
    UITest::SetUp();
    platform::Environment::setMapHostUrl(server.hostUrl() + "/");
    manager = std::make_unique<mapsdk::GMKMapManager>();
    ASSERT_TRUE(manager->start({}));
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
    if (view) view->removeFromSuperview();
    view.reset();
    manager.reset();
    platform::Environment::setMapHostUrl("");
    UITest::TearDown();
  }

  // The engine's network threads answer in real time: waits for them run the loop on the real
  // clock, and the virtual one comes back after.
  struct RealClockWhile {
    explicit RealClockWhile(MapViewTest& test) : test(test) { test.loop().setClock(platform::Clock::real()); }
    ~RealClockWhile() {
      test.loop().setClock(std::shared_ptr<platform::Clock>(std::shared_ptr<void>{}, &test.clock()));
    }
    MapViewTest& test;
  };

  // Opens the map and waits until every tile of the window is drawn on it.
  bool OpenMap() {
    view = mapsdk::GMKMapView::create({0, 0, 320, 480});
    if (!view) return false;
    window->addSubview(view);
    return WaitForTiles();
  }
  // Until every needed street tile has its pixels, then until the view showed a drawing of them.
  bool WaitForTiles() {
    RealClockWhile real(*this);
    bool filled = runUntil(
        [&] {
          auto* control = gmengine::MapControlOfEngine();
          if (!control || control->StreetLayer().Needed().IsEmpty()) return false;
          for (const auto& tile : control->StreetLayer().Needed()) {
            if (!tile.data) return false;
          }
          return true;
        },
        20);
    return filled && RepaintShown();
  }
  // Asks for a repaint and waits (on the real clock) until the view shows a new picture.
  bool RepaintShown() {
    RealClockWhile real(*this);
    const std::shared_ptr<platform::Image> before = view->mapImageView().image();
    gmengine::MapControlOfEngine()->RequestRepaint();
    return NewPicture(before);
  }
  // Until (on the real clock) the view shows a picture other than before.
  bool NewPicture(const std::shared_ptr<platform::Image>& before) {
    RealClockWhile real(*this);
    return runUntil(
        [&] {
          const std::shared_ptr<platform::Image>& now = view->mapImageView().image();
          return now && now != before;
        },
        5);
  }
  // After a gesture: until the engine's repaint has put the canvas back home.
  bool Rest() {
    RealClockWhile real(*this);
    // The repaint may come at once (sent) or later (posted): either way it puts the canvas home.
    return runUntil(
        [&] {
          return view->scrollView().contentOffset() == (platform::Point{640, 960}) &&
                 view->scrollView().zoomScale() == 1;
        },
        5);
  }
  // A view's frame in the map view's points.
  platform::Rect OnMap(const platform::View& v) const {
    return view->convertRectFromView(v.frame(), v.superviewPointer());
  }
  int StreetLevel() const { return gmengine::MapControlOfEngine()->StreetLayer().Needed()[0].level; }
  mapsdk::CMapStatus& Status() { return gmengine::MapControlOfEngine()->Status(); }

  TempHome home;
  MapFixtureServer server;
  std::unique_ptr<mapsdk::GMKMapManager> manager;
  std::shared_ptr<mapsdk::GMKMapView> view;
};

// The region callbacks a map view made.
class RegionLog : public mapsdk::GMKMapViewDelegate {
 public:
  bool mapViewRegionWillChangeAnimated(mapsdk::GMKMapView&, bool animated) override {
    if (animated) ++willAnimated;
    return true;
  }
  bool mapViewRegionDidChangeAnimated(mapsdk::GMKMapView&, bool animated) override {
    if (animated) ended = true;
    return true;
  }
  int willAnimated = 0;
  bool ended = false;
};

}  // namespace kavro::test
