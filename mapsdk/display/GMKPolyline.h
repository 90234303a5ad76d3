#pragma once
#include <memory>

#include "mapsdk/display/GMKMultiPoint.h"

namespace mapsdk {

// An open line through map points, drawn by a GMKPolylineView.
class GMKPolyline : public GMKMultiPoint, public GMKOverlay {
  // Only the class names it, so its factories are the only way in.
  struct Token {
    explicit Token() = default;
  };

 public:
  GMKPolyline(Token, const GMKMapPoint* points, std::size_t count) : GMKMultiPoint(points, count) {}
  GMKPolyline(Token, const CLLocationCoordinate2D* coords, std::size_t count)
      : GMKMultiPoint(coords, count) {}
  static std::shared_ptr<GMKPolyline> polylineWithPoints(const GMKMapPoint* points, std::size_t count) {
    return std::make_shared<GMKPolyline>(Token(), points, count);
  }
  static std::shared_ptr<GMKPolyline> polylineWithCoordinates(const CLLocationCoordinate2D* coords,
                                                              std::size_t count) {
    return std::make_shared<GMKPolyline>(Token(), coords, count);
  }

  GMKMapRect boundingMapRect() const override { return pointsBoundingRect(); }
  // Works for level and upright lines (and single points), whose bounding rectangle has no area.
  std::optional<bool> intersectsMapRect(const GMKMapRect& mapRect) const override;
};

}  // namespace mapsdk
