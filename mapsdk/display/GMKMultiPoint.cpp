#include "mapsdk/display/GMKMultiPoint.h"

#include <algorithm>

namespace mapsdk {

GMKMultiPoint::GMKMultiPoint(const GMKMapPoint* points, std::size_t count) {
  if (points && count) points_.assign(points, points + std::min(count, MaxPoints));
}

GMKMultiPoint::GMKMultiPoint(const CLLocationCoordinate2D* coords, std::size_t count) {
  if (!coords || !count) return;
  count = std::min(count, MaxPoints);
  points_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) points_.push_back(GMKMapPointFromCoordinate(coords[i]));
}

std::size_t GMKMultiPoint::getCoordinates(CLLocationCoordinate2D* coords, std::size_t location,
                                          std::size_t length) const {
  if (!coords || length == 0 || location >= points_.size()) return 0;
  std::size_t end = location + std::min(length, points_.size() - location);
  for (std::size_t i = location; i < end; ++i) coords[i - location] = GMKCoordinateFromMapPoint(points_[i]);
  return end - location;
}

const GMKMapRect& GMKMultiPoint::pointsBoundingRect() const {
  if (!GMKMapRectIsNull(boundingRect_) || points_.empty()) return boundingRect_;
  GMKMapRect r{points_.front(), {0, 0}};
  for (const GMKMapPoint& p : points_) {
    double x1 = std::max(r.origin.x + r.size.width, p.x), y1 = std::max(r.origin.y + r.size.height, p.y);
    r.origin.x = std::min(r.origin.x, p.x);
    r.origin.y = std::min(r.origin.y, p.y);
    r.size = {x1 - r.origin.x, y1 - r.origin.y};
  }
  boundingRect_ = r;
  return boundingRect_;
}

CLLocationCoordinate2D GMKMultiPoint::coordinate() const {
  const GMKMapRect& b = pointsBoundingRect();
  if (GMKMapRectIsNull(b)) return {};
  return GMKCoordinateFromMapPoint({b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2});
}

}  // namespace mapsdk
