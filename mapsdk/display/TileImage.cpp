#include "mapsdk/display/TileImage.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/graphics/ImageCodec.h"

namespace mapsdk::tileimage {

RecordKind KindOf(const std::uint8_t* data, std::size_t size) {
  if (!data) return RecordKind::Unknown;
  if (size >= 5 && std::memcmp(data, "taon", 4) == 0) {
    return data[4] == 0 ? RecordKind::EmptyTile : RecordKind::NoTile;
  }
  if (size >= 4 && std::memcmp(data + 1, "PNG", 3) == 0) return RecordKind::PNG;
  if (size >= 10 && std::memcmp(data + 6, "JFIF", 4) == 0) return RecordKind::JPEG;
  return RecordKind::Unknown;
}

std::array<std::uint8_t, kEmptyRecordSize> EmptyRecord(std::uint8_t flag) {
  std::array<std::uint8_t, kEmptyRecordSize> record{};
  std::memcpy(record.data(), "taon", 4);
  record[4] = flag;
  return record;
}

std::uint32_t BackgroundFor(int level) { return level < 10 ? kBackgroundLowLevels : kBackground; }

namespace {

// Straight into the tile's words: libpng writes each row in the words' byte order, so there is no
// picture in between to allocate, clear and copy.
bool DecodePNG(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  if (image.width != static_cast<png_uint_32>(kTileSide) ||
      image.height != static_cast<png_uint_32>(kTileSide)) {
    png_image_free(&image);
    return false;
  }
  // 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
  image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  // finish_read frees the reader, whatever the outcome.
  return png_image_finish_read(&image, nullptr, out, kTileSide * 4, nullptr) != 0;
}

}  // namespace

bool Decode(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
  if (!out || size > kMaxTileBytes) return false;
  if (KindOf(data, size) == RecordKind::PNG) return DecodePNG(data, size, out);
  platform::DecodeLimits limits;
  limits.maxDimension = kTileSide;
  limits.maxPixels = kTilePixels;
  limits.maxTotalPixels = kTilePixels;
  limits.maxFrames = 1;
  std::optional<platform::Bitmap> bitmap;
  if (KindOf(data, size) != RecordKind::JPEG) return false;
  bitmap = platform::ImageCodec::decodeJPEG(data, size, limits);
  if (!bitmap || bitmap->width() != kTileSide || bitmap->height() != kTileSide) return false;
  const std::uint8_t* p = bitmap->data();
  for (int i = 0; i < kTilePixels; ++i, p += 4) {
    out[i] = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
             static_cast<std::uint32_t>(p[1]) << 8 | p[2];
  }
  return true;
}

void StretchSquare(const std::uint32_t* source, int x, int y, int side, std::uint32_t* out) {
  side = std::clamp(side, 1, kTileSide);
  x = std::clamp(x, 0, kTileSide - side);
  y = std::clamp(y, 0, kTileSide - side);
  for (int row = 0; row < kTileSide; ++row) {
    const std::uint32_t* line = source + static_cast<std::size_t>(y + row * side / kTileSide) * kTileSide + x;
    std::uint32_t* target = out + static_cast<std::size_t>(row) * kTileSide;
    for (int col = 0; col < kTileSide; ++col) target[col] = line[col * side / kTileSide];
  }
}

}  // namespace mapsdk::tileimage
