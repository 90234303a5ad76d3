#include "mapsdk/raster/VBitmapPng.h"

#include "platform/foundation/FileManager.h"
#include "platform/graphics/ImageCodec.h"

namespace gmengine {

std::optional<platform::Bitmap> BitmapToImage(const VBitmap* bitmap) {
  if (!bitmap || bitmap->bitsPerPixel != 32) return std::nullopt;
  std::optional<platform::Bitmap> image = platform::Bitmap::create(bitmap->width, bitmap->height, false);
  if (!image) return std::nullopt;
  for (int y = 0; y < bitmap->height; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(bitmap->pixels + static_cast<std::size_t>(y) * bitmap->stride);
    std::uint8_t* out = image->row(y);
    for (int x = 0; x < bitmap->width; ++x) {
      std::uint32_t v = row[x];
      out[x * 4] = static_cast<std::uint8_t>(v >> 16);
      out[x * 4 + 1] = static_cast<std::uint8_t>(v >> 8);
      out[x * 4 + 2] = static_cast<std::uint8_t>(v);
      out[x * 4 + 3] = 255;
    }
  }
  return image;
}

platform::Data EncodeBitmapPNG(const VBitmap* bitmap) {
  std::optional<platform::Bitmap> image = BitmapToImage(bitmap);
  return image ? platform::ImageCodec::encodePNG(*image) : platform::Data{};
}

bool WriteBitmapPNG(const VBitmap* bitmap, const std::string& path) {
  platform::Data png = EncodeBitmapPNG(bitmap);
  return !png.empty() && platform::FileManager::createFileAtPath(path, png);
}

}  // namespace gmengine
