#include "mapsdk/display/CLocCellCache.h"

#include <sys/stat.h>

#include <cstring>

#include "platform/foundation/FileManager.h"

namespace mapsdk {

namespace {

template <class T>
void Put(platform::Data& out, T value) {
  std::uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.insert(out.end(), bytes, bytes + sizeof(T));
}

template <class T>
T Get(const std::uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

}  // namespace

CLocCellCache::CLocCellCache(std::string path) : path_(std::move(path)) {}

void CLocCellCache::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (path_.empty()) return;
  auto data = platform::FileManager::contentsAtPath(path_);
  if (!data || data->size() < kHeaderSize) return;
  const std::uint8_t* p = data->data();
  auto count = Get<std::int32_t>(p);
  if (Get<std::int32_t>(p + 4) != kVersion || count <= 0 || count > kCapacity ||
      data->size() != static_cast<std::size_t>(count) * kEntrySize + kHeaderSize) {
    return;
  }
  c0_ = Get<std::int32_t>(p + 8);
  c1_ = Get<std::int32_t>(p + 12);
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* e = p + kHeaderSize + static_cast<std::size_t>(i) * kEntrySize;
    entries_.push_back({Get<double>(e), Get<double>(e + 8), Get<std::int32_t>(e + 16),
                        Get<std::int32_t>(e + 20), Get<std::int32_t>(e + 24)});
  }
}

void CLocCellCache::Save() const {
  if (path_.empty()) return;
  platform::Data out;
  Put<std::int32_t>(out, static_cast<std::int32_t>(entries_.size()));
  Put<std::int32_t>(out, kVersion);
  Put<std::int32_t>(out, c0_);
  Put<std::int32_t>(out, c1_);
  for (const Entry& e : entries_) {
    Put(out, e.x);
    Put(out, e.y);
    Put(out, e.c3);
    Put(out, e.c2);
    Put(out, e.radius);
  }
  if (platform::FileManager::createFileAtPath(path_, out)) ::chmod(path_.c_str(), 0600);
}

bool CLocCellCache::Find(const CellRecord& cell, double& x, double& y, int& radius) {
  if (!cell.HasCell()) return false;
  Load();
  if (cell.c0 != c0_ || cell.c1 != c1_) return false;
  for (const Entry& e : entries_) {
    if (e.c3 == cell.c3 && e.c2 == cell.c2) {
      x = e.x;
      y = e.y;
      radius = e.radius;
      return true;
    }
  }
  return false;
}

void CLocCellCache::Add(const CellRecord& cell, double x, double y, int radius) {
  if (!cell.HasCell()) return;
  Load();
  if (cell.c0 != c0_ || cell.c1 != c1_) {
    entries_.clear();
    c0_ = cell.c0;
    c1_ = cell.c1;
  }
  bool updated = false;
  for (Entry& e : entries_) {
    if (e.c3 == cell.c3 && e.c2 == cell.c2) {
      e.x = x;
      e.y = y;
      e.radius = radius;
      updated = true;
      break;
    }
  }
  if (!updated) {
    if (static_cast<int>(entries_.size()) >= kCapacity) entries_.erase(entries_.begin());
    entries_.push_back({x, y, cell.c3, cell.c2, radius});
  }
  Save();
}

int CLocCellCache::Count() {
  Load();
  return static_cast<int>(entries_.size());
}

}  // namespace mapsdk
