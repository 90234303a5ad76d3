#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/engine/GMKTypes.h"

// Value types that the map SDK's search results share with the map display.
namespace mapsdk {

// Base of the plan classes, so that one array of a plan result holds either kind.
class GMKObject {
 public:
  virtual ~GMKObject() = default;
};

// An array property: nullopt is nil.
template <class T>
using GMKArray = std::optional<std::vector<std::shared_ptr<T>>>;

// The search's own geometry conversions (engine integer points to map points and coordinates).
namespace searchgeo {
// Engine point (origin at the world's centre, y up) to map point.
GMKMapPoint VPointToMapPoint(int x, int y);
// Engine Mercator units to a coordinate.
CLLocationCoordinate2D CoordinateFromMercator(double x, double y);
// A coordinate to map units of the engine (GeoToMercator, longitude first).
void CoordinateToMercator(const CLLocationCoordinate2D& coordinate, double& x, double& y);
// GeoToMercator of the coordinate truncated, as a map point.
GMKMapPoint MapPointFromCoordinate(const CLLocationCoordinate2D& coordinate);
}  // namespace searchgeo

}  // namespace mapsdk
