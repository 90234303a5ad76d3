#pragma once
#include <memory>

#include "mapsdk/display/GMKMultiPoint.h"

namespace mapsdk {

// An open line through map points, drawn by a GMKPolylineView.
class GMKPolyline : public GMKMultiPoint, public GMKOverlay {
 public:
  GMKPolyline(const GMKMapPoint* points, std::size_t count) : GMKMultiPoint(points, count) {}
  GMKPolyline(const CLLocationCoordinate2D* coords, std::size_t count) : GMKMultiPoint(coords, count) {}
  static std::shared_ptr<GMKPolyline> polylineWithPoints(const GMKMapPoint* points, std::size_t count) {
    return std::make_shared<GMKPolyline>(points, count);
  }
  static std::shared_ptr<GMKPolyline> polylineWithCoordinates(const CLLocationCoordinate2D* coords,
                                                              std::size_t count) {
    return std::make_shared<GMKPolyline>(coords, count);
  }

  GMKMapRect boundingMapRect() const override { return pointsBoundingRect(); }
  // Works for level and upright lines (and single points), whose bounding rectangle has no area.
  std::optional<bool> intersectsMapRect(const GMKMapRect& mapRect) const override;
};

}  // namespace mapsdk
