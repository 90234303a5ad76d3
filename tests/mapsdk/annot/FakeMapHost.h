#pragma once
#include <cmath>
#include <memory>

#include "mapsdk/display/GMKAnnotationHost.h"
#include "platform/ui/View.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

// A map view stand-in: a 320 x 480 view that shows the map around a centre map point at a zoom
// level (2^(18 - level) map units per point), converting as the map view does.
class FakeMapHost : public platform::View, public mapsdk::GMKAnnotationHost {
 public:
  FakeMapHost(mapsdk::GMKMapPoint center, int level)
      : platform::View(platform::Rect(0, 0, 320, 480)), center_(center), level_(level) {}

  double unitsPerPoint() const { return std::pow(2.0, 18 - level_); }
  void setLevel(int level) { level_ = level; }

  platform::Point pointForMapPoint(const mapsdk::GMKMapPoint& p) const {
    return {(p.x - center_.x) / unitsPerPoint() + 160, (p.y - center_.y) / unitsPerPoint() + 240};
  }
  mapsdk::GMKMapPoint mapPointForPoint(platform::Point p) const {
    return {(p.x - 160) * unitsPerPoint() + center_.x, (p.y - 240) * unitsPerPoint() + center_.y};
  }

  platform::Point convertCoordinate(const mapsdk::CLLocationCoordinate2D& c,
                                    const platform::View* toView) const override {
    return toMine(pointForMapPoint(mapsdk::GMKMapPointFromCoordinate(c)), toView);
  }
  mapsdk::CLLocationCoordinate2D convertPoint(platform::Point p,
                                              const platform::View* fromView) const override {
    return mapsdk::GMKCoordinateFromMapPoint(mapPointForPoint(fromMine(p, fromView)));
  }
  platform::Rect convertMapRect(const mapsdk::GMKMapRect& r, const platform::View* toView) const override {
    platform::Point a = toMine(pointForMapPoint(r.origin), toView);
    platform::Point b =
        toMine(pointForMapPoint({r.origin.x + r.size.width, r.origin.y + r.size.height}), toView);
    return {a.x, a.y, b.x - a.x, b.y - a.y};
  }
  mapsdk::GMKMapRect convertRect(const platform::Rect& r, const platform::View* fromView) const override {
    mapsdk::GMKMapPoint a = mapPointForPoint(fromMine(r.origin, fromView));
    mapsdk::GMKMapPoint b = mapPointForPoint(fromMine({r.maxX(), r.maxY()}, fromView));
    return {a, {b.x - a.x, b.y - a.y}};
  }
  int zoomLevel() const override { return level_; }

 private:
  platform::Point toMine(platform::Point p, const platform::View* v) const {
    return v && v != this ? v->convertPointFromView(p, this) : p;
  }
  platform::Point fromMine(platform::Point p, const platform::View* v) const {
    return v && v != this ? v->convertPointToView(p, this) : p;
  }

  mapsdk::GMKMapPoint center_;
  int level_;
};

}  // namespace kavro::test
