#include "mapsdk/display/CMapStatus.h"

#include <algorithm>
#include <cmath>

namespace mapsdk {

namespace {

int ClampInt(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

std::int32_t CMapStatus::UnitsPerPixel(int level) {
  return static_cast<std::int32_t>(std::pow(2.0, 18 - std::clamp(level, kMinLevel, kMaxLevel)));
}

std::int64_t CMapStatus::FloorDiv(std::int64_t v, std::int64_t d) {
  if (d == 0) return 0;
  return v < 0 ? -((-v) / d) - 1 : v / d;
}

void CMapStatus::SetLevel(int newLevel) {
  level = std::clamp(newLevel, kMinLevel, kMaxLevel);
  upp = UnitsPerPixel(level);
}

void CMapStatus::SetWindow(const gmengine::_VRect& rect) {
  window = rect;
  width = std::max(0, rect.right - rect.left);
  height = std::max(0, rect.bottom - rect.top);
}

void CMapStatus::SetCenter(std::int32_t x, std::int32_t y) {
  centerX = x;
  centerY = y;
}

void CMapStatus::UpdateBounds(int cols, int rows) {
  if (upp <= 0) return;
  const std::int64_t T = static_cast<std::int64_t>(upp) * kTileSize;
  const std::int64_t halfW = static_cast<std::int64_t>(width / 2) * upp;
  const std::int64_t halfH = static_cast<std::int64_t>(height / 2) * upp;

  centerX = std::clamp(centerX, -kMaxCenterX, kMaxCenterX);
  if (centerY <= -kCenterYLimit) centerY = -kCenterYLimit + 1;
  if (centerY >= kCenterYLimit) centerY = kCenterYLimit - 1;

  std::int64_t top = centerY + halfH;
  std::int64_t left = centerX - halfW;
  std::int64_t row = FloorDiv(top, T);
  std::int64_t col = FloorDiv(left, T);
  mapBounds = {ClampInt(left), ClampInt(top), ClampInt(centerX + halfW), ClampInt(centerY - halfH)};

  std::int64_t blockLeft = col * T;
  std::int64_t blockBottom = (row - (rows - 1)) * T;
  std::int64_t blockRight = (col + cols) * T;
  std::int64_t blockTop = row * T + T;

  const std::int64_t south = -kPoleUnits / T;
  if (blockBottom < (south - 1) * T) {
    blockBottom = (south - 1) * T;
    blockTop = (south - 1 + rows) * T;
    row = south + rows - 2;
    if (centerY - blockBottom < halfH) centerY = ClampInt(blockBottom + halfH);
  }
  const std::int64_t north = kPoleUnits / T;
  const std::int64_t limit = (north + 1) * T;
  // Only a block reaching past the northern edge is pulled back; one lying wholly south of the
  // zero line stays where it is.
  if (blockTop > limit) {
    blockTop = limit;
    blockBottom = (north + 1 - rows) * T;
    row = north;
    if (limit - centerY < halfH) centerY = ClampInt(limit - halfH);
  }
  tileBounds = {ClampInt(blockLeft), ClampInt(blockTop), ClampInt(blockRight), ClampInt(blockBottom)};
  tileCornerLB = {tileBounds.left, tileBounds.bottom};
  tileCornerRT = {tileBounds.right, tileBounds.top};
  firstTileCol = ClampInt(col);
  firstTileRow = ClampInt(row);
  UpdateOffset();
}

void CMapStatus::UpdateOffset() {
  if (upp == 0) return;
  offsetX = ClampInt((centerX - static_cast<std::int64_t>(width / 2) * upp - tileBounds.left) / upp);
  offsetY = ClampInt((tileBounds.top - (centerY + static_cast<std::int64_t>(height / 2) * upp)) / upp);
}

gmengine::_VPoint CMapStatus::ScreenToMap(int px, int py) const {
  std::int64_t x = centerX + static_cast<std::int64_t>(upp) * (px - width / 2 - window.left);
  std::int64_t y = centerY - static_cast<std::int64_t>(upp) * (py - height / 2 - window.top);
  return {ClampInt(x), ClampInt(y)};
}

gmengine::_VPoint CMapStatus::FromUnits(std::int64_t x, std::int64_t y) const {
  std::int64_t px = FloorDiv(x - tileBounds.left, upp) - (offsetX - window.left);
  std::int64_t py = FloorDiv(tileBounds.top - y, upp) - (offsetY - window.top);
  return {ClampInt(px), ClampInt(py)};
}

gmengine::_VPoint CMapStatus::MapToScreen(std::int32_t x, std::int32_t y) const { return FromUnits(x, y); }

gmengine::_VPoint CMapStatus::MapToScreenHundredths(std::int64_t x, std::int64_t y) const {
  return FromUnits(x / 100, y / 100);
}

gmengine::_VPoint CMapStatus::MapToScreen(double x, double y) const {
  double dx = std::trunc(x - tileBounds.left);
  double dy = std::trunc(tileBounds.top - y);
  if (!(std::fabs(dx) < 9e18) || !(std::fabs(dy) < 9e18)) return {};
  std::int64_t px = FloorDiv(static_cast<std::int64_t>(dx), upp) - (offsetX - window.left);
  std::int64_t py = FloorDiv(static_cast<std::int64_t>(dy), upp) - (offsetY - window.top);
  return {ClampInt(px), ClampInt(py)};
}

gmengine::_VRect CMapStatus::WindowTileRange() const {
  const std::int64_t T = static_cast<std::int64_t>(upp) * kTileSize;
  const std::int64_t halfW = static_cast<std::int64_t>(width / 2) * upp;
  const std::int64_t halfH = static_cast<std::int64_t>(height / 2) * upp;
  return {ClampInt(FloorDiv(centerX - halfW, T)), ClampInt(FloorDiv(centerY + halfH, T)),
          ClampInt(FloorDiv(centerX + halfW, T)), ClampInt(FloorDiv(centerY - halfH, T))};
}

bool CMapStatus::HasLeftLoadedRange() const {
  gmengine::_VRect r = WindowTileRange();
  return loadedLeftCol > r.left || loadedRightCol < r.right || loadedBottomRow > r.bottom ||
         loadedTopRow < r.top;
}

}  // namespace mapsdk
