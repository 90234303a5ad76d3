#include "mapsdk/display/GMKCircleView.h"

#include <numbers>

namespace mapsdk {

void GMKCircleView::createPath() {
  platform::Rect r = rectForMapRect(boundingMapRect());
  auto path = std::make_shared<platform::Path>();
  path->addArc({r.midX(), r.midY()}, r.width() * 0.5, 0, 2 * std::numbers::pi, true);
  setPath(path);
}

}  // namespace mapsdk
