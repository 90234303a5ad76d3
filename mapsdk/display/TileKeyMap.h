#pragma once
#include <string>
#include <unordered_map>

namespace mapsdk {

// The tile-key bookkeeping of the requests that work tile by tile: key ("%d_%d" of column and row)
// to a state word. State 2: listed in the current pass. Main thread.
class TileKeyMap {
 public:
  static constexpr int kListed = 2;
  static constexpr int kMaxKeys = 100;

  static std::string KeyOf(int column, int row);
  // Splits "column_row"; false for anything else.
  static bool SplitKey(const std::string& key, int& column, int& row);

  // Keeps only the tiles of the kept block (cols x rows from the left column and the top row, rows
  // counted downwards): a new or listed tile gets state 0, any other keeps its state.
  void Refresh(int leftCol, int topRow, int cols, int rows);
  // Lists the tile when its key is there with state 0 (then state 2); false otherwise.
  bool List(int column, int row);
  // Empties the map when it holds more than 100 keys, so an oversized block lists nothing.
  void LimitSize();
  void SetState(int column, int row, int state);
  int StateOf(int column, int row) const;  // -1 when absent
  bool Contains(int column, int row) const { return states_.count(KeyOf(column, row)) > 0; }
  int Count() const { return static_cast<int>(states_.size()); }
  void Clear() { states_.clear(); }

 private:
  std::unordered_map<std::string, int> states_;
};

}  // namespace mapsdk
