#pragma once

// Geographic conversions of the engine. Pure functions; any thread.
namespace gmengine {

// Geographic degrees to the engine's Mercator map units (metres on a sphere of the equatorial
// radius 6378137; origin at longitude 0 on the equator, y north). Latitudes are held to
// +-85.0511287798 degrees, where the square world ends.
void GeoToMercator(double longitude, double latitude, double* x, double* y);
// The inverse.
void MercatorToGeo(double x, double y, double* longitude, double* latitude);

// Distance in metres between two geographic points on the WGS-84 ellipsoid (Vincenty's inverse
// formula; points where it does not settle, nearly opposite ones, fall back to the great circle on
// the mean radius). 0 for a non-finite input.
double GeoDistance(double longitude1, double latitude1, double longitude2, double latitude2);

// The map SDK's own system: converts a position of the national grid (what the platform's map gives,
// and what the satellite shift of VCoordShift.h yields) into the SDK's coordinate system, which the
// map service's answers use. A conversion apart from the satellite shift; its rule is the one of
// mapsdk/README.md ("Formats and units"). 1 on success; 0 (outputs untouched) for a non-finite
// input or one outside +-180 / +-90 degrees.
int CoordShiftToMapSystem(double longitude, double latitude, double* outLongitude, double* outLatitude);

}  // namespace gmengine
