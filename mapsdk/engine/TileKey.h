#pragma once
#include <charconv>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace gmengine {

// A tile's column (x) and row (y) within its level. In memory tiles are keyed by value; the text
// form "%d_%d" is what the map service reads in its requests and what the tile file index stores,
// so it is made only at those edges.
struct GridKey {
  int x = 0;
  int y = 0;

  friend bool operator==(const GridKey& a, const GridKey& b) { return a.x == b.x && a.y == b.y; }
  friend bool operator!=(const GridKey& a, const GridKey& b) { return !(a == b); }
  friend bool operator<(const GridKey& a, const GridKey& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; }

  std::string Text() const { return std::to_string(x) + "_" + std::to_string(y); }
  // Reads "column_row" (decimal, optionally negative); false for anything else, out untouched.
  static bool Parse(std::string_view text, GridKey& out) {
    std::size_t sep = text.find('_');
    if (sep == std::string_view::npos) return false;
    GridKey key;
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto first = std::from_chars(begin, begin + sep, key.x);
    auto second = std::from_chars(begin + sep + 1, end, key.y);
    if (first.ec != std::errc() || first.ptr != begin + sep || second.ec != std::errc() || second.ptr != end)
      return false;
    out = key;
    return true;
  }
};

// A tile of a given level: what the tile caches keep their tiles under.
struct TileKey {
  int level = 0;
  GridKey grid;

  friend bool operator==(const TileKey& a, const TileKey& b) {
    return a.level == b.level && a.grid == b.grid;
  }
  friend bool operator!=(const TileKey& a, const TileKey& b) { return !(a == b); }
  friend bool operator<(const TileKey& a, const TileKey& b) {
    return a.level != b.level ? a.level < b.level : a.grid < b.grid;
  }
};

}  // namespace gmengine

template <>
struct std::hash<gmengine::GridKey> {
  std::size_t operator()(const gmengine::GridKey& k) const noexcept {
    auto packed =
        static_cast<unsigned long long>(static_cast<unsigned>(k.x)) << 32 | static_cast<unsigned>(k.y);
    return std::hash<unsigned long long>()(packed);
  }
};

template <>
struct std::hash<gmengine::TileKey> {
  std::size_t operator()(const gmengine::TileKey& k) const noexcept {
    std::size_t h = std::hash<gmengine::GridKey>()(k.grid);
    return h ^ (std::hash<int>()(k.level) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
  }
};
