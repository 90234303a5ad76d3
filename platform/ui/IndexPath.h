#pragma once
#include <compare>
#include <string>

namespace platform {

// A row of a section of a table (or an item of a section): a value type ordered by section,
// then row.
struct IndexPath {
  int section = 0;
  int row = 0;

  static IndexPath forRow(int row, int section) { return IndexPath{section, row}; }
  auto operator<=>(const IndexPath&) const = default;
  bool operator==(const IndexPath&) const = default;
  // "[section, row]"
  std::string description() const { return "[" + std::to_string(section) + ", " + std::to_string(row) + "]"; }
};

}  // namespace platform
