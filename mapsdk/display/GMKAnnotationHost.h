#pragma once
#include "mapsdk/display/GMKGeometry.h"
#include "platform/graphics/Geometry.h"

namespace platform {
class View;
}

namespace mapsdk {

// What annotation, bubble, overlay and location views need of the map view that hosts them: its
// conversions between the map and a view's coordinates, and the zoom level of the map status.
// The map view implements it and hands itself to the views it places (a null view means the map
// view's own coordinates). Main thread.
class GMKAnnotationHost {
 public:
  virtual ~GMKAnnotationHost() = default;
  virtual platform::Point convertCoordinate(const CLLocationCoordinate2D& coordinate,
                                            const platform::View* toView) const = 0;
  virtual CLLocationCoordinate2D convertPoint(platform::Point point,
                                              const platform::View* fromView) const = 0;
  virtual platform::Rect convertMapRect(const GMKMapRect& mapRect, const platform::View* toView) const = 0;
  virtual GMKMapRect convertRect(const platform::Rect& rect, const platform::View* fromView) const = 0;
  // 3 to 18: 2^(18 - level) map units per point.
  virtual int zoomLevel() const = 0;
};

}  // namespace mapsdk
