#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/graphics/Bitmap.h"

namespace platform {

enum class ImageFormat { Unknown, PNG, JPEG, GIF };

// Bounds a decoder keeps to, checked against the file's header before any pixel memory is taken,
// so a small hostile file cannot ask for gigabytes. The defaults are Bitmap's limits; a GIF's
// frames together may hold at most maxTotalPixels. A decoder's own working memory is bounded in
// proportion to maxPixels.
struct DecodeLimits {
  int maxDimension = Bitmap::MaxDimension;
  std::int64_t maxPixels = Bitmap::MaxPixelCount;
  std::int64_t maxTotalPixels = Bitmap::MaxPixelCount;
  int maxFrames = 2000;
};

// One frame of a decoded picture: the whole canvas with earlier frames composed under it, and how
// long it stays, in seconds, as the file says (0 when it says nothing).
struct DecodedFrame {
  Bitmap bitmap;
  double delay = 0;
};

// The image file formats, over libpng, libjpeg and giflib. Every decoder answers none for data it
// cannot read whole: a wrong signature, a damaged or truncated stream, a size beyond the limits.
// It never crashes and never hands out a partly decoded picture. Stateless; safe from any thread.
class ImageCodec {
 public:
  // By signature: PNG "\x89PNG\r\n\x1a\n", JPEG FF D8 FF, GIF "GIF87a" / "GIF89a".
  static ImageFormat formatOfData(const std::uint8_t* data, std::size_t size);

  // Any colour type, bit depth and interlacing, expanded to RGBA; hasAlpha when the file has an
  // alpha channel or a transparent colour.
  static std::optional<Bitmap> decodePNG(const std::uint8_t* data, std::size_t size,
                                         const DecodeLimits& limits = {});
  // Baseline and progressive, grey, YCbCr, RGB and CMYK, to opaque RGBA. Data that ends before
  // the picture does is refused.
  static std::optional<Bitmap> decodeJPEG(const std::uint8_t* data, std::size_t size,
                                          const DecodeLimits& limits = {});
  // Every frame, composed on the logical screen as the frames' disposal methods ask, with its
  // delay. Frames beyond a damaged block are refused with the whole file.
  static std::optional<std::vector<DecodedFrame>> decodeGIF(const std::uint8_t* data, std::size_t size,
                                                            const DecodeLimits& limits = {});
  // Whichever of the three the signature names (a still picture gives one frame).
  static std::optional<std::vector<DecodedFrame>> decode(const std::uint8_t* data, std::size_t size,
                                                         const DecodeLimits& limits = {});

  // 8-bit RGBA, or RGB when the bitmap has no alpha. Empty for an empty bitmap.
  static Data encodePNG(const Bitmap& bitmap);
  // Baseline JPEG at quality 0 (smallest) to 1 (best). Colours are taken premultiplied, so
  // transparent parts come out black. Empty for an empty bitmap.
  static Data encodeJPEG(const Bitmap& bitmap, double quality);
};

}  // namespace platform
