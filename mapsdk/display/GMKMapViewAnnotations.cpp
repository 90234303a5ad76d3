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
  return internal_->annotations.items();
}

void GMKMapView::addAnnotation(std::shared_ptr<GMKAnnotation> annotation) {
  if (!annotation) return;
  internal_->annotations.add(annotation);
  internal_->layOutChange({annotation});
  internal_->dropPin(annotation.get());
}

void GMKMapView::addAnnotations(const std::vector<std::shared_ptr<GMKAnnotation>>& annotations) {
  // A copy: the list given may be annotations() itself.
  std::vector<std::shared_ptr<GMKAnnotation>> added;
  for (const auto& a : annotations) {
    if (a) added.push_back(a);
  }
  for (const auto& a : added) internal_->annotations.add(a);
  internal_->layOutChange(added);
  for (const auto& a : added) internal_->dropPin(a.get());
}

void GMKMapView::removeAnnotation(const std::shared_ptr<GMKAnnotation>& annotation) {
  if (!annotation) return;
  const std::shared_ptr<GMKAnnotation> leaving = annotation;  // it may stand in the list given
  internal_->annotations.remove(leaving.get());
  internal_->removeAnnotationView(leaving.get());
  internal_->layOutChange({});
}

void GMKMapView::removeAnnotations(const std::vector<std::shared_ptr<GMKAnnotation>>& annotations) {
  // A copy: the list may be annotations() itself, and the delegate told of a deselection may change
  // the caller's.
  const std::vector<std::shared_ptr<GMKAnnotation>> leaving = annotations;
  for (const auto& a : leaving) removeAnnotation(a);
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
  internal_->layOutChange({});
}

void GMKMapView::addOverlays(const std::vector<std::shared_ptr<GMKOverlay>>& overlays) {
  for (const auto& o : overlays) {
    if (o) internal_->overlays.push_back(o);
  }
  internal_->layOutChange({});
}

void GMKMapView::insertOverlay(std::shared_ptr<GMKOverlay> overlay, std::size_t index) {
  if (!overlay) return;
  auto& list = internal_->overlays;
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(index, list.size())), std::move(overlay));
  internal_->layOutChange({});
}

void GMKMapView::exchangeOverlayAtIndex(std::size_t index1, std::size_t index2) {
  auto& list = internal_->overlays;
  if (index1 >= list.size() || index2 >= list.size()) return;
  std::swap(list[index1], list[index2]);
  internal_->layOutChange({});
}

namespace {

// Just after (or at) the sibling's place; nothing is inserted when the sibling is not listed.
void InsertBeside(GMKMapViewInternal& map, std::shared_ptr<GMKOverlay> overlay,
                  const std::shared_ptr<GMKOverlay>& sibling, bool above) {
  if (!overlay || !sibling) return;
  auto& list = map.overlays;
  if (auto it = std::find(list.begin(), list.end(), sibling); it != list.end())
    list.insert(above ? it + 1 : it, std::move(overlay));
  map.layOutChange({});
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
  internal_->layOutChange({});
}

void GMKMapView::removeOverlays(const std::vector<std::shared_ptr<GMKOverlay>>& overlays) {
  std::set<const GMKOverlay*> leaving;
  for (const auto& o : overlays) {
    if (o) leaving.insert(o.get());
  }
  if (leaving.empty()) return;
  for (const GMKOverlay* o : leaving) internal_->removeOverlayView(o);
  std::erase_if(internal_->overlays, [&](const auto& o) { return leaving.count(o.get()) > 0; });
  internal_->layOutChange({});
}

std::shared_ptr<GMKOverlayView> GMKMapView::viewForOverlay(const std::shared_ptr<GMKOverlay>& overlay) const {
  if (!overlay) return nullptr;
  auto it = internal_->overlayViews.find(overlay.get());
  return it == internal_->overlayViews.end() ? nullptr : it->second;
}

// --- The annotation list ---------------------------------------------------------------------------

const std::vector<std::shared_ptr<GMKAnnotation>>& GMKAnnotationList::items() const {
  if (holes_ != 0) compact();
  return items_;
}

void GMKAnnotationList::add(std::shared_ptr<GMKAnnotation> annotation) {
  Entry& e = entries_[annotation.get()];
  if (e.count++ == 0) {
    e.at = items_.size();
  } else {
    ++duplicates_;
  }
  items_.push_back(std::move(annotation));
}

void GMKAnnotationList::clear(std::size_t at) {
  items_[at].reset();
  ++holes_;
}

bool GMKAnnotationList::remove(const GMKAnnotation* annotation) {
  auto it = entries_.find(annotation);
  if (it == entries_.end()) return false;
  if (it->second.count == 1) {
    clear(it->second.at);
  } else {
    // One added more than once is looked for: the rare case.
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].get() == annotation) clear(i);
    }
    duplicates_ -= it->second.count - 1;
  }
  entries_.erase(it);
  while (!items_.empty() && !items_.back()) {
    items_.pop_back();
    --holes_;
  }
  // Closed once they are three in four places: each closing is paid for by three removals for
  // every entry it moves.
  if (holes_ * 4 > items_.size() * 3) compact();
  return true;
}

std::size_t GMKAnnotationList::count(const GMKAnnotation* annotation) const {
  auto it = entries_.find(annotation);
  return it == entries_.end() ? 0 : it->second.count;
}

void GMKAnnotationList::compact() const {
  std::size_t out = 0;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i]) continue;
    if (out != i) items_[out] = std::move(items_[i]);
    Entry& e = entries_.find(items_[out].get())->second;
    if (e.count == 1) e.at = out;
    ++out;
  }
  items_.resize(out);
  holes_ = 0;
}

// --- The working half: a change laid out --------------------------------------------------------

namespace {

bool Moving(const platform::ScrollView& sv) {
  return sv.isZooming() || sv.isDragging() || sv.isDecelerating();
}

}  // namespace

GMKMapViewInternal::LayoutBasis GMKMapViewInternal::currentBasis() const {
  LayoutBasis b;
  if (gmengine::CMapControlBlock* control = view_.control()) {
    const CMapStatus& s = control->Status();
    b.values[0] = s.tileBounds.left;
    b.values[1] = s.tileBounds.top;
    b.values[2] = s.upp;
    b.values[3] = s.offsetX;
    b.values[4] = s.offsetY;
    b.values[5] = s.window.left;
    b.values[6] = s.window.top;
  }
  b.home = homeOffset;
  b.canvas = contentSize;
  return b;
}

void GMKMapViewInternal::layOutChange(const std::vector<std::shared_ptr<GMKAnnotation>>& added) {
  if (plainLayout_) {
    view_.updateMap();
    return;
  }
  auto keep = shared_from_this();
  // A repaint does nothing during a gesture; the one after it lays everything out.
  if (Moving(*view_.scrollView_) || !view_.engineWindow()) {
    laidOutFor_.reset();
    return;
  }
  checkOverlayViews();
  if (!laidOutFor_ || !(*laidOutFor_ == currentBasis())) {
    checkAnnotationViews();
    restoreScrollViewStatus();
  } else {
    // The rest stand where the last layout put them, as a full one would leave them: only what
    // came is laid out, after the list's last entry as a full layout adds it.
    std::vector<std::shared_ptr<GMKAnnotationView>> made;
    std::vector<std::shared_ptr<GMKAnnotationView>> placed;
    for (const auto& a : added) {
      if (auto v = layOutAnnotation(a, made)) {
        view_.scrollView_->addSubview(v);
        noteSelected(v);
        placed.push_back(v);
      }
    }
    if (shownSelection_ && shownSelection_->isSelected()) {
      selectAnnotationView(shownSelection_, false, false);
      // Its bubble stays on top of the views that came.
      if (const auto& bubble = shownSelection_->paopaoView();
          bubble && bubble->superviewPointer() == view_.scrollView_.get() && !placed.empty())
        view_.scrollView_->bringSubviewToFront(bubble.get());
      placed.push_back(shownSelection_);
    }
    if (!made.empty() && delegate) delegate->mapViewDidAddAnnotationViews(view_, made);
    if (scrollViewRestored()) {
      for (const auto& v : placed) placeInScrolling(*v);
    } else {
      restoreScrollViewStatus();
    }
  }
  pictureAfterThisTurn();
}

void GMKMapViewInternal::pictureAfterThisTurn() {
  if (picturePosted_) return;
  picturePosted_ = true;
  platform::RunLoop::main().performOnMain([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->showPictureNow();
  });
}

void GMKMapViewInternal::showPictureNow() {
  if (!picturePosted_) return;
  picturePosted_ = false;
  if (Moving(*view_.scrollView_)) return;
  view_.showPicture();
}

void GMKMapViewInternal::enqueueForReuse(const std::shared_ptr<GMKAnnotationView>& v) {
  if (!v->reuseIdentifier().empty() && reuseQueue.size() < kMaxReusableViews) reuseQueue.push_back(v);
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

void GMKMapViewInternal::noteSelected(const std::shared_ptr<GMKAnnotationView>& v) {
  if (!v->isSelected() || v == shownSelection_) return;
  // Only the last selected view of the list shows its bubble.
  if (shownSelection_ && shownSelection_->paopaoView()) shownSelection_->paopaoView()->removeFromSuperview();
  shownSelection_ = v;
}

std::shared_ptr<GMKAnnotationView> GMKMapViewInternal::layOutAnnotation(
    const std::shared_ptr<GMKAnnotation>& annotation,
    std::vector<std::shared_ptr<GMKAnnotationView>>& added) {
  const GMKAnnotation* key = annotation.get();
  const platform::Point c = canvasPoint(annotation->coordinate());
  auto it = annotationViews.find(key);
  if (!OnCanvas(c, contentSize)) {
    if (it == annotationViews.end()) return nullptr;
    std::shared_ptr<GMKAnnotationView> v = it->second;
    annotationViews.erase(it);
    RemoveWithBubble(*v);
    if (v == shownSelection_) shownSelection_.reset();
    if (v->isSelected()) {
      v->setSelected(false);
      if (delegate) delegate->mapViewDidDeselectAnnotationView(view_, *v);
    }
    enqueueForReuse(v);
    return nullptr;
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
  return v;
}

void GMKMapViewInternal::checkAnnotationViews() {
  platform::View& canvas = *view_.scrollView_;
  // The views that stay are not taken off the canvas: only what leaves it goes, and the order
  // (the user location, its bubble, the views in the list's order, the selected one's bubble on
  // top) is put right when it is not.
  std::vector<std::shared_ptr<platform::View>> order;
  const bool located = showsUserLocation && userLocation && showLocation();
  if (!located && locationView) RemoveWithBubble(*locationView);
  if (located) {
    order.push_back(locationView);
    if (locationView->isSelected() && locationView->paopaoView() &&
        locationView->paopaoView()->superviewPointer() == &canvas)
      order.push_back(locationView->paopaoView());
  }

  if (shownSelection_ && !shownSelection_->isSelected()) shownSelection_.reset();
  std::shared_ptr<GMKAnnotationView> selected;
  std::vector<std::shared_ptr<GMKAnnotationView>> added;
  const std::size_t firstPin = order.size();
  const auto list = annotations.items();  // the delegate may change the list
  for (const auto& annotation : list) {
    std::shared_ptr<GMKAnnotationView> v = layOutAnnotation(annotation, added);
    if (!v) continue;
    order.push_back(v);
    if (v->isSelected()) {
      // A view selected earlier in the list loses its bubble to this one.
      if (selected && selected != v && selected->paopaoView()) selected->paopaoView()->removeFromSuperview();
      selected = v;
    }
  }
  if (annotations.hasDuplicates()) {
    // A view stands where its annotation's last entry does.
    std::map<const platform::View*, std::size_t> last;
    for (std::size_t i = firstPin; i < order.size(); ++i) last[order[i].get()] = i;
    std::size_t out = firstPin;
    for (std::size_t i = firstPin; i < order.size(); ++i) {
      if (last[order[i].get()] == i) order[out++] = order[i];
    }
    order.resize(out);
  }
  if (shownSelection_ && shownSelection_ != selected && shownSelection_->paopaoView())
    shownSelection_->paopaoView()->removeFromSuperview();
  shownSelection_ = selected;
  if (selected) {
    selectAnnotationView(selected, false, false);
    if (selected->paopaoView() && selected->paopaoView()->superviewPointer() == &canvas)
      order.push_back(selected->paopaoView());
  }
  // Already in order on top of the canvas's other views: nothing moves.
  const auto& now = canvas.subviews();
  bool inOrder = now.size() >= order.size();
  for (std::size_t i = 0; inOrder && i < order.size(); ++i) {
    inOrder = now[now.size() - order.size() + i] == order[i];
  }
  if (!inOrder) {
    for (const auto& v : order) canvas.addSubview(v);
  }
  laidOutFor_ = currentBasis();
  if (!added.empty() && delegate) delegate->mapViewDidAddAnnotationViews(view_, added);
}

bool GMKMapViewInternal::showLocation() {
  if (!userLocation->location()) return false;
  const platform::Point c = canvasPoint(userLocation->coordinate());
  if (!OnCanvas(c, contentSize)) {
    if (locationView) {
      RemoveWithBubble(*locationView);
      locationView->setSelected(false);
    }
    return false;
  }
  if (!locationView) {
    locationView = std::make_shared<LocationView>(userLocation, "");
    locationView->setMapView(weak_from_this());
  }
  locationView->needRect();
  setAnnotationViewFrame(*locationView, c);
  locationView->setNeedsDisplay();
  if (locationView->isSelected()) selectAnnotationView(locationView, false, false);
  return true;
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
  if (v == shownSelection_) shownSelection_.reset();
  v->setAnnotation(nullptr);
  // The same queue as the layout's, under the same limit: a map whose pins are replaced page
  // after page holds no more views than that.
  enqueueForReuse(v);
  v->removeFromSuperview();
}

void GMKMapViewInternal::selectAnnotationView(const std::shared_ptr<GMKAnnotationView>& v, bool needClear,
                                              bool needNotify) {
  if (needClear) clearPaopao();
  v->setSelected(true);
  if (v != locationView) shownSelection_ = v;
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
    // One already shown keeps its place: the layout puts the canvas in order.
    if (bubble->superviewPointer() != view_.scrollView_.get()) view_.scrollView_->addSubview(bubble);
  }
  if (needNotify && delegate) delegate->mapViewDidSelectAnnotationView(view_, *v);
}

void GMKMapViewInternal::deselectAnnotationView(GMKAnnotationView& v) {
  v.setSelected(false);
  if (shownSelection_.get() == &v) shownSelection_.reset();
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
  // The next change lays everything out again, this view at its annotation's new point.
  laidOutFor_.reset();
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
  auto it = v->annotation() ? annotationViews.find(v->annotation().get()) : annotationViews.end();
  return it != annotationViews.end() && it->second == v ? v : nullptr;
}

}  // namespace mapsdk
