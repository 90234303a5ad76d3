#pragma once

// The map SDK's public value types of geography and world map units, shared by the map display
// and the search results.
namespace mapsdk {

struct CLLocationCoordinate2D {
  double latitude = 0;
  double longitude = 0;
};

// World map units, origin at the top left of the world, y down.
struct GMKMapPoint {
  double x = 0;
  double y = 0;
};

}  // namespace mapsdk
