// Map tiles arrive from the map service and its caches, icons from files: any bytes must decode
// to whole pixels within the limits or to nothing, and what decodes must draw as a tile.
#include <cstdint>
#include <cstdlib>

#include "mapsdk/engine/VMemory.h"
#include "mapsdk/raster/VImageDecode.h"
#include "mapsdk/raster/VRaster.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Draws a decoded buffer into a small context as the tile layers do.
void DrawTile(std::uint8_t* pixels, int size, int width, int height) {
  require(width >= 1 && height >= 1 && width <= gmengine::kMaxDecodeSide &&
          height <= gmengine::kMaxDecodeSide);
  std::int64_t plain = std::int64_t{width} * height * 4;
  require(size == plain || size == plain + std::int64_t{width} * height);
  gmengine::VDC* dc = gmengine::VCreateDC();
  gmengine::VBitmap* target = gmengine::VCreateBitmap(64, 64, 32, nullptr);
  gmengine::FreeBitmapData(gmengine::VSelectBitmap(dc, target));
  gmengine::BITMAPINFOHEADER info = gmengine::MakeDecodedInfo(width, height, size);
  gmengine::VSetDIBitsToDevice(dc, -3, -3, width, height, 0, 0, pixels, &info);
  gmengine::VFreeDC(dc);
  gmengine::VFree(pixels);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1 << 20)) return 0;
  int n = static_cast<int>(size);
  int width = 0, height = 0, bits = 0;
  int jpegSize = n;
  if (std::uint8_t* pixels = gmengine::DecodeJpeg(data, jpegSize, width, height, bits)) {
    require(bits == 32);
    DrawTile(pixels, jpegSize, width, height);
  }
  int pngSize = n;
  if (std::uint8_t* pixels = gmengine::DecodePngPixels(data, pngSize, &width, &height)) {
    DrawTile(pixels, pngSize, width, height);
  }
  if (gmengine::VBitmap* bitmap = gmengine::DecodePngBitmap(data, n)) {
    require(gmengine::FreeBitmapData(bitmap) == 1);
  }
  if (gmengine::VBitmap* dib = gmengine::VCreateBitmapFromDIB(data, size)) {
    require(gmengine::FreeBitmapData(dib) == 1);
  }
  return 0;
}
