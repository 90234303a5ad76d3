#pragma once
#include "mapsdk/display/GMKShape.h"

namespace mapsdk {

// The simplest annotation: a shape with a coordinate that can be set.
class GMKPointAnnotation : public GMKShape {
 public:
  CLLocationCoordinate2D coordinate() const override { return coordinate_; }
  bool setCoordinate(const CLLocationCoordinate2D& coordinate) override {
    coordinate_ = coordinate;
    return true;
  }

 private:
  CLLocationCoordinate2D coordinate_;
};

}  // namespace mapsdk
