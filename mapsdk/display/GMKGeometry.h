#pragma once
#include <memory>
#include <optional>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/GMKTypes.h"
#include "mapsdk/engine/VRect.h"

namespace platform {
class Dictionary;
class MutableDictionary;
}  // namespace platform

// The map SDK's geometry: geographic coordinates, map points (doubles, world map units, origin at
// the world's top left, y down), coordinate regions, and their conversions to the engine's integer
// points (origin at the world's centre, y up) and pixels. Stateless apart from the world size,
// computed once; any thread.
namespace mapsdk {

struct GMKMapSize {
  double width = 0;
  double height = 0;
};

struct GMKMapRect {
  GMKMapPoint origin;
  GMKMapSize size;
};

struct GMKCoordinateSpan {
  double latitudeDelta = 0;
  double longitudeDelta = 0;
};

struct GMKCoordinateRegion {
  CLLocationCoordinate2D center;
  GMKCoordinateSpan span;
};

struct GMKPixelPoint {
  int x = 0;
  int y = 0;
  bool operator==(const GMKPixelPoint&) const = default;
};

struct GMKPixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const GMKPixelSize&) const = default;
};

// The world: GeoToMercator(180, 85) - GeoToMercator(-180, -85), component by component.
const GMKMapSize& GMKMapSizeWorld();
// Origin (0, 0), size GMKMapSizeWorld().
const GMKMapRect& GMKMapRectWorld();
// Origin (+infinity, +infinity), size (0, 0).
const GMKMapRect& GMKMapRectNull();
// A rectangle whose origin x or y is infinite.
bool GMKMapRectIsNull(const GMKMapRect& rect);

// Map points and engine points, with hw, hh the world's half sizes truncated.
gmengine::_VPoint GMKMapPointToVPoint(const GMKMapPoint& point);
GMKMapPoint GMKVPointToMapPoint(const gmengine::_VPoint& point);
gmengine::_VRect GMKMapRectToVRect(const GMKMapRect& rect);
GMKMapRect GMKVRectToMapRect(const gmengine::_VRect& rect);
GMKMapRect GMKCoordinateRegionToMapRect(const GMKCoordinateRegion& region);
GMKCoordinateRegion GMKMapRectToCoordinateRegion(const GMKMapRect& rect);
GMKMapRect GMKMapRectUnionPoint(const GMKMapRect& rect, const GMKMapPoint& point);

// View points and engine pixels: doubled (halved) on a 640-pixel-wide engine screen. The screen is
// the caller's engine's (a map view's, through its handle).
GMKPixelPoint GMKScreenPointToPixel(const GMKPixelPoint& point, const gmengine::CVScreenRecord& screen);
GMKPixelPoint GMKPixelToScreenPoint(const GMKPixelPoint& point, const gmengine::CVScreenRecord& screen);
GMKPixelSize GMKScreenSizeToPixel(const GMKPixelSize& size, const gmengine::CVScreenRecord& screen);

GMKMapPoint GMKMapPointFromCoordinate(const CLLocationCoordinate2D& coordinate);
CLLocationCoordinate2D GMKCoordinateFromMapPoint(const GMKMapPoint& point);
// Metres on the ellipsoid.
double GMKMapPointsDistance(const GMKMapPoint& a, const GMKMapPoint& b);
GMKMapRect GMKMapRectOffset(const GMKMapRect& rect, double dx, double dy);
// Far edges excluded.
bool GMKMapRectContainsPoint(const GMKMapRect& rect, const GMKMapPoint& point);
// A strictly positive overlap on both axes; touching is not intersecting.
bool GMKMapRectIntersectsRect(const GMKMapRect& a, const GMKMapRect& b);
GMKCoordinateRegion GMKCoordinateRegionForMapRect(const GMKMapRect& rect);

// The coordinate in the SDK's own system (CoordShiftToMapSystem); none for a point that is not
// finite or lies outside +-180 / +-90 degrees.
std::optional<CLLocationCoordinate2D> GMKCoordinateToMapSystem(const CLLocationCoordinate2D& coordinate);

// {"x": base64 of "%.5f" of the longitude, "y": the same of the latitude}, both first converted
// into the SDK's own system (CoordShiftToMapSystem).
std::shared_ptr<platform::MutableDictionary> GMKEncodeMapCoordinate(const CLLocationCoordinate2D& coordinate);
// Reads such a dictionary back (no conversion undone). A component that is missing or does not
// decode keeps the value it has in the returned coordinate's default (0).
CLLocationCoordinate2D GMKDecodeCoordinateDictionary(const platform::Dictionary& dictionary);

}  // namespace mapsdk
