#include "mapsdk/display/GMKPolylineView.h"

namespace mapsdk {

void GMKPolylineView::createPath() {
  auto line = polyline();
  if (!line || line->points().empty()) return;
  auto path = std::make_shared<platform::Path>();
  addPointsToPath(*path, line->points(), false);
  setPath(path);
}

void GMKPolylineView::drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const {
  context.strokePath(path);
}

}  // namespace mapsdk
