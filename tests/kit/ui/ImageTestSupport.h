#pragma once
#include <memory>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageCodec.h"

namespace kavro::test {

// A picture of the given pixel size, one colour.
inline platform::Bitmap solidBitmap(int width, int height, platform::Pixel p = {200, 40, 40, 255}) {
  auto bitmap = platform::Bitmap::create(width, height);
  bitmap->fill(p);
  return std::move(*bitmap);
}

inline std::shared_ptr<platform::Image> solidImage(
    int width, int height, double scale = 1.0,
    platform::ImageOrientation o = platform::ImageOrientation::Up) {
  return platform::Image::imageWithBitmap(solidBitmap(width, height), scale, o);
}

inline platform::Data pngBytes(int width, int height) {
  return platform::ImageCodec::encodePNG(solidBitmap(width, height));
}

}  // namespace kavro::test
