// Map tiles from the service and the caches decode on the layer's own path: any bytes decode to a
// whole 256 x 256 tile or to nothing, and a tile that decodes is word for word what libpng makes of
// the same bytes (its fast path may not accept what libpng refuses, nor read it differently).
#include <png.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mapsdk/display/TileImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mapsdk::tileimage;
  std::vector<std::uint32_t> tile(kTilePixels);
  if (!Decode(data, size, tile.data())) return 0;
  if (KindOf(data, size) != RecordKind::PNG) return 0;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) std::abort();
  image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  if (image.width != kTileSide || image.height != kTileSide) std::abort();
  std::vector<std::uint32_t> reference(kTilePixels);
  if (!png_image_finish_read(&image, nullptr, reference.data(), kTileSide * 4, nullptr)) std::abort();
  if (reference != tile) std::abort();
  return 0;
}
