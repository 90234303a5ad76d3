#include "demo/MapFixtureServer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageCodec.h"

namespace kavro::test {

namespace {

constexpr int kSide = 256;

struct Px {
  double x;
  double y;
};

bool readInt(std::string_view text, int& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(sep, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string_view queryValue(std::string_view target, std::string_view name) {
  std::size_t q = target.find('?');
  if (q == std::string_view::npos) return {};
  for (std::string_view pair : split(target.substr(q + 1), '&')) {
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
      return pair.substr(name.size() + 1);
    }
  }
  return {};
}

void putWord(std::string& out, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

double segmentDistance(Px p, Px a, Px b) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double length = dx * dx + dy * dy;
  double t = length > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0) : 0.0;
  double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return std::sqrt(ex * ex + ey * ey);
}

bool insidePolygon(Px p, const std::vector<Px>& polygon) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Px& a = polygon[i];
    const Px& b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

platform::Pixel pixelOf(std::uint32_t rgb, std::uint8_t alpha = 255) {
  return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
          static_cast<std::uint8_t>(rgb), alpha};
}

ScriptedResponse withStatus(int status) {
  ScriptedResponse response;
  response.status = status;
  return response;
}

std::uint32_t darker(std::uint32_t rgb) { return (rgb >> 1) & 0x7F7F7F; }

// ---- The generated world ----------------------------------------------------------------------
//
// Everything is a function of map units, so neighbouring tiles and levels agree: a street grid
// (arterials every 8192 units, streets every 1024, lanes every 256, each line shifted by a hash of
// its number), lakes where a smooth noise runs low, parks on some blocks, buildings on the lane
// blocks. Per tile the line distances are worked out once per column and once per row, so a pixel
// costs a few lookups.

std::uint64_t Mix(std::uint64_t v) {
  v ^= v >> 33;
  v *= 0xFF51AFD7ED558CCDull;
  v ^= v >> 33;
  v *= 0xC4CEB9FE1A85EC53ull;
  v ^= v >> 33;
  return v;
}

std::uint32_t Hash(std::int64_t a, std::int64_t b, std::uint32_t salt) {
  return static_cast<std::uint32_t>(
      Mix(static_cast<std::uint64_t>(a) * 0x9E3779B97F4A7C15ull ^ Mix(static_cast<std::uint64_t>(b) + salt)));
}

// In [0, 1).
double Unit(std::int64_t a, std::int64_t b, std::uint32_t salt) { return Hash(a, b, salt) / 4294967296.0; }

// Rivers wind along both axes: river j of an axis follows the line j * spacing, swinging across it
// by a few kilometres, a few hundred units wide, so that no screen is water alone.
struct RiverClass {
  double spacing;
  std::uint32_t salt;
};
constexpr RiverClass kRiversEastWest{37000, 71};
constexpr RiverClass kRiversNorthSouth{53000, 72};

// The river's middle (on the across axis) and half width where it passes the along coordinate.
std::pair<double, double> RiverAt(const RiverClass& c, std::int64_t j, double along) {
  const double phase = Unit(j, 0, c.salt) * 6.283, phase2 = Unit(j, 1, c.salt) * 6.283;
  const double middle =
      j * c.spacing + 6000 * std::sin(along / 9000 + phase) + 2500 * std::sin(along / 3100 + phase2);
  const double half = 150 + 70 * std::sin(along / 5000 + phase2);
  return {middle, half};
}

struct LineClass {
  double spacing;
  double jitter;
  std::uint32_t salt;
};
constexpr LineClass kArterial{8192, 1400, 11};
constexpr LineClass kStreet{1024, 160, 12};
constexpr LineClass kLane{256, 24, 13};

double LineAt(const LineClass& c, std::int64_t i) {
  return i * c.spacing + (Unit(i, 0, c.salt) * 2 - 1) * c.jitter;
}

// Where a coordinate lies against one class of lines: the number of the line at or below it (the
// block it is in), and the distances to that line and to the next.
struct Across {
  std::int64_t block = 0;
  double below = 0;
  double above = 0;
  double Nearest() const { return std::min(below, above); }
  // The number of the nearer line.
  std::int64_t Line() const { return below <= above ? block : block + 1; }
};

Across Locate(const LineClass& c, double v) {
  auto i = static_cast<std::int64_t>(std::floor(v / c.spacing));
  if (v < LineAt(c, i)) --i;
  if (v >= LineAt(c, i + 1)) ++i;
  return {i, v - LineAt(c, i), LineAt(c, i + 1) - v};
}

// One axis of a tile: for each pixel column (or row) where it lies against the three classes.
struct Axis {
  Across arterial, street, lane;
};

struct Rgb {
  double r, g, b;
};

Rgb RgbOf(std::uint32_t rgb) {
  return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
          static_cast<double>(rgb & 0xFF)};
}

void Blend(Rgb& under, const Rgb& over, double alpha) {
  if (alpha <= 0) return;
  if (alpha >= 1) {
    under = over;
    return;
  }
  under.r += (over.r - under.r) * alpha;
  under.g += (over.g - under.g) * alpha;
  under.b += (over.b - under.b) * alpha;
}

// Coverage of a pixel whose centre lies d pixels from a line of the width (pixels).
double Cover(double d, double width) { return std::clamp(width / 2 + 0.5 - d, 0.0, 1.0); }

constexpr std::uint32_t kLandColour = 0xF2EFE9;
constexpr std::uint32_t kWaterColour = 0xAAD3DF;
constexpr std::uint32_t kParkColour = 0xC8E6B0;
constexpr std::uint32_t kBuildingColour = 0xDDD6CC;
constexpr std::uint32_t kArterialColour = 0xFCD27A;
constexpr std::uint32_t kHighwayColour = 0xF3A35C;
constexpr std::uint32_t kStreetColour = 0xFFFFFF;
constexpr std::uint32_t kCasingColour = 0xC9BFB1;

bool IsHighway(std::int64_t line) { return line % 4 == 0; }
// Streets that stop at an arterial: some pieces between two arterials are left out.
bool StreetPieceOmitted(std::int64_t line, std::int64_t block, std::uint32_t salt) {
  return Unit(line, block, salt) < 0.22;
}
bool IsPark(std::int64_t bx, std::int64_t by) { return Unit(bx, by, 21) < 0.09; }

// A small table over a range of block numbers of both axes.
template <typename T>
class BlockTable {
 public:
  template <typename F>
  void Fill(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1, F value) {
    x0_ = x0;
    y0_ = y0;
    w_ = x1 - x0 + 1;
    cells_.resize(static_cast<std::size_t>(w_ * (y1 - y0 + 1)));
    for (std::int64_t y = y0; y <= y1; ++y) {
      for (std::int64_t x = x0; x <= x1; ++x)
        cells_[static_cast<std::size_t>((y - y0) * w_ + (x - x0))] = value(x, y);
    }
  }
  T At(std::int64_t x, std::int64_t y) const {
    return cells_[static_cast<std::size_t>((y - y0_) * w_ + (x - x0_))];
  }

 private:
  std::int64_t x0_ = 0, y0_ = 0, w_ = 1;
  std::vector<T> cells_;
};

// What one pixel column (or row) meets: the blocks it lies in and how much of it each class of
// line covers (fill and casing).
struct Strip {
  Across arterial, street, lane;
  std::int64_t arterialLine = 0, streetLine = 0;
  float arterialFill = 0, arterialCasing = 0, streetFill = 0, streetCasing = 0, laneFill = 0;
  bool highway = false;
  double laneInside = 0;  // distance to the nearer lane line, map units
};

// The generated map of one tile into rgb (256 x 256 x 3, rows top down). Traffic: only the busy
// roads, with alpha (rgba, 4 bytes a pixel).
void DrawGenerated(int level, int column, int row, bool traffic, std::vector<std::uint8_t>& out) {
  const double upp = std::pow(2.0, 18 - std::clamp(level, 3, 18));
  const double left = static_cast<double>(column) * kSide * upp;
  const double top = (static_cast<double>(row) + 1) * kSide * upp;
  const double arterialWidth = std::clamp(36 / upp, 2.5, 22.0);
  const double highwayWidth = std::clamp(52 / upp, 3.5, 30.0);
  // Below level 8 the highways would crowd together: only every mainStride-th arterial line, a
  // highway, is drawn (about 64 pixels apart), so a small map still shows its main roads.
  const std::int64_t mainStride = level < 8 ? std::int64_t{4} << (9 - std::clamp(level, 3, 18)) : 0;
  auto mainRoad = [&](double v) {
    const double spacing = kArterial.spacing * static_cast<double>(mainStride);
    const auto i = static_cast<std::int64_t>(std::llround(v / spacing)) * mainStride;
    double nearest = std::numeric_limits<double>::max();
    for (std::int64_t line : {i - mainStride, i, i + mainStride})
      nearest = std::min(nearest, std::fabs(v - LineAt(kArterial, line)));
    return static_cast<float>(Cover(nearest / upp, 3.0));
  };
  // Rivers of a small map: every riverStride-th one (at least 40 pixels apart), at least 1.5
  // pixels wide, so the water neither floods the map nor breaks into dots.
  const auto riverStride = [&](double spacing) {
    std::int64_t k = 1;
    while (spacing * static_cast<double>(k) < 40 * upp) k *= 2;
    return k;
  };
  const double riverHalf = level <= 10 ? 0.75 * upp : 0;
  const double streetWidth = level >= 13 ? std::clamp(14 / upp, 2.0, 12.0) : 0;
  const double laneWidth = level >= 16 ? std::clamp(7 / upp, 1.0, 6.0) : 0;
  const bool buildings = level >= 15;
  auto strip = [&](double v) {
    Strip s;
    s.arterial = Locate(kArterial, v);
    s.street = Locate(kStreet, v);
    s.lane = Locate(kLane, v);
    s.arterialLine = s.arterial.Line();
    s.streetLine = s.street.Line();
    s.highway = IsHighway(s.arterialLine);
    // Roads closer together than a few pixels are left out, as small maps leave them out.
    if (s.highway ? level >= 8 : level >= 9) {
      const double width = s.highway ? highwayWidth : arterialWidth;
      const double dArterial = s.arterial.Nearest() / upp;
      s.arterialFill = static_cast<float>(Cover(dArterial, width));
      s.arterialCasing = static_cast<float>(Cover(dArterial, width + 2));
    } else if (mainStride > 0) {
      s.arterialFill = mainRoad(v);
      s.highway = true;
    }
    if (streetWidth > 0) {
      s.streetFill = static_cast<float>(Cover(s.street.Nearest() / upp, streetWidth));
      s.streetCasing = static_cast<float>(Cover(s.street.Nearest() / upp, streetWidth + 2));
    }
    if (laneWidth > 0) s.laneFill = static_cast<float>(Cover(s.lane.Nearest() / upp, laneWidth) * 0.9);
    s.laneInside = s.lane.Nearest();
    return s;
  };
  std::vector<Strip> xs(kSide), ys(kSide);
  for (int i = 0; i < kSide; ++i) {
    xs[static_cast<std::size_t>(i)] = strip(left + (i + 0.5) * upp);
    ys[static_cast<std::size_t>(i)] = strip(top - (i + 0.5) * upp);
  }
  const Strip &x0 = xs.front(), &x1 = xs.back(), &y0 = ys.back(), &y1 = ys.front();
  // Which street pieces are left out, which blocks are parks, which lots are built on.
  BlockTable<std::uint8_t> omitVertical, omitHorizontal, parks;
  BlockTable<std::uint32_t> lots;
  // Blocks smaller than a few pixels (below level 11) have neither parks nor ponds drawn.
  const bool blocks = level >= 11;
  if (streetWidth > 0) {
    omitVertical.Fill(
        x0.streetLine, x1.streetLine, y0.arterial.block, y1.arterial.block,
        [](std::int64_t line, std::int64_t block) { return StreetPieceOmitted(line, block, 61); });
    omitHorizontal.Fill(
        x0.arterial.block, x1.arterial.block, y0.streetLine, y1.streetLine,
        [](std::int64_t block, std::int64_t line) { return StreetPieceOmitted(line, block, 62); });
  }
  BlockTable<std::uint8_t> ponds;
  if (blocks) {
    parks.Fill(x0.street.block, x1.street.block, y0.street.block, y1.street.block, IsPark);
    ponds.Fill(x0.street.block, x1.street.block, y0.street.block, y1.street.block,
               [](std::int64_t bx, std::int64_t by) { return Unit(bx, by, 22) < 0.015; });
  }
  if (buildings) {
    lots.Fill(x0.lane.block, x1.lane.block, y0.lane.block, y1.lane.block,
              [](std::int64_t bx, std::int64_t by) { return Hash(bx, by, 51); });
  }
  // The rivers that cross the tile: per column the east-west ones, per row the north-south ones.
  struct Span {
    double low, high;
  };
  auto rivers = [&](const RiverClass& c, double along, double from, double to, std::vector<Span>& spans) {
    spans.clear();
    const std::int64_t stride = riverStride(c.spacing);
    const auto first = static_cast<std::int64_t>(std::floor((from - 9000) / c.spacing));
    const auto last = static_cast<std::int64_t>(std::ceil((to + 9000) / c.spacing));
    for (std::int64_t j = first; j <= last; ++j) {
      if (j % stride != 0) continue;
      auto [middle, half] = RiverAt(c, j, along);
      half = std::max(half, riverHalf);
      if (middle + half >= from && middle - half <= to) spans.push_back({middle - half, middle + half});
    }
  };
  const double bottom = top - kSide * upp, right = left + kSide * upp;
  std::vector<std::vector<Span>> columnRivers(kSide), rowRivers(kSide);
  for (int i = 0; i < kSide; ++i) {
    rivers(kRiversEastWest, left + (i + 0.5) * upp, bottom, top, columnRivers[static_cast<std::size_t>(i)]);
    rivers(kRiversNorthSouth, top - (i + 0.5) * upp, left, right, rowRivers[static_cast<std::size_t>(i)]);
  }
  auto inRiver = [](const std::vector<Span>& spans, double v) {
    for (const Span& span : spans) {
      if (v >= span.low && v <= span.high) return true;
    }
    return false;
  };
  const int channels = traffic ? 4 : 3;
  out.assign(static_cast<std::size_t>(kSide * kSide * channels), 0);
  const Rgb land = RgbOf(kLandColour), water = RgbOf(kWaterColour), park = RgbOf(kParkColour);
  const Rgb arterial = RgbOf(kArterialColour), highway = RgbOf(kHighwayColour);
  const Rgb street = RgbOf(kStreetColour), casing = RgbOf(kCasingColour), building = RgbOf(kBuildingColour);
  const Rgb outline = RgbOf(0xB8AEA2);
  const auto gx0 = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(left / upp)));
  const auto gy0 = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(top / upp)));
  for (int py = 0; py < kSide; ++py) {
    const Strip& sy = ys[static_cast<std::size_t>(py)];
    std::uint8_t* line = out.data() + static_cast<std::size_t>(py * kSide * channels);
    for (int px = 0; px < kSide; ++px) {
      const Strip& sx = xs[static_cast<std::size_t>(px)];
      const float artFill = std::max(sx.arterialFill, sy.arterialFill);
      if (traffic) {
        if (artFill > 0) {
          const bool vertical = sx.arterialFill >= sy.arterialFill;
          const std::int64_t road = vertical ? sx.arterialLine : sy.arterialLine;
          const std::int64_t piece = vertical ? sy.arterial.block : sx.arterial.block;
          const double busy = Unit(road, piece, 31);
          const std::uint32_t colour = busy < 0.55 ? 0x40C040 : busy < 0.85 ? 0xF0A020 : 0xD83020;
          std::uint8_t* p = line + px * 4;
          p[0] = static_cast<std::uint8_t>(colour >> 16);
          p[1] = static_cast<std::uint8_t>(colour >> 8);
          p[2] = static_cast<std::uint8_t>(colour);
          p[3] = static_cast<std::uint8_t>(std::lround(artFill * 255));
        }
        continue;
      }
      const bool isWater = inRiver(columnRivers[static_cast<std::size_t>(px)], top - (py + 0.5) * upp) ||
                           inRiver(rowRivers[static_cast<std::size_t>(py)], left + (px + 0.5) * upp) ||
                           (blocks && ponds.At(sx.street.block, sy.street.block));
      Rgb c = water;
      if (!isWater) {
        // The ground is a little uneven, as on real renderings: its grain is tied to the place.
        const std::uint32_t h = ((gx0 + static_cast<std::uint32_t>(px)) * 0x9E3779B1u) ^
                                ((gy0 - static_cast<std::uint32_t>(py)) * 0x85EBCA77u);
        const std::uint32_t g = ((h ^ (h >> 15)) * 0x2C1B3C6Du) >> 29;
        const double grain = g == 0 ? -1 : g == 7 ? 1 : 0;
        c = land;
        if (blocks && parks.At(sx.street.block, sy.street.block)) {
          c = park;
          c.g += grain;
        } else if (buildings) {
          const std::uint32_t lot = lots.At(sx.lane.block, sy.lane.block);
          const double inset = 18 + (lot >> 8) % 40;
          const double in = std::min(sx.laneInside, sy.laneInside);
          if (lot % 7 != 0 && in > inset) {
            c = building;
            const double shade = static_cast<double>((lot >> 16) % 14) - 7;
            c.r += shade;
            c.g += shade;
            c.b += shade;
            if ((in - inset) / upp < 1) Blend(c, outline, 0.8);
          }
        }
        c.r += grain;
        c.g += grain;
        c.b += grain;
        Blend(c, street, std::max(sx.laneFill, sy.laneFill));
        if (streetWidth > 0) {
          const float vertical = omitVertical.At(sx.streetLine, sy.arterial.block) ? 0.0F : 1.0F;
          const float horizontal = omitHorizontal.At(sx.arterial.block, sy.streetLine) ? 0.0F : 1.0F;
          Blend(c, casing, std::max(sx.streetCasing * vertical, sy.streetCasing * horizontal));
          Blend(c, street, std::max(sx.streetFill * vertical, sy.streetFill * horizontal));
        }
      }
      // Arterials cross water on bridges; the other roads stop at the shore.
      Blend(c, casing, std::max(sx.arterialCasing, sy.arterialCasing));
      const bool vertical = sx.arterialFill >= sy.arterialFill;
      Blend(c, (vertical ? sx.highway : sy.highway) ? highway : arterial, artFill);
      std::uint8_t* p = line + px * 3;
      p[0] = static_cast<std::uint8_t>(std::clamp(c.r + 0.5, 0.0, 255.0));
      p[1] = static_cast<std::uint8_t>(std::clamp(c.g + 0.5, 0.0, 255.0));
      p[2] = static_cast<std::uint8_t>(std::clamp(c.b + 0.5, 0.0, 255.0));
    }
  }
}

void PutBigEndian(std::string& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& body) {
  PutBigEndian(out, static_cast<std::uint32_t>(body.size()));
  std::string typed = std::string(type, 4) + body;
  out += typed;
  PutBigEndian(out, static_cast<std::uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(typed.data()),
                                                     static_cast<uInt>(typed.size()))));
}

// The tile's colours as a palette and one index a pixel, when there are at most 256 of them (a
// street map mostly has few); false otherwise.
bool Palettize(const std::vector<std::uint8_t>& pixels, int channels, std::vector<std::uint32_t>& palette,
               std::vector<std::uint8_t>& indices) {
  palette.clear();
  indices.resize(pixels.size() / static_cast<std::size_t>(channels));
  // An open table of the colours seen (a quarter full at most), each slot the colour and its index
  // plus one: the service draws many tiles, so no allocation a colour.
  constexpr std::size_t kSlots = 1024;
  std::array<std::uint64_t, kSlots> slots{};
  std::uint32_t last = 0;
  std::uint8_t lastIndex = 0;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const std::uint8_t* p = pixels.data() + i * static_cast<std::size_t>(channels);
    const std::uint32_t rgba = static_cast<std::uint32_t>(p[0]) << 24 |
                               static_cast<std::uint32_t>(p[1]) << 16 |
                               static_cast<std::uint32_t>(p[2]) << 8 | (channels == 4 ? p[3] : 0xFFu);
    if (palette.empty() || rgba != last) {
      std::size_t slot = (rgba * 2654435761u) >> 22;
      while (slots[slot] != 0 && static_cast<std::uint32_t>(slots[slot]) != rgba) slot = (slot + 1) % kSlots;
      if (slots[slot] == 0) {
        if (palette.size() == 256) return false;
        slots[slot] = (palette.size() + 1) << 32 | rgba;
        palette.push_back(rgba);
      }
      last = rgba;
      lastIndex = static_cast<std::uint8_t>((slots[slot] >> 32) - 1);
    }
    indices[i] = lastIndex;
  }
  return true;
}

// A 256 x 256 PNG, unfiltered and deflated fast: the service answers many tiles. A tile of at most
// 256 colours is written with a palette (and the palette's alphas when some are not opaque), any
// other as 8-bit RGB (or RGBA) rows; both decode to the same pixels.
std::string EncodePng(const std::vector<std::uint8_t>& pixels, bool alpha) {
  const int channels = alpha ? 4 : 3;
  std::vector<std::uint32_t> palette;
  std::vector<std::uint8_t> indices;
  const bool indexed = Palettize(pixels, channels, palette, indices);
  const std::uint8_t* samples = indexed ? indices.data() : pixels.data();
  const std::size_t stride = static_cast<std::size_t>(kSide * (indexed ? 1 : channels));
  std::string raw((stride + 1) * kSide, '\0');
  for (int y = 0; y < kSide; ++y) {
    // Filter type 0: deflate alone packs these rows as well as the filters would, and faster.
    std::memcpy(raw.data() + y * (stride + 1) + 1, samples + y * stride, stride);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 1) != Z_OK) {
    return {};
  }
  packed.resize(size);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian(header, kSide);
  PutBigEndian(header, kSide);
  const char colourType = indexed ? 3 : alpha ? 6 : 2;
  header += std::string{8, colourType, 0, 0, 0};
  PutChunk(png, "IHDR", header);
  if (indexed) {
    std::string colours, alphas;
    std::size_t lastTranslucent = 0;
    for (std::size_t i = 0; i < palette.size(); ++i) {
      colours.push_back(static_cast<char>(palette[i] >> 24));
      colours.push_back(static_cast<char>(palette[i] >> 16));
      colours.push_back(static_cast<char>(palette[i] >> 8));
      alphas.push_back(static_cast<char>(palette[i]));
      if ((palette[i] & 0xFF) != 0xFF) lastTranslucent = i + 1;
    }
    PutChunk(png, "PLTE", colours);
    // Entries past the last translucent one are opaque without being listed.
    if (lastTranslucent > 0) PutChunk(png, "tRNS", alphas.substr(0, lastTranslucent));
  }
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace

std::optional<MapFixture> MapFixture::parse(std::string_view text) {
  MapFixture fixture;
  for (std::string_view line : split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> words = split(line, ' ');
    if (words.size() < 4) return std::nullopt;
    Feature feature;
    if (words[0] == "area") {
      feature.kind = Kind::Area;
    } else if (words[0] == "road") {
      feature.kind = Kind::Road;
    } else if (words[0] == "point") {
      feature.kind = Kind::Point;
    } else {
      return std::nullopt;
    }
    auto colour = std::from_chars(words[1].data(), words[1].data() + words[1].size(), feature.colour, 16);
    if (colour.ec != std::errc() || !readInt(words[2], feature.width)) return std::nullopt;
    for (std::size_t i = 3; i < words.size(); ++i) {
      std::vector<std::string_view> xy = split(words[i], ',');
      int x = 0, y = 0;
      if (xy.size() != 2 || !readInt(xy[0], x) || !readInt(xy[1], y)) return std::nullopt;
      feature.points.emplace_back(x, y);
    }
    fixture.features.push_back(std::move(feature));
  }
  return fixture;
}

std::string MapFixtureServer::defaultFixturePath() {
  return (std::filesystem::path(KAVRO_SOURCE_DIR) / "demo" / "data" / "map" / "demo_map.txt").string();
}

MapFixture MapFixtureServer::defaultFixture() {
  std::ifstream in(defaultFixturePath(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return MapFixture::parse(text.str()).value_or(MapFixture{});
}

MapFixtureServer::MapFixtureServer() : MapFixtureServer(defaultFixture()) {}

MapFixtureServer::MapFixtureServer(MapFixture fixture, bool generated)
    : fixture_(std::move(fixture)), generated_(generated) {
  server_.setHandler([this](const RecordedRequest& request) { return respond(request); });
}

std::string MapFixtureServer::tile(std::string_view type, int level, int column, int row) {
  const auto key = std::make_tuple(std::string(type), level, column, row);
  {
    std::lock_guard lock(mutex_);
    auto replaced = replaced_.find({level, column, row});
    if (replaced != replaced_.end() && type != "tra") return replaced->second;
    auto cached = tiles_.find(key);
    if (cached != tiles_.end()) return cached->second;
  }
  const bool satellite = type == "sat";
  const bool traffic = type == "tra";
  const double upp = std::pow(2.0, 18 - std::clamp(level, 3, 18));
  const double left = static_cast<double>(column) * kSide * upp;
  const double top = (static_cast<double>(row) + 1) * kSide * upp;
  auto toPixel = [&](const std::pair<double, double>& p) {
    return Px{(p.first - left) / upp, (top - p.second) / upp};
  };

  std::vector<std::uint8_t> pixels;
  const int channels = traffic ? 4 : 3;
  if (generated_) {
    DrawGenerated(level, column, row, traffic, pixels);
  } else {
    pixels.assign(static_cast<std::size_t>(kSide * kSide * channels), 0);
    for (std::size_t i = 0; !traffic && i < pixels.size(); i += 3) {
      pixels[i] = 0xF5;
      pixels[i + 1] = 0xF3;
      pixels[i + 2] = 0xF0;
    }
  }
  // The fixture's own features lie over the generated map.
  for (const MapFixture::Feature& feature : fixture_.features) {
    if (traffic && (feature.kind != MapFixture::Kind::Road || feature.width < 6)) continue;
    std::vector<Px> points;
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (const auto& p : feature.points) {
      Px px = toPixel(p);
      points.push_back(px);
      minX = std::min(minX, px.x);
      maxX = std::max(maxX, px.x);
      minY = std::min(minY, px.y);
      maxY = std::max(maxY, px.y);
    }
    double reach = feature.width;
    if (points.empty() || maxX < -reach || minX > kSide + reach || maxY < -reach || minY > kSide + reach)
      continue;
    const std::uint32_t colour = traffic ? 0x40C040 : feature.colour;
    int x0 = std::max(0, static_cast<int>(std::floor(minX - reach)));
    int x1 = std::min(kSide - 1, static_cast<int>(std::ceil(maxX + reach)));
    int y0 = std::max(0, static_cast<int>(std::floor(minY - reach)));
    int y1 = std::min(kSide - 1, static_cast<int>(std::ceil(maxY + reach)));
    // A road's segments, each with its box widened by the half width: a pixel centre outside a box
    // is farther than that from the segment, so only the segments whose box holds the row are tried.
    struct Piece {
      Px a, b;
      double minX, maxX, minY, maxY;
    };
    std::vector<Piece> pieces;
    std::vector<const Piece*> active;
    if (feature.kind == MapFixture::Kind::Road) {
      const double half = feature.width / 2.0;
      for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const Px &a = points[i], &b = points[i + 1];
        pieces.push_back({a, b, std::min(a.x, b.x) - half, std::max(a.x, b.x) + half,
                          std::min(a.y, b.y) - half, std::max(a.y, b.y) + half});
      }
    }
    for (int y = y0; y <= y1; ++y) {
      const double cy = y + 0.5;
      active.clear();
      for (const Piece& piece : pieces) {
        if (cy >= piece.minY && cy <= piece.maxY) active.push_back(&piece);
      }
      if (feature.kind == MapFixture::Kind::Road && active.empty()) continue;
      for (int x = x0; x <= x1; ++x) {
        Px centre{x + 0.5, cy};
        bool hit = false;
        switch (feature.kind) {
          case MapFixture::Kind::Area:
            hit = points.size() >= 3 && insidePolygon(centre, points);
            break;
          case MapFixture::Kind::Road:
            for (const Piece* piece : active) {
              if (centre.x < piece->minX || centre.x > piece->maxX) continue;
              if (segmentDistance(centre, piece->a, piece->b) <= feature.width / 2.0) {
                hit = true;
                break;
              }
            }
            break;
          case MapFixture::Kind::Point:
            hit = segmentDistance(centre, points[0], points[0]) <= feature.width;
            break;
        }
        if (!hit) continue;
        std::uint8_t* p = pixels.data() + static_cast<std::size_t>((y * kSide + x) * channels);
        p[0] = static_cast<std::uint8_t>(colour >> 16);
        p[1] = static_cast<std::uint8_t>(colour >> 8);
        p[2] = static_cast<std::uint8_t>(colour);
        if (traffic) p[3] = 255;
      }
    }
  }
  std::string bytes;
  if (satellite) {
    auto bitmap = platform::Bitmap::create(kSide, kSide, false);
    if (!bitmap) return {};
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const std::uint8_t* p = pixels.data() + static_cast<std::size_t>((y * kSide + x) * 3);
        const std::uint32_t rgb =
            static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
        bitmap->setPixel(x, y, pixelOf(darker(rgb)));
      }
    }
    platform::Data data = platform::ImageCodec::encodeJPEG(*bitmap, 0.8);
    bytes.assign(data.begin(), data.end());
  } else {
    bytes = EncodePng(pixels, traffic);
  }
  std::lock_guard lock(mutex_);
  // Kept per key, within a bound: a whole offline city passes through here.
  if (tiles_.emplace(key, bytes).second) {
    order_.push_back(key);
    if (order_.size() > kKeptTiles) {
      tiles_.erase(order_.front());
      order_.pop_front();
    }
  }
  return bytes;
}

std::string MapFixtureServer::buildBatch(const std::vector<std::optional<std::string>>& tiles) {
  const auto header = static_cast<std::int32_t>(8 + 8 * tiles.size());
  std::string out;
  putWord(out, header);
  putWord(out, static_cast<std::int32_t>(tiles.size()));
  std::int32_t offset = 0;
  for (const auto& tile : tiles) {
    putWord(out, tile ? offset : -1);
    putWord(out, tile ? static_cast<std::int32_t>(tile->size()) : 0);
    if (tile) offset += static_cast<std::int32_t>(tile->size());
  }
  for (const auto& tile : tiles) {
    if (tile) out += *tile;
  }
  return out;
}

std::string MapFixtureServer::batchAnswer(std::string_view type, int level,
                                          const std::vector<std::string>& keys) {
  // The tiles of a batch are drawn side by side by a few threads (a whole offline city passes
  // through here): a thread a tile would spend more on the threads than on the drawing.
  struct Wanted {
    int column = 0, row = 0;
    bool reads = false;
  };
  std::vector<Wanted> wanted(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::vector<std::string_view> parts = split(keys[i], '_');
    wanted[i].reads =
        parts.size() == 2 && readInt(parts[0], wanted[i].column) && readInt(parts[1], wanted[i].row);
  }
  std::vector<std::string> drawn(keys.size());
  std::atomic<std::size_t> next{0};
  const std::string kind(type);
  auto draw = [&] {
    for (std::size_t i = next++; i < wanted.size(); i = next++) {
      if (wanted[i].reads) drawn[i] = tile(kind, level, wanted[i].column, wanted[i].row);
    }
  };
  const std::size_t workers =
      std::min<std::size_t>(std::max(1U, std::thread::hardware_concurrency()), keys.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < workers; ++i) threads.emplace_back(draw);
  draw();
  for (std::thread& thread : threads) thread.join();
  std::vector<std::optional<std::string>> tiles;
  std::size_t size = 8 + 8 * keys.size();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    // What does not fit the client's buffer is left out ("not here"): it asks again for it.
    if (!wanted[i].reads || size + drawn[i].size() > kBatchBytes) {
      tiles.emplace_back(std::nullopt);
      continue;
    }
    size += drawn[i].size();
    tiles.emplace_back(std::move(drawn[i]));
  }
  return buildBatch(tiles);
}

void MapFixtureServer::replaceTile(int level, int column, int row, std::string bytes) {
  std::lock_guard lock(mutex_);
  replaced_[{level, column, row}] = std::move(bytes);
}

std::vector<std::string> MapFixtureServer::requestedKeys() const {
  std::vector<std::string> keys;
  for (const RecordedRequest& request : server_.requests()) {
    if (request.target.rfind("/tile/", 0) != 0) continue;
    for (std::string_view key : split(queryValue(request.target, "c"), ',')) keys.emplace_back(key);
  }
  return keys;
}

ScriptedResponse MapFixtureServer::respond(const RecordedRequest& request) {
  if (request.target.rfind("/tile/", 0) != 0) return withStatus(404);
  std::string_view type = queryValue(request.target, "type");
  int level = 0;
  if ((type != "map" && type != "sat" && type != "tra") || !readInt(queryValue(request.target, "l"), level)) {
    return withStatus(400);
  }
  std::vector<std::string> keys;
  for (std::string_view key : split(queryValue(request.target, "c"), ',')) keys.emplace_back(key);
  return ScriptedResponse::ok(batchAnswer(type, level, keys), {{"Content-Type", "application/octet-stream"}});
}

}  // namespace kavro::test
