#pragma once
#include <memory>

#include "mapsdk/display/GMKCircle.h"
#include "mapsdk/display/GMKOverlayPathView.h"
#include "mapsdk/display/GMKPolygon.h"
#include "mapsdk/display/GMKPolyline.h"

namespace mapsdk {

// The path views of the three shapes. initWithOverlay gives null unless the overlay is of the
// view's shape; the constructors take the shape unchecked.

// Strokes the line; nothing is filled.
class GMKPolylineView : public GMKOverlayPathView {
 public:
  explicit GMKPolylineView(std::shared_ptr<GMKPolyline> polyline) : GMKOverlayPathView(std::move(polyline)) {}
  static std::shared_ptr<GMKPolylineView> initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay);
  std::shared_ptr<GMKPolyline> polyline() const { return std::dynamic_pointer_cast<GMKPolyline>(overlay()); }
  void createPath() override;

 protected:
  void drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const override;
};

// Fills even-odd, so the interior polygons are holes, then strokes.
class GMKPolygonView : public GMKOverlayPathView {
 public:
  explicit GMKPolygonView(std::shared_ptr<GMKPolygon> polygon) : GMKOverlayPathView(std::move(polygon)) {}
  static std::shared_ptr<GMKPolygonView> initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay);
  std::shared_ptr<GMKPolygon> polygon() const { return std::dynamic_pointer_cast<GMKPolygon>(overlay()); }
  void createPath() override;

 protected:
  void drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const override;
};

// The circle inscribed in the view rectangle of its bounding map rect.
class GMKCircleView : public GMKOverlayPathView {
 public:
  explicit GMKCircleView(std::shared_ptr<GMKCircle> circle) : GMKOverlayPathView(std::move(circle)) {}
  static std::shared_ptr<GMKCircleView> initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay);
  std::shared_ptr<GMKCircle> circle() const { return std::dynamic_pointer_cast<GMKCircle>(overlay()); }
  void createPath() override;
};

}  // namespace mapsdk
