#include "mapsdk/raster/CVPen.h"

namespace gmengine {

int CVPen::CreatePen(PenStyle style, int width, std::uint32_t color) {
  handle_.Release();
  handle_.Own(VCreatePen(style, width, color));
  return handle_.IsEmpty() ? 0 : 1;
}

}  // namespace gmengine
