#pragma once
#include <optional>
#include <string>

#include "mapsdk/raster/VRaster.h"
#include "platform/foundation/Data.h"
#include "platform/graphics/Bitmap.h"

// A look at what the renderer drew: a 32-bit bitmap block as an opaque platform bitmap or PNG.
namespace gmengine {

// None for a null or non-32-bit bitmap.
std::optional<platform::Bitmap> BitmapToImage(const VBitmap* bitmap);
// Empty when the bitmap cannot be converted.
platform::Data EncodeBitmapPNG(const VBitmap* bitmap);
// Writes the PNG to path (replacing the file); false on failure.
bool WriteBitmapPNG(const VBitmap* bitmap, const std::string& path);

}  // namespace gmengine
