#include "mapsdk/display/GMKOverlayView.h"

#include <cmath>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/MapControlBlock.h"

namespace mapsdk {

using platform::Point;
using platform::Rect;

GMKOverlayView::GMKOverlayView(std::shared_ptr<GMKOverlay> overlay) : overlay_(std::move(overlay)) {
  if (overlay_) boundingMapRect_ = overlay_->boundingMapRect();
  setBackgroundColor(platform::Color::grey(1.0, 0.0));
  setOpaque(false);
}

void GMKOverlayView::initDelegate(std::weak_ptr<GMKAnnotationHost> mapView) {
  internal_ = std::make_unique<GMKOverlayViewInternal>();
  internal_->mapView = std::move(mapView);
}

Point GMKOverlayView::pointForMapPoint(const GMKMapPoint& mapPoint) const {
  if (!internal_) return {static_cast<float>(mapPoint.x), static_cast<float>(mapPoint.y)};
  auto map = host();
  if (!map) return {0, 0};
  return map->convertCoordinate(GMKCoordinateFromMapPoint(mapPoint), this);
}

GMKMapPoint GMKOverlayView::mapPointForPoint(Point point) const {
  if (!internal_) return {point.x, point.y};
  auto map = host();
  if (!map) return GMKMapPointFromCoordinate({0, 0});
  return GMKMapPointFromCoordinate(map->convertPoint(point, this));
}

Rect GMKOverlayView::rectForMapRect(const GMKMapRect& mapRect) const {
  if (!internal_) return Rect(mapRect.origin.x, mapRect.origin.y, mapRect.size.width, mapRect.size.height);
  Rect r;
  if (auto map = host()) r = map->convertMapRect(mapRect, this);
  if (!GMKMapRectIsNull(mapRect) && (mapRect.size.width != 0 || mapRect.size.height != 0)) {
    if (r.size.width == 0) r.size.width = 1;
    if (r.size.height == 0) r.size.height = 1;
  }
  return r;
}

GMKMapRect GMKOverlayView::mapRectForRect(const Rect& rect) const {
  if (!internal_) return {{rect.x(), rect.y()}, {rect.width(), rect.height()}};
  auto map = host();
  if (!map) return {};
  return map->convertRect(rect, this);
}

void GMKOverlayView::drawRect(platform::BitmapContext& context, const Rect& rect) {
  auto map = host();
  int level = map ? map->zoomLevel() : gmengine::GetMapLevel();
  double zoomScale = 1 / std::pow(2.0, 18 - level);
  drawMapRect(mapRectForRect(rect), zoomScale, context);
}

void GMKOverlayView::invalidate(const Rect& rect) {
  lastInvalid_ = rect;
  setNeedsDisplay();
}

void GMKOverlayView::setNeedsDisplayInMapRect(const GMKMapRect& mapRect) {
  Rect r = rectForMapRect(mapRect);
  invalidate(Rect(0, 0, r.width(), r.height()));
}

}  // namespace mapsdk
