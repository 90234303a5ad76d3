#pragma once
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "mapsdk/engine/CGridDataFileCache.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/TileKey.h"

namespace gmengine {

// One tile of a tile list: level, column (x), row (y), its data (null while missing) and the data
// size in bytes (-1 after a failed decode).
struct tagGirdData {
  int level = 0;
  int x = 0;
  int y = 0;
  void* data = nullptr;
  int size = 0;

  TileKey Key() const { return TileKey{level, GridKey{x, y}}; }
};

// The in-memory tile cache of one tile request, over an optional file cache. Tiles are kept
// under their level, column and row, at most the memory capacity of them,
// the least recently used leaving first. Data handed out stays the cache's: a pointer stays valid
// until its tile leaves the memory cache (it is removed, or capacity other tiles were used since).
// Main thread (one thread at a time).
class CGridDataCache {
 public:
  CGridDataCache() = default;
  CGridDataCache(const CGridDataCache&) = delete;
  CGridDataCache& operator=(const CGridDataCache&) = delete;

  // Empties the memory cache and sizes it (at least 1); opens the file cache over the two files
  // when fileCapacity is positive, else goes without one. 1; 0 when a file cache was asked for and
  // could not be opened (the memory cache works all the same).
  int Init(const CVString& indexPath, const CVString& dataPath, int memoryCapacity, int fileCapacity,
           int byteLimit);
  // Fills data and size of every listed tile without data found in memory or in the file cache
  // (tiles read from the file enter the memory cache); answers how many were found.
  int GetGridData(CVArray<tagGirdData>& list);
  // Copies every listed tile with data (size > 0) into the memory cache, and with flag 1 into the
  // file cache too; answers how many were stored.
  int AddGridData(const CVArray<tagGirdData>& list, int flag);
  // Removes the tile from memory, and with flag 1 from the file cache; 1 when it was anywhere.
  int RemoveGridData(const tagGirdData& tile, int flag);
  // Empties the memory cache (the file cache keeps its tiles).
  void RemoveAll();

  int GetCount() const { return static_cast<int>(order_.size()); }
  bool HasFileCache() const { return file_.IsOpen(); }

 private:
  struct Tile {
    TileKey key;
    platform::Data bytes;
  };
  Tile& Store(const TileKey& key, platform::Data bytes);

  int capacity_ = 1;
  std::list<Tile> order_;  // most recently used first
  std::unordered_map<TileKey, std::list<Tile>::iterator> index_;
  CGridDataFileCache file_;
};

}  // namespace gmengine
