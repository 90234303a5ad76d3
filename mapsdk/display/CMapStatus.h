#pragma once
#include <cstdint>

#include "mapsdk/engine/VRect.h"

namespace mapsdk {

// Where the map engine looks: level, window, centre, scale, the visible bounds in map units (x east,
// y north) and the tile grid that covers them. The map controller writes level, centre and window,
// the tile request the loaded tile range; everyone else
// reads. Each map controller owns its own. Main thread, no lock.
//
// Map units fit 32 bits; anything in hundredths of a unit, or a product of units, is worked in 64.
class CMapStatus {
 public:
  static constexpr int kTileSize = 256;
  static constexpr int kMinLevel = 3;
  static constexpr int kMaxLevel = 18;
  static constexpr std::int32_t kMaxCenterX = 29360128;
  static constexpr std::int32_t kCenterYLimit = 40683701;
  static constexpr std::int32_t kPoleUnits = 31812864;

  // Integer part of 2^(18 - level).
  static std::int32_t UnitsPerPixel(int level);
  // v / d with the engine's rounding: a negative v gives -((-v) / d) - 1, so an exact negative
  // multiple lands one lower too.
  static std::int64_t FloorDiv(std::int64_t v, std::int64_t d);

  // Level (held to 3..18) and upp.
  void SetLevel(int level);
  // The window in the device's pixel space; width and height follow from it.
  void SetWindow(const gmengine::_VRect& window);
  void SetCenter(std::int32_t x, std::int32_t y);

  // The bounds update for a kept block of cols x rows tiles (clamps, tile block, pole limits),
  // followed by the offset update.
  void UpdateBounds(int cols, int rows);
  // Offset of the tile block's top-left corner from the window's, in pixels; nothing while upp is 0.
  void UpdateOffset();
  // The kept block a window of this size needs: width / 256 + 2 by height / 256 + 2.
  int KeptCols() const { return width / kTileSize + 2; }
  int KeptRows() const { return height / kTileSize + 2; }

  // Window point (pixels in the window rectangle's space) to map point.
  gmengine::_VPoint ScreenToMap(int px, int py) const;
  // Map point to window point: integer units, hundredths of a unit, and doubles.
  gmengine::_VPoint MapToScreen(std::int32_t x, std::int32_t y) const;
  gmengine::_VPoint MapToScreenHundredths(std::int64_t x, std::int64_t y) const;
  gmengine::_VPoint MapToScreen(double x, double y) const;

  // The window's tile range for the current centre: left, right columns and bottom, top rows.
  gmengine::_VRect WindowTileRange() const;
  // Whether the window left the last loaded tile range.
  bool HasLeftLoadedRange() const;

  // Back to zero (tests).
  void Reset() { *this = CMapStatus(); }

  gmengine::_VRect mapBounds;  // left, top (the larger y), right, bottom
  int level = 0;
  gmengine::_VRect tileBounds;  // the kept tile block
  int width = 0;
  int height = 0;
  gmengine::_VRect window;
  int sizeWords[2] = {0, 0};
  std::int32_t centerX = 0;
  std::int32_t centerY = 0;
  int offsetX = 0;
  int offsetY = 0;
  std::int32_t upp = 0;
  int firstTileCol = 0;
  int firstTileRow = 0;
  gmengine::_VPoint tileCornerLB;
  gmengine::_VPoint tileCornerRT;
  // The last tile list's range: left column, right column, bottom row, top row.
  int loadedLeftCol = 0;
  int loadedRightCol = 0;
  int loadedBottomRow = 0;
  int loadedTopRow = 0;

 private:
  gmengine::_VPoint FromUnits(std::int64_t x, std::int64_t y) const;
};

}  // namespace mapsdk
