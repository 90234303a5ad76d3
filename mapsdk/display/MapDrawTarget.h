#pragma once
#include <cstdint>
#include <span>

#include "mapsdk/engine/VRect.h"

namespace gmengine {
class CVDC;
}

namespace mapsdk {

// Where the layers' Draw step paints: the map controller's back buffer, seen through the few
// operations the layers need. The drawing classes plug in here (a target over the engine's drawing
// context); tests record what arrives. Pixels are engine colours, 0xAARRGGBB words, rows top down.
// Rectangles and points are window pixels (y down). Main thread.
class MapDrawTarget {
 public:
  virtual ~MapDrawTarget() = default;
  // Draws a width x height bitmap of bytes bytes into destination (same size: copied; else
  // stretched). Beyond width x height words, the bytes are an alpha plane of a byte a pixel that
  // follows the pixels: the bitmap is then blended (alpha 0 leaves what is under it).
  virtual void drawBitmap(const std::uint32_t* pixels, int width, int height, int bytes,
                          const gmengine::_VRect& destination) = 0;
  // Draws an open polyline of the given colour and width in pixels.
  virtual void drawPolyline(std::span<const gmengine::_VPoint> points, std::uint32_t color, int width) = 0;
  // The engine's drawing context behind the target, for the element drawer; none by default (such
  // a target shows no vector or background elements).
  virtual gmengine::CVDC* dc() { return nullptr; }
};

}  // namespace mapsdk
