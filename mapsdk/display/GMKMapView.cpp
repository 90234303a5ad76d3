#include "mapsdk/display/GMKMapView.h"

#include <algorithm>
#include <cmath>

#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/raster/VBitmapPng.h"
#include "platform/ui/Window.h"

namespace mapsdk {

namespace {

int g_liveViews = 0;
constexpr double kMaxDragPoints = 1 << 20;

// A touch on no annotation view goes on to the map below.
class AnnotationLayerView : public platform::View {
 public:
  using platform::View::View;
  std::shared_ptr<platform::View> hitTest(platform::Point p) override {
    auto hit = platform::View::hitTest(p);
    return hit.get() == this ? nullptr : hit;
  }
};

gmengine::CMapControlBlock* Control() { return gmengine::MapControlOfEngine(); }

GMKPixelPoint ToPixel(double x, double y) {
  return GMKScreenPointToPixel({static_cast<int>(x), static_cast<int>(y)});
}

double PixelScale() { return GMKScreenPointToPixel({1, 1}).x; }

void PostRepaint() {
  gmengine::CVMainGlobalMan* global = gmengine::GetMainGlobalMan();
  if (global && global->dispatcher) {
    global->dispatcher->PostMessage(gmengine::CVMsgDispatcher::kUIQueue, gmengine::kMsgRepaint, 0, 0);
  }
}

}  // namespace

int GMKMapView::liveCount() { return g_liveViews; }

GMKMapView::GMKMapView(platform::Rect frame) : platform::View(frame) {}

std::shared_ptr<GMKMapView> GMKMapView::create(platform::Rect frame) {
  if (!gmengine::GetMainGlobalMan()) return nullptr;
  auto view = std::make_shared<GMKMapView>(frame);
  view->build();
  return view;
}

void GMKMapView::build() {
  internal_ = std::make_shared<GMKMapViewInternal>(*this);
  setClipsToBounds(true);
  content_ = TapDetectingView::create(bounds());
  mapView_ = std::make_shared<GeoMapView>(bounds());
  content_->addSubview(mapView_);
  content_->setDelegate(internal_.get());
  addSubview(content_);
  annotationLayer_ = std::make_shared<AnnotationLayerView>(bounds());
  addSubview(annotationLayer_);

  pan_ = std::make_shared<platform::PanGestureRecognizer>([this](platform::GestureRecognizer& g) {
    auto& pan = static_cast<platform::PanGestureRecognizer&>(g);
    platform::Point t = pan.translationInView(this);
    switch (g.state()) {
      case platform::GestureRecognizerState::Began:
        internal_->gestureActive = true;
        internal_->delegateRegionWillChangeAnimated(true);
        break;
      case platform::GestureRecognizerState::Changed:
        // A pan never becomes a long press.
        content_->notifyDrag();
        // The unchanged picture follows the finger until the engine has drawn the new one.
        content_->setTransform(platform::AffineTransform::makeTranslation(t.x, t.y));
        annotationLayer_->setTransform(content_->transform());
        break;
      case platform::GestureRecognizerState::Ended:
        internal_->gestureActive = false;
        internal_->handleMapMove(t);
        internal_->delegateRegionDidChangeAnimated(true);
        break;
      default:
        internal_->gestureActive = false;
        internal_->restoreScrollViewStatus();
        break;
    }
  });
  pinch_ = std::make_shared<platform::PinchGestureRecognizer>([this](platform::GestureRecognizer& g) {
    auto& pinch = static_cast<platform::PinchGestureRecognizer&>(g);
    switch (g.state()) {
      case platform::GestureRecognizerState::Began:
        internal_->gestureActive = true;
        internal_->delegateRegionWillChangeAnimated(true);
        break;
      case platform::GestureRecognizerState::Changed:
        content_->notifyZoom();
        content_->setTransform(platform::AffineTransform::makeScale(pinch.scale(), pinch.scale()));
        break;
      case platform::GestureRecognizerState::Ended: {
        internal_->gestureActive = false;
        platform::Point at = g.locationInView(this);
        internal_->handleMapZoom(pinch.scale(), at.x - bounds().size.width / 2,
                                 at.y - bounds().size.height / 2);
        internal_->delegateRegionDidChangeAnimated(true);
        break;
      }
      default:
        internal_->gestureActive = false;
        internal_->restoreScrollViewStatus();
        break;
    }
  });
  addGestureRecognizer(pan_);
  addGestureRecognizer(pinch_);

  gmengine::initWindowAndMapControl(std::static_pointer_cast<GMKMapView>(shared_from_this()));
  gmengine::initLocationControl();
  ++g_liveViews;
  registerNotification();
  layoutParts();
  adjustMapWindowWithFrame(frame());
}

GMKMapView::~GMKMapView() {
  if (internal_) {
    if (--g_liveViews == 0) adjustMapWindowWithFrame({0, 0, 5, 5});
    unRegisterNotification();
  }
}

void GMKMapView::layoutParts() {
  if (!content_) return;
  const platform::Rect local{0, 0, bounds().size.width, bounds().size.height};
  content_->setTransform(platform::AffineTransform::identity());
  content_->setFrame(local);
  mapView_->setFrame(local);
  annotationLayer_->setTransform(platform::AffineTransform::identity());
  annotationLayer_->setFrame(local);
}

void GMKMapView::setFrame(platform::Rect frame) {
  platform::View::setFrame(frame);
  if (!internal_) return;
  layoutParts();
  adjustMapWindowWithFrame(frame);
}

void GMKMapView::willMoveToWindow(platform::Window* window) {
  platform::View::willMoveToWindow(window);
  if (!internal_) return;
  if (window) {
    // The map on screen shows the engine window.
    if (gmengine::CVMainGlobalMan* global = gmengine::GetMainGlobalMan(); global && global->mapWindow) {
      global->mapWindow->SetView(std::static_pointer_cast<GMKMapView>(shared_from_this()));
    }
    registerNotification();
    adjustMapWindowWithFrame(frame());
  } else {
    unRegisterNotification();
  }
}

void GMKMapView::registerNotification() {
  if (registered_) return;
  registered_ = true;
  auto& center = platform::NotificationCenter::defaultCenter();
  center.addObserver(
      gmengine::kNotificationMainMapPaint, nullptr, [this](const auto&) { updateMap(); }, this);
  center.addObserver(
      gmengine::NotificationEngineAnimationBegin, nullptr,
      [this](const auto&) { internal_->forbiddenUserInputForMap(); }, this);
  center.addObserver(
      gmengine::NotificationEngineAnimationEnd, nullptr,
      [this](const auto&) {
        internal_->restoreUserInputForMap();
        internal_->delegateRegionDidChangeAnimated(true);
      },
      this);
  registerAnnotationNotifications();
}

void GMKMapView::unRegisterNotification() {
  if (!registered_) return;
  registered_ = false;
  platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
}

void GMKMapView::setDelegate(GMKMapViewDelegate* delegate) { internal_->delegate = delegate; }
GMKMapViewDelegate* GMKMapView::delegate() const { return internal_->delegate; }

bool GMKMapView::isEngineWindowEqualsFrame(platform::Rect frame) const {
  gmengine::CVMainGlobalMan* global = gmengine::GetMainGlobalMan();
  if (!Control() || !global || !global->mapWindow) return false;
  const GMKPixelPoint origin = ToPixel(frame.origin.x, frame.origin.y);
  const GMKPixelPoint size = ToPixel(frame.size.width, frame.size.height);
  const gmengine::_VRect client = global->mapWindow->GetClientRect();
  return global->mapWindow->x() == origin.x && global->mapWindow->y() == origin.y && client.left == 0 &&
         client.top == 0 && client.right == size.x && client.bottom == size.y;
}

bool GMKMapView::adjustMapWindowWithFrame(platform::Rect frame) {
  gmengine::CMapControlBlock* control = Control();
  if (!control) return false;
  if (isEngineWindowEqualsFrame(frame)) {
    control->UpdateLayers();
    PostRepaint();
    return false;
  }
  const GMKPixelPoint origin = ToPixel(frame.origin.x, frame.origin.y);
  const GMKPixelPoint size = ToPixel(frame.size.width, frame.size.height);
  if (size.x <= 0 || size.y <= 0) return false;
  gmengine::AdjustMapWindow(control, origin.x, origin.y, origin.x + size.x, origin.y + size.y);
  return true;
}

void GMKMapView::updateMap() {
  gmengine::CVMainGlobalMan* global = gmengine::GetMainGlobalMan();
  if (internal_->gestureActive || !global || !global->mapWindow) return;
  if (std::optional<platform::Bitmap> bitmap = gmengine::BitmapToImage(global->mapWindow->GetBackBuffer())) {
    mapView_->setMapImage(platform::Image::imageWithBitmap(std::move(*bitmap), PixelScale()));
  }
  internal_->restoreScrollViewStatus();
  internal_->checkOverlayViews();
  internal_->checkAnnotationViews();
}

void GMKMapView::setMapType(unsigned type) {
  unsigned& bits = internal_->mapType;
  switch (type) {
    case GMKMapTypeStandard:
      bits = (bits & ~static_cast<unsigned>(GMKMapTypeSatellite)) | GMKMapTypeStandard;
      gmengine::SetMapType(Control(), 1, 1);
      break;
    case GMKMapTypeTrafficOn:
      bits |= GMKMapTypeTrafficOn;
      gmengine::SetMapType(Control(), 3, 1);
      break;
    case GMKMapTypeSatellite:
      bits = (bits & ~static_cast<unsigned>(GMKMapTypeStandard)) | GMKMapTypeSatellite;
      gmengine::SetMapType(Control(), 2, 1);
      break;
    default:
      bits &= ~static_cast<unsigned>(GMKMapTypeTrafficOn);
      gmengine::SetMapType(Control(), 3, 0);
      break;
  }
  PostRepaint();
}

unsigned GMKMapView::mapType() const { return internal_->mapType; }

void GMKMapView::setZoomLevel(int level) {
  gmengine::SetMapZoomLevel(Control(), std::clamp(level, CMapStatus::kMinLevel, CMapStatus::kMaxLevel), 0, 1);
}

int GMKMapView::zoomLevel() const { return gmengine::GetMapLevel(); }
bool GMKMapView::zoomIn() { return internal_->zoomIn(); }
bool GMKMapView::zoomOut() { return internal_->zoomOut(); }

void GMKMapView::setCenterCoordinate(CLLocationCoordinate2D c, bool animated) {
  internal_->delegateRegionWillChangeAnimated(animated);
  double x = 0, y = 0;
  gmengine::GeoToMercator(c.longitude, c.latitude, &x, &y);
  gmengine::MoveMapCenter(Control(), static_cast<int>(x), static_cast<int>(y), animated ? 1 : 0, 1, 1);
  // An animated move ends with the engine's animation-end notification.
  if (!animated) internal_->delegateRegionDidChangeAnimated(false);
}

CLLocationCoordinate2D GMKMapView::centerCoordinate() const {
  gmengine::_VPoint center;
  gmengine::GetMapCenter(center);
  CLLocationCoordinate2D c;
  gmengine::MercatorToGeo(center.x, center.y, &c.longitude, &c.latitude);
  return c;
}

void GMKMapView::setVisibleMapRect(const GMKMapRect& rect, bool animated) {
  internal_->delegateRegionWillChangeAnimated(false);
  gmengine::_VRect r = GMKMapRectToVRect(rect);
  const auto cx = static_cast<int>((static_cast<std::int64_t>(r.left) + r.right) / 2);
  const auto cy = static_cast<int>((static_cast<std::int64_t>(r.top) + r.bottom) / 2);
  gmengine::MoveMapCenter(Control(), cx, cy, 0, 0, 0);
  gmengine::SetMapVisibleRect(Control(), r.left, r.top, r.right, r.bottom);
  internal_->delegateRegionDidChangeAnimated(animated);
}

GMKMapRect GMKMapView::visibleMapRect() const {
  return Control() ? GMKVRectToMapRect(Control()->Status().mapBounds) : GMKMapRect{};
}

GMKMapRect GMKMapView::mapRectThatFits(const GMKMapRect& rect) const {
  gmengine::_VRect r = GMKMapRectToVRect(rect);
  if (r.left > r.right || r.top < r.bottom) return rect;
  auto halvings = [](std::int64_t extent, std::int64_t available) {
    if (available < 0) return 0;
    int n = 0;
    while (extent > available) {
      extent /= 2;
      ++n;
    }
    return n;
  };
  const auto aw = static_cast<std::int64_t>(bounds().size.width);
  const auto ah = static_cast<std::int64_t>(bounds().size.height);
  const int n = std::max(halvings(std::llabs(static_cast<std::int64_t>(r.right) - r.left), aw),
                         halvings(std::llabs(static_cast<std::int64_t>(r.top) - r.bottom), ah));
  const std::int64_t scale = std::int64_t{1} << n;
  const std::int64_t cx = (static_cast<std::int64_t>(r.left) + r.right) / 2;
  const std::int64_t cy = (static_cast<std::int64_t>(r.top) + r.bottom) / 2;
  const std::int64_t hw = aw * scale / 2;
  const std::int64_t hh = ah * scale / 2;
  return GMKVRectToMapRect({static_cast<int>(cx - hw), static_cast<int>(cy + hh), static_cast<int>(cx + hw),
                            static_cast<int>(cy - hh)});
}

void GMKMapView::setRegion(const GMKCoordinateRegion& region, bool animated) {
  GMKMapRect rect = GMKCoordinateRegionToMapRect(region);
  const GMKMapPoint c = GMKMapPointFromCoordinate(region.center);
  // The projection is not linear in latitude: centre the rect on the region's centre point.
  rect = GMKMapRectOffset(rect, c.x - (rect.origin.x + rect.size.width / 2),
                          c.y - (rect.origin.y + rect.size.height / 2));
  setVisibleMapRect(rect, animated);
}

GMKCoordinateRegion GMKMapView::region() const { return GMKCoordinateRegionForMapRect(visibleMapRect()); }

GMKCoordinateRegion GMKMapView::regionThatFits(const GMKCoordinateRegion& region) const {
  return GMKMapRectToCoordinateRegion(mapRectThatFits(GMKCoordinateRegionToMapRect(region)));
}

void GMKMapView::setZoomEnabled(bool enabled) { internal_->zoomEnabled = enabled; }
bool GMKMapView::isZoomEnabled() const { return internal_ && internal_->zoomEnabled; }
void GMKMapView::setScrollEnabled(bool enabled) {
  internal_->scrollEnabled = enabled;
  pan_->setEnabled(enabled);
}
bool GMKMapView::isScrollEnabled() const { return internal_ && internal_->scrollEnabled; }

platform::Point GMKMapView::convertCoordinateToPoint(CLLocationCoordinate2D c) const {
  double x = 0, y = 0;
  gmengine::GeoToMercator(c.longitude, c.latitude, &x, &y);
  gmengine::_VPoint p = Control() ? Control()->Status().MapToScreen(x, y) : gmengine::_VPoint{};
  GMKPixelPoint s = GMKPixelToScreenPoint({p.x, p.y});
  return {static_cast<double>(s.x), static_cast<double>(s.y)};
}

CLLocationCoordinate2D GMKMapView::convertPointToCoordinate(platform::Point point) const {
  GMKPixelPoint p = ToPixel(point.x, point.y);
  gmengine::_VPoint m = Control() ? Control()->Status().ScreenToMap(p.x, p.y) : gmengine::_VPoint{};
  CLLocationCoordinate2D c;
  gmengine::MercatorToGeo(m.x, m.y, &c.longitude, &c.latitude);
  return c;
}

void GMKMapView::setShowsUserLocation(bool shows) { internal_->setShowsUserLocation(shows); }
bool GMKMapView::showsUserLocation() const { return internal_->showsUserLocation; }

// --- The working half ---------------------------------------------------------------------------

void GMKMapViewInternal::delegateRegionWillChangeAnimated(bool animated) {
  if (delegate) delegate->mapViewRegionWillChangeAnimated(view_, animated);
}

void GMKMapViewInternal::delegateRegionDidChangeAnimated(bool animated) {
  if (delegate) delegate->mapViewRegionDidChangeAnimated(view_, animated);
}

void GMKMapViewInternal::restoreScrollViewStatus() {
  view_.content_->setTransform(platform::AffineTransform::identity());
  view_.annotationLayer_->setTransform(platform::AffineTransform::identity());
  restoreUserInputForMap();
}

void GMKMapViewInternal::forbiddenUserInputForMap() {
  view_.content_->setUserInteractionEnabled(false);
  view_.pan_->setEnabled(false);
  view_.pinch_->setEnabled(false);
}

void GMKMapViewInternal::restoreUserInputForMap() {
  view_.content_->setUserInteractionEnabled(true);
  view_.pan_->setEnabled(scrollEnabled);
  view_.pinch_->setEnabled(zoomEnabled);
}

void GMKMapViewInternal::handleMapMove(platform::Point translation) {
  gmengine::CMapControlBlock* control = Control();
  if (!control || !std::isfinite(translation.x) || !std::isfinite(translation.y)) return;
  // A drag longer than any screen moves the map no further than the world is wide at level 3 (its
  // centre is held to the world anyway), and its points stay whole numbers an int can hold.
  const int dx = static_cast<int>(std::clamp(translation.x, -kMaxDragPoints, kMaxDragPoints));
  const int dy = static_cast<int>(std::clamp(translation.y, -kMaxDragPoints, kMaxDragPoints));
  const platform::Size size = view_.bounds().size;
  const GMKPixelPoint q =
      ToPixel(static_cast<int>(size.width / 2) - dx, static_cast<int>(size.height / 2) - dy);
  const gmengine::_VPoint m = control->Status().ScreenToMap(q.x, q.y);
  control->MoveTo(m.x, m.y, 0, 1, 1);
}

int GMKMapViewInternal::levelStepForScale(double s, double& factor) {
  if (s > 2.5) {
    factor = 4;
    return 2;
  }
  if (s > 1.2) {
    factor = 2;
    return 1;
  }
  // Slightly enlarged (up to 1.2) or slightly reduced (down to 0.9): the level stays.
  if (s > 0.9) {
    factor = 1;
    return 0;
  }
  if (s > 0.4) {
    factor = 0.5;
    return -1;
  }
  factor = 0.25;
  return -2;
}

void GMKMapViewInternal::handleMapZoom(double s, double ox, double oy) {
  gmengine::CMapControlBlock* control = Control();
  if (!control || s <= 0) return;
  if (std::fabs(1 - s) < 0.1) {
    handleMapMove({0, 0});
    return;
  }
  double f = 1;
  const int d = levelStepForScale(s, f);
  if (d != 0) control->SetLevel(control->Status().level + d, 0, 0, 1);
  const std::int64_t u = CMapStatus::UnitsPerPixel(control->Status().level);
  const std::int64_t cx = control->Status().centerX;
  const std::int64_t cy = control->Status().centerY;
  const GMKPixelPoint p = ToPixel(std::trunc(f * ox / s), std::trunc(f * oy / s));
  control->MoveTo(static_cast<int>(cx - u * p.x), static_cast<int>(cy + u * p.y), 0, 1, 1);
}

bool GMKMapViewInternal::zoomIn() {
  if (!view_.content_->isUserInteractionEnabled()) return false;
  const platform::Size size = view_.content_->bounds().size;
  return tapDetectingViewGotDoubleTap(*view_.content_, {size.width / 2, size.height / 2});
}

bool GMKMapViewInternal::zoomOut() {
  if (!view_.content_->isUserInteractionEnabled()) return false;
  const platform::Size size = view_.content_->bounds().size;
  return tapDetectingViewGotTwoFingerTap(*view_.content_, {size.width / 2, size.height / 2});
}

bool GMKMapViewInternal::tapDetectingViewGotSingleTap(TapDetectingView&, platform::Point p) {
  gmengine::CMapControlBlock* control = Control();
  if (!control) return true;
  gmengine::MapControlTapHitTest(control, static_cast<int>(p.x), static_cast<int>(p.y));
  gmengine::MapControlTapMove(control, static_cast<int>(p.x), static_cast<int>(p.y));
  clearPaopao();
  return true;
}

bool GMKMapViewInternal::tapDetectingViewGotDoubleTap(TapDetectingView&, platform::Point p) {
  gmengine::CMapControlBlock* control = Control();
  if (!control || gestureActive || control->Status().level >= CMapStatus::kMaxLevel) return true;
  // The content zooms to twice its size with the tapped point in the middle: one level up, the
  // tapped point becomes the centre.
  delegateRegionWillChangeAnimated(true);
  const GMKPixelPoint q = ToPixel(p.x, p.y);
  const gmengine::_VPoint m = control->Status().ScreenToMap(q.x, q.y);
  control->SetLevel(control->Status().level + 1, 0, 0, 1);
  control->MoveTo(m.x, m.y, 0, 1, 1);
  delegateRegionDidChangeAnimated(true);
  return true;
}

bool GMKMapViewInternal::tapDetectingViewGotTwoFingerTap(TapDetectingView&, platform::Point) {
  gmengine::CMapControlBlock* control = Control();
  if (!control || gestureActive || control->Status().level <= CMapStatus::kMinLevel) return true;
  delegateRegionWillChangeAnimated(true);
  handleMapZoom(0.5, 0, 0);
  delegateRegionDidChangeAnimated(true);
  return true;
}

bool GMKMapViewInternal::tapDetectingViewEndTouch(TapDetectingView&, platform::Point) {
  restoreScrollViewStatus();
  return true;
}

void GMKMapViewInternal::setShowsUserLocation(bool shows) {
  if (shows == showsUserLocation) return;
  gmengine::CAppLocation* location = gmengine::LocationOfEngine();
  if (shows) {
    if (delegate) delegate->mapViewWillStartLocatingUser(view_);
    gmengine::SetAppLocationMode(location, 2);
    if (!userLocation) {
      userLocation = std::make_shared<GMKUserLocation>(
          location ? std::make_shared<GMKEngineUserLocationSource>(*location) : nullptr);
    }
  } else {
    gmengine::SetAppLocationMode(location, 1);
    if (delegate) delegate->mapViewDidStopLocatingUser(view_);
    if (locationView) {
      if (locationView->paopaoView()) locationView->paopaoView()->removeFromSuperview();
      locationView->removeFromSuperview();
    }
    locationView.reset();
    userLocation.reset();
  }
  showsUserLocation = shows;
}

}  // namespace mapsdk
