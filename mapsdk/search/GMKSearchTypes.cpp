#include "mapsdk/search/GMKSearchTypes.h"

#include <cmath>

#include "mapsdk/engine/VGeoMath.h"

namespace mapsdk::searchgeo {

namespace {

// Half the world's size in map units, whole.
struct HalfWorld {
  double w;
  double h;
  HalfWorld() {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    gmengine::GeoToMercator(180, 85, &x2, &y2);
    gmengine::GeoToMercator(-180, -85, &x1, &y1);
    w = std::trunc((x2 - x1) / 2);
    h = std::trunc((y2 - y1) / 2);
  }
};

const HalfWorld& Half() {
  static const HalfWorld half;
  return half;
}

}  // namespace

GMKMapPoint VPointToMapPoint(int x, int y) { return {x + Half().w, Half().h - y}; }

CLLocationCoordinate2D CoordinateFromMercator(double x, double y) {
  double longitude = 0, latitude = 0;
  gmengine::MercatorToGeo(x, y, &longitude, &latitude);
  return {latitude, longitude};
}

void CoordinateToMercator(const CLLocationCoordinate2D& coordinate, double& x, double& y) {
  gmengine::GeoToMercator(coordinate.longitude, coordinate.latitude, &x, &y);
}

GMKMapPoint MapPointFromCoordinate(const CLLocationCoordinate2D& coordinate) {
  double x = 0, y = 0;
  CoordinateToMercator(coordinate, x, y);
  if (!std::isfinite(x) || !std::isfinite(y)) return {};
  return VPointToMapPoint(static_cast<int>(x), static_cast<int>(y));
}

}  // namespace mapsdk::searchgeo
