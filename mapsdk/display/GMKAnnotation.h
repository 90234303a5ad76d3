#pragma once
#include <optional>
#include <string>

#include "mapsdk/display/GMKGeometry.h"

namespace mapsdk {

// What an annotation view tells the map view (default centre, object nil).
inline constexpr const char* NotificationSelectAnnotationView = "NotificationSelectAnnotationView";
inline constexpr const char* NotificationClearPaopao = "NotificationClearPaopao";
inline constexpr const char* NotificationUptateAnnotationCoordinate =
    "NotificationUptateAnnotationCoordinate";

// An object that stands on the map at a coordinate. Title and subtitle are optional (empty: not
// implemented); setCoordinate answers false when the annotation cannot be moved. Main thread.
class GMKAnnotation {
 public:
  virtual ~GMKAnnotation() = default;
  virtual CLLocationCoordinate2D coordinate() const = 0;
  virtual std::optional<std::string> title() const { return std::nullopt; }
  virtual std::optional<std::string> subtitle() const { return std::nullopt; }
  virtual bool setCoordinate(const CLLocationCoordinate2D& coordinate) { return false; }
};

// An annotation that also covers an area of the map and is drawn by an overlay view.
// intersectsMapRect is optional (empty: not implemented; the map view then tests the bounding
// rectangle).
class GMKOverlay : public virtual GMKAnnotation {
 public:
  virtual GMKMapRect boundingMapRect() const = 0;
  virtual std::optional<bool> intersectsMapRect(const GMKMapRect& mapRect) const { return std::nullopt; }
};

}  // namespace mapsdk
