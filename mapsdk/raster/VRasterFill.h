#pragma once
#include <cstdint>

#include "mapsdk/raster/VRaster.h"

// Inner steps of the renderer shared by the context operations: the anti-aliased polygon filler
// (24.8 fixed point, non-zero winding), the wide-line stroker and the thin-line kernel.
namespace gmengine::raster {

// A point in 24.8 fixed point (256 sub-pixel steps), 64-bit so no caller coordinate wraps.
struct FixPoint {
  std::int64_t x;
  std::int64_t y;
};

// Largest point count the filler and the stroker take in one call.
constexpr int kMaxFillPoints = 1 << 22;

// Fills the polygon (closed by an edge from the last point to the first) inside clip. 0 when
// nothing could be drawn (outside, too few or too many points, no memory).
int FillPolygon(VBitmap* bitmap, const _VRect& clip, const FixPoint* points, int count, std::uint32_t color,
                int opacity);

// Strokes an open polyline of halfWidth (24.8) with bevel joins and half-octagon caps as one
// polygon. 0 when nothing was drawn (one distinct pixel, outside).
int StrokePolyline(VBitmap* bitmap, const _VRect& clip, const FixPoint* points, int count,
                   std::int64_t halfWidth, std::uint32_t color, int opacity);

// The 1-pixel anti-aliased line from (x1, y1) to (x2, y2), both ends drawn, clipped to the bitmap
// and written only inside clip; dotted draws one step in three. 0 when the line was dropped.
int DrawThinLine(VBitmap* bitmap, const _VRect& clip, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                 std::int64_t y2, std::uint32_t color, bool dotted);

}  // namespace gmengine::raster
