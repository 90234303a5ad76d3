#pragma once
#include <unordered_map>

#include "mapsdk/engine/TileKey.h"

namespace mapsdk {

// The tile-key bookkeeping of the requests that work tile by tile: a tile's column and row to a
// state word: new (waiting to be listed), listed in the current pass, or a word of the request's
// own. Main thread.
class TileKeyMap {
 public:
  static constexpr int kNew = 0;
  static constexpr int kListed = 2;
  static constexpr int kAbsent = -1;  // StateOf a tile outside the map
  static constexpr int kMaxKeys = 100;

  // Keeps only the tiles of the kept block (cols x rows from the left column and the top row, rows
  // counted downwards): a new or listed tile becomes new, any other keeps its state.
  void Refresh(int leftCol, int topRow, int cols, int rows);
  // Lists the tile when its key is there and new (then listed); false otherwise.
  bool List(gmengine::GridKey key);
  // Empties the map when it holds more than 100 keys, so an oversized block lists nothing.
  void LimitSize();
  void SetState(gmengine::GridKey key, int state);
  int StateOf(gmengine::GridKey key) const;
  bool Contains(gmengine::GridKey key) const { return states_.count(key) > 0; }
  int Count() const { return static_cast<int>(states_.size()); }
  void Clear() { states_.clear(); }

 private:
  std::unordered_map<gmengine::GridKey, int> states_;
};

}  // namespace mapsdk
