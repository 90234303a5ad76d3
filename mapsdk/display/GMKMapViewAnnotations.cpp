// The map view's annotation, bubble, overlay and user-location views.
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "mapsdk/display/ActionPaopaoView.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/GMKPinAnnotationView.h"
#include "mapsdk/display/LocationSources.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/RunLoop.h"

namespace mapsdk {

namespace {

// The reuse queue keeps at most this many views.
constexpr std::size_t kMaxReusableViews = 50;

void PostMapPaint() {
  platform::NotificationCenter::defaultCenter().post(gmengine::kNotificationMainMapPaint);
}

void RemoveWithBubble(GMKAnnotationView& view) {
  if (view.isSelected() && view.paopaoView()) view.paopaoView()->removeFromSuperview();
  view.removeFromSuperview();
}

}  // namespace

GMKMapRect GMKMapRectIntersection(const GMKMapRect& a, const GMKMapRect& b) {
  const double x = std::max(a.origin.x, b.origin.x);
  const double y = std::max(a.origin.y, b.origin.y);
  const double w = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width) - x;
  const double h = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height) - y;
  if (w < 0 || h < 0) return GMKMapRectNull();
  return {{x, y}, {w, h}};
}

// --- The map view's interface --------------------------------------------------------------------

void GMKMapView::registerAnnotationNotifications() {
  auto& center = platform::NotificationCenter::defaultCenter();
  center.addObserver(
      NotificationSelectAnnotationView, nullptr,
      [this](const platform::Notification& note) {
        if (auto v = internal_->ownView(note)) {
          if (!v->isSelected()) internal_->selectAnnotationView(v, true, true);
        }
      },
      this);
  center.addObserver(
      NotificationClearPaopao, nullptr, [this](const auto&) { internal_->clearPaopao(); }, this);
  center.addObserver(
      NotificationUptateAnnotationCoordinate, nullptr,
      [this](const platform::Notification& note) {
        if (auto v = internal_->ownView(note)) internal_->updateAnnotationCoordinate(*v);
      },
      this);
  center.addObserver(
      NotificationLocationDidUpdate, nullptr,
      [this](const platform::Notification& note) {
        auto& located = internal_->userLocation;
        if (!located || note.object != located.get()) return;
        if (internal_->delegate) internal_->delegate->mapViewDidUpdateUserLocation(*this, *located);
      },
      this);
  center.addObserver(
      NotificationLocationFail, nullptr,
      [this](const platform::Notification& note) {
        if (!internal_->delegate) return;
        const platform::Value* error = note.userInfo ? note.userInfo->objectForKey("error") : nullptr;
        auto failure = error ? std::dynamic_pointer_cast<LocationFailure>(error->objectValue()) : nullptr;
        internal_->delegate->mapViewDidFailToLocateUserWithError(
            *this, failure ? failure->error() : platform::Error());
      },
      this);
}

std::shared_ptr<GMKUserLocation> GMKMapView::userLocation() const { return internal_->userLocation; }

const std::vector<std::shared_ptr<GMKAnnotation>>& GMKMapView::annotations() const {
  return internal_->annotations;
}

void GMKMapView::addAnnotation(std::shared_ptr<GMKAnnotation> annotation) {
  if (!annotation) return;
  internal_->annotations.push_back(annotation);
  internal_->repaintAfterThisTurn();
  internal_->dropAfterRepaint(std::move(annotation));
}

void GMKMapView::addAnnotations(const std::vector<std::shared_ptr<GMKAnnotation>>& annotations) {
  for (const auto& a : annotations) {
    if (a) internal_->annotations.push_back(a);
  }
  internal_->repaintAfterThisTurn();
  for (const auto& a : annotations) {
    if (a) internal_->dropAfterRepaint(a);
  }
}

void GMKMapView::removeAnnotation(const std::shared_ptr<GMKAnnotation>& annotation) {
  if (!annotation) return;
  auto& list = internal_->annotations;
  list.erase(std::remove(list.begin(), list.end(), annotation), list.end());
  internal_->removeAnnotationView(annotation.get());
  internal_->repaintAfterThisTurn();
}

void GMKMapView::removeAnnotations(const std::vector<std::shared_ptr<GMKAnnotation>>& annotations) {
  // One pass over the list for them all: many pins taken off at once cost what each of them does.
  std::set<const GMKAnnotation*> leaving;
  for (const auto& a : annotations) {
    if (a) leaving.insert(a.get());
  }
  if (leaving.empty()) return;
  auto& list = internal_->annotations;
  std::erase_if(list, [&](const auto& a) { return leaving.count(a.get()) > 0; });
  // A copy: the delegate told of a deselection may change the caller's list.
  for (const auto& a : std::vector(annotations)) {
    if (a) internal_->removeAnnotationView(a.get());
  }
  internal_->repaintAfterThisTurn();
}

std::shared_ptr<GMKAnnotationView> GMKMapView::viewForAnnotation(
    const std::shared_ptr<GMKAnnotation>& annotation) const {
  if (!annotation) return nullptr;
  if (annotation == internal_->userLocation) return internal_->locationView;
  auto it = internal_->annotationViews.find(annotation.get());
  return it == internal_->annotationViews.end() ? nullptr : it->second;
}

std::shared_ptr<GMKAnnotationView> GMKMapView::dequeueReusableAnnotationViewWithIdentifier(
    const std::string& identifier) {
  auto& queue = internal_->reuseQueue;
  auto it = std::find_if(queue.begin(), queue.end(),
                         [&](const auto& v) { return v->reuseIdentifier() == identifier; });
  if (it == queue.end()) return nullptr;
  std::shared_ptr<GMKAnnotationView> view = *it;
  queue.erase(it);
  view->prepareForReuse();
  return view;
}

void GMKMapView::selectAnnotation(const std::shared_ptr<GMKAnnotation>& annotation, bool) {
  auto view = viewForAnnotation(annotation);
  if (view && !view->isSelected()) internal_->selectAnnotationView(view, true, true);
}

void GMKMapView::deselectAnnotation(const std::shared_ptr<GMKAnnotation>& annotation, bool) {
  auto view = viewForAnnotation(annotation);
  if (view && view->isSelected()) internal_->deselectAnnotationView(*view);
}

const std::vector<std::shared_ptr<GMKOverlay>>& GMKMapView::overlays() const { return internal_->overlays; }

void GMKMapView::addOverlay(std::shared_ptr<GMKOverlay> overlay) {
  if (!overlay) return;
  internal_->overlays.push_back(std::move(overlay));
  internal_->repaintAfterThisTurn();
}

void GMKMapView::addOverlays(const std::vector<std::shared_ptr<GMKOverlay>>& overlays) {
  for (const auto& o : overlays) {
    if (o) internal_->overlays.push_back(o);
  }
  internal_->repaintAfterThisTurn();
}

void GMKMapView::insertOverlay(std::shared_ptr<GMKOverlay> overlay, std::size_t index) {
  if (!overlay) return;
  auto& list = internal_->overlays;
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(index, list.size())), std::move(overlay));
  internal_->repaintAfterThisTurn();
}

void GMKMapView::exchangeOverlayAtIndex(std::size_t index1, std::size_t index2) {
  auto& list = internal_->overlays;
  if (index1 >= list.size() || index2 >= list.size()) return;
  std::swap(list[index1], list[index2]);
  internal_->repaintAfterThisTurn();
}

namespace {

// Just after (or at) the sibling's place; nothing is inserted when the sibling is not listed.
void InsertBeside(GMKMapViewInternal& map, std::shared_ptr<GMKOverlay> overlay,
                  const std::shared_ptr<GMKOverlay>& sibling, bool above) {
  if (!overlay || !sibling) return;
  auto& list = map.overlays;
  if (auto it = std::find(list.begin(), list.end(), sibling); it != list.end())
    list.insert(above ? it + 1 : it, std::move(overlay));
  map.repaintAfterThisTurn();
}

}  // namespace

void GMKMapView::insertOverlayAboveOverlay(std::shared_ptr<GMKOverlay> overlay,
                                           const std::shared_ptr<GMKOverlay>& sibling) {
  InsertBeside(*internal_, std::move(overlay), sibling, true);
}

void GMKMapView::insertOverlayBelowOverlay(std::shared_ptr<GMKOverlay> overlay,
                                           const std::shared_ptr<GMKOverlay>& sibling) {
  InsertBeside(*internal_, std::move(overlay), sibling, false);
}

void GMKMapView::removeOverlay(const std::shared_ptr<GMKOverlay>& overlay) {
  if (!overlay) return;
  internal_->removeOverlayView(overlay.get());
  auto& list = internal_->overlays;
  list.erase(std::remove(list.begin(), list.end(), overlay), list.end());
  internal_->repaintAfterThisTurn();
}

void GMKMapView::removeOverlays(const std::vector<std::shared_ptr<GMKOverlay>>& overlays) {
  std::set<const GMKOverlay*> leaving;
  for (const auto& o : overlays) {
    if (o) leaving.insert(o.get());
  }
  if (leaving.empty()) return;
  for (const GMKOverlay* o : leaving) internal_->removeOverlayView(o);
  std::erase_if(internal_->overlays, [&](const auto& o) { return leaving.count(o.get()) > 0; });
  internal_->repaintAfterThisTurn();
}

std::shared_ptr<GMKOverlayView> GMKMapView::viewForOverlay(const std::shared_ptr<GMKOverlay>& overlay) const {
  if (!overlay) return nullptr;
  auto it = internal_->overlayViews.find(overlay.get());
  return it == internal_->overlayViews.end() ? nullptr : it->second;
}

// --- The working half: the repaint after a turn -----------------------------------------------

void GMKMapViewInternal::repaintAfterThisTurn() {
  if (repaintPosted_) return;
  repaintPosted_ = true;
  platform::RunLoop::main().performOnMain([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->repaintNow();
  });
}

void GMKMapViewInternal::dropAfterRepaint(std::shared_ptr<GMKAnnotation> annotation) {
  pendingDrops_.push_back(std::move(annotation));
}

void GMKMapViewInternal::repaintNow() {
  auto keep = shared_from_this();
  repaintPosted_ = false;
  std::vector<std::shared_ptr<GMKAnnotation>> drops = std::move(pendingDrops_);
  pendingDrops_.clear();
  PostMapPaint();
  // Pins taken off again in the same turn have no view and do not fall.
  for (const auto& a : drops) dropPin(a.get());
}

void GMKMapViewInternal::removeOverlayView(const GMKOverlay* overlay) {
  if (auto it = overlayViews.find(overlay); it != overlayViews.end()) {
    it->second->removeFromSuperview();
    overlayViews.erase(it);
  }
}

// --- The working half: host conversions ----------------------------------------------------------

platform::Point GMKMapViewInternal::convertCoordinate(const CLLocationCoordinate2D& coordinate,
                                                      const platform::View* toView) const {
  return view_.convertCoordinate(coordinate, toView ? toView : &view_);
}

CLLocationCoordinate2D GMKMapViewInternal::convertPoint(platform::Point point,
                                                        const platform::View* fromView) const {
  return view_.convertPoint(point, fromView ? fromView : &view_);
}

platform::Rect GMKMapViewInternal::convertMapRect(const GMKMapRect& mapRect,
                                                  const platform::View* toView) const {
  return view_.convertMapRect(mapRect, toView ? toView : &view_);
}

GMKMapRect GMKMapViewInternal::convertRect(const platform::Rect& rect, const platform::View* fromView) const {
  return view_.convertRectToMapRect(rect, fromView ? fromView : &view_);
}

int GMKMapViewInternal::zoomLevel() const { return view_.zoomLevel(); }

platform::Point GMKMapViewInternal::canvasPoint(const CLLocationCoordinate2D& coordinate) const {
  const platform::Point p = view_.convertCoordinateToPoint(coordinate);
  return {p.x + homeOffset.x, p.y + homeOffset.y};
}

// --- The working half: passes ---------------------------------------------------------------------

namespace {

// The canvas holds annotations up to two view sizes off the visible map, so a drag shows them.
bool OnCanvas(platform::Point p, platform::Size canvas) {
  return p.x >= 0 && p.x < canvas.width && p.y >= 0 && p.y < canvas.height;
}

}  // namespace

void GMKMapViewInternal::checkOverlayViews() {
  for (auto& [key, v] : overlayViews) v->removeFromSuperview();
  const GMKMapRect visible = view_.visibleMapRect();
  const double scale = 1.0 / static_cast<double>(CMapStatus::UnitsPerPixel(view_.zoomLevel()));
  std::vector<std::shared_ptr<GMKOverlayView>> added;
  const auto list = overlays;  // the delegate may change the list
  for (const auto& overlay : list) {
    const GMKMapRect bounds = overlay->boundingMapRect();
    if (!overlay->intersectsMapRect(visible).value_or(GMKMapRectIntersectsRect(visible, bounds))) continue;
    std::shared_ptr<GMKOverlayView> v;
    if (auto it = overlayViews.find(overlay.get()); it != overlayViews.end()) {
      v = it->second;
    } else {
      if (delegate) v = delegate->mapViewViewForOverlay(view_, overlay);
      if (!v) continue;
      v->initDelegate(weak_from_this());
      overlayViews[overlay.get()] = v;
      added.push_back(v);
    }
    const GMKMapRect r = GMKMapRectIntersection(visible, bounds);
    if (GMKMapRectIsNull(r)) continue;
    // The bitmap lies where the map view does while the canvas is home.
    v->setFrame(view_.convertMapRect(r, &view_));
    view_.mapView_->addSubview(v);
    if (v->canDrawMapRect(r, scale)) v->setNeedsDisplayInMapRect(r);
    v->setNeedsDisplay();
  }
  if (!added.empty() && delegate) delegate->mapViewDidAddOverlayViews(view_, added);
}

void GMKMapViewInternal::checkAnnotationViews() {
  for (auto& [key, v] : annotationViews) RemoveWithBubble(*v);
  if (locationView) RemoveWithBubble(*locationView);
  if (showsUserLocation && userLocation) showLocation();

  platform::View& canvas = *view_.scrollView_;
  std::shared_ptr<GMKAnnotationView> selected;
  std::vector<std::shared_ptr<GMKAnnotationView>> added;
  const auto list = annotations;  // the delegate may change the list
  for (const auto& annotation : list) {
    const GMKAnnotation* key = annotation.get();
    auto it = annotationViews.find(key);
    const platform::Point c = canvasPoint(annotation->coordinate());
    if (!OnCanvas(c, contentSize)) {
      if (it == annotationViews.end()) continue;
      std::shared_ptr<GMKAnnotationView> v = it->second;
      annotationViews.erase(it);
      if (v->isSelected()) {
        v->setSelected(false);
        if (delegate) delegate->mapViewDidDeselectAnnotationView(view_, *v);
      }
      if (!v->reuseIdentifier().empty() && reuseQueue.size() < kMaxReusableViews) reuseQueue.push_back(v);
      continue;
    }
    std::shared_ptr<GMKAnnotationView> v;
    if (it != annotationViews.end()) {
      v = it->second;
    } else {
      if (delegate) v = delegate->mapViewViewForAnnotation(view_, annotation);
      if (!v) v = std::make_shared<GMKPinAnnotationView>(annotation, "pin_red");
      v->setMapView(weak_from_this());
      annotationViews[key] = v;
      added.push_back(v);
    }
    setAnnotationViewFrame(*v, c);
    canvas.addSubview(v);
    if (v->isSelected()) selected = v;
  }
  if (selected) selectAnnotationView(selected, false, false);
  if (!added.empty() && delegate) delegate->mapViewDidAddAnnotationViews(view_, added);
}

void GMKMapViewInternal::showLocation() {
  if (!userLocation->location()) return;
  const platform::Point c = canvasPoint(userLocation->coordinate());
  if (!OnCanvas(c, contentSize)) {
    if (locationView) locationView->setSelected(false);
    return;
  }
  if (!locationView) {
    locationView = std::make_shared<LocationView>(userLocation, "");
    locationView->setMapView(weak_from_this());
  }
  locationView->needRect();
  setAnnotationViewFrame(*locationView, c);
  view_.scrollView_->addSubview(locationView);
  locationView->setNeedsDisplay();
  if (locationView->isSelected()) selectAnnotationView(locationView, false, false);
}

void GMKMapViewInternal::dropPin(const GMKAnnotation* annotation) {
  auto it = annotationViews.find(annotation);
  if (it == annotationViews.end()) return;
  auto pin = std::dynamic_pointer_cast<GMKPinAnnotationView>(it->second);
  if (!pin || !pin->animatesDrop()) return;
  // From the top edge of the visible map down to its place, only when that place is visible.
  const platform::Rect f = pin->frame();
  const double y1 = std::trunc(f.y());
  const double x = transformScrollViewPoint2SelfViewPoint(f.origin).x;
  const platform::Point top = transformScreenPoint2ScrollViewPoint({x, 0});
  const platform::Point bottom = transformScreenPoint2ScrollViewPoint({x, view_.bounds().size.height});
  if (!(top.y < y1 && y1 < bottom.y)) return;
  pin->setFrame({top.x, top.y, f.width(), f.height()});
  platform::View::animate(std::clamp((y1 - top.y) / 200, 0.5, 1.0), [&] {
    pin->setFrame({top.x, y1, f.width(), f.height()});
  });
}

void GMKMapViewInternal::removeAnnotationView(const GMKAnnotation* annotation) {
  auto it = annotationViews.find(annotation);
  if (it == annotationViews.end()) return;
  std::shared_ptr<GMKAnnotationView> v = it->second;
  annotationViews.erase(it);
  if (v->isSelected()) deselectAnnotationView(*v);
  v->setAnnotation(nullptr);
  if (!v->reuseIdentifier().empty()) reuseQueue.push_back(v);
  v->removeFromSuperview();
}

void GMKMapViewInternal::selectAnnotationView(const std::shared_ptr<GMKAnnotationView>& v, bool needClear,
                                              bool needNotify) {
  if (needClear) clearPaopao();
  v->setSelected(true);
  if (v->canShowCallout()) {
    const std::shared_ptr<GMKAnnotation>& annotation = v->annotation();
    std::optional<std::string> title = annotation ? annotation->title() : std::nullopt;
    // Nothing to show in a bubble: the selection stays quiet.
    if (!title) return;
    std::optional<std::string> subtitle = annotation->subtitle();
    auto bubble = std::dynamic_pointer_cast<PaopaoBaseView>(v->paopaoView());
    if (!bubble) {
      bubble = ActionPaopaoView::create(v->leftCalloutAccessoryView(), v->rightCalloutAccessoryView());
      bubble->setDelegate(std::weak_ptr<PaopaoBaseViewDelegate>(shared_from_this()));
      v->setPaopaoView(bubble);
    }
    bubble->setText(title, subtitle);
    bubble->showAtPoint(v->calloutAnchor());
    view_.scrollView_->addSubview(bubble);
  }
  if (needNotify && delegate) delegate->mapViewDidSelectAnnotationView(view_, *v);
}

void GMKMapViewInternal::deselectAnnotationView(GMKAnnotationView& v) {
  v.setSelected(false);
  if (v.paopaoView()) v.paopaoView()->removeFromSuperview();
  if (delegate) delegate->mapViewDidDeselectAnnotationView(view_, v);
}

std::shared_ptr<GMKAnnotationView> GMKMapViewInternal::clearPaopao() {
  std::shared_ptr<GMKAnnotationView> found;
  for (auto& [key, v] : annotationViews) {
    if (v->isSelected()) {
      found = v;
      break;
    }
  }
  if (!found && locationView && locationView->isSelected()) found = locationView;
  if (found) deselectAnnotationView(*found);
  return found;
}

void GMKMapViewInternal::onMoreButtonClicked() {
  if (auto v = clearPaopao(); v && delegate) delegate->mapViewAnnotationViewForBubble(view_, *v);
}

void GMKMapViewInternal::updateAnnotationCoordinate(GMKAnnotationView& v) {
  const std::shared_ptr<GMKAnnotation>& annotation = v.annotation();
  if (!annotation) return;
  const platform::Rect f = v.frame();
  const platform::Point foot{f.x() - v.centerOffset().x + f.width() / 2,
                             f.y() - v.centerOffset().y + f.height() / 2};
  const platform::View* in = v.superviewPointer();
  if (!annotation->setCoordinate(convertPoint(foot, in ? in : view_.scrollView_.get()))) return;
  if (delegate) {
    delegate->mapViewAnnotationViewDidChangeDragState(view_, v, GMKAnnotationViewDragState::Ending,
                                                      GMKAnnotationViewDragState::Dragging);
  }
}

std::shared_ptr<GMKAnnotationView> GMKMapViewInternal::ownView(const platform::Notification& note) const {
  if (!note.userInfo) return nullptr;
  const platform::Value* value = note.userInfo->objectForKey("view");
  auto v = value ? value->as<GMKAnnotationView>() : nullptr;
  if (!v) return nullptr;
  if (v == locationView) return v;
  for (const auto& [key, mine] : annotationViews) {
    if (mine == v) return v;
  }
  return nullptr;
}

}  // namespace mapsdk
