// Map tiles of a realistic size for the tile and map benchmarks: 256 x 256 street map tiles as a
// map service draws them (blocks of land use in several tints, streets of three widths with
// anti-aliased edges and a casing, house-number-like marks), tens of kilobytes of PNG each.
// Deterministic: the same tile position gives the same bytes.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageCodec.h"

namespace kavro::bench {

namespace streettiles {

struct Rgb {
  double r, g, b;
};

inline void blend(platform::Bitmap& bitmap, int x, int y, Rgb c, double coverage) {
  if (x < 0 || y < 0 || x >= bitmap.width() || y >= bitmap.height() || coverage <= 0) return;
  coverage = std::min(coverage, 1.0);
  platform::Pixel p = bitmap.pixelAt(x, y);
  auto mix = [&](std::uint8_t under, double over) {
    return static_cast<std::uint8_t>(std::lround(under + (over - under) * coverage));
  };
  bitmap.setPixel(x, y, {mix(p.r, c.r), mix(p.g, c.g), mix(p.b, c.b), 255});
}

// A segment of the given width with a one-pixel soft edge.
inline void stroke(platform::Bitmap& bitmap, double x0, double y0, double x1, double y1, double width,
                   Rgb c) {
  const double half = width / 2;
  const int minX = static_cast<int>(std::floor(std::min(x0, x1) - half - 1));
  const int maxX = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1));
  const int minY = static_cast<int>(std::floor(std::min(y0, y1) - half - 1));
  const int maxY = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1));
  const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
  for (int y = std::max(0, minY); y <= std::min(bitmap.height() - 1, maxY); ++y) {
    for (int x = std::max(0, minX); x <= std::min(bitmap.width() - 1, maxX); ++x) {
      const double px = x + 0.5 - x0, py = y + 0.5 - y0;
      const double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0;
      const double d = std::hypot(px - t * dx, py - t * dy);
      blend(bitmap, x, y, c, half + 0.5 - d);
    }
  }
}

}  // namespace streettiles

inline std::string streetTile(int level, int column, int row) {
  using namespace streettiles;
  constexpr int Side = 256;
  std::mt19937 rng(static_cast<unsigned>(level * 73856093) ^ static_cast<unsigned>(column * 19349663) ^
                   static_cast<unsigned>(row * 83492791));
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto bitmap = platform::Bitmap::create(Side, Side, false);
  if (!bitmap) return {};
  bitmap->fill({242, 239, 233, 255});
  // Land use: blocks in a few tints (parks, buildings, water).
  const Rgb tints[] = {{205, 235, 190}, {224, 220, 214}, {230, 225, 205}, {170, 210, 240}, {236, 230, 238}};
  for (int i = 0; i < 40; ++i) {
    const int x = static_cast<int>(uniform(0, Side)), y = static_cast<int>(uniform(0, Side));
    const int w = static_cast<int>(uniform(10, 60)), h = static_cast<int>(uniform(10, 60));
    const Rgb tint = tints[rng() % std::size(tints)];
    for (int yy = y; yy < std::min(Side, y + h); ++yy)
      for (int xx = x; xx < std::min(Side, x + w); ++xx) blend(*bitmap, xx, yy, tint, 0.9);
  }
  // Streets: a slanted grid, cased; minor, main and arterial widths.
  const double angle = uniform(-0.4, 0.4);
  const double ca = std::cos(angle), sa = std::sin(angle);
  const Rgb casing{190, 185, 175}, street{255, 255, 255}, main{252, 214, 140}, arterial{240, 160, 110};
  for (int i = -4; i < 14; ++i) {
    const double offset = i * 24 + uniform(-6, 6);
    const int kind = static_cast<int>(rng() % 6);
    const double width = kind == 0 ? 9 : kind == 1 ? 6 : 3.5;
    const Rgb fill = kind == 0 ? arterial : kind == 1 ? main : street;
    for (int axis = 0; axis < 2; ++axis) {
      const double x0 = axis ? offset * ca + 300 * sa : -300 * ca + offset * sa + 128;
      const double y0 = axis ? offset * sa - 300 * ca + 128 : -300 * sa - offset * ca + 128;
      const double x1 = axis ? offset * ca - 300 * sa : 300 * ca + offset * sa + 128;
      const double y1 = axis ? offset * sa + 300 * ca + 128 : 300 * sa - offset * ca + 128;
      stroke(*bitmap, x0, y0, x1, y1, width + 2, casing);
      stroke(*bitmap, x0, y0, x1, y1, width, fill);
    }
  }
  // Names and house numbers: short runs of glyph-like marks.
  for (int i = 0; i < 30; ++i) {
    double x = uniform(0, Side), y = uniform(0, Side);
    for (int glyph = 0, n = 2 + static_cast<int>(rng() % 5); glyph < n; ++glyph, x += 7) {
      for (int s = 0; s < 3; ++s) {
        const double gx = x + uniform(0, 5), gy = y + uniform(-4, 4);
        stroke(*bitmap, gx, gy, gx + uniform(-3, 3), gy + uniform(-3, 3), 1.2, {90, 90, 95});
      }
    }
  }
  platform::Data png = platform::ImageCodec::encodePNG(*bitmap);
  return std::string(png.begin(), png.end());
}

}  // namespace kavro::bench
