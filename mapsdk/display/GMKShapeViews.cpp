#include "mapsdk/display/GMKShapeViews.h"

#include <numbers>

namespace mapsdk {

namespace {

// A ring of points as a sub-path: open for a line, closed for a polygon ring.
void addRing(platform::Path& path, const GMKOverlayView& view, const std::vector<GMKMapPoint>& points,
             bool close) {
  if (points.empty()) return;
  path.moveTo(view.pointForMapPoint(points.front()));
  for (std::size_t i = 1; i < points.size(); ++i) path.lineTo(view.pointForMapPoint(points[i]));
  if (close) path.closeSubpath();
}

// A view of the shape's class for an overlay that is one; null otherwise.
template <class View, class Shape>
std::shared_ptr<View> viewForShape(const std::shared_ptr<GMKOverlay>& overlay) {
  auto shape = std::dynamic_pointer_cast<Shape>(overlay);
  return shape ? std::make_shared<View>(shape) : nullptr;
}

}  // namespace

std::shared_ptr<GMKPolylineView> GMKPolylineView::initWithOverlay(
    const std::shared_ptr<GMKOverlay>& overlay) {
  return viewForShape<GMKPolylineView, GMKPolyline>(overlay);
}

void GMKPolylineView::createPath() {
  auto line = polyline();
  if (!line || line->points().empty()) return;
  auto path = std::make_shared<platform::Path>();
  addRing(*path, *this, line->points(), false);
  setPath(path);
}

void GMKPolylineView::drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const {
  strokePath(path, context);
}

std::shared_ptr<GMKPolygonView> GMKPolygonView::initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay) {
  return viewForShape<GMKPolygonView, GMKPolygon>(overlay);
}

void GMKPolygonView::createPath() {
  auto shape = polygon();
  if (!shape || shape->points().empty()) return;
  auto path = std::make_shared<platform::Path>();
  addRing(*path, *this, shape->points(), true);
  for (const auto& hole : shape->interiorPolygons())
    if (hole) addRing(*path, *this, hole->points(), true);
  setPath(path);
}

void GMKPolygonView::drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const {
  fillPath(path, context, platform::PathFillRule::EvenOdd);
  strokePath(path, context);
}

std::shared_ptr<GMKCircleView> GMKCircleView::initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay) {
  return viewForShape<GMKCircleView, GMKCircle>(overlay);
}

void GMKCircleView::createPath() {
  platform::Rect r = rectForMapRect(boundingMapRect());
  auto path = std::make_shared<platform::Path>();
  path->addArc({r.midX(), r.midY()}, r.width() * 0.5, 0, 2 * std::numbers::pi, true);
  setPath(path);
}

}  // namespace mapsdk
