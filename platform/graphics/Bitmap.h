#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// One pixel: red, green, blue, alpha, 8 bits each, straight (not premultiplied) alpha.
struct Pixel {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 0;
  bool operator==(const Pixel&) const = default;
};

// Pixels of an image: width × height RGBA with straight alpha, 4 bytes per pixel, rows from top to
// bottom without padding. Straight alpha keeps decoded and encoded pixels exactly as the files
// hold them; drawing and resampling work premultiplied internally, so no colour bleeds from
// transparent pixels. hasAlpha() tells whether the alpha channel means anything (false for
// JPEG pictures and opaque contexts, whose alpha is always 255).
// Sizes are bounded (MaxDimension per side, MaxPixelCount in all) so that no input can make a
// bitmap that exhausts memory. A value type; not shared between threads while being written.
class Bitmap {
 public:
  static constexpr int MaxDimension = 16384;
  static constexpr std::int64_t MaxPixelCount = std::int64_t{1} << 25;  // 32 Mpixel, 128 MB

  // A transparent black bitmap (opaque black without alpha); none for a side below 1 or a size
  // beyond the limits.
  static std::optional<Bitmap> create(int width, int height, bool hasAlpha = true);
  static bool isAllowedSize(int width, int height);

  Bitmap() = default;

  int width() const { return width_; }
  int height() const { return height_; }
  bool isEmpty() const { return width_ == 0 || height_ == 0; }
  bool hasAlpha() const { return hasAlpha_; }
  void setHasAlpha(bool hasAlpha) { hasAlpha_ = hasAlpha; }
  std::size_t bytesPerRow() const { return static_cast<std::size_t>(width_) * 4; }

  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }
  std::uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * bytesPerRow(); }
  const std::uint8_t* row(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * bytesPerRow();
  }

  // Outside the bitmap: a zero pixel, and writes are ignored.
  Pixel pixelAt(int x, int y) const;
  void setPixel(int x, int y, Pixel p);
  void fill(Pixel p);

  // The part inside (x, y, width, height), cut to the bitmap's bounds; none when nothing is left.
  std::optional<Bitmap> cropped(int x, int y, int width, int height) const;
  // Resampled to the new size: area averaging where it shrinks, bilinear where it grows.
  // None for a size create() refuses or an empty bitmap.
  std::optional<Bitmap> scaled(int width, int height) const;

  bool operator==(const Bitmap&) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  bool hasAlpha_ = true;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace platform
