#pragma once
#include <cstdint>
#include <memory>

#include "mapsdk/raster/VRaster.h"

namespace gmengine::test {

// A context drawing into its own width x height bitmap filled with background.
struct Canvas {
  VDC* dc = nullptr;
  VBitmap* bitmap = nullptr;

  Canvas(int width, int height, std::uint32_t background = 0xFF000000u) {
    dc = VCreateDC();
    bitmap = VCreateBitmap(width, height, 32, nullptr);
    FreeBitmapData(VSelectBitmap(dc, bitmap));
    VFillRect(dc, _VRect(0, 0, width, height), background);
  }
  ~Canvas() { VFreeDC(dc); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  std::uint32_t At(int x, int y) const {
    return reinterpret_cast<const std::uint32_t*>(bitmap->pixels +
                                                  static_cast<std::size_t>(y) * bitmap->stride)[x];
  }
  void SetPen(PenStyle style, int width, std::uint32_t color) {
    VFreePen(VSelectPen(dc, VCreatePen(style, width, color)));
  }
  void SetBrush(BrushStyle style, std::uint32_t color) {
    VFreeBrush(VSelectBrush(dc, VCreateBrush(style, color)));
  }
  // Polygons filled with colour, no outline.
  void UseFill(std::uint32_t color) {
    SetPen(PenStyle::None, 1, 0);
    SetBrush(BrushStyle::Solid, color);
  }
  // Number of pixels that are not the background.
  int Changed(std::uint32_t background = 0xFF000000u) const {
    int n = 0;
    for (int y = 0; y < bitmap->height; ++y)
      for (int x = 0; x < bitmap->width; ++x) n += At(x, y) != background;
    return n;
  }
};

}  // namespace gmengine::test
