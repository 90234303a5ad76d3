#include "mapsdk/display/GMKPolygonView.h"

namespace mapsdk {

void GMKPolygonView::createPath() {
  auto shape = polygon();
  if (!shape || shape->points().empty()) return;
  auto path = std::make_shared<platform::Path>();
  addPointsToPath(*path, shape->points(), true);
  for (const auto& hole : shape->interiorPolygons())
    if (hole) addPointsToPath(*path, hole->points(), true);
  setPath(path);
}

void GMKPolygonView::drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const {
  context.fillPath(path, platform::PathFillRule::EvenOdd);
  context.strokePath(path);
}

}  // namespace mapsdk
