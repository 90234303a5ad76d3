#include "mapsdk/display/GMKPolyline.h"

#include <cmath>

namespace mapsdk {

namespace {

double truncated(double v) { return std::trunc(v); }

}  // namespace

std::optional<bool> GMKPolyline::intersectsMapRect(const GMKMapRect& m) const {
  GMKMapRect b = boundingMapRect();
  if (b.size.width != 0 && b.size.height != 0) return GMKMapRectIntersectsRect(b, m);
  if (b.size.width != 0) {
    if (b.origin.y < m.origin.y || b.origin.y > m.origin.y + m.size.height) return false;
    if (truncated(b.origin.x + b.size.width) < m.origin.x) return false;
    return !(truncated(b.origin.x) > m.origin.x + m.size.width);
  }
  if (b.origin.x < m.origin.x || b.origin.x > m.origin.x + m.size.width) return false;
  if (truncated(b.origin.y + b.size.height) < m.origin.y) return false;
  return !(truncated(b.origin.y) > m.origin.y + m.size.height);
}

}  // namespace mapsdk
