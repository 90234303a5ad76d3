#pragma once
#include <cstddef>
#include <vector>

#include "mapsdk/display/GMKShape.h"

namespace mapsdk {

// A shape of map points (polylines and polygons). Its bounding rectangle is worked out when
// first asked and kept; the null rectangle without points. At most MaxPoints points are kept.
class GMKMultiPoint : public GMKShape {
 public:
  static constexpr std::size_t MaxPoints = 1 << 20;

  const std::vector<GMKMapPoint>& points() const { return points_; }
  std::size_t pointCount() const { return points_.size(); }
  // The coordinates of points location ... min(location + length, count) - 1 into coords; nothing
  // for a null buffer, a zero length or a location past the points. Answers how many it wrote.
  std::size_t getCoordinates(CLLocationCoordinate2D* coords, std::size_t location, std::size_t length) const;
  // The centre of the bounding rectangle; (0, 0) when it is null.
  CLLocationCoordinate2D coordinate() const override;

 protected:
  GMKMultiPoint(const GMKMapPoint* points, std::size_t count);
  GMKMultiPoint(const CLLocationCoordinate2D* coords, std::size_t count);
  const GMKMapRect& pointsBoundingRect() const;

 private:
  std::vector<GMKMapPoint> points_;
  mutable GMKMapRect boundingRect_ = GMKMapRectNull();
};

}  // namespace mapsdk
