#pragma once
#include "mapsdk/display/CBKGReq.h"
#include "mapsdk/display/CMapLayer.h"

namespace gmengine {
class CDataDisp;
}

namespace mapsdk {

class CMapStatus;

// Draws every item of the background layer's tiles as the background POI icon centred on its
// point, through the map's element drawer. Nothing without a drawer or a drawing context.
class CBKGDraw : public CDrawBase {
 public:
  CBKGDraw(CMapStatus* status, gmengine::CDataDisp* disp);
  void Attach(const BkgTileList* tiles) { tiles_ = tiles; }
  void Draw(MapDrawTarget& target) override;

 private:
  CMapStatus* status_;
  gmengine::CDataDisp* disp_;
  const BkgTileList* tiles_ = nullptr;
};

}  // namespace mapsdk
