#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mapsdk/raster/VRaster.h"

// Tile and icon decoding into the raster engine's 32-bit pixels. A decoded pixel buffer holds
// height rows of width x 4 bytes, each pixel 0xFFRRGGBB; for an image with an alpha channel an
// alpha plane of width x height bytes follows, and the reported size includes it (so its DIB image
// size exceeds stride x height, the sign VSetDIBitsToDevice reads as an alpha plane). Buffers come
// from VMalloc and are the caller's to VFree. Every decoder refuses (null, nothing allocated that
// is not freed) data it cannot read whole or whose size is beyond kMaxDecodeSide /
// kMaxDecodePixels. Stateless; safe from any thread.
namespace gmengine {

constexpr int kMaxDecodeSide = 4096;
constexpr std::int64_t kMaxDecodePixels = std::int64_t{1} << 22;
// Largest image file the loaders read.
constexpr std::int64_t kMaxImageFileBytes = std::int64_t{32} << 20;

// A JFIF JPEG (starting FF D8, ending FF D9, "JFIF" at bytes 6..9) of size bytes. On success size
// becomes the buffer's size and width, height and bitsPerPixel (32) are set.
std::uint8_t* DecodeJpeg(const void* data, int& size, int& width, int& height, int& bitsPerPixel);

// A PNG of size bytes: RGBA (with an alpha plane), RGB, grey with alpha (grey), 1- to 8-bit
// palette or grey; interlaced only when RGBA or 8-bit. On success size becomes the buffer's size;
// width and height are set when asked for.
std::uint8_t* DecodePngPixels(const void* data, int& size, int* width = nullptr, int* height = nullptr);

// The same decoding wrapped into a bitmap block (alpha plane attached when the image has one).
VBitmap* DecodePngBitmap(const void* data, int size);

// The DIB info header describing a decoded buffer of size bytes (for VSetDIBitsToDevice).
BITMAPINFOHEADER MakeDecodedInfo(int width, int height, int size);

// The full path of name inside "mapsdk.bundle" of the resources; none when the bundle or the file
// is missing or the name is empty.
std::optional<std::string> GetMapApiResourcePath(std::string_view name);
// "images/<name>@2x.png" on a retina screen, else "images/<name>.png", inside the bundle.
std::optional<std::string> GetMapApiImagePath(std::string_view name, bool retina);

}  // namespace gmengine
