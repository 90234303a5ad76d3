// Pictures come from servers, skin packages and map tiles: any bytes must decode to a whole
// picture or to nothing, within the limits. What decodes must encode again and read back: PNG
// exactly, JPEG at the same size.
#include <cstdint>
#include <cstdlib>

#include "platform/graphics/Image.h"
#include "platform/graphics/ImageCodec.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small limits keep each run fast; the checks against them are the same as for the defaults.
  const platform::DecodeLimits limits{1024, 1 << 18, 1 << 20, 64};
  auto frames = platform::ImageCodec::decode(data, size, limits);
  if (!frames) return 0;
  require(!frames->empty() && static_cast<int>(frames->size()) <= limits.maxFrames);
  const platform::Bitmap& first = frames->front().bitmap;
  for (const platform::DecodedFrame& f : *frames) {
    require(f.bitmap.width() == first.width() && f.bitmap.height() == first.height());
    require(f.bitmap.width() <= limits.maxDimension && f.bitmap.height() <= limits.maxDimension);
    require(std::int64_t{f.bitmap.width()} * f.bitmap.height() <= limits.maxPixels);
  }
  if (std::int64_t{first.width()} * first.height() > 4096) return 0;

  platform::Data png = platform::ImageCodec::encodePNG(first);
  auto back = platform::ImageCodec::decodePNG(png.data(), png.size());
  require(back && *back == first);
  platform::Data jpeg = platform::ImageCodec::encodeJPEG(first, 0.5);
  auto jback = platform::ImageCodec::decodeJPEG(jpeg.data(), jpeg.size());
  require(jback && jback->width() == first.width() && jback->height() == first.height());

  platform::Data copy(data, data + size);
  auto image = platform::Image::imageWithData(copy, 2.0, limits);
  require(image && image->frameCount() == frames->size());
  return 0;
}
