#pragma once
#include <memory>

#include "mapsdk/display/GMKShape.h"

namespace mapsdk {

// A circle of a radius in metres around a centre, drawn by a GMKCircleView. The radius is true
// metres at the centre's latitude: on the map it spans radius / cos(latitude) map units, since map
// units are Mercator metres (mapsdk/README.md).
class GMKCircle : public GMKShape, public GMKOverlay {
  // Only the class names it, so its factories are the only way in.
  struct Token {
    explicit Token() = default;
  };

 public:
  static std::shared_ptr<GMKCircle> circleWithCenterCoordinate(const CLLocationCoordinate2D& center,
                                                               double radius);
  // The circle inscribed in the square of the rectangle's larger side, from its origin.
  static std::shared_ptr<GMKCircle> circleWithMapRect(const GMKMapRect& mapRect);

  CLLocationCoordinate2D coordinate() const override { return coordinate_; }
  // Moves the centre; the bounding rectangle stays.
  bool setCoordinate(const CLLocationCoordinate2D& coordinate) override {
    coordinate_ = coordinate;
    return true;
  }
  double radius() const { return radius_; }
  GMKMapRect boundingMapRect() const override { return boundingMapRect_; }

  // Map units per metre at a latitude (1 / cos).
  static double mapUnitsPerMetre(double latitude);

  GMKCircle(Token, const CLLocationCoordinate2D& center, double radius, const GMKMapRect& bounding)
      : coordinate_(center), radius_(radius), boundingMapRect_(bounding) {}

 private:
  CLLocationCoordinate2D coordinate_;
  double radius_ = 0;
  GMKMapRect boundingMapRect_;
};

}  // namespace mapsdk
