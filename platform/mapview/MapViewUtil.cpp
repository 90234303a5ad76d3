#include "platform/mapview/MapViewUtil.h"

#include <algorithm>

namespace platform::mapview {

double countRadiusByIosSdk(const MapView& map) {
  Point centre = map.bounds().center();
  Coordinate a = map.convertPointToCoordinate(centre, &map);
  Coordinate b = map.convertPointToCoordinate({centre.x + RadiusPoints, centre.y}, &map);
  return distanceBetween(a, b);
}

void setCenterCoordinate(MapView& map, const Coordinate& center, float radius, bool animated) {
  Size size = map.bounds().size;
  double d = 2.0 * radius * std::min(size.width, size.height) / (2 * RadiusPoints);
  auto region = coordinateRegionMakeWithDistance(center, d, d);
  map.setRegion(map.regionThatFits(region), animated);
}

}  // namespace platform::mapview
