#include "mapsdk/display/GridDraw.h"

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/MapDrawTarget.h"
#include "mapsdk/display/TileImage.h"

namespace mapsdk {

GridDraw::GridDraw(CMapStatus* status) : status_(status) {}

void GridDraw::Attach(const GridTileList* needed, const GridShowList* drawList) {
  needed_ = needed;
  drawList_ = drawList;
}

gmengine::_VRect GridDraw::TileRect(int column, int row) const {
  const int side = tileimage::kTileSide;
  int x = (column - status_->firstTileCol) * side - status_->offsetX;
  int y = (status_->firstTileRow - row) * side - status_->offsetY;
  return {x, y, x + side, y + side};
}

void GridDraw::Draw(MapDrawTarget& target) {
  if (!status_ || !needed_ || needed_->IsEmpty() || (*needed_)[0].level != status_->level) return;
  for (const gmengine::tagGirdData& tile : *needed_) {
    if (!tile.data || tile.size <= 0) continue;
    target.drawBitmap(static_cast<const std::uint32_t*>(tile.data), tileimage::kTileSide,
                      tileimage::kTileSide, tile.size, TileRect(tile.x, tile.y));
  }
}

void GridDrawEx::Draw(MapDrawTarget& target) {
  GridDraw::Draw(target);
  if (!status_ || !drawList_ || drawList_->empty() || drawList_->front().level != status_->level) return;
  for (const tagGirdDataForShow& entry : *drawList_) {
    if (!entry.pixels) continue;
    target.drawBitmap(entry.pixels->data(), tileimage::kTileSide, tileimage::kTileSide, entry.size,
                      TileRect(entry.x, entry.y));
  }
}

}  // namespace mapsdk
