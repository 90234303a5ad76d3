#include "mapsdk/raster/VImageDecode.h"

#include <cstring>

#include "mapsdk/engine/VMemory.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/ImageCodec.h"

namespace gmengine {

namespace {

platform::DecodeLimits Limits() {
  platform::DecodeLimits limits;
  limits.maxDimension = kMaxDecodeSide;
  limits.maxPixels = kMaxDecodePixels;
  limits.maxTotalPixels = kMaxDecodePixels;
  return limits;
}

// Writes the decoded picture as 0xFFRRGGBB words (and, when withAlpha, the alpha plane after
// them) into a new buffer; size becomes the buffer's size.
std::uint8_t* ToPixels(const platform::Bitmap& picture, bool withAlpha, int& size) {
  std::int64_t count = std::int64_t{picture.width()} * picture.height();
  std::int64_t bytes = count * 4 + (withAlpha ? count : 0);
  if (count <= 0 || count > kMaxDecodePixels) return nullptr;
  auto* out = static_cast<std::uint8_t*>(VMalloc(static_cast<std::size_t>(bytes)));
  if (!out) return nullptr;
  auto* words = reinterpret_cast<std::uint32_t*>(out);
  std::uint8_t* alpha = out + count * 4;
  const std::uint8_t* p = picture.data();
  for (std::int64_t i = 0; i < count; ++i, p += 4) {
    words[i] = 0xFF000000u | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    if (withAlpha) alpha[i] = p[3];
  }
  size = static_cast<int>(bytes);
  return out;
}

std::uint32_t ReadBE32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// What the PNG header says, checked before any decoding: the layouts taken and whether the image
// has an alpha channel.
bool ReadPngHeader(const std::uint8_t* d, std::size_t n, bool& alpha) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 33 || std::memcmp(d, kSignature, 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0) return false;
  std::int64_t width = ReadBE32(d + 16);
  std::int64_t height = ReadBE32(d + 20);
  if (width < 1 || height < 1 || width > kMaxDecodeSide || height > kMaxDecodeSide ||
      width * height > kMaxDecodePixels)
    return false;
  int depth = d[24];
  int colorType = d[25];
  bool interlaced = d[28] != 0;
  int channels = colorType == 0   ? 1
                 : colorType == 2 ? 3
                 : colorType == 3 ? 1
                 : colorType == 4 ? 2
                 : colorType == 6 ? 4
                                  : 0;
  int bits = channels * depth;
  bool known = bits == 32 || bits == 24 || bits == 16 || bits == 8 || bits == 4 || bits == 2 || bits == 1;
  if (!known || (colorType == 3 && depth > 8) || (colorType == 2 && depth != 8) ||
      (colorType == 6 && depth != 8))
    return false;
  if (interlaced && bits != 32 && bits != 8) return false;
  alpha = colorType == 6;
  return true;
}

}  // namespace

std::uint8_t* DecodeJpeg(const void* data, int& size, int& width, int& height, int& bitsPerPixel) {
  const auto* d = static_cast<const std::uint8_t*>(data);
  if (!d || size < 10) return nullptr;
  auto n = static_cast<std::size_t>(size);
  if (d[0] != 0xFF || d[1] != 0xD8 || d[n - 2] != 0xFF || d[n - 1] != 0xD9 ||
      std::memcmp(d + 6, "JFIF", 4) != 0)
    return nullptr;
  std::optional<platform::Bitmap> picture = platform::ImageCodec::decodeJPEG(d, n, Limits());
  if (!picture) return nullptr;
  int bytes = 0;
  std::uint8_t* out = ToPixels(*picture, false, bytes);
  if (!out) return nullptr;
  size = bytes;
  width = picture->width();
  height = picture->height();
  bitsPerPixel = 32;
  return out;
}

std::uint8_t* DecodePngPixels(const void* data, int& size, int* width, int* height) {
  const auto* d = static_cast<const std::uint8_t*>(data);
  if (!d || size <= 0) return nullptr;
  auto n = static_cast<std::size_t>(size);
  bool alpha = false;
  if (!ReadPngHeader(d, n, alpha)) return nullptr;
  std::optional<platform::Bitmap> picture = platform::ImageCodec::decodePNG(d, n, Limits());
  if (!picture) return nullptr;
  int bytes = 0;
  std::uint8_t* out = ToPixels(*picture, alpha, bytes);
  if (!out) return nullptr;
  size = bytes;
  if (width) *width = picture->width();
  if (height) *height = picture->height();
  return out;
}

VBitmap* DecodePngBitmap(const void* data, int size) {
  int width = 0, height = 0;
  std::uint8_t* pixels = DecodePngPixels(data, size, &width, &height);
  if (!pixels) return nullptr;
  std::int64_t pixelBytes = std::int64_t{width} * height * 4;
  VBitmap* bitmap = size > pixelBytes ? VCreateBitmapWithAlpha(width, height, pixels, pixels + pixelBytes)
                                      : VCreateBitmap(width, height, 32, pixels);
  VFree(pixels);
  return bitmap;
}

BITMAPINFOHEADER MakeDecodedInfo(int width, int height, int size) {
  BITMAPINFOHEADER info;
  info.biWidth = width;
  info.biHeight = height;
  info.biBitCount = 32;
  info.biSizeImage = static_cast<std::uint32_t>(size);
  return info;
}

std::optional<std::string> GetMapApiResourcePath(std::string_view name) {
  if (name.empty() || !platform::Environment::resourcePath("mapsdk.bundle")) return std::nullopt;
  return platform::Environment::resourcePath("mapsdk.bundle/" + std::string(name));
}

std::optional<std::string> GetMapApiImagePath(std::string_view name, bool retina) {
  if (name.empty()) return std::nullopt;
  return GetMapApiResourcePath("images/" + std::string(name) + (retina ? "@2x.png" : ".png"));
}

}  // namespace gmengine
