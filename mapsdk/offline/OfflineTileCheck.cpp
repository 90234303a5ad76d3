#include "mapsdk/offline/OfflineTileCheck.h"

#include <cstdint>
#include <cstring>

#include "mapsdk/offline/COfflineDataCache.h"
#include "platform/graphics/ImageCodec.h"

namespace gmengine {

namespace {

constexpr int kTileSide = 256;

}  // namespace

bool OfflineTileDecodes(const void* data, int size) {
  if (size == 0) return true;
  if (!data || size < 0 || size > COfflineDataCache::kMaxTileSize) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const auto length = static_cast<std::size_t>(size);
  if (length >= 5 && std::memcmp(bytes, "taon", 4) == 0) return true;
  // A tile is never larger than the layers draw: a bigger header is refused before any pixel.
  platform::DecodeLimits limits;
  limits.maxDimension = kTileSide;
  limits.maxPixels = limits.maxTotalPixels = kTileSide * kTileSide;
  std::optional<platform::Bitmap> picture;
  switch (platform::ImageCodec::formatOfData(bytes, length)) {
    case platform::ImageFormat::PNG:
      picture = platform::ImageCodec::decodePNG(bytes, length, limits);
      break;
    case platform::ImageFormat::JPEG:
      picture = platform::ImageCodec::decodeJPEG(bytes, length, limits);
      break;
    default:
      return false;
  }
  return picture && picture->width() == kTileSide && picture->height() == kTileSide;
}

}  // namespace gmengine
