#include "platform/location/MapGeometry.h"

#include <algorithm>

namespace platform {

namespace {
constexpr double Pi = 3.14159265358979323846;
constexpr double Radian = Pi / 180.0;
// Where the square Mercator world ends.
constexpr double MaxLatitude = 85.0511287798;
}  // namespace

bool isValidCoordinate(const Coordinate& c) {
  return std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::fabs(c.latitude) <= 90 &&
         std::fabs(c.longitude) <= 180;
}

CoordinateRegion coordinateRegionMakeWithDistance(const Coordinate& center, double latitudinalMeters,
                                                  double longitudinalMeters) {
  double cosLat = std::max(std::cos(center.latitude * Radian), 1e-9);
  return {center, {latitudinalMeters / MetresPerDegree, longitudinalMeters / (MetresPerDegree * cosLat)}};
}

double distanceBetween(const Coordinate& a, const Coordinate& b) {
  double lat1 = a.latitude * Radian, lat2 = b.latitude * Radian;
  double dLat = lat2 - lat1, dLon = (b.longitude - a.longitude) * Radian;
  double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
             std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * EarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

Point mercatorFromCoordinate(const Coordinate& c) {
  double lat = std::clamp(c.latitude, -MaxLatitude, MaxLatitude) * Radian;
  return {EarthRadius * c.longitude * Radian, EarthRadius * std::log(std::tan(Pi / 4 + lat / 2))};
}

Coordinate coordinateFromMercator(Point p) {
  return {(2 * std::atan(std::exp(p.y / EarthRadius)) - Pi / 2) / Radian, p.x / EarthRadius / Radian};
}

}  // namespace platform
