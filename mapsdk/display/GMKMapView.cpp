#include "mapsdk/display/GMKMapView.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "mapsdk/display/LocationBlock.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/display/StretchImageUtil.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/raster/VBitmapPng.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Window.h"

namespace mapsdk {

namespace {

int g_liveViews = 0;
constexpr double kMaxDragPoints = 1 << 20;
// The canvas is this many view sizes wide and high, the bitmap in its middle.
constexpr double kCanvasViews = 5;
constexpr double kHomeViews = 2;
// The zoom limits of the canvas between gestures.
constexpr double kMinZoomScale = 0.001;
constexpr double kMaxZoomScale = 1000.0;

bool Busy(const platform::ScrollView& sv) { return sv.isZooming() || sv.isDragging() || sv.isDecelerating(); }

}  // namespace

int GMKMapView::liveCount() { return g_liveViews; }

gmengine::CMapControlBlock* GMKMapView::control() const { return control_.lock().get(); }

gmengine::CVWnd* GMKMapView::engineWindow() const {
  gmengine::CMapControlBlock* block = control();
  return block ? block->Window() : nullptr;
}

const gmengine::CVScreenRecord& GMKMapView::screen() const {
  static const gmengine::CVScreenRecord none{};
  gmengine::CMapControlBlock* block = control();
  return block && block->Services().platform ? block->Services().platform->sysInfo.screen : none;
}

GMKPixelPoint GMKMapView::toPixel(double x, double y) const {
  return GMKScreenPointToPixel({static_cast<int>(x), static_cast<int>(y)}, screen());
}

const CMapStatus& GMKMapView::mapStatus() const {
  static const CMapStatus none{};
  gmengine::CMapControlBlock* block = control();
  return block ? block->Status() : none;
}

GMKMapView::GMKMapView(platform::Rect frame) : platform::View(frame) {}

std::shared_ptr<GMKMapView> GMKMapView::create(platform::Rect frame) {
  if (!gmengine::GetMainGlobalMan()) return nullptr;
  std::shared_ptr<GMKMapView> view(new GMKMapView(frame));
  view->build();
  return view;
}

std::shared_ptr<GMKMapView> GMKMapView::create(platform::Rect frame, const platform::KeyedUnarchiver& coder) {
  std::shared_ptr<GMKMapView> view = create(frame);
  if (!view) return nullptr;
  if (coder.containsValueForKey("MapRect")) {
    const platform::Data bytes = coder.decodeBytesForKey("MapRect");
    if (bytes.size() == 4 * sizeof(double)) {
      double d[4];
      std::memcpy(d, bytes.data(), sizeof d);
      view->setVisibleMapRect({{d[0], d[1]}, {d[2], d[3]}});
    }
  }
  if (coder.containsValueForKey("MapType"))
    view->setMapType(static_cast<unsigned>(coder.decodeIntForKey("MapType")));
  if (coder.containsValueForKey("MAP_SHOW_LOCATION"))
    view->setShowsUserLocation(coder.decodeBoolForKey("MAP_SHOW_LOCATION"));
  return view;
}

void GMKMapView::encodeWithCoder(platform::KeyedArchiver& coder) const {
  const GMKMapRect r = visibleMapRect();
  const double d[4] = {r.origin.x, r.origin.y, r.size.width, r.size.height};
  platform::Data bytes(sizeof d);
  std::memcpy(bytes.data(), d, sizeof d);
  coder.encodeBytes(bytes, "MapRect");
  coder.encodeInt(mapType(), "MapType");
  coder.encodeBool(showsUserLocation(), "MAP_SHOW_LOCATION");
}

void GMKMapView::build() {
  internal_ = std::make_shared<GMKMapViewInternal>(*this);
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
  setBackgroundColor(platform::Color::white());

  scrollView_ = std::make_shared<platform::ScrollView>();
  scrollView_->setShowsHorizontalScrollIndicator(false);
  scrollView_->setShowsVerticalScrollIndicator(false);
  scrollView_->setScrollsToTop(false);
  scrollView_->setBounces(false);
  scrollView_->setClipsToBounds(true);
  scrollView_->setUserInteractionEnabled(true);
  scrollView_->setMultipleTouchEnabled(true);
  scrollView_->setBackgroundColor(platform::Color::white());
  content_ = TapDetectingView::create({});
  content_->setDelegate(internal_.get());
  content_->setBackgroundColor(platform::Color::rgba(0.82, 0.82, 0.82));
  mapView_ = std::make_shared<GeoMapView>();
  mapView_->setUserInteractionEnabled(false);
  mapView_->setMultipleTouchEnabled(false);
  mapView_->setBackgroundColor(platform::Color::white());
  content_->addSubview(mapView_);
  scrollView_->addSubview(content_);
  addSubview(scrollView_);
  logo_ = std::make_shared<platform::ImageView>(StretchImageUtil::mapImageNamed("geomap_logo"));
  // A touch on the logo is a touch on the map.
  logo_->setUserInteractionEnabled(false);
  addSubview(logo_);
  bringSubviewToFront(logo_.get());
  layoutParts();
  scrollView_->setDelegate(std::weak_ptr<platform::ScrollViewDelegate>(internal_));
  internal_->restoreScrollViewFunction();

  gmengine::initWindowAndMapControl(std::static_pointer_cast<GMKMapView>(shared_from_this()));
  gmengine::initLocationControl();
  // The view holds the engine's controller and location from here on; both go with the engine.
  if (gmengine::CMapControlBlock* block = gmengine::MapControlOfEngine()) control_ = block->Handle();
  gmengine::CAppLocation* location = gmengine::LocationOfEngine();
  if (location) location_ = location->Handle();
  // The user location lives as long as the view; showing it only switches locating on and off.
  internal_->userLocation = std::make_shared<GMKUserLocation>(
      location ? std::make_shared<GMKEngineUserLocationSource>(location_) : nullptr);
  ++g_liveViews;
  registerNotification();
  adjustMapWindowWithFrame(frame());
}

GMKMapView::~GMKMapView() {
  if (internal_) {
    if (--g_liveViews == 0) adjustMapWindowWithFrame({0, 0, 5, 5});
    unRegisterNotification();
    scrollView_->setDelegate({});
    content_->setDelegate(nullptr);
    platform::RunLoop::main().cancelPerforms(internal_.get());
  }
}

void GMKMapView::layoutParts() {
  const double w = std::trunc(bounds().size.width);
  const double h = std::trunc(bounds().size.height);
  // The canvas comes back to its natural size before it is measured anew.
  content_->setTransform(platform::AffineTransform::identity());
  scrollView_->setFrame({0, 0, w, h});
  content_->setFrame({0, 0, kCanvasViews * w, kCanvasViews * h});
  mapView_->setFrame({kHomeViews * w, kHomeViews * h, w, h});
  internal_->contentSize = {kCanvasViews * w, kCanvasViews * h};
  internal_->homeOffset = {kHomeViews * w, kHomeViews * h};
  scrollView_->setContentSize(internal_->contentSize);
  scrollView_->setContentOffset(internal_->homeOffset);
  const platform::Size logo = logo_->sizeThatFits({});
  logo_->setFrame({4, h - logo.height - 4, logo.width, logo.height});
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
    if (gmengine::CVWnd* window = engineWindow()) {
      window->SetView(std::static_pointer_cast<GMKMapView>(shared_from_this()));
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
      gmengine::kNotificationMainMapPaint, nullptr,
      [this](const platform::Notification& note) {
        // The window's own post follows its direct word to the view on screen.
        gmengine::CVWnd* window = engineWindow();
        if (window && note.object == window) return;
        updateMap();
      },
      this);
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
  gmengine::CVWnd* window = engineWindow();
  if (!window) return false;
  const GMKPixelPoint origin = toPixel(frame.origin.x, frame.origin.y);
  const GMKPixelPoint size = toPixel(frame.size.width, frame.size.height);
  const gmengine::_VRect client = window->GetClientRect();
  return window->x() == origin.x && window->y() == origin.y && client.left == 0 && client.top == 0 &&
         client.right == size.x && client.bottom == size.y;
}

bool GMKMapView::adjustMapWindowWithFrame(platform::Rect frame) {
  gmengine::CMapControlBlock* control = this->control();
  if (!control) return false;
  if (isEngineWindowEqualsFrame(frame)) {
    control->UpdateLayers();
    control->RequestRepaint();
    return false;
  }
  const GMKPixelPoint origin = toPixel(frame.origin.x, frame.origin.y);
  const GMKPixelPoint size = toPixel(frame.size.width, frame.size.height);
  if (size.x <= 0 || size.y <= 0) return false;
  gmengine::AdjustMapWindow(control, origin.x, origin.y, origin.x + size.x, origin.y + size.y);
  return true;
}

void GMKMapView::setNeedsDisplay() {
  platform::View::setNeedsDisplay();
  if (engineWindow()) updateMap();
}

void GMKMapView::updateMap() {
  gmengine::CVWnd* window = engineWindow();
  // During a gesture the picture stays; the paint after it comes to rest shows the new one.
  if (Busy(*scrollView_) || !window) return;
  internal_->checkOverlayViews();
  internal_->checkAnnotationViews();
  showPicture();
  internal_->restoreScrollViewStatus();
}

void GMKMapView::showPicture() {
  gmengine::CVWnd* window = engineWindow();
  if (!window) return;
  if (std::optional<platform::Bitmap> bitmap = gmengine::BitmapToImage(window->GetBackBuffer())) {
    mapView_->setMapImage(
        platform::Image::imageWithBitmap(std::move(*bitmap), GMKScreenPointToPixel({1, 1}, screen()).x));
  }
}

void GMKMapView::setMapType(unsigned type) {
  unsigned& bits = internal_->mapType;
  switch (type) {
    case GMKMapTypeStandard:
      bits = (bits & ~static_cast<unsigned>(GMKMapTypeSatellite)) | GMKMapTypeStandard;
      gmengine::SetMapType(control(), gmengine::MapLayerCode::Street, 1);
      break;
    case GMKMapTypeTrafficOn:
      bits |= GMKMapTypeTrafficOn;
      gmengine::SetMapType(control(), gmengine::MapLayerCode::Traffic, 1);
      break;
    case GMKMapTypeSatellite:
      bits = (bits & ~static_cast<unsigned>(GMKMapTypeStandard)) | GMKMapTypeSatellite;
      gmengine::SetMapType(control(), gmengine::MapLayerCode::Satellite, 1);
      break;
    default:
      bits &= ~static_cast<unsigned>(GMKMapTypeTrafficOn);
      gmengine::SetMapType(control(), gmengine::MapLayerCode::Traffic, 0);
      break;
  }
  if (gmengine::CMapControlBlock* block = control()) block->RequestRepaint();
}

unsigned GMKMapView::mapType() const { return internal_->mapType; }

void GMKMapView::setZoomLevel(int level) {
  gmengine::SetMapZoomLevel(control(), std::clamp(level, CMapStatus::kMinLevel, CMapStatus::kMaxLevel), 0, 1);
}

int GMKMapView::zoomLevel() const { return gmengine::GetMapLevel(control()); }
bool GMKMapView::zoomIn() { return internal_->zoomIn(); }
bool GMKMapView::zoomOut() { return internal_->zoomOut(); }

void GMKMapView::setCenterCoordinate(CLLocationCoordinate2D c, bool animated) {
  internal_->delegateRegionWillChangeAnimated(animated);
  double x = 0, y = 0;
  gmengine::GeoToMercator(c.longitude, c.latitude, &x, &y);
  gmengine::MoveMapCenter(control(), static_cast<int>(x), static_cast<int>(y), animated ? 1 : 0, 1, 1);
  // An animated move ends with the engine's animation-end notification.
  if (!animated) internal_->delegateRegionDidChangeAnimated(false);
}

CLLocationCoordinate2D GMKMapView::centerCoordinate() const {
  const CMapStatus& status = mapStatus();
  CLLocationCoordinate2D c;
  gmengine::MercatorToGeo(status.centerX, status.centerY, &c.longitude, &c.latitude);
  return c;
}

void GMKMapView::setVisibleMapRect(const GMKMapRect& rect, bool animated) {
  // An animated change tells the delegate when the canvas has zoomed and the engine followed.
  if (!animated) internal_->delegateRegionWillChangeAnimated(false);
  internal_->setVisibleMapRect(rect, animated);
  if (!animated) internal_->delegateRegionDidChangeAnimated(false);
}

void GMKMapView::setVisibleMapRect(const GMKMapRect& rect, const GMKEdgePadding& padding, bool animated) {
  setVisibleMapRect(mapRectThatFits(rect, padding), animated);
}

GMKMapRect GMKMapView::visibleMapRect() const {
  return control() ? GMKVRectToMapRect(control()->Status().mapBounds) : GMKMapRect{};
}

GMKMapRect GMKMapView::mapRectThatFits(const GMKMapRect& rect) const { return mapRectThatFits(rect, {}); }

GMKMapRect GMKMapView::mapRectThatFits(const GMKMapRect& rect, const GMKEdgePadding& padding) const {
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
  auto available = [](double extent) {
    return std::isfinite(extent) ? static_cast<std::int64_t>(std::clamp(extent, -1e9, 1e9)) : -1;
  };
  const std::int64_t aw = available(bounds().size.width - padding.left - padding.right);
  const std::int64_t ah = available(bounds().size.height - padding.top - padding.bottom);
  const int n = std::max(halvings(std::llabs(static_cast<std::int64_t>(r.right) - r.left), aw),
                         halvings(std::llabs(static_cast<std::int64_t>(r.top) - r.bottom), ah));
  const std::int64_t scale = std::int64_t{1} << n;
  const std::int64_t cx = (static_cast<std::int64_t>(r.left) + r.right) / 2;
  const std::int64_t cy = (static_cast<std::int64_t>(r.top) + r.bottom) / 2;
  // The view's full size at that scale.
  const std::int64_t hw = static_cast<std::int64_t>(bounds().size.width) * scale / 2;
  const std::int64_t hh = static_cast<std::int64_t>(bounds().size.height) * scale / 2;
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

void GMKMapView::setZoomEnabled(bool enabled) {
  internal_->zoomEnabled = enabled;
  scrollView_->setMinimumZoomScale(1.0);
  scrollView_->setMaximumZoomScale(1.0);
}
bool GMKMapView::isZoomEnabled() const { return internal_ && internal_->zoomEnabled; }
void GMKMapView::setScrollEnabled(bool enabled) {
  internal_->scrollEnabled = enabled;
  scrollView_->setScrollEnabled(enabled);
}
bool GMKMapView::isScrollEnabled() const { return internal_ && internal_->scrollEnabled; }

platform::Point GMKMapView::convertCoordinateToPoint(CLLocationCoordinate2D c) const {
  double x = 0, y = 0;
  gmengine::GeoToMercator(c.longitude, c.latitude, &x, &y);
  gmengine::_VPoint p = control() ? control()->Status().MapToScreen(x, y) : gmengine::_VPoint{};
  GMKPixelPoint s = GMKPixelToScreenPoint({p.x, p.y}, screen());
  return {static_cast<double>(s.x), static_cast<double>(s.y)};
}

CLLocationCoordinate2D GMKMapView::convertPointToCoordinate(platform::Point point) const {
  GMKPixelPoint p = toPixel(point.x, point.y);
  gmengine::_VPoint m = control() ? control()->Status().ScreenToMap(p.x, p.y) : gmengine::_VPoint{};
  CLLocationCoordinate2D c;
  gmengine::MercatorToGeo(m.x, m.y, &c.longitude, &c.latitude);
  return c;
}

platform::Point GMKMapView::convertCoordinate(CLLocationCoordinate2D coordinate,
                                              const platform::View* toView) const {
  const platform::Point p = convertCoordinateToPoint(coordinate);
  return toView == this ? p : convertPointToView(p, toView);
}

CLLocationCoordinate2D GMKMapView::convertPoint(platform::Point point, const platform::View* fromView) const {
  const platform::Point p = fromView == this ? point : convertPointFromView(point, fromView);
  return convertPointToCoordinate({std::trunc(p.x), std::trunc(p.y)});
}

platform::Rect GMKMapView::convertMapRect(const GMKMapRect& rect, const platform::View* toView) const {
  // A degenerate rect is measured one unit wide (or high) and keeps its zero extent.
  GMKMapRect measured = rect;
  if (measured.size.width == 0) measured.size.width = 1;
  if (measured.size.height == 0) measured.size.height = 1;
  const gmengine::_VRect r = GMKMapRectToVRect(measured);
  const CMapStatus& status = mapStatus();
  const gmengine::_VPoint a =
      status.MapToScreen(static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top));
  const gmengine::_VPoint b =
      status.MapToScreen(static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom));
  const GMKPixelPoint ta = GMKPixelToScreenPoint({a.x, a.y}, screen());
  const GMKPixelPoint tb = GMKPixelToScreenPoint({b.x, b.y}, screen());
  platform::Rect out(ta.x, ta.y, tb.x - ta.x, tb.y - ta.y);
  if (toView != this) out = convertRectToView(out, toView);
  if (rect.size.width == 0) out.size.width = 0;
  if (rect.size.height == 0) out.size.height = 0;
  return out;
}

platform::Rect GMKMapView::convertRegion(const GMKCoordinateRegion& region,
                                         const platform::View* toView) const {
  return convertMapRect(GMKCoordinateRegionToMapRect(region), toView);
}

GMKMapRect GMKMapView::convertRectToMapRect(const platform::Rect& rect,
                                            const platform::View* fromView) const {
  const platform::Rect r = fromView == this ? rect : convertRectFromView(rect, fromView);
  const CMapStatus& status = mapStatus();
  const GMKPixelPoint a = toPixel(std::trunc(r.x()), std::trunc(r.y()));
  const GMKPixelPoint b = toPixel(std::trunc(r.x() + r.width()), std::trunc(r.y() + r.height()));
  const gmengine::_VPoint ma = status.ScreenToMap(a.x, a.y);
  const gmengine::_VPoint mb = status.ScreenToMap(b.x, b.y);
  return GMKVRectToMapRect({ma.x, ma.y, mb.x, mb.y});
}

GMKCoordinateRegion GMKMapView::convertRectToRegion(const platform::Rect& rect,
                                                    const platform::View* fromView) const {
  return GMKMapRectToCoordinateRegion(convertRectToMapRect(rect, fromView));
}

void GMKMapView::setShowsUserLocation(bool shows) { internal_->setShowsUserLocation(shows); }
bool GMKMapView::showsUserLocation() const { return internal_->showsUserLocation; }

bool GMKMapView::isUserLocationVisible() const {
  const auto& located = internal_->userLocation;
  if (!internal_->showsUserLocation || !located || located->isUpdating() || !located->location())
    return false;
  return GMKMapRectContainsPoint(visibleMapRect(), GMKMapPointFromCoordinate(located->coordinate()));
}

// --- The working half ---------------------------------------------------------------------------

void GMKMapViewInternal::delegateRegionWillChangeAnimated(bool animated) {
  if (delegate) delegate->mapViewRegionWillChangeAnimated(view_, animated);
}

void GMKMapViewInternal::delegateRegionDidChangeAnimated(bool animated) {
  if (delegate) delegate->mapViewRegionDidChangeAnimated(view_, animated);
}

platform::Point GMKMapViewInternal::transformScrollViewPoint2SelfViewPoint(platform::Point p) const {
  const platform::Point o = view_.scrollView_->contentOffset();
  return {p.x - o.x, p.y - o.y};
}

platform::Point GMKMapViewInternal::transformScreenPoint2ScrollViewPoint(platform::Point p) const {
  const double s = view_.scrollView_->zoomScale();
  const platform::Point origin = view_.content_->frame().origin;
  return {(p.x + homeOffset.x) * s + origin.x, (p.y + homeOffset.y) * s + origin.y};
}

void GMKMapViewInternal::setAnnotationViewFrame(GMKAnnotationView& v, platform::Point c) const {
  const platform::Rect f = v.frame();
  v.setFrame({std::trunc(c.x - f.width() / 2 + v.centerOffset().x),
              std::trunc(c.y - f.height() / 2 + v.centerOffset().y), f.width(), f.height()});
}

void GMKMapViewInternal::placeInScrolling(GMKAnnotationView& v) {
  if (!v.superviewPointer() || !v.annotation()) return;
  const platform::Point p =
      transformScreenPoint2ScrollViewPoint(view_.convertCoordinateToPoint(v.annotation()->coordinate()));
  const platform::Rect f = v.frame();
  v.setFrame({p.x - f.width() / 2 + v.centerOffset().x, p.y - f.height() / 2 + v.centerOffset().y, f.width(),
              f.height()});
  if (!v.isSelected()) return;
  if (auto* bubble = dynamic_cast<PaopaoBaseView*>(v.paopaoView().get()))
    bubble->showAtPoint(v.calloutAnchor());
}

void GMKMapViewInternal::transformAnnotationViewInScrolling() {
  for (auto& [key, v] : annotationViews) placeInScrolling(*v);
  if (locationView) placeInScrolling(*locationView);
}

bool GMKMapViewInternal::scrollViewRestored() const {
  const platform::ScrollView& sv = *view_.scrollView_;
  double low = zoomEnabled ? kMinZoomScale : 1.0;
  double high = zoomEnabled ? kMaxZoomScale : 1.0;
  if (gmengine::CMapControlBlock* control = view_.control()) {
    const int level = control->Status().level;
    if (level <= CMapStatus::kMinLevel) low = 1.0;
    if (level >= CMapStatus::kMaxLevel) high = 1.0;
  }
  const platform::View& content = *view_.content_;
  return sv.isScrollEnabled() == scrollEnabled && sv.zoomScale() == 1.0 && sv.minimumZoomScale() == low &&
         sv.maximumZoomScale() == high && sv.contentOffset() == homeOffset && sv.isUserInteractionEnabled() &&
         sv.isMultipleTouchEnabled() && content.isUserInteractionEnabled() &&
         content.isMultipleTouchEnabled();
}

void GMKMapViewInternal::forbiddenScrollViewFunction() {
  platform::ScrollView& sv = *view_.scrollView_;
  sv.setMinimumZoomScale(1.0);
  sv.setMaximumZoomScale(1.0);
  sv.setScrollEnabled(false);
}

void GMKMapViewInternal::restoreScrollViewFunction() {
  platform::ScrollView& sv = *view_.scrollView_;
  sv.setScrollEnabled(scrollEnabled);
  sv.setMinimumZoomScale(zoomEnabled ? kMinZoomScale : 1.0);
  sv.setMaximumZoomScale(zoomEnabled ? kMaxZoomScale : 1.0);
  sv.setZoomScale(1.0);
}

void GMKMapViewInternal::restoreScrollViewStatus() {
  restoreScrollViewFunction();
  restoreUserInputForMap();
  platform::ScrollView& sv = *view_.scrollView_;
  if (gmengine::CMapControlBlock* control = view_.control()) {
    // No pinch beyond the level range.
    const int level = control->Status().level;
    if (level <= CMapStatus::kMinLevel) sv.setMinimumZoomScale(1.0);
    if (level >= CMapStatus::kMaxLevel) sv.setMaximumZoomScale(1.0);
  }
  sv.setContentOffset(homeOffset);
}

void GMKMapViewInternal::forbiddenUserInputForMap() {
  for (platform::View* v : {static_cast<platform::View*>(view_.scrollView_.get()),
                            static_cast<platform::View*>(view_.content_.get())}) {
    v->setUserInteractionEnabled(false);
    v->setMultipleTouchEnabled(false);
  }
}

void GMKMapViewInternal::restoreUserInputForMap() {
  for (platform::View* v : {static_cast<platform::View*>(view_.scrollView_.get()),
                            static_cast<platform::View*>(view_.content_.get())}) {
    v->setUserInteractionEnabled(true);
    v->setMultipleTouchEnabled(true);
  }
}

void GMKMapViewInternal::handleScrollViewPositionChange() {
  forbiddenScrollViewFunction();
  const double s = view_.scrollView_->zoomScale();
  if (1 - s >= 0.1 || s - 1 >= 0.1) {
    handleMapZoom();
  } else {
    handleMapMove();
  }
}

void GMKMapViewInternal::handleMapMove() {
  gmengine::CMapControlBlock* control = view_.control();
  const platform::Point o = view_.scrollView_->contentOffset();
  const double tx = homeOffset.x - o.x, ty = homeOffset.y - o.y;
  if (!control || !std::isfinite(tx) || !std::isfinite(ty)) {
    // Nothing for the engine to draw: the canvas goes home at once.
    restoreScrollViewStatus();
    return;
  }
  // A drag longer than any screen moves the map no further than the world is wide at level 3 (its
  // centre is held to the world anyway), and its points stay whole numbers an int can hold.
  const int dx = static_cast<int>(std::clamp(tx, -kMaxDragPoints, kMaxDragPoints));
  const int dy = static_cast<int>(std::clamp(ty, -kMaxDragPoints, kMaxDragPoints));
  const platform::Size size = view_.bounds().size;
  const GMKPixelPoint q =
      view_.toPixel(static_cast<int>(size.width / 2) - dx, static_cast<int>(size.height / 2) - dy);
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

void GMKMapViewInternal::handleMapZoom() {
  gmengine::CMapControlBlock* control = view_.control();
  const platform::ScrollView& sv = *view_.scrollView_;
  const double s = sv.zoomScale();
  if (!control || !(s > 0)) return;
  // Where the old centre of the map lies now, from the middle of the view.
  const platform::Rect content = view_.content_->frame();
  const platform::Point o = sv.contentOffset();
  const double ox = content.x() - o.x + content.width() / 2 - sv.frame().width() / 2;
  const double oy = content.y() - o.y + content.height() / 2 - sv.frame().height() / 2;
  if (!std::isfinite(ox) || !std::isfinite(oy)) {
    restoreScrollViewStatus();
    return;
  }
  double f = 1;
  const int d = levelStepForScale(s, f);
  if (d != 0) control->SetLevel(control->Status().level + d, 0, 0, 1);
  const std::int64_t u = CMapStatus::UnitsPerPixel(control->Status().level);
  const std::int64_t cx = control->Status().centerX;
  const std::int64_t cy = control->Status().centerY;
  const double px = std::clamp(std::trunc(f * ox / s), -kMaxDragPoints, kMaxDragPoints);
  const double py = std::clamp(std::trunc(f * oy / s), -kMaxDragPoints, kMaxDragPoints);
  const GMKPixelPoint p = view_.toPixel(px, py);
  // The point in the middle of the view at the end of the pinch becomes the centre.
  control->MoveTo(static_cast<int>(std::clamp<std::int64_t>(cx - u * p.x, INT32_MIN, INT32_MAX)),
                  static_cast<int>(std::clamp<std::int64_t>(cy + u * p.y, INT32_MIN, INT32_MAX)), 0, 1, 1);
}

platform::Rect GMKMapViewInternal::zoomRectForScale(double scale, platform::Point center) const {
  const platform::Size size = view_.scrollView_->frame().size;
  const double w = size.width / scale, h = size.height / scale;
  return {center.x - w / 2, center.y - h / 2, w, h};
}

void GMKMapViewInternal::setVisibleMapRect(const GMKMapRect& rect, bool animated) {
  gmengine::CMapControlBlock* control = view_.control();
  if (animated) {
    // The canvas shows the rect first; the engine takes it when that zoom ends.
    platform::ScrollView& sv = *view_.scrollView_;
    animatedMapRect = rect;
    sv.zoomToRect(view_.convertMapRect(rect, view_.content_.get()), false);
    platform::RunLoop::main().cancelPerforms(this);
    std::weak_ptr<GMKMapViewInternal> weak = weak_from_this();
    platform::RunLoop::main().performAfter(platform::ScrollView::ScrollAnimationDuration, this, [weak] {
      if (auto self = weak.lock(); self && self->animatedMapRect) self->finishAnimatedZoom();
    });
    return;
  }
  const gmengine::_VRect r = GMKMapRectToVRect(rect);
  const auto cx = static_cast<int>((static_cast<std::int64_t>(r.left) + r.right) / 2);
  const auto cy = static_cast<int>((static_cast<std::int64_t>(r.top) + r.bottom) / 2);
  gmengine::MoveMapCenter(control, cx, cy, 0, 0, 0);
  gmengine::SetMapVisibleRect(control, r.left, r.top, r.right, r.bottom);
}

void GMKMapViewInternal::finishAnimatedZoom() {
  const platform::ScrollView& sv = *view_.scrollView_;
  if (sv.isDecelerating() || sv.isDragging()) return;
  if (animatedMapRect) {
    const GMKMapRect rect = *animatedMapRect;
    animatedMapRect.reset();
    setVisibleMapRect(rect, false);
  } else {
    handleScrollViewPositionChange();
  }
  delegateRegionDidChangeAnimated(true);
}

bool GMKMapViewInternal::zoomIn() {
  if (!view_.content_->isUserInteractionEnabled()) return false;
  const platform::Rect f = view_.content_->frame();
  return tapDetectingViewGotDoubleTap(*view_.content_, {f.width() / 2, f.height() / 2});
}

bool GMKMapViewInternal::zoomOut() {
  if (!view_.content_->isUserInteractionEnabled()) return false;
  const platform::Rect f = view_.content_->frame();
  return tapDetectingViewGotTwoFingerTap(*view_.content_, {f.width() / 2, f.height() / 2});
}

bool GMKMapViewInternal::tapDetectingViewGotSingleTap(TapDetectingView&, platform::Point p) {
  gmengine::CMapControlBlock* control = view_.control();
  if (control) {
    const platform::Point q = transformScrollViewPoint2SelfViewPoint(p);
    const int x = static_cast<int>(std::clamp(q.x, -kMaxDragPoints, kMaxDragPoints));
    const int y = static_cast<int>(std::clamp(q.y, -kMaxDragPoints, kMaxDragPoints));
    gmengine::MapControlTapHitTest(control, x, y);
    gmengine::MapControlTapMove(control, x, y);
  }
  clearPaopao();
  return true;
}

bool GMKMapViewInternal::tapDetectingViewGotDoubleTap(TapDetectingView&, platform::Point p) {
  gmengine::CMapControlBlock* control = view_.control();
  if (!control || Busy(*view_.scrollView_) || control->Status().level >= CMapStatus::kMaxLevel) return true;
  forbiddenUserInputForMap();
  clearPaopao();
  // Twice the size about the tapped point: one level up, the tapped point in the middle.
  delegateRegionWillChangeAnimated(true);
  platform::ScrollView& sv = *view_.scrollView_;
  sv.zoomToRect(zoomRectForScale(2 * sv.zoomScale(), p), false);
  finishAnimatedZoom();
  return true;
}

bool GMKMapViewInternal::tapDetectingViewGotTwoFingerTap(TapDetectingView&, platform::Point) {
  gmengine::CMapControlBlock* control = view_.control();
  if (!control || Busy(*view_.scrollView_) || control->Status().level <= CMapStatus::kMinLevel) return true;
  forbiddenUserInputForMap();
  clearPaopao();
  delegateRegionWillChangeAnimated(true);
  platform::ScrollView& sv = *view_.scrollView_;
  sv.zoomToRect(zoomRectForScale(0.5 * sv.zoomScale(), {contentSize.width / 2, contentSize.height / 2}),
                false);
  finishAnimatedZoom();
  return true;
}

bool GMKMapViewInternal::tapDetectingViewEndTouch(TapDetectingView&, platform::Point) {
  restoreScrollViewStatus();
  return true;
}

// --- Scrolling and zooming of the canvas ----------------------------------------------------------

void GMKMapViewInternal::scrollViewDidScroll(platform::ScrollView&) {
  transformAnnotationViewInScrolling();
  view_.content_->notifyDrag();
}

void GMKMapViewInternal::scrollViewWillBeginDragging(platform::ScrollView& sv) {
  if (!sv.isDecelerating() && !sv.isZooming()) delegateRegionWillChangeAnimated(true);
}

void GMKMapViewInternal::scrollViewDidEndDragging(platform::ScrollView& sv, bool willDecelerate) {
  if (sv.isDecelerating() || sv.isZooming() || willDecelerate) return;
  handleScrollViewPositionChange();
  delegateRegionDidChangeAnimated(true);
}

void GMKMapViewInternal::scrollViewDidEndDecelerating(platform::ScrollView& sv) {
  if (sv.isZooming() || sv.isDragging()) return;
  handleScrollViewPositionChange();
  delegateRegionDidChangeAnimated(true);
}

void GMKMapViewInternal::scrollViewDidEndScrollingAnimation(platform::ScrollView& sv) {
  if (sv.isDecelerating() || sv.isZooming()) return;
  handleScrollViewPositionChange();
}

std::shared_ptr<platform::View> GMKMapViewInternal::viewForZoomingInScrollView(platform::ScrollView&) {
  return view_.content_;
}

void GMKMapViewInternal::scrollViewWillBeginZooming(platform::ScrollView& sv, platform::View*) {
  if (!sv.isDecelerating() && !sv.isDragging()) delegateRegionWillChangeAnimated(true);
}

void GMKMapViewInternal::scrollViewDidZoom(platform::ScrollView&) {
  transformAnnotationViewInScrolling();
  view_.content_->notifyZoom();
}

void GMKMapViewInternal::scrollViewDidEndZooming(platform::ScrollView&, platform::View*, double) {
  finishAnimatedZoom();
}

void GMKMapViewInternal::setShowsUserLocation(bool shows) {
  if (shows == showsUserLocation) return;
  gmengine::CAppLocation* location = view_.location_.lock().get();
  if (shows) {
    if (delegate) delegate->mapViewWillStartLocatingUser(view_);
    gmengine::SetAppLocationMode(location, 2);
  } else {
    gmengine::SetAppLocationMode(location, 1);
    if (delegate) delegate->mapViewDidStopLocatingUser(view_);
    if (locationView) {
      if (locationView->paopaoView()) locationView->paopaoView()->removeFromSuperview();
      locationView->removeFromSuperview();
    }
    locationView.reset();
  }
  showsUserLocation = shows;
  // The next layout places the user location or takes it off.
  laidOutFor_.reset();
}

}  // namespace mapsdk
