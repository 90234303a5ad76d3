#include "mapsdk/raster/CVBrush.h"

namespace gmengine {

int CVBrush::CreateSolidBrush(std::uint32_t color) {
  handle_.Release();
  handle_.Own(VCreateBrush(BrushStyle::Solid, color));
  return handle_.IsEmpty() ? 0 : 1;
}

}  // namespace gmengine
