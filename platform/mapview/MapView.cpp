#include "platform/mapview/MapView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace platform {

namespace {
constexpr double Pi = 3.14159265358979323846;
constexpr double MinScale = 0.05;                          // metres per point
constexpr double MaxScale = 2 * Pi * EarthRadius / 256.0;  // the whole world in 256 points
constexpr Size DefaultPinSize{20, 30};
constexpr Size DotSize{16, 16};

Size annotationSize(const AnnotationView& v, bool isUser) {
  Size s = v.sizeThatFits({});
  if (s.width > 0 && s.height > 0) return s;
  return isUser ? DotSize : DefaultPinSize;
}
}  // namespace

Coordinate UserLocation::coordinate() const {
  if (!location_) return InvalidCoordinate;
  return {location_->latitude, location_->longitude};
}

AnnotationView::AnnotationView(std::shared_ptr<Annotation> annotation, std::string reuseIdentifier)
    : annotation_(std::move(annotation)), reuseIdentifier_(std::move(reuseIdentifier)) {
  setUserInteractionEnabled(true);
}

void AnnotationView::describeProperties(std::vector<std::string>& out) const {
  ImageView::describeProperties(out);
  if (selected_) out.push_back("selected");
}

// What the map needs from outside objects that hold it weakly: the location session, the
// recognizers' delegate and the delayed region reports. Owned by the map; cleared when it goes.
class MapView::Bridge : public LocationManagerDelegate, public GestureRecognizerDelegate {
 public:
  explicit Bridge(MapView* map) : map(map) {}
  void locationManagerDidUpdateToLocation(LocationManager&, const Location& fix,
                                          const std::optional<Location>&) override {
    if (map) map->locationUpdated(fix);
  }
  void locationManagerDidFailWithError(LocationManager&, const Error& error) override {
    if (map) map->locationFailed(error);
  }
  std::optional<bool> shouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer&,
                                                                         GestureRecognizer&) override {
    return true;
  }
  MapView* map;
};

MapView::MapView(Rect frame) : View(frame), bridge_(std::make_shared<Bridge>(this)) {
  setClipsToBounds(true);
  setBackgroundColor(Color::rgba(0.93, 0.92, 0.88, 1));
  content_ = std::make_shared<View>(Rect({0, 0}, frame.size));
  content_->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
  addSubview(content_);
  userLocation_ = std::make_shared<UserLocation>();

  auto pan = std::make_shared<PanGestureRecognizer>([this](GestureRecognizer& g) {
    auto& p = static_cast<PanGestureRecognizer&>(g);
    if (p.state() == GestureRecognizerState::Began) {
      gestureStartCenter_ = center_;
      regionWillChange(false);
    }
    Point t = p.translationInView(nullptr);
    center_ = {gestureStartCenter_.x - t.x * scale_, gestureStartCenter_.y + t.y * scale_};
    setNeedsLayout();
    if (p.state() == GestureRecognizerState::Ended || p.state() == GestureRecognizerState::Cancelled)
      applyCenterAndScale(center_, scale_, false);
  });
  auto pinch = std::make_shared<PinchGestureRecognizer>([this](GestureRecognizer& g) {
    auto& p = static_cast<PinchGestureRecognizer&>(g);
    if (p.state() == GestureRecognizerState::Began) {
      gestureStartScale_ = scale_;
      regionWillChange(false);
    }
    if (p.scale() > 0) scale_ = std::clamp(gestureStartScale_ / p.scale(), MinScale, MaxScale);
    setNeedsLayout();
    if (p.state() == GestureRecognizerState::Ended || p.state() == GestureRecognizerState::Cancelled)
      applyCenterAndScale(center_, scale_, false);
  });
  auto tap = std::make_shared<TapGestureRecognizer>(
      [this](GestureRecognizer& g) { tapAt(g.locationInView(content_.get())); });
  for (auto g : std::initializer_list<std::shared_ptr<GestureRecognizer>>{pan, pinch, tap}) {
    g->setDelegate(bridge_);
    g->setCancelsTouchesInView(false);
    content_->addGestureRecognizer(g);
  }
  center_ = mercatorFromCoordinate({0, 0});
}

MapView::~MapView() {
  bridge_->map = nullptr;
  RunLoop::main().cancelPerforms(bridge_.get());
  if (locationManager_) locationManager_->stopUpdatingLocation();
}

// --- Region -------------------------------------------------------------------------------------

double MapView::fittedScale(const CoordinateRegion& region) const {
  Size size = bounds().size;
  if (size.width <= 0 || size.height <= 0) return scale_;
  const auto& c = region.center;
  Point lo = mercatorFromCoordinate(
      {c.latitude - region.span.latitudeDelta / 2, c.longitude - region.span.longitudeDelta / 2});
  Point hi = mercatorFromCoordinate(
      {c.latitude + region.span.latitudeDelta / 2, c.longitude + region.span.longitudeDelta / 2});
  double s = std::max((hi.x - lo.x) / size.width, (hi.y - lo.y) / size.height);
  if (!std::isfinite(s) || s <= 0) return scale_;
  return std::clamp(s, MinScale, MaxScale);
}

CoordinateRegion MapView::regionThatFits(const CoordinateRegion& region) const {
  double s = fittedScale(region);
  Size size = bounds().size;
  Point m = mercatorFromCoordinate(region.center);
  Coordinate lo = coordinateFromMercator({m.x - size.width * s / 2, m.y - size.height * s / 2});
  Coordinate hi = coordinateFromMercator({m.x + size.width * s / 2, m.y + size.height * s / 2});
  return {region.center, {hi.latitude - lo.latitude, hi.longitude - lo.longitude}};
}

CoordinateRegion MapView::region() const {
  Coordinate c = centerCoordinate();
  Size size = bounds().size;
  Coordinate lo =
      coordinateFromMercator({center_.x - size.width * scale_ / 2, center_.y - size.height * scale_ / 2});
  Coordinate hi =
      coordinateFromMercator({center_.x + size.width * scale_ / 2, center_.y + size.height * scale_ / 2});
  return {c, {hi.latitude - lo.latitude, hi.longitude - lo.longitude}};
}

void MapView::setRegion(const CoordinateRegion& region, bool animated) {
  if (!isValidCoordinate(region.center)) return;
  applyCenterAndScale(mercatorFromCoordinate(region.center), fittedScale(region), animated);
}

Coordinate MapView::centerCoordinate() const { return coordinateFromMercator(center_); }

void MapView::setCenterCoordinate(const Coordinate& c, bool animated) {
  if (!isValidCoordinate(c)) return;
  applyCenterAndScale(mercatorFromCoordinate(c), scale_, animated);
}

void MapView::regionWillChange(bool animated) {
  if (changePending_) return;
  changePending_ = true;
  pendingAnimated_ = animated;
  if (auto d = delegate_.lock()) d->regionWillChangeAnimated(*this, animated);
}

void MapView::applyCenterAndScale(Point center, double scale, bool animated) {
  regionWillChange(animated);
  center_ = center;
  scale_ = scale;
  setNeedsLayout();
  layoutIfNeeded();
  scheduleDidChange(animated);
}

void MapView::scheduleDidChange(bool animated) {
  auto* key = bridge_.get();
  RunLoop::main().cancelPerforms(key);
  std::weak_ptr<Bridge> weak = bridge_;
  RunLoop::main().performAfter(animated ? AnimationSeconds : 0, key, [weak] {
    auto bridge = weak.lock();
    if (!bridge || !bridge->map) return;
    MapView& map = *bridge->map;
    map.changePending_ = false;
    if (auto d = map.delegate_.lock()) d->regionDidChangeAnimated(map, map.pendingAnimated_);
  });
}

Coordinate MapView::convertPointToCoordinate(Point p, const View* fromView) const {
  Point local = convertPointFromView(p, fromView);
  Size size = bounds().size;
  return coordinateFromMercator(
      {center_.x + (local.x - size.width / 2) * scale_, center_.y - (local.y - size.height / 2) * scale_});
}

Point MapView::convertCoordinateToPoint(const Coordinate& c, const View* toView) const {
  Point m = mercatorFromCoordinate(c);
  Size size = bounds().size;
  Point local{size.width / 2 + (m.x - center_.x) / scale_, size.height / 2 - (m.y - center_.y) / scale_};
  return convertPointToView(local, toView);
}

// --- Annotations --------------------------------------------------------------------------------

std::shared_ptr<AnnotationView> MapView::makeView(const std::shared_ptr<Annotation>& a) {
  std::shared_ptr<AnnotationView> v;
  if (auto d = delegate_.lock())
    if (auto given = d->viewForAnnotation(*this, a)) v = *given;
  if (!v) v = std::make_shared<AnnotationView>(a, a == userLocation_ ? "UserLocation" : "Pin");
  return v;
}

void MapView::addAnnotation(const std::shared_ptr<Annotation>& a) {
  if (!a || std::find(annotations_.begin(), annotations_.end(), a) != annotations_.end()) return;
  annotations_.push_back(a);
  auto v = makeView(a);
  // A pin reads as its title (a finger, or the runner, finds it so).
  if (v->accessibilityLabel().empty()) v->setAccessibilityLabel(a->title());
  annotationViews_.push_back(v);
  if (userLocationView_ && userLocationView_->superview())
    content_->insertSubviewBelow(v, userLocationView_.get());
  else
    content_->addSubview(v);
  placeAnnotationView(*v);
  auto wanted = std::find_if(selectOnAdd_.begin(), selectOnAdd_.end(),
                             [&](const std::weak_ptr<Annotation>& w) { return w.lock() == a; });
  if (wanted != selectOnAdd_.end()) {
    selectOnAdd_.erase(wanted);
    select(v);
  }
}

void MapView::addAnnotations(const std::vector<std::shared_ptr<Annotation>>& list) {
  for (const auto& a : list) addAnnotation(a);
}

void MapView::removeAnnotation(const std::shared_ptr<Annotation>& a) {
  auto it = std::find(annotations_.begin(), annotations_.end(), a);
  if (it == annotations_.end()) return;
  auto index = static_cast<std::size_t>(it - annotations_.begin());
  auto v = annotationViews_[index];
  annotations_.erase(it);
  annotationViews_.erase(annotationViews_.begin() + static_cast<std::ptrdiff_t>(index));
  v->setSelected(false);
  v->removeFromSuperview();
}

void MapView::removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& list) {
  auto copy = list;  // the list may be annotations() itself
  for (const auto& a : copy) removeAnnotation(a);
}

std::shared_ptr<AnnotationView> MapView::viewForAnnotation(const Annotation* a) const {
  if (a && a == userLocation_.get()) return userLocationView_;
  for (std::size_t i = 0; i < annotations_.size(); ++i)
    if (annotations_[i].get() == a) return annotationViews_[i];
  return nullptr;
}

void MapView::select(const std::shared_ptr<AnnotationView>& v) {
  if (!v || v->isSelected()) return;
  for (const auto& other : annotationViews_)
    if (other != v && other->isSelected()) deselect(other);
  v->setSelected(true);
  if (auto d = delegate_.lock()) d->didSelectAnnotationView(*this, *v);
}

void MapView::deselect(const std::shared_ptr<AnnotationView>& v) {
  if (!v || !v->isSelected()) return;
  v->setSelected(false);
  if (auto d = delegate_.lock()) d->didDeselectAnnotationView(*this, *v);
}

void MapView::selectAnnotation(const std::shared_ptr<Annotation>& a, bool) {
  if (!a) return;
  if (auto v = viewForAnnotation(a.get())) {
    select(v);
    return;
  }
  selectOnAdd_.push_back(a);
}

void MapView::deselectAnnotation(const std::shared_ptr<Annotation>& a, bool) {
  std::erase_if(selectOnAdd_, [&](const std::weak_ptr<Annotation>& w) { return w.lock() == a; });
  deselect(viewForAnnotation(a.get()));
}

std::vector<std::shared_ptr<Annotation>> MapView::selectedAnnotations() const {
  std::vector<std::shared_ptr<Annotation>> out;
  for (std::size_t i = 0; i < annotations_.size(); ++i)
    if (annotationViews_[i]->isSelected()) out.push_back(annotations_[i]);
  return out;
}

void MapView::tapAt(Point inContent) {
  // Front to back: the topmost pin under the finger.
  for (auto it = annotationViews_.rbegin(); it != annotationViews_.rend(); ++it) {
    auto& v = *it;
    if (!v->isHidden() && v->frame().containsPoint(inContent)) {
      select(v);
      return;
    }
  }
  for (const auto& v : annotationViews_) deselect(v);
}

void MapView::placeAnnotationView(AnnotationView& v) const {
  bool isUser = v.annotation() == userLocation_;
  Size s = annotationSize(v, isUser);
  Point p = convertCoordinateToPoint(v.annotation()->coordinate(), content_.get());
  v.setFrame(Rect({p.x - s.width / 2, p.y - s.height / 2}, s));
}

// --- Overlays -----------------------------------------------------------------------------------

Rect MapView::rectForCircle(const Circle& c) const {
  double cosLat = std::max(std::cos(c.coordinate().latitude * Pi / 180.0), 1e-9);
  double r = c.radius() / cosLat / scale_;
  Point p = convertCoordinateToPoint(c.coordinate(), this);
  return Rect({p.x - r, p.y - r}, {2 * r, 2 * r});
}

void MapView::addOverlay(const std::shared_ptr<Circle>& c) {
  if (!c || std::find(overlays_.begin(), overlays_.end(), c) != overlays_.end()) return;
  overlays_.push_back(c);
  auto v = std::make_shared<View>();
  v->setUserInteractionEnabled(false);
  v->setBorderWidth(2);
  v->setBorderColor(Color::rgba(0.2, 0.45, 0.9, 0.8));
  v->setBackgroundColor(Color::rgba(0.2, 0.45, 0.9, 0.12));
  overlayViews_.push_back(v);
  content_->insertSubview(v, 0);
  placeOverlayView(overlays_.size() - 1);
}

void MapView::removeOverlay(const std::shared_ptr<Circle>& c) {
  auto it = std::find(overlays_.begin(), overlays_.end(), c);
  if (it == overlays_.end()) return;
  auto index = it - overlays_.begin();
  overlayViews_[static_cast<std::size_t>(index)]->removeFromSuperview();
  overlays_.erase(it);
  overlayViews_.erase(overlayViews_.begin() + index);
}

void MapView::placeOverlayView(std::size_t index) const {
  Rect r = rectForCircle(*overlays_[index]);
  overlayViews_[index]->setFrame(convertRectToView(r, content_.get()));
  overlayViews_[index]->setCornerRadius(r.size.width / 2);
}

// --- The user's position ------------------------------------------------------------------------

void MapView::setShowsUserLocation(bool on) {
  if (on == showsUserLocation_) return;
  showsUserLocation_ = on;
  if (on) {
    locationManager_ = LocationManager::create();
    locationManager_->setDelegate(bridge_);
    userLocation_->updating_ = true;
    if (auto d = delegate_.lock()) d->willStartLocatingUser(*this);
    if (locationManager_) locationManager_->startUpdatingLocation();
  } else {
    if (locationManager_) locationManager_->stopUpdatingLocation();
    locationManager_.reset();
    userLocation_->updating_ = false;
    userLocation_->location_.reset();
    if (auto d = delegate_.lock()) d->didStopLocatingUser(*this);
  }
  updateUserLocationView();
}

bool MapView::isUserLocationVisible() const {
  return showsUserLocation_ && userLocation_->location_ && userLocationView_ &&
         userLocationView_->superview();
}

void MapView::updateUserLocationView() {
  bool show = showsUserLocation_ && userLocation_->location_.has_value();
  if (!show) {
    if (userLocationView_) userLocationView_->removeFromSuperview();
    return;
  }
  if (!userLocationView_) userLocationView_ = makeView(userLocation_);
  if (!userLocationView_->superview()) content_->addSubview(userLocationView_);
  placeAnnotationView(*userLocationView_);
}

void MapView::locationUpdated(const Location& fix) {
  if (!showsUserLocation_) return;
  userLocation_->location_ = fix;
  updateUserLocationView();
  if (auto d = delegate_.lock()) d->didUpdateUserLocation(*this, *userLocation_);
}

void MapView::locationFailed(const Error& error) {
  if (!showsUserLocation_) return;
  if (auto d = delegate_.lock()) d->didFailToLocateUserWithError(*this, error);
}

// --- Layout -------------------------------------------------------------------------------------

void MapView::boundsDidChange(const Rect& oldBounds) {
  View::boundsDidChange(oldBounds);
  setNeedsLayout();
  // A view that grows or shrinks shows another region around the same centre.
  if (oldBounds.size == bounds().size || oldBounds.size.width <= 0 || oldBounds.size.height <= 0) return;
  regionWillChange(false);
  scheduleDidChange(false);
}

void MapView::layoutSubviews() {
  for (const auto& v : annotationViews_) placeAnnotationView(*v);
  if (userLocationView_ && userLocationView_->superview()) placeAnnotationView(*userLocationView_);
  for (std::size_t i = 0; i < overlays_.size(); ++i) placeOverlayView(i);
}

void MapView::describeProperties(std::vector<std::string>& out) const {
  View::describeProperties(out);
  Coordinate c = centerCoordinate();
  char text[96];
  std::snprintf(text, sizeof text, "center=%.6f,%.6f metresPerPoint=%.3f", c.latitude, c.longitude, scale_);
  out.emplace_back(text);
}

}  // namespace platform
