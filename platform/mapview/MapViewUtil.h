#pragma once
#include "platform/mapview/MapView.h"

// The radius arithmetic every map view of the application shares: a search circle is the circle
// of 290 points around the map's centre.
namespace platform::mapview {

// Half the circle: the points from the centre to the circle's edge.
inline constexpr double RadiusPoints = 145.0;

// The ground distance in metres from the map's centre to the point 145 points to its right.
double countRadiusByIosSdk(const MapView& map);
// Centres the map on the coordinate so that 290 points of its shorter side span the circle's
// diameter: a region of 2 x radius x min(width, height) / 290 metres square, fitted to the view.
void setCenterCoordinate(MapView& map, const Coordinate& center, float radius, bool animated);

}  // namespace platform::mapview
