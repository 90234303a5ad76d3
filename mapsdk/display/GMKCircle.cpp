#include "mapsdk/display/GMKCircle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mapsdk {

double GMKCircle::mapUnitsPerMetre(double latitude) {
  // Held off the poles, where the map ends anyway (85 degrees).
  double c =
      std::cos(std::clamp(std::isfinite(latitude) ? latitude : 0.0, -85.0, 85.0) * std::numbers::pi / 180);
  return 1 / c;
}

std::shared_ptr<GMKCircle> GMKCircle::circleWithCenterCoordinate(const CLLocationCoordinate2D& center,
                                                                 double radius) {
  GMKMapPoint p = GMKMapPointFromCoordinate(center);
  double r = radius * mapUnitsPerMetre(center.latitude);
  return std::make_shared<GMKCircle>(Token(), center, radius, GMKMapRect{{p.x - r, p.y - r}, {2 * r, 2 * r}});
}

std::shared_ptr<GMKCircle> GMKCircle::circleWithMapRect(const GMKMapRect& mapRect) {
  double r = std::max(mapRect.size.width, mapRect.size.height) * 0.5;
  CLLocationCoordinate2D center = GMKCoordinateFromMapPoint({mapRect.origin.x + r, mapRect.origin.y + r});
  return std::make_shared<GMKCircle>(Token(), center, r / mapUnitsPerMetre(center.latitude),
                                     GMKMapRect{mapRect.origin, {2 * r, 2 * r}});
}

}  // namespace mapsdk
