#include "mapsdk/display/GMKOverlayPathView.h"

namespace mapsdk {

using platform::Rect;

void GMKOverlayPathView::applyStrokePropertiesToContext(platform::BitmapContext& context, double) const {
  if (strokeColor_) context.setStrokeColor(*strokeColor_);
  context.setLineWidth(lineWidth_);
  context.setLineCap(lineCap_);
  context.setLineJoin(lineJoin_);
  context.setMiterLimit(miterLimit_);
  context.setLineDash(lineDashPhase_, lineDashPattern_.value_or(std::vector<double>{}));
}

void GMKOverlayPathView::applyFillPropertiesToContext(platform::BitmapContext& context, double) const {
  if (fillColor_) context.setFillColor(*fillColor_);
}

void GMKOverlayPathView::strokePath(const platform::Path& path, platform::BitmapContext& context) const {
  if (strokeColor_) context.strokePath(path);
}

void GMKOverlayPathView::fillPath(const platform::Path& path, platform::BitmapContext& context,
                                  platform::PathFillRule rule) const {
  if (fillColor_) context.fillPath(path, rule);
}

void GMKOverlayPathView::setFrame(Rect frame) {
  GMKOverlayView::setFrame(frame);
  setBounds(Rect(-lineWidth_, -lineWidth_, frame.width() + 2 * lineWidth_, frame.height() + 2 * lineWidth_));
}

void GMKOverlayPathView::setNeedsDisplayInMapRect(const GMKMapRect& mapRect) {
  Rect r = rectForMapRect(mapRect);
  invalidate(Rect(0, 0, r.width(), r.height()).insetBy(-lineWidth_, -lineWidth_));
  invalidatePath();
}

void GMKOverlayPathView::drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const {
  context.fillPath(path);
  context.strokePath(path);
}

void GMKOverlayPathView::addPointsToPath(platform::Path& path, const std::vector<GMKMapPoint>& points,
                                         bool close) const {
  if (points.empty()) return;
  path.moveTo(pointForMapPoint(points.front()));
  for (std::size_t i = 1; i < points.size(); ++i) path.lineTo(pointForMapPoint(points[i]));
  if (close) path.closeSubpath();
}

void GMKOverlayPathView::drawMapRect(const GMKMapRect& mapRect, double zoomScale,
                                     platform::BitmapContext& context) {
  if (!path_) createPath();
  if (!path_) return;
  context.saveGState();
  applyStrokePropertiesToContext(context, zoomScale);
  applyFillPropertiesToContext(context, zoomScale);
  context.clipToRect(rectForMapRect(mapRect).insetBy(-lineWidth_, -lineWidth_));
  drawBuiltPath(*path_, context);
  context.restoreGState();
}

}  // namespace mapsdk
