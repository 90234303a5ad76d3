#include "mapsdk/raster/CVFont.h"

namespace gmengine {

int CVFont::CreateFont(int height, int width, int, int, int, int, int, int, int, int, int, int, int,
                       const char16_t* faceName, const CVGlobalMan* platform) {
  if (!handle_.IsEmpty()) return 0;
  handle_.Own(VCreateFont(height, width, faceName, platform));
  return handle_.IsEmpty() ? 0 : 1;
}

}  // namespace gmengine
