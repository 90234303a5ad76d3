#include "mapsdk/display/CBKGDraw.h"

#include <cmath>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/display/MapDrawTarget.h"
#include "mapsdk/engine/CGeoElement.h"
#include "mapsdk/raster/CDataDisp.h"

namespace mapsdk {

CBKGDraw::CBKGDraw(CMapStatus* status, gmengine::CDataDisp* disp) : status_(status), disp_(disp) {}

void CBKGDraw::Draw(MapDrawTarget& target) {
  gmengine::CVDC* dc = target.dc();
  if (!dc || !disp_ || !tiles_) return;
  gmengine::CGeoElement element;
  element.geometryKind = gmengine::CGeoElement::kPoint;
  element.styleId = layerstyles::kBackgroundPoi;
  const gmengine::_VRect& window = status_->window;
  for (const gmengine::tag_PoiBkgDataElem& tile : *tiles_) {
    for (const gmengine::tag_PoiBkgBaseData& poi : tile.pois) {
      if (!std::isfinite(poi.x) || !std::isfinite(poi.y) || std::fabs(poi.x) > 2e9 || std::fabs(poi.y) > 2e9)
        continue;
      gmengine::_VPoint p =
          status_->MapToScreen(static_cast<std::int32_t>(poi.x), static_cast<std::int32_t>(poi.y));
      element.shape.AddPoint(gmengine::_VPoint(p.x - window.left, p.y - window.top));
    }
  }
  if (!element.shape.IsEmpty()) disp_->Draw(dc, &element);
}

}  // namespace mapsdk
