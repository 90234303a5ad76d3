#include "mapsdk/engine/CGridDataCache.h"

#include <algorithm>

namespace gmengine {

int CGridDataCache::Init(const CVString& indexPath, const CVString& dataPath, int memoryCapacity,
                         int fileCapacity, int byteLimit) {
  RemoveAll();
  capacity_ = std::max(1, memoryCapacity);
  file_.Close();
  if (fileCapacity <= 0) return 1;
  return file_.Init(indexPath, dataPath, fileCapacity, byteLimit);
}

CGridDataCache::Tile& CGridDataCache::Store(const TileKey& key, platform::Data bytes) {
  auto it = index_.find(key);
  if (it != index_.end()) {
    order_.erase(it->second);
    index_.erase(it);
  }
  while (static_cast<int>(order_.size()) >= capacity_) {
    index_.erase(order_.back().key);
    order_.pop_back();
  }
  order_.push_front(Tile{key, std::move(bytes)});
  index_.emplace(key, order_.begin());
  return order_.front();
}

int CGridDataCache::GetGridData(CVArray<tagGirdData>& list) {
  int found = 0;
  for (tagGirdData& tile : list) {
    if (tile.data) continue;
    TileKey key = tile.Key();
    Tile* hit = nullptr;
    auto it = index_.find(key);
    if (it != index_.end()) {
      order_.splice(order_.begin(), order_, it->second);  // used now
      hit = &order_.front();
    } else if (file_.IsOpen()) {
      platform::Data bytes;
      if (file_.Read(key, bytes)) hit = &Store(key, std::move(bytes));
    }
    if (!hit || hit->bytes.empty()) continue;
    tile.data = hit->bytes.data();
    tile.size = static_cast<int>(hit->bytes.size());
    ++found;
  }
  file_.Flush();  // a damaged tile found on the way is forgotten for good
  return found;
}

int CGridDataCache::AddGridData(const CVArray<tagGirdData>& list, int flag) {
  int stored = 0;
  for (const tagGirdData& tile : list) {
    if (!tile.data || tile.size <= 0) continue;
    TileKey key = tile.Key();
    const auto* bytes = static_cast<const std::uint8_t*>(tile.data);
    platform::Data copy(bytes, bytes + tile.size);
    if (flag == 1 && file_.IsOpen()) file_.Write(key, copy.data(), tile.size);
    Store(key, std::move(copy));
    ++stored;
  }
  if (flag == 1) file_.Flush();
  return stored;
}

int CGridDataCache::RemoveGridData(const tagGirdData& tile, int flag) {
  TileKey key = tile.Key();
  int removed = 0;
  auto it = index_.find(key);
  if (it != index_.end()) {
    order_.erase(it->second);
    index_.erase(it);
    removed = 1;
  }
  if (flag == 1 && file_.IsOpen() && file_.Remove(key)) {
    file_.Flush();
    removed = 1;
  }
  return removed;
}

void CGridDataCache::RemoveAll() {
  order_.clear();
  index_.clear();
}

}  // namespace gmengine
