#pragma once
#include <cmath>

#include "platform/graphics/Geometry.h"

namespace platform {

// A place on the earth in degrees, as the platform's map view and geocoder take it.
struct Coordinate {
  double latitude = 0;
  double longitude = 0;
  bool operator==(const Coordinate&) const = default;
};

// The platform's invalid coordinate: what a position holds before it is known.
inline constexpr Coordinate InvalidCoordinate{-180.0, -180.0};
// Finite, latitude within +-90 and longitude within +-180.
bool isValidCoordinate(const Coordinate& c);

struct CoordinateSpan {
  double latitudeDelta = 0;
  double longitudeDelta = 0;
  bool operator==(const CoordinateSpan&) const = default;
};

// A region of the map: its centre and its extent in degrees.
struct CoordinateRegion {
  Coordinate center;
  CoordinateSpan span;
  bool operator==(const CoordinateRegion&) const = default;
};

// The earth of the map view: a sphere of the equatorial radius, shown in spherical Mercator.
inline constexpr double EarthRadius = 6378137.0;
inline constexpr double MetresPerDegree = EarthRadius * 3.14159265358979323846 / 180.0;

// A region of latitudinalMeters (north-south) by longitudinalMeters (east-west) around the centre.
CoordinateRegion coordinateRegionMakeWithDistance(const Coordinate& center, double latitudinalMeters,
                                                  double longitudinalMeters);
// Great-circle distance in metres on the map's sphere.
double distanceBetween(const Coordinate& a, const Coordinate& b);

// Spherical Mercator, in metres at the equator: x east, y north.
Point mercatorFromCoordinate(const Coordinate& c);
Coordinate coordinateFromMercator(Point p);

}  // namespace platform
