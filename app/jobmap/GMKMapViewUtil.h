#pragma once
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "platform/location/MapGeometry.h"

namespace kavro {

// The job map's pin on the map SDK's view; a selected pin shows the focus picture.
class GMKCustomerPointAnnotation : public mapsdk::GMKPointAnnotation {
 public:
  bool isSelected() const { return isSelected_; }
  void setIsSelected(bool selected) { isSelected_ = selected; }

 private:
  bool isSelected_ = false;
};

// Radius arithmetic on the map SDK's view, whose zoom works in whole levels (3 to 18; one level up
// halves the radius). Radii are metres on the ground.
namespace geomapview {

inline mapsdk::CLLocationCoordinate2D toGeo(const platform::Coordinate& c) {
  return {c.latitude, c.longitude};
}
inline platform::Coordinate fromGeo(const mapsdk::CLLocationCoordinate2D& c) {
  return {c.latitude, c.longitude};
}

// The ground distance from the view's centre to the point 145 points right of it.
double countRadiusByGeoSdk(const mapsdk::GMKMapView& map);
// The radius the map would show at that level.
double countRadiusByZoomLevel(const mapsdk::GMKMapView& map, int level);
// The level that shows the radius best: the first from 18 down to 4 showing more than it, or the
// next level up when that one is nearer (a tie keeps the first); 3 when none does.
int zoomLevelByRadius(const mapsdk::GMKMapView& map, double radius);
// Centres the map and sets the level for the radius; 0.1 s later the living map search screen, if
// any, measures its map again.
void setCenterCoordinate(mapsdk::GMKMapView& map, const mapsdk::CLLocationCoordinate2D& centre, float radius,
                         bool animated);

}  // namespace geomapview
}  // namespace kavro
