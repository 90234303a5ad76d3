#include "mapsdk/search/CPoiBkgDataCache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace gmengine {

namespace {

TileKey KeyOf(const tag_PoiBkgDataElem& tile) {
  return TileKey{tile.key[0], GridKey{tile.key[1], tile.key[2]}};
}

}  // namespace

int CPoiBkgDataCache::Get(const CVString& word, CVArray<tag_PoiBkgDataElem>& tiles,
                          CVArray<tag_PoiBkgDataElem>& missing) {
  missing.RemoveAll();
  const tag_PoiBkgCacheElem* entry = nullptr;
  for (const tag_PoiBkgCacheElem& e : entries_) {
    if (e.key == word) {
      entry = &e;
      break;
    }
  }
  if (!entry) {
    missing.Copy(tiles);
    return 0;
  }
  std::FILE* file = std::fopen(entry->path.ToUtf8().c_str(), "rb");
  if (!file) return 0;
  for (tag_PoiBkgDataElem& tile : tiles) {
    auto found = entry->offsets.find(KeyOf(tile));
    if (found == entry->offsets.end()) {
      missing.Add(tile);
      continue;
    }
    tile.pois.RemoveAll();
    std::int32_t count = 0;
    if (std::fseek(file, found->second, SEEK_SET) != 0 || std::fread(&count, 4, 1, file) != 1) continue;
    if (count < 1 || count > kMaxPoisPerTile) continue;
    tile.pois.SetSize(count);
    for (int i = 0; i < count; ++i) {
      unsigned char block[kRecordSize];
      if (std::fread(block, kRecordSize, 1, file) != 1) {
        tile.pois.SetSize(i);
        break;
      }
      tag_PoiBkgBaseData& poi = tile.pois[i];
      std::memcpy(poi.name, block, 100);
      poi.name[99] = '\0';
      std::memcpy(poi.uid, block + 100, 32);
      poi.uid[31] = '\0';
      std::memcpy(&poi.x, block + 132, 8);
      std::memcpy(&poi.y, block + 140, 8);
    }
  }
  std::fclose(file);
  return 1;
}

int CPoiBkgDataCache::Add(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles) {
  if (tiles.IsEmpty()) return 0;
  int index = -1;
  for (int i = 0; i < entries_.GetSize(); ++i) {
    if (entries_[i].key == word) {
      index = i;
      break;
    }
  }
  if (index < 0) {
    if (entries_.GetSize() >= kMaxEntries) RemoveAt(entries_.GetSize() - 1);
    if (nextIndex_ >= kMaxEntries) nextIndex_ = 0;
    tag_PoiBkgCacheElem entry;
    entry.key = word;
    CVString name;
    name.Format(u"POIBKGDATA%d.TMP", nextIndex_++);
    entry.path = folder_ + name;
    entries_.InsertAt(0, entry);
    index = 0;
  }
  tag_PoiBkgCacheElem& entry = entries_[index];
  // The word's earlier tiles are read before the file is rewritten: a map that moves asks only for
  // the tiles it lacks, and forgetting the others would have it ask for them again at once.
  std::vector<const tag_PoiBkgDataElem*> order;
  std::map<TileKey, bool> taken;
  for (const tag_PoiBkgDataElem& tile : tiles) {
    if (static_cast<int>(order.size()) < kMaxTiles && taken.emplace(KeyOf(tile), true).second)
      order.push_back(&tile);
  }
  // In file order, which is newest first.
  std::vector<std::pair<int, TileKey>> before;
  for (const auto& [key, offset] : entry.offsets) {
    if (!taken.count(key)) before.emplace_back(offset, key);
  }
  std::sort(before.begin(), before.end());
  CVArray<tag_PoiBkgDataElem> earlier;
  for (const auto& [offset, key] : before) {
    tag_PoiBkgDataElem tile;
    tile.key[0] = key.level;
    tile.key[1] = key.grid.x;
    tile.key[2] = key.grid.y;
    earlier.Add(tile);
  }
  if (!earlier.IsEmpty()) {
    CVArray<tag_PoiBkgDataElem> unread;
    Get(word, earlier, unread);
  }
  for (const tag_PoiBkgDataElem& tile : earlier) {
    if (static_cast<int>(order.size()) >= kMaxTiles) break;
    order.push_back(&tile);
  }
  entry.offsets.clear();
  std::FILE* file = std::fopen(entry.path.ToUtf8().c_str(), "wb");
  if (!file) return 0;
  bool ok = true;
  for (const tag_PoiBkgDataElem* each : order) {
    const tag_PoiBkgDataElem& tile = *each;
    long position = std::ftell(file);
    entry.offsets[KeyOf(tile)] = static_cast<int>(position);
    std::int32_t count = std::min(tile.pois.GetSize(), kMaxPoisPerTile);
    ok = ok && std::fwrite(&count, 4, 1, file) == 1;
    for (int i = 0; i < count; ++i) {
      const tag_PoiBkgBaseData& poi = tile.pois[i];
      unsigned char block[kRecordSize] = {};
      std::memcpy(block, poi.name, 100);
      std::memcpy(block + 100, poi.uid, 32);
      std::memcpy(block + 132, &poi.x, 8);
      std::memcpy(block + 140, &poi.y, 8);
      ok = ok && std::fwrite(block, kRecordSize, 1, file) == 1;
    }
  }
  ok = (std::fflush(file) == 0) && ok;
  std::fclose(file);
  if (!ok) entry.offsets.clear();
  return ok ? 1 : 0;
}

int CPoiBkgDataCache::RemoveAt(int index) {
  if (index < 0 || index >= entries_.GetSize()) return 0;
  std::remove(entries_[index].path.ToUtf8().c_str());
  entries_.RemoveAt(index);
  return 1;
}

int CPoiBkgDataCache::RemoveAll() {
  while (!entries_.IsEmpty()) RemoveAt(0);
  return 1;
}

}  // namespace gmengine
