#pragma once
#include "mapsdk/display/GMKAnnotationView.h"

namespace mapsdk {

// The platform's values.
enum class GMKPinAnnotationColor : unsigned { Red = 0, Green = 1, Purple = 2 };

// The standard pin: the bundle's "pin_red", "pin_green" or "pin_purple" picture, its foot on the
// coordinate. animatesDrop is kept for the map view, which plays the drop.
class GMKPinAnnotationView : public GMKAnnotationView {
 public:
  GMKPinAnnotationView(std::shared_ptr<GMKAnnotation> annotation, std::string reuseIdentifier);

  GMKPinAnnotationColor pinColor() const { return pinColor_; }
  // Another picture for a new colour (the centre offset stays); values out of range are ignored.
  void setPinColor(GMKPinAnnotationColor color);
  bool animatesDrop() const { return animatesDrop_; }
  void setAnimatesDrop(bool animates) { animatesDrop_ = animates; }

 private:
  GMKPinAnnotationColor pinColor_ = GMKPinAnnotationColor::Red;
  bool animatesDrop_ = false;
};

}  // namespace mapsdk
