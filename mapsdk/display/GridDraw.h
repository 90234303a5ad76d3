#pragma once
#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/display/GridReq.h"
#include "mapsdk/engine/VRect.h"

namespace mapsdk {

class CMapStatus;

// Paints the tiles of the needed list at their grid positions (nothing while the list belongs to
// another level than the status).
class GridDraw : public CDrawBase {
 public:
  explicit GridDraw(CMapStatus* status = nullptr);
  void Draw(MapDrawTarget& target) override;
  void Attach(const GridTileList* needed, const GridShowList* drawList);

 protected:
  // Window position of a tile's top-left corner.
  gmengine::_VRect TileRect(int column, int row) const;

  CMapStatus* status_;
  const GridTileList* needed_ = nullptr;
  const GridShowList* drawList_ = nullptr;
};

// Then paints the substitutes of missing tiles.
class GridDrawEx : public GridDraw {
 public:
  using GridDraw::GridDraw;
  void Draw(MapDrawTarget& target) override;
};

}  // namespace mapsdk
