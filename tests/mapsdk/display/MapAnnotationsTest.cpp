#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mapsdk/display/ActionPaopaoView.h"
#include "mapsdk/display/GMKCircle.h"
#include "mapsdk/display/GMKCircleView.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/GMKPinAnnotationView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "mapsdk/display/LocationBlock.h"
#include "mapsdk/display/LocationSources.h"
#include "platform/foundation/Dictionary.h"
#include "platform/location/LocationManager.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "tests/mapsdk/display/MapViewTestSupport.h"

namespace kavro::test {
namespace {

using mapsdk::GMKAnnotation;
using mapsdk::GMKAnnotationView;
using mapsdk::GMKMapView;
using mapsdk::GMKPointAnnotation;

// What a map view told about its annotations and overlays.
class AnnotationLog : public mapsdk::GMKMapViewDelegate {
 public:
  bool mapViewDidSelectAnnotationView(GMKMapView&, GMKAnnotationView& view) override {
    selected.push_back(view.annotation() ? view.annotation()->title().value_or("") : "?");
    return true;
  }
  bool mapViewDidDeselectAnnotationView(GMKMapView&, GMKAnnotationView&) override {
    ++deselected;
    return true;
  }
  bool mapViewAnnotationViewForBubble(GMKMapView&, GMKAnnotationView&) override {
    ++bubbleTaps;
    return true;
  }
  bool mapViewDidAddAnnotationViews(GMKMapView&,
                                    const std::vector<std::shared_ptr<GMKAnnotationView>>& v) override {
    added += static_cast<int>(v.size());
    return true;
  }
  std::shared_ptr<GMKAnnotationView> mapViewViewForAnnotation(
      GMKMapView&, const std::shared_ptr<GMKAnnotation>& a) override {
    if (a->title() != "dropped") return nullptr;
    auto pin = std::make_shared<mapsdk::GMKPinAnnotationView>(a, "drop");
    pin->setAnimatesDrop(true);
    return pin;
  }
  std::shared_ptr<mapsdk::GMKOverlayView> mapViewViewForOverlay(
      GMKMapView&, const std::shared_ptr<mapsdk::GMKOverlay>& overlay) override {
    auto view = mapsdk::GMKCircleView::initWithOverlay(overlay);
    if (view) view->setFillColor(platform::Color::rgba(0, 0, 1, 1));
    return view;
  }
  bool mapViewDidUpdateUserLocation(GMKMapView&, mapsdk::GMKUserLocation&) override {
    ++located;
    return true;
  }
  bool mapViewDidFailToLocateUserWithError(GMKMapView&, const platform::Error& error) override {
    failures.push_back(error.code);
    return true;
  }
  std::vector<std::string> selected;
  std::vector<std::int64_t> failures;
  int located = 0;
  int deselected = 0;
  int bubbleTaps = 0;
  int added = 0;
};

std::shared_ptr<GMKPointAnnotation> Place(mapsdk::CLLocationCoordinate2D at, const std::string& title) {
  auto a = std::make_shared<GMKPointAnnotation>();
  a->setCoordinate(at);
  a->setTitle(title);
  return a;
}

class MapAnnotationsTest : public MapViewTest {
 protected:
  void TearDown() override {
    MapViewTest::TearDown();
    platform::LocationDevice::reset();
  }
  // A pin at the map's centre and one 60 points right of it and 100 up.
  void AddPins() {
    view->setDelegate(&log);
    centre = Place(view->centerCoordinate(), "centre");
    east = Place(view->convertPointToCoordinate({220, 140}), "east");
    view->addAnnotations({centre, east});
    runFor(0);  // the turn ends: the map shows them
  }
  AnnotationLog log;
  std::shared_ptr<GMKPointAnnotation> centre, east;
};

TEST_F(MapAnnotationsTest, PinsStandOnTheirPointsInTheMapsPicture) {
  ASSERT_TRUE(OpenMap());
  AddPins();
  auto pin = view->viewForAnnotation(centre);
  ASSERT_TRUE(pin);
  EXPECT_TRUE(std::dynamic_pointer_cast<mapsdk::GMKPinAnnotationView>(pin));
  EXPECT_EQ(pin->reuseIdentifier(), "pin_red");
  EXPECT_EQ(log.added, 2);
  // The pin's foot on the centre point (the bottom middle of its picture).
  const platform::Rect f = OnMap(*pin);
  EXPECT_NEAR(f.x() + f.width() / 2, 160, 1);
  EXPECT_NEAR(f.maxY(), 240, 1);
  auto other = view->viewForAnnotation(east);
  ASSERT_TRUE(other);
  EXPECT_NEAR(OnMap(*other).x() + other->frame().width() / 2, 220, 1);
  EXPECT_NEAR(OnMap(*other).maxY(), 140, 1);

  // The picture shows the pin's own pixels where it stands.
  auto image = platform::Snapshot::imageOfView(*view, 2);
  ASSERT_TRUE(image && pin->image() && pin->image()->bitmap());
  const platform::Bitmap& pinBitmap = *pin->image()->bitmap();
  const int px = pinBitmap.width() / 2, py = pinBitmap.height() / 4;
  ASSERT_EQ(pinBitmap.pixelAt(px, py).a, 255);
  EXPECT_EQ(image->bitmap()->pixelAt(static_cast<int>(2 * f.x()) + px, static_cast<int>(2 * f.y()) + py),
            pinBitmap.pixelAt(px, py));

  // A pan moves the pins with the map; a removed pin leaves the picture.
  ASSERT_TRUE(platform::UIDriver::pan(*view, {-100, 0}));
  ASSERT_TRUE(WaitForTiles());
  EXPECT_NEAR(OnMap(*view->viewForAnnotation(centre)).x() + f.width() / 2, 60, 1);
  view->removeAnnotation(east);
  EXPECT_FALSE(view->viewForAnnotation(east));
  EXPECT_FALSE(other->superviewPointer());
  EXPECT_EQ(view->annotations().size(), 1u);
  // Its view waits in the reuse queue for the next pin.
  EXPECT_EQ(view->dequeueReusableAnnotationViewWithIdentifier("pin_red"), other);
  EXPECT_FALSE(view->dequeueReusableAnnotationViewWithIdentifier("pin_red"));
}

TEST_F(MapAnnotationsTest, TappingAPinOpensItsBubbleAndTellsTheDelegate) {
  ASSERT_TRUE(OpenMap());
  AddPins();
  auto pin = view->viewForAnnotation(east);
  ASSERT_TRUE(pin);
  ASSERT_TRUE(platform::UIDriver::tap(*pin));
  runFor(0.5);
  ASSERT_EQ(log.selected, std::vector<std::string>{"east"});
  EXPECT_TRUE(pin->isSelected());
  auto bubble = std::dynamic_pointer_cast<mapsdk::ActionPaopaoView>(pin->paopaoView());
  ASSERT_TRUE(bubble);
  ASSERT_TRUE(bubble->superviewPointer());
  // The bubble's bottom middle on the pin's top middle.
  EXPECT_NEAR(bubble->frame().x() + bubble->frame().width() / 2, pin->frame().x() + pin->frame().width() / 2,
              1);
  EXPECT_NEAR(bubble->frame().maxY(), pin->frame().y(), 1);

  // A repaint keeps the bubble open without telling the delegate again.
  gmengine::MapControlOfEngine()->RequestRepaint();
  ASSERT_TRUE(WaitForTiles());
  EXPECT_TRUE(pin->isSelected());
  EXPECT_TRUE(bubble->superviewPointer());
  EXPECT_EQ(log.selected.size(), 1u);

  // Selecting the other pin closes the first bubble.
  view->selectAnnotation(centre);
  EXPECT_FALSE(pin->isSelected());
  EXPECT_FALSE(bubble->superviewPointer());
  EXPECT_EQ(log.deselected, 1);
  EXPECT_EQ(log.selected.back(), "centre");

  // Tapping the body of the open bubble closes it and hands its pin to the delegate.
  auto centreBubble =
      std::dynamic_pointer_cast<mapsdk::PaopaoBaseView>(view->viewForAnnotation(centre)->paopaoView());
  ASSERT_TRUE(centreBubble);
  centreBubble->onClickContentButton();
  EXPECT_EQ(log.bubbleTaps, 1);
  EXPECT_EQ(log.deselected, 2);
  EXPECT_FALSE(centreBubble->superviewPointer());
}

TEST_F(MapAnnotationsTest, ADroppingPinEndsOnItsPlace) {
  ASSERT_TRUE(OpenMap());
  view->setDelegate(&log);
  auto dropped = Place(view->centerCoordinate(), "dropped");
  view->addAnnotation(dropped);
  runFor(0);
  auto pin = std::dynamic_pointer_cast<mapsdk::GMKPinAnnotationView>(view->viewForAnnotation(dropped));
  ASSERT_TRUE(pin);
  EXPECT_TRUE(pin->animatesDrop());
  EXPECT_EQ(pin->reuseIdentifier(), "drop");
  runFor(1.5);
  EXPECT_NEAR(OnMap(*pin).maxY(), 240, 1);
}

TEST_F(MapAnnotationsTest, AnAnnotationWithoutATitleIsSelectedWithoutABubble) {
  ASSERT_TRUE(OpenMap());
  view->setDelegate(&log);
  auto plain = Place(view->centerCoordinate(), "");
  plain->setTitle(std::nullopt);
  view->addAnnotation(plain);
  runFor(0);
  auto pin = view->viewForAnnotation(plain);
  ASSERT_TRUE(pin);
  view->selectAnnotation(plain);
  EXPECT_TRUE(pin->isSelected());
  EXPECT_FALSE(pin->paopaoView());
  EXPECT_TRUE(log.selected.empty());
}

TEST_F(MapAnnotationsTest, AnOverlayCircleIsDrawnOverTheMapAndLeavesWhenRemoved) {
  ASSERT_TRUE(OpenMap());
  view->setDelegate(&log);
  // 40 points (80 engine pixels) across at this level: map units are Mercator metres.
  const mapsdk::CLLocationCoordinate2D at = view->convertPointToCoordinate({100, 100});
  const double metres = 40.0 * Status().upp * std::cos(at.latitude * M_PI / 180);
  auto circle = mapsdk::GMKCircle::circleWithCenterCoordinate(at, metres);
  view->addOverlay(circle);
  runFor(0);
  auto overlayView = view->viewForOverlay(circle);
  ASSERT_TRUE(overlayView);
  EXPECT_NEAR(overlayView->frame().width(), 40, 3);
  auto image = platform::Snapshot::imageOfView(*view, 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->bitmap()->pixelAt(200, 200), (platform::Pixel{0, 0, 255, 255}));
  EXPECT_NE(image->bitmap()->pixelAt(200, 260), (platform::Pixel{0, 0, 255, 255}));

  view->removeOverlay(circle);
  EXPECT_FALSE(view->viewForOverlay(circle));
  image = platform::Snapshot::imageOfView(*view, 2);
  EXPECT_NE(image->bitmap()->pixelAt(200, 200), (platform::Pixel{0, 0, 255, 255}));
}

TEST_F(MapAnnotationsTest, EachChangeIsLaidOutWithinItsCallAndThePictureIsDrawnOncePerTurn) {
  ASSERT_TRUE(OpenMap());
  view->setDelegate(&log);
  // The pictures the map view drew for its own changes (not for the engine's draws, which the
  // engine window announces in its own name).
  int pictures = 0, engineDraws = 0, engineDrawsSeen = 0;
  platform::NotificationCenter::defaultCenter().addObserver(
      gmengine::kNotificationMainMapPaint, nullptr,
      [&](const platform::Notification& note) { engineDraws += note.object ? 1 : 0; }, this);
  std::shared_ptr<platform::Image> shown = view->mapImageView().getMapImage();
  auto countPicture = [&] {
    if (view->mapImageView().getMapImage() != shown && engineDraws == engineDrawsSeen) ++pictures;
    shown = view->mapImageView().getMapImage();
    engineDrawsSeen = engineDraws;
  };
  centre = Place(view->centerCoordinate(), "centre");
  east = Place(view->convertPointToCoordinate({220, 140}), "east");
  auto gone = Place(view->convertPointToCoordinate({100, 300}), "gone");
  auto dropped = Place(view->convertPointToCoordinate({160, 400}), "dropped");
  const mapsdk::CLLocationCoordinate2D at = view->convertPointToCoordinate({100, 100});
  auto circle = mapsdk::GMKCircle::circleWithCenterCoordinate(
      at, 40.0 * Status().upp * std::cos(at.latitude * M_PI / 180));
  // Each call lays out what it changed before it returns, and the delegate hears of each view
  // within the call that made it.
  view->addAnnotation(centre);
  auto pin = view->viewForAnnotation(centre);
  ASSERT_TRUE(pin);
  EXPECT_EQ(pin->superviewPointer(), &view->scrollView());
  EXPECT_EQ(log.added, 1);
  const platform::Rect placed = OnMap(*pin);
  EXPECT_NEAR(placed.maxY(), 240, 1);
  // A select right after an add selects.
  view->selectAnnotation(centre);
  EXPECT_TRUE(pin->isSelected());
  EXPECT_EQ(log.selected, std::vector<std::string>{"centre"});
  view->addAnnotation(gone);
  EXPECT_EQ(log.added, 2);
  view->addAnnotation(dropped);
  EXPECT_EQ(log.added, 3);
  auto falling = view->viewForAnnotation(dropped);
  ASSERT_TRUE(falling);
  view->addOverlay(circle);
  EXPECT_TRUE(view->viewForOverlay(circle));
  view->addAnnotation(east);
  EXPECT_EQ(log.added, 4);
  // The selected pin's bubble stays on top of the pins that came after it.
  ASSERT_TRUE(pin->paopaoView());
  EXPECT_EQ(view->scrollView().subviews().back(), pin->paopaoView());
  auto goneView = view->viewForAnnotation(gone);
  view->removeAnnotations({gone, dropped});
  EXPECT_FALSE(view->viewForAnnotation(gone));
  EXPECT_FALSE(goneView->superviewPointer());
  EXPECT_FALSE(falling->superviewPointer());
  EXPECT_EQ(view->annotations(), (std::vector<std::shared_ptr<GMKAnnotation>>{centre, east}));
  countPicture();
  EXPECT_EQ(pictures, 0);  // the picture waits for the end of the turn
  runFor(0);
  countPicture();
  EXPECT_EQ(pictures, 1);
  EXPECT_EQ(log.added, 4);
  EXPECT_EQ(OnMap(*pin), placed);
  // What the turn drew is what a repaint of everything draws, and that repaint makes nothing anew.
  auto once = platform::Snapshot::imageOfView(*view, 2);
  const std::vector<std::shared_ptr<platform::View>> order = view->scrollView().subviews();
  view->setNeedsDisplay();
  auto again = platform::Snapshot::imageOfView(*view, 2);
  ASSERT_TRUE(once && again);
  EXPECT_TRUE(*once->bitmap() == *again->bitmap());
  EXPECT_EQ(view->scrollView().subviews(), order);
  EXPECT_EQ(OnMap(*pin), placed);
  EXPECT_EQ(log.added, 4);
  EXPECT_EQ(log.selected, std::vector<std::string>{"centre"});
  EXPECT_EQ(log.deselected, 0);
  shown = view->mapImageView().getMapImage();  // that repaint's picture is not a turn's
  engineDrawsSeen = engineDraws;

  // Many taken off at once: their views wait for reuse at once, one picture for the turn.
  view->removeAnnotations({centre, east});
  EXPECT_EQ(log.deselected, 1);
  view->removeOverlays({circle});
  EXPECT_FALSE(view->viewForOverlay(circle));
  EXPECT_TRUE(view->annotations().empty());
  EXPECT_TRUE(view->overlays().empty());
  EXPECT_EQ(view->dequeueReusableAnnotationViewWithIdentifier("pin_red"), goneView);
  EXPECT_TRUE(view->dequeueReusableAnnotationViewWithIdentifier("pin_red"));
  EXPECT_TRUE(view->dequeueReusableAnnotationViewWithIdentifier("pin_red"));
  EXPECT_FALSE(view->dequeueReusableAnnotationViewWithIdentifier("pin_red"));
  runFor(0);
  countPicture();
  EXPECT_EQ(pictures, 2);
  // A turn that changed nothing draws nothing.
  runFor(0);
  countPicture();
  EXPECT_EQ(pictures, 2);
  // A pin added alone drops onto its place.
  view->addAnnotation(dropped);
  falling = view->viewForAnnotation(dropped);
  ASSERT_TRUE(falling);
  runFor(1.5);
  EXPECT_NEAR(OnMap(*falling).maxY(), 400, 1);
}

TEST_F(MapAnnotationsTest, TheReuseQueueHoldsAtMostFiftyViewsWhateverTakesThemOff) {
  ASSERT_TRUE(OpenMap());
  // Pages of 20 pins replaced one after another, as the job map does, none of their views taken
  // back: the queue stops at 50.
  for (int page = 0; page < 4; ++page) {
    std::vector<std::shared_ptr<GMKAnnotation>> pins;
    for (int i = 0; i < 20; ++i)
      pins.push_back(Place(view->convertPointToCoordinate({10.0 + 15 * i, 20.0 + 100 * page}), "p"));
    view->addAnnotations(pins);
    view->removeAnnotations(std::vector(view->annotations()));
    EXPECT_EQ(view->internal().reuseQueue.size(), std::min<std::size_t>(20 * (page + 1), 50)) << page;
  }
  int dequeued = 0;
  while (view->dequeueReusableAnnotationViewWithIdentifier("pin_red")) ++dequeued;
  EXPECT_EQ(dequeued, 50);
}

// What a map view told its delegate, in order, and the views it stood.
class EventLog : public mapsdk::GMKMapViewDelegate {
 public:
  static std::string Name(const GMKAnnotationView& v) {
    return v.annotation() ? v.annotation()->title().value_or("-") : "?";
  }
  std::shared_ptr<GMKAnnotationView> mapViewViewForAnnotation(
      GMKMapView& map, const std::shared_ptr<GMKAnnotation>& a) override {
    const std::string title = a->title().value_or("-");
    events.push_back("view " + title);
    // Some come from the reuse queue, some are the map's own pin.
    if (title.size() % 2 == 0) return nullptr;
    auto v = map.dequeueReusableAnnotationViewWithIdentifier("custom");
    if (v) {
      v->setAnnotation(a);
      return v;
    }
    return std::make_shared<mapsdk::GMKPinAnnotationView>(a, "custom");
  }
  bool mapViewDidAddAnnotationViews(GMKMapView&,
                                    const std::vector<std::shared_ptr<GMKAnnotationView>>& views) override {
    std::string e = "added";
    for (const auto& v : views) e += " " + Name(*v);
    events.push_back(e);
    return true;
  }
  bool mapViewDidSelectAnnotationView(GMKMapView&, GMKAnnotationView& v) override {
    events.push_back("select " + Name(v));
    return true;
  }
  bool mapViewDidDeselectAnnotationView(GMKMapView&, GMKAnnotationView& v) override {
    events.push_back("deselect " + Name(v));
    return true;
  }
  std::vector<std::string> events;
};

// The canvas's views from back to front: pins by their annotation's title, bubbles by their pin's.
std::vector<std::string> Canvas(const GMKMapView& map) {
  std::vector<std::string> out;
  for (const auto& v : map.scrollView().subviews()) {
    if (auto pin = std::dynamic_pointer_cast<GMKAnnotationView>(v)) {
      const platform::Rect f = pin->frame();
      out.push_back("pin " + EventLog::Name(*pin) + " " + std::to_string(f.x()) + "," +
                    std::to_string(f.y()) + (pin->isSelected() ? " selected" : ""));
    } else if (std::dynamic_pointer_cast<mapsdk::PaopaoBaseView>(v)) {
      const platform::Rect f = v->frame();
      out.push_back("bubble " + std::to_string(f.x()) + "," + std::to_string(f.y()));
    } else {
      out.push_back(v->className());
    }
  }
  return out;
}

// The map lays out only what a change touched while the rest stand as the last layout left them;
// checked against a map that lays out everything at every change, as a repaint does, over random
// changes, invalid ones included (removing a pin never added, adding one twice, selecting one
// without a view, second removals): the same answers, views, selections, order on the canvas,
// reuse queue and delegate calls in the same order.
TEST_F(MapAnnotationsTest, LayingOutWhatChangedAgreesWithLayingOutEverything) {
  ASSERT_TRUE(OpenMap());
  auto plain = GMKMapView::create({0, 0, 320, 480});
  ASSERT_TRUE(plain);
  plain->internal().setPlainLayout(true);
  EventLog fastLog, plainLog;
  view->setDelegate(&fastLog);
  plain->setDelegate(&plainLog);
  // Points on the map, two view sizes off it (still on the canvas) and far off the canvas; titles
  // of odd and even length (the delegate's view or the map's pin), some without one.
  std::vector<std::shared_ptr<GMKPointAnnotation>> pool;
  const platform::Point places[] = {{160, 240}, {20, 30},   {300, 470},   {-500, 100},
                                    {700, 900}, {160, 240}, {5000, 240},  {160, -4000},
                                    {90, 400},  {250, 60},  {-620, -950}, {100, 100}};
  for (std::size_t i = 0; i < std::size(places); ++i) {
    auto a = Place(view->convertPointToCoordinate(places[i]), std::string(i % 3 + 1, char('a' + i)));
    if (i == 11) a->setTitle(std::nullopt);
    pool.push_back(a);
  }
  std::vector<std::shared_ptr<GMKAnnotation>> all(pool.begin(), pool.end());
  auto both = [&](const auto& op) {
    op(*view);
    op(*plain);
  };
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    std::srand(seed);
    for (int step = 0; step < 250; ++step) {
      const auto& a = all[static_cast<std::size_t>(std::rand()) % all.size()];
      const auto& b = all[static_cast<std::size_t>(std::rand()) % all.size()];
      const int op = std::rand() % 12;
      std::string what;
      switch (op) {
        case 0:
        case 1:
        case 2:
          what = "add";
          both([&](GMKMapView& m) { m.addAnnotation(a); });
          break;
        case 3:
          what = "add two";
          both([&](GMKMapView& m) { m.addAnnotations({a, nullptr, b}); });
          break;
        case 4:
        case 5:
          what = "remove";
          both([&](GMKMapView& m) { m.removeAnnotation(a); });
          break;
        case 6:
          what = "remove two";
          both([&](GMKMapView& m) { m.removeAnnotations({b, a}); });
          break;
        case 7:
          what = "remove all";
          if (std::rand() % 3 == 0) both([&](GMKMapView& m) { m.removeAnnotations(m.annotations()); });
          break;
        case 8:
        case 9:
          what = "select";
          both([&](GMKMapView& m) { m.selectAnnotation(a); });
          break;
        case 10:
          what = "deselect";
          both([&](GMKMapView& m) { m.deselectAnnotation(a); });
          break;
        case 11:
          what = std::rand() % 2 ? "repaint" : "turn";
          if (what == "repaint")
            both([&](GMKMapView& m) { m.setNeedsDisplay(); });
          else
            runFor(0);
          break;
      }
      SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + " " + what);
      ASSERT_EQ(view->annotations(), plain->annotations());
      ASSERT_EQ(fastLog.events, plainLog.events);
      ASSERT_EQ(Canvas(*view), Canvas(*plain));
      ASSERT_EQ(view->internal().reuseQueue.size(), plain->internal().reuseQueue.size());
      for (const auto& p : all) {
        auto fast = view->viewForAnnotation(p), slow = plain->viewForAnnotation(p);
        ASSERT_EQ(!fast, !slow);
        if (!fast) continue;
        ASSERT_EQ(fast->isSelected(), slow->isSelected());
        ASSERT_EQ(fast->reuseIdentifier(), slow->reuseIdentifier());
        ASSERT_EQ(fast->frame(), slow->frame());
        ASSERT_EQ(!fast->paopaoView(), !slow->paopaoView());
      }
    }
  }
  // It went through every kind of event.
  for (const char* kind : {"view ", "added ", "select ", "deselect "}) {
    EXPECT_TRUE(std::any_of(fastLog.events.begin(), fastLog.events.end(), [&](const std::string& e) {
      return e.rfind(kind, 0) == 0;
    })) << kind;
  }
}

TEST_F(MapAnnotationsTest, TheUserLocationIsShownWhereTheDeviceStands) {
  ASSERT_TRUE(OpenMap());
  view->setDelegate(&log);
  // The user location is there before locating starts, with its title and no position.
  const std::shared_ptr<mapsdk::GMKUserLocation> me = view->userLocation();
  ASSERT_TRUE(me);
  EXPECT_EQ(me->title(), "我的位置");
  EXPECT_FALSE(me->location());
  // Until the map shows the user location the engine's location is off: nothing locates.
  auto modeOfEngine = [] { return gmengine::GetAppLocationMode(gmengine::LocationOfEngine()); };
  EXPECT_EQ(modeOfEngine(), static_cast<int>(mapsdk::LocMode::Off));
  EXPECT_FALSE(view->viewForAnnotation(me));
  const mapsdk::CLLocationCoordinate2D here = view->convertPointToCoordinate({160, 240});
  {
    // The engine's location timer and the fix's age run on real time.
    RealClockWhile real(*this);
    platform::LocationDevice::setCurrentLocation({here.latitude, here.longitude, 10, loop().now()});
    view->setShowsUserLocation(true);
    ASSERT_TRUE(runUntil(
        [] {
          auto* location = gmengine::LocationOfEngine();
          return location && gmengine::GetAppLocationInfo(location).state == mapsdk::LocationState::Valid;
        },
        10));
  }
  platform::NotificationCenter::defaultCenter().post(mapsdk::NotificationLocationUpdate);
  ASSERT_EQ(view->userLocation(), me);
  ASSERT_TRUE(me->location());
  EXPECT_GE(log.located, 1);
  auto located = view->viewForAnnotation(view->userLocation());
  ASSERT_TRUE(std::dynamic_pointer_cast<mapsdk::LocationView>(located));
  EXPECT_EQ(located->superviewPointer(), &view->scrollView());
  // Where the fix is, in the map service's shifted system: within a few hundred metres.
  const platform::Rect f = OnMap(*located);
  EXPECT_NEAR(f.x() + f.width() / 2, 160, 30);
  EXPECT_NEAR(f.y() + f.height() / 2, 240, 30);
  // On the visible map; a drag that takes it off the view leaves it unseen.
  EXPECT_TRUE(view->isUserLocationVisible());
  ASSERT_TRUE(platform::UIDriver::pan(*view, {0, -600}));
  EXPECT_FALSE(view->isUserLocationVisible());
  ASSERT_TRUE(Rest());

  EXPECT_EQ(modeOfEngine(), static_cast<int>(mapsdk::LocMode::SatelliteAndNetwork));
  view->setShowsUserLocation(false);
  EXPECT_EQ(modeOfEngine(), static_cast<int>(mapsdk::LocMode::Off));
  EXPECT_FALSE(view->isUserLocationVisible());
  EXPECT_EQ(view->userLocation(), me);  // hidden, not gone
  EXPECT_FALSE(located->superviewPointer());
  view->setShowsUserLocation(true);
  EXPECT_EQ(view->userLocation(), me);
  EXPECT_EQ(modeOfEngine(), static_cast<int>(mapsdk::LocMode::SatelliteAndNetwork));
}

// Every failure to locate the user reaches the delegate with its error, again and again, and
// whether the user location is shown or not.
TEST_F(MapAnnotationsTest, EveryFailureToLocateTheUserReachesTheDelegateWithItsError) {
  ASSERT_TRUE(OpenMap());
  view->setDelegate(&log);
  {
    RealClockWhile real(*this);
    view->setShowsUserLocation(true);
    // Locating has started when the platform's location service has been asked.
    ASSERT_TRUE(
        runUntil([] { return mapsdk::IphoneGPSMan::getInstance()->locationManager() != nullptr; }, 10));
    const std::string domain(platform::LocationErrorDomain);
    platform::LocationDevice::failWithError({domain, 0, "unknown", {}, {}});
    ASSERT_TRUE(runUntil([&] { return log.failures.size() == 1; }, 10));
    platform::LocationDevice::failWithError({domain, 0, "unknown", {}, {}});
    ASSERT_TRUE(runUntil([&] { return log.failures.size() == 2; }, 10));
    platform::LocationDevice::setAuthorizationStatus(platform::AuthorizationStatus::Denied);
    ASSERT_TRUE(runUntil([&] { return log.failures.size() == 3; }, 10));
    platform::LocationDevice::failWithError({domain, platform::LocationErrorDenied, "denied", {}, {}});
    ASSERT_TRUE(runUntil([&] { return log.failures.size() == 4; }, 10));
  }
  EXPECT_EQ(log.failures,
            (std::vector<std::int64_t>{0, 0, platform::LocationErrorDenied, platform::LocationErrorDenied}));

  // With the user location hidden, a failure still reaches the delegate.
  view->setShowsUserLocation(false);
  auto info = platform::MutableDictionary::create();
  info->setObject(
      platform::Value(std::static_pointer_cast<platform::Object>(std::make_shared<mapsdk::LocationFailure>(
          platform::Error{std::string(platform::LocationErrorDomain), 2, "network", {}, {}}))),
      "error");
  platform::NotificationCenter::defaultCenter().post(mapsdk::NotificationLocationFail, nullptr, info);
  ASSERT_EQ(log.failures.size(), 5u);
  EXPECT_EQ(log.failures.back(), 2);
  // A delegate that is gone hears nothing.
  view->setDelegate(nullptr);
  platform::NotificationCenter::defaultCenter().post(mapsdk::NotificationLocationFail, nullptr, info);
  EXPECT_EQ(log.failures.size(), 5u);
}

TEST_F(MapAnnotationsTest, AskingTheMapToRedisplayRepaintsItAndLaysOutItsPins) {
  ASSERT_TRUE(OpenMap());
  const std::shared_ptr<platform::Image> before = view->mapImageView().getMapImage();
  view->setNeedsDisplay();
  EXPECT_NE(view->mapImageView().getMapImage(), before);  // a fresh picture from the engine
  // A pin whose view was taken off the map is put back by the repaint.
  AddPins();
  auto pin = view->viewForAnnotation(centre);
  ASSERT_TRUE(pin);
  pin->removeFromSuperview();
  view->setNeedsDisplay();
  EXPECT_EQ(pin->superviewPointer(), &view->scrollView());
}

}  // namespace
}  // namespace kavro::test
