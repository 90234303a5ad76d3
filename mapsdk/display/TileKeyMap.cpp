#include "mapsdk/display/TileKeyMap.h"

namespace mapsdk {

using gmengine::GridKey;

void TileKeyMap::Refresh(int leftCol, int topRow, int cols, int rows) {
  std::unordered_map<GridKey, int> old;
  old.swap(states_);
  states_.reserve(static_cast<std::size_t>(cols > 0 && rows > 0 ? cols * rows : 0));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      GridKey key{leftCol + c, topRow - r};
      auto it = old.find(key);
      states_[key] = it == old.end() || it->second == kListed ? kNew : it->second;
    }
  }
}

bool TileKeyMap::List(GridKey key) {
  auto it = states_.find(key);
  if (it == states_.end() || it->second != kNew) return false;
  it->second = kListed;
  return true;
}

void TileKeyMap::LimitSize() {
  if (states_.size() > kMaxKeys) states_.clear();
}

void TileKeyMap::SetState(GridKey key, int state) {
  auto it = states_.find(key);
  if (it != states_.end()) it->second = state;
}

int TileKeyMap::StateOf(GridKey key) const {
  auto it = states_.find(key);
  return it == states_.end() ? kAbsent : it->second;
}

}  // namespace mapsdk
