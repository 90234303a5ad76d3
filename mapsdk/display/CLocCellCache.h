#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "mapsdk/display/LocationTypes.h"

namespace mapsdk {

// Positions learnt for the cells of one network, kept in "loc.dat" of the engine's data folder
// (little-endian): int32 count (1..100), int32 version 14, int32 c0, int32 c1, then count entries
// of 28 bytes: double x, double y (map units), int32 c3, int32 c2, int32 radius. Loaded on first
// use (a file of another version, a count outside 1..100 or a size other than count x 28 + 16 is
// ignored), written whole after every change. One thread at a time.
class CLocCellCache {
 public:
  static constexpr int kCapacity = 100;
  static constexpr int kVersion = 14;
  static constexpr int kEntrySize = 28;
  static constexpr int kHeaderSize = 16;

  struct Entry {
    double x = 0;
    double y = 0;
    std::int32_t c3 = 0;
    std::int32_t c2 = 0;
    std::int32_t radius = 0;
  };

  // The file; empty: none (nothing is read, and nothing written).
  explicit CLocCellCache(std::string path = {});

  bool Find(const CellRecord& cell, double& x, double& y, int& radius);
  void Add(const CellRecord& cell, double x, double y, int radius);
  int Count();

 private:
  void Load();
  void Save() const;

  std::string path_;
  bool loaded_ = false;
  std::int32_t c0_ = 0;
  std::int32_t c1_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace mapsdk
