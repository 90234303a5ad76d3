#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/ChannelByte.h"

namespace platform {

bool Bitmap::isAllowedSize(int width, int height) {
  return width >= 1 && height >= 1 && width <= MaxDimension && height <= MaxDimension &&
         std::int64_t{width} * height <= MaxPixelCount;
}

std::optional<Bitmap> Bitmap::create(int width, int height, bool hasAlpha) {
  if (!isAllowedSize(width, height)) return std::nullopt;
  Bitmap b;
  b.width_ = width;
  b.height_ = height;
  b.hasAlpha_ = hasAlpha;
  b.pixels_.assign(static_cast<std::size_t>(width) * height * 4, 0);
  if (!hasAlpha) b.fill(Pixel{0, 0, 0, 255});
  return b;
}

Pixel Bitmap::pixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  const std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

void Bitmap::setPixel(int x, int y, Pixel px) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 4;
  p[0] = px.r;
  p[1] = px.g;
  p[2] = px.b;
  p[3] = px.a;
}

void Bitmap::fill(Pixel px) {
  for (std::size_t i = 0; i < pixels_.size(); i += 4) {
    pixels_[i] = px.r;
    pixels_[i + 1] = px.g;
    pixels_[i + 2] = px.b;
    pixels_[i + 3] = px.a;
  }
}

std::optional<Bitmap> Bitmap::cropped(int x, int y, int width, int height) const {
  // In 64 bits: x + width may not fit an int.
  std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
  std::int64_t x1 = std::min<std::int64_t>(std::int64_t{x} + width, width_);
  std::int64_t y1 = std::min<std::int64_t>(std::int64_t{y} + height, height_);
  if (width <= 0 || height <= 0 || x1 <= x0 || y1 <= y0) return std::nullopt;
  auto out = create(static_cast<int>(x1 - x0), static_cast<int>(y1 - y0), hasAlpha_);
  if (!out) return std::nullopt;
  for (int r = 0; r < out->height_; ++r) {
    const std::uint8_t* src = row(static_cast<int>(y0) + r) + x0 * 4;
    std::copy(src, src + out->bytesPerRow(), out->row(r));
  }
  return out;
}

namespace {

// Premultiplied floating-point copy, so resampling does not bleed colour out of transparent pixels.
std::vector<float> premultiplied(const Bitmap& b) {
  std::vector<float> out(static_cast<std::size_t>(b.width()) * b.height() * 4);
  const std::uint8_t* p = b.data();
  for (std::size_t i = 0; i < out.size(); i += 4) {
    float a = p[i + 3] / 255.0f;
    out[i] = p[i] * a;
    out[i + 1] = p[i + 1] * a;
    out[i + 2] = p[i + 2] * a;
    out[i + 3] = p[i + 3];
  }
  return out;
}

using channelbyte::toByte;

void storeUnpremultiplied(const float* c, std::uint8_t* out) {
  float a = c[3];
  if (a <= 0.0f) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  float f = 255.0f / a;
  out[0] = toByte(c[0] * f);
  out[1] = toByte(c[1] * f);
  out[2] = toByte(c[2] * f);
  out[3] = toByte(a);
}

// Weights of the source pixels that make up each destination pixel along one axis: area averaging
// when shrinking, linear interpolation between pixel centres when growing.
struct Tap {
  int first = 0;
  std::vector<float> weights;
};

std::vector<Tap> axisTaps(int srcLen, int dstLen) {
  std::vector<Tap> taps(dstLen);
  double ratio = static_cast<double>(srcLen) / dstLen;
  for (int i = 0; i < dstLen; ++i) {
    Tap& t = taps[i];
    if (ratio > 1.0) {
      double s0 = i * ratio, s1 = (i + 1) * ratio;
      int first = static_cast<int>(std::floor(s0));
      int last = std::min(srcLen - 1, static_cast<int>(std::ceil(s1)) - 1);
      t.first = first;
      for (int s = first; s <= last; ++s) {
        double w = std::min<double>(s + 1, s1) - std::max<double>(s, s0);
        t.weights.push_back(static_cast<float>(w / ratio));
      }
    } else {
      double centre = (i + 0.5) * ratio - 0.5;
      centre = std::clamp(centre, 0.0, static_cast<double>(srcLen - 1));
      int s0 = static_cast<int>(std::floor(centre));
      double f = centre - s0;
      t.first = s0;
      t.weights.push_back(static_cast<float>(1.0 - f));
      if (s0 + 1 < srcLen && f > 0) t.weights.push_back(static_cast<float>(f));
    }
  }
  return taps;
}

}  // namespace

std::optional<Bitmap> Bitmap::scaled(int width, int height) const {
  if (isEmpty() || !isAllowedSize(width, height)) return std::nullopt;
  if (width == width_ && height == height_) return *this;
  std::vector<float> src = premultiplied(*this);
  std::vector<Tap> xs = axisTaps(width_, width), ys = axisTaps(height_, height);

  // Horizontal pass into an intermediate of width × source height, then the vertical pass.
  std::vector<float> mid(static_cast<std::size_t>(width) * height_ * 4, 0.0f);
  for (int y = 0; y < height_; ++y) {
    const float* srow = src.data() + static_cast<std::size_t>(y) * width_ * 4;
    float* mrow = mid.data() + static_cast<std::size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      const Tap& t = xs[x];
      for (std::size_t k = 0; k < t.weights.size(); ++k) {
        const float* s = srow + static_cast<std::size_t>(t.first + k) * 4;
        for (int c = 0; c < 4; ++c) mrow[x * 4 + c] += s[c] * t.weights[k];
      }
    }
  }
  auto out = create(width, height, hasAlpha_);
  if (!out) return std::nullopt;
  for (int y = 0; y < height; ++y) {
    const Tap& t = ys[y];
    std::uint8_t* orow = out->row(y);
    for (int x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (std::size_t k = 0; k < t.weights.size(); ++k) {
        const float* m = mid.data() + (static_cast<std::size_t>(t.first + k) * width + x) * 4;
        for (int c = 0; c < 4; ++c) acc[c] += m[c] * t.weights[k];
      }
      storeUnpremultiplied(acc, orow + static_cast<std::size_t>(x) * 4);
    }
  }
  return out;
}

}  // namespace platform
