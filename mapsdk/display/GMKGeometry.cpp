#include "mapsdk/display/GMKGeometry.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "mapsdk/engine/VBase64.h"
#include "mapsdk/engine/VGeoMath.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Text.h"

namespace mapsdk {

namespace {

struct World {
  GMKMapSize size;
  double hw = 0;
  double hh = 0;
  World() {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    gmengine::GeoToMercator(180, 85, &x2, &y2);
    gmengine::GeoToMercator(-180, -85, &x1, &y1);
    size = {x2 - x1, y2 - y1};
    hw = std::trunc(size.width / 2);
    hh = std::trunc(size.height / 2);
  }
};

const World& TheWorld() {
  static const World world;
  return world;
}

// Truncation into an int, held to the int range (a NaN becomes 0).
int TruncInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

bool IsDoubleDensity(const gmengine::CVScreenRecord& screen) { return screen.width == 640; }

std::string EncodeComponent(double value) {
  char text[20];
  std::snprintf(text, sizeof text, "%.5f", value);
  char encoded[40];
  if (gmengine::Base64Encode(encoded, sizeof encoded, text) <= 0) return {};
  return encoded;
}

// The decimal text of one encoded component; false when it is not ASCII or too long.
bool DecodeComponent(const std::string& encoded, double& value) {
  if (encoded.size() > 19) return false;
  for (unsigned char c : encoded) {
    if (c >= 0x80) return false;
  }
  unsigned char text[21] = {};
  gmengine::Base64Decode(text, 20, encoded.c_str());
  value = std::atof(reinterpret_cast<const char*>(text));
  return true;
}

}  // namespace

const GMKMapSize& GMKMapSizeWorld() { return TheWorld().size; }

const GMKMapRect& GMKMapRectWorld() {
  static const GMKMapRect world{{0, 0}, GMKMapSizeWorld()};
  return world;
}

const GMKMapRect& GMKMapRectNull() {
  static const GMKMapRect null{
      {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()}, {0, 0}};
  return null;
}

bool GMKMapRectIsNull(const GMKMapRect& rect) {
  return std::isinf(rect.origin.x) || std::isinf(rect.origin.y);
}

gmengine::_VPoint GMKMapPointToVPoint(const GMKMapPoint& point) {
  return {TruncInt(point.x - TheWorld().hw), TruncInt(TheWorld().hh - point.y)};
}

GMKMapPoint GMKVPointToMapPoint(const gmengine::_VPoint& point) {
  return {point.x + TheWorld().hw, TheWorld().hh - point.y};
}

gmengine::_VRect GMKMapRectToVRect(const GMKMapRect& rect) {
  gmengine::_VPoint a = GMKMapPointToVPoint(rect.origin);
  gmengine::_VPoint b =
      GMKMapPointToVPoint({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height});
  return {a.x, a.y, b.x, b.y};
}

GMKMapRect GMKVRectToMapRect(const gmengine::_VRect& rect) {
  const World& w = TheWorld();
  GMKMapPoint origin{w.hw + rect.left, w.hh - rect.top};
  return {origin, {w.hw + rect.right - origin.x, w.hh - rect.bottom - origin.y}};
}

GMKMapRect GMKCoordinateRegionToMapRect(const GMKCoordinateRegion& region) {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  gmengine::GeoToMercator(region.center.longitude - region.span.longitudeDelta / 2,
                          region.center.latitude + region.span.latitudeDelta / 2, &x1, &y1);
  gmengine::GeoToMercator(region.center.longitude + region.span.longitudeDelta / 2,
                          region.center.latitude - region.span.latitudeDelta / 2, &x2, &y2);
  return GMKVRectToMapRect({TruncInt(x1), TruncInt(y1), TruncInt(x2), TruncInt(y2)});
}

GMKCoordinateRegion GMKMapRectToCoordinateRegion(const GMKMapRect& rect) {
  CLLocationCoordinate2D c1 = GMKCoordinateFromMapPoint(rect.origin);
  CLLocationCoordinate2D c2 =
      GMKCoordinateFromMapPoint({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height});
  return {{(c1.latitude + c2.latitude) / 2, (c1.longitude + c2.longitude) / 2},
          {c1.latitude - c2.latitude, c2.longitude - c1.longitude}};
}

GMKMapRect GMKMapRectUnionPoint(const GMKMapRect& rect, const GMKMapPoint& point) {
  GMKMapPoint origin{std::fmin(rect.origin.x, point.x), std::fmin(rect.origin.y, point.y)};
  double farX = std::fmax(rect.origin.x + rect.size.width, point.x);
  double farY = std::fmax(rect.origin.y + rect.size.height, point.y);
  return {origin, {farX - origin.x, farY - origin.y}};
}

GMKPixelPoint GMKScreenPointToPixel(const GMKPixelPoint& point, const gmengine::CVScreenRecord& screen) {
  return IsDoubleDensity(screen) ? GMKPixelPoint{point.x * 2, point.y * 2} : point;
}

GMKPixelPoint GMKPixelToScreenPoint(const GMKPixelPoint& point, const gmengine::CVScreenRecord& screen) {
  return IsDoubleDensity(screen) ? GMKPixelPoint{point.x / 2, point.y / 2} : point;
}

GMKPixelSize GMKScreenSizeToPixel(const GMKPixelSize& size, const gmengine::CVScreenRecord& screen) {
  return IsDoubleDensity(screen) ? GMKPixelSize{size.width * 2, size.height * 2} : size;
}

GMKMapPoint GMKMapPointFromCoordinate(const CLLocationCoordinate2D& coordinate) {
  double x = 0, y = 0;
  gmengine::GeoToMercator(coordinate.longitude, coordinate.latitude, &x, &y);
  return GMKVPointToMapPoint({TruncInt(x), TruncInt(y)});
}

CLLocationCoordinate2D GMKCoordinateFromMapPoint(const GMKMapPoint& point) {
  gmengine::_VPoint v = GMKMapPointToVPoint(point);
  double longitude = 0, latitude = 0;
  gmengine::MercatorToGeo(v.x, v.y, &longitude, &latitude);
  return {latitude, longitude};
}

double GMKMapPointsDistance(const GMKMapPoint& a, const GMKMapPoint& b) {
  CLLocationCoordinate2D ca = GMKCoordinateFromMapPoint(a);
  CLLocationCoordinate2D cb = GMKCoordinateFromMapPoint(b);
  return gmengine::GeoDistance(ca.longitude, ca.latitude, cb.longitude, cb.latitude);
}

GMKMapRect GMKMapRectOffset(const GMKMapRect& rect, double dx, double dy) {
  return {{rect.origin.x + dx, rect.origin.y + dy}, rect.size};
}

bool GMKMapRectContainsPoint(const GMKMapRect& rect, const GMKMapPoint& point) {
  return rect.origin.x <= point.x && point.x < rect.origin.x + rect.size.width && rect.origin.y <= point.y &&
         point.y < rect.origin.y + rect.size.height;
}

bool GMKMapRectIntersectsRect(const GMKMapRect& a, const GMKMapRect& b) {
  double w =
      std::fmin(a.origin.x + a.size.width, b.origin.x + b.size.width) - std::fmax(a.origin.x, b.origin.x);
  double h =
      std::fmin(a.origin.y + a.size.height, b.origin.y + b.size.height) - std::fmax(a.origin.y, b.origin.y);
  return w > 0 && h > 0;
}

GMKCoordinateRegion GMKCoordinateRegionForMapRect(const GMKMapRect& rect) {
  CLLocationCoordinate2D center = GMKCoordinateFromMapPoint(
      {rect.origin.x + rect.size.width * 0.5, rect.origin.y + rect.size.height * 0.5});
  CLLocationCoordinate2D c1 = GMKCoordinateFromMapPoint(rect.origin);
  CLLocationCoordinate2D c2 =
      GMKCoordinateFromMapPoint({rect.origin.x + rect.size.width, rect.origin.y + rect.size.height});
  return {center, {c1.latitude - c2.latitude, c2.longitude - c1.longitude}};
}

std::optional<CLLocationCoordinate2D> GMKCoordinateToMapSystem(const CLLocationCoordinate2D& coordinate) {
  CLLocationCoordinate2D shifted;
  if (!gmengine::CoordShiftToMapSystem(coordinate.longitude, coordinate.latitude, &shifted.longitude,
                                       &shifted.latitude))
    return std::nullopt;
  return shifted;
}

std::shared_ptr<platform::MutableDictionary> GMKEncodeMapCoordinate(
    const CLLocationCoordinate2D& coordinate) {
  double x = coordinate.longitude, y = coordinate.latitude;
  gmengine::CoordShiftToMapSystem(coordinate.longitude, coordinate.latitude, &x, &y);
  auto dictionary = platform::MutableDictionary::create();
  dictionary->setObject(EncodeComponent(x), "x");
  dictionary->setObject(EncodeComponent(y), "y");
  return dictionary;
}

CLLocationCoordinate2D GMKDecodeCoordinateDictionary(const platform::Dictionary& dictionary) {
  CLLocationCoordinate2D result;
  const platform::Value* x = dictionary.objectForKey("x");
  const platform::Value* y = dictionary.objectForKey("y");
  if (!x || !y || x->kind() != platform::Value::Kind::String || y->kind() != platform::Value::Kind::String) {
    return result;
  }
  const std::string& xs = x->stringValue();
  const std::string& ys = y->stringValue();
  if (platform::utf16Length(xs) > 20 || platform::utf16Length(ys) > 20) return result;
  double value = 0;
  if (DecodeComponent(xs, value)) result.longitude = value;
  if (DecodeComponent(ys, value)) result.latitude = value;
  return result;
}

}  // namespace mapsdk
