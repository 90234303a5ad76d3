#include "mapsdk/display/TileKeyMap.h"

#include <charconv>

namespace mapsdk {

std::string TileKeyMap::KeyOf(int column, int row) {
  return std::to_string(column) + "_" + std::to_string(row);
}

bool TileKeyMap::SplitKey(const std::string& key, int& column, int& row) {
  std::size_t sep = key.find('_');
  if (sep == std::string::npos) return false;
  const char* end = key.data() + key.size();
  auto first = std::from_chars(key.data(), key.data() + sep, column);
  auto second = std::from_chars(key.data() + sep + 1, end, row);
  return first.ec == std::errc() && first.ptr == key.data() + sep && second.ec == std::errc() &&
         second.ptr == end;
}

void TileKeyMap::Refresh(int leftCol, int topRow, int cols, int rows) {
  std::unordered_map<std::string, int> old;
  old.swap(states_);
  states_.reserve(static_cast<std::size_t>(cols > 0 && rows > 0 ? cols * rows : 0));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      std::string key = KeyOf(leftCol + c, topRow - r);
      auto it = old.find(key);
      states_[key] = it == old.end() || it->second == kListed ? 0 : it->second;
    }
  }
}

bool TileKeyMap::List(int column, int row) {
  auto it = states_.find(KeyOf(column, row));
  if (it == states_.end() || it->second != 0) return false;
  it->second = kListed;
  return true;
}

void TileKeyMap::LimitSize() {
  if (states_.size() > kMaxKeys) states_.clear();
}

void TileKeyMap::SetState(int column, int row, int state) {
  auto it = states_.find(KeyOf(column, row));
  if (it != states_.end()) it->second = state;
}

int TileKeyMap::StateOf(int column, int row) const {
  auto it = states_.find(KeyOf(column, row));
  return it == states_.end() ? -1 : it->second;
}

}  // namespace mapsdk
