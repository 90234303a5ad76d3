#include "mapsdk/engine/CGridDataCache.h"

#include <algorithm>

namespace gmengine {

CVString CGridDataCache::KeyOf(const tagGirdData& tile) {
  CVString key;
  key.Format("%d_%d", tile.x, tile.y);
  return key;
}

std::string CGridDataCache::IdOf(int level, const CVString& key) {
  return std::to_string(level) + "|" + key.ToUtf8();
}

int CGridDataCache::Init(const CVString& indexPath, const CVString& dataPath, int memoryCapacity,
                         int fileCapacity, int byteLimit) {
  RemoveAll();
  capacity_ = std::max(1, memoryCapacity);
  file_.Close();
  if (fileCapacity <= 0) return 1;
  return file_.Init(indexPath, dataPath, fileCapacity, byteLimit);
}

CGridDataCache::Tile& CGridDataCache::Store(std::string id, platform::Data bytes) {
  auto it = index_.find(id);
  if (it != index_.end()) {
    order_.erase(it->second);
    index_.erase(it);
  }
  while (static_cast<int>(order_.size()) >= capacity_) {
    index_.erase(order_.back().id);
    order_.pop_back();
  }
  order_.push_front(Tile{id, std::move(bytes)});
  index_.emplace(std::move(id), order_.begin());
  return order_.front();
}

int CGridDataCache::GetGridData(CVArray<tagGirdData>& list) {
  int found = 0;
  for (tagGirdData& tile : list) {
    if (tile.data) continue;
    CVString key = KeyOf(tile);
    std::string id = IdOf(tile.level, key);
    Tile* hit = nullptr;
    auto it = index_.find(id);
    if (it != index_.end()) {
      order_.splice(order_.begin(), order_, it->second);  // used now
      hit = &order_.front();
    } else if (file_.IsOpen()) {
      platform::Data bytes;
      if (file_.Read(tile.level, key, bytes)) hit = &Store(id, std::move(bytes));
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
    CVString key = KeyOf(tile);
    const auto* bytes = static_cast<const std::uint8_t*>(tile.data);
    platform::Data copy(bytes, bytes + tile.size);
    if (flag == 1 && file_.IsOpen()) file_.Write(tile.level, key, copy.data(), tile.size);
    Store(IdOf(tile.level, key), std::move(copy));
    ++stored;
  }
  if (flag == 1) file_.Flush();
  return stored;
}

int CGridDataCache::RemoveGridData(const tagGirdData& tile, int flag) {
  CVString key = KeyOf(tile);
  int removed = 0;
  auto it = index_.find(IdOf(tile.level, key));
  if (it != index_.end()) {
    order_.erase(it->second);
    index_.erase(it);
    removed = 1;
  }
  if (flag == 1 && file_.IsOpen() && file_.Remove(tile.level, key)) {
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
