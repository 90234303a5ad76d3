#pragma once
#include <cstdint>

#include "mapsdk/engine/CGridDataCache.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {

// Downloaded offline tiles on disk: one package file per city grid cell below "data/" of the SDK
// data folder. Tiles enter a file only in their fixed order (level by level, row-major), so the
// stored count is also the position of the next tile. One file is open at a time: one thread at
// a time (the main thread).
class COfflineDataCache {
 public:
  static constexpr std::uint32_t kStateComplete = 0xFFFFFFFFu;
  static constexpr std::uint32_t kStateWriting = 0xCCCCCCCCu;
  static constexpr int kMaxTileSize = 102400;

  COfflineDataCache() = default;
  COfflineDataCache(const COfflineDataCache&) = delete;
  COfflineDataCache& operator=(const COfflineDataCache&) = delete;

  // Root = dataFolder + "data/" (created). 1.
  int Init(const CVString& dataFolder, const CVString& name, int mode);
  void SetGridCache(CGridDataCache* cache) { gridCache_ = cache; }
  const CVString& Root() const { return root_; }

  // Makes sure the package file exists and is sound (a broken or unfinished one is rebuilt
  // empty); 1 with the stored tile count, 0 when the file could not be written. A file that lacks
  // tiles before its count (places passed by SkipGridData), or one not written by this store's
  // check (an earlier version's, a package's) whose tiles do not all decode, is cut back to its
  // first such place: the next download fetches from there and replaces what did not decode.
  int CreateOfflineDat(int baseLevel, CVString name, int firstLevel, int lastLevel, int& storedCount);
  // Appends one tile; it must be the next one of its file. 1 on success. When the disk refuses the
  // bytes the file is put back as it was (LastWriteFailed() then holds).
  int WriteGridData(int baseLevel, const GridKey& key, int firstLevel, int lastLevel, int level,
                    const void* data, int size);
  // Passes the next place of the tile's file without a tile (one that did not decode): it reads
  // as missing, and the next CreateOfflineDat starts the file again there. 1 on success.
  int SkipGridData(int baseLevel, const GridKey& key, int firstLevel, int lastLevel, int level);
  // Whether the last WriteGridData or SkipGridData failed writing to disk (not refusing the tile).
  bool LastWriteFailed() const { return writeFailed_; }
  // Reads one tile into a new VMalloc block (the caller frees it with VFree). 1 on success.
  int ReadGridData(int baseLevel, const GridKey& key, int level, void*& data, int& size);
  // Fills the requests without data from the files, through the memory tile cache.
  void LoadGridData(CVArray<tagGirdData>& requests);
  // Deletes the package file of the name (the levels are not used). 1 when deleted.
  int DeleteGridFile(int baseLevel, const CVString& name, int firstLevel, int lastLevel);
  // State word of the open file.
  int SetComplete(int flag);
  int IsComplete();

  // The file of a package name (its folder created); the package name of a tile ("" when it has
  // none) and its index inside its level (-1 when none).
  CVString PackagePath(const CVString& name);
  static CVString PackageNameOfTile(int baseLevel, const GridKey& key, int level);
  static int TileIndex(int baseLevel, const GridKey& key, int level);
  // Tiles of a file of levels first..last over base.
  static int GridCount(int baseLevel, int firstLevel, int lastLevel);

 private:
  bool ReadWord(int offset, std::uint32_t& value);
  bool WriteWord(int offset, std::uint32_t value);
  int Fail();
  // Writes a tile, or with size -1 a hole.
  int PutGridData(int baseLevel, const GridKey& key, int firstLevel, int lastLevel, int level,
                  const void* data, int size);
  // Where the entry of the tile at position (in the file's order) of level lies.
  static int EntryOffset(int baseLevel, int firstLevel, int lastLevel, int level, int position);
  int KeepDecodingTiles(const CVString& path, int baseLevel, int firstLevel, int lastLevel, int& storedCount);
  // A write that fell short: the file back to its length and count before the tile. 0.
  int FailWrite(int length, int entry, int count);

  CGridDataCache* gridCache_ = nullptr;
  CVString root_;
  CVString name_ = CVString("10000001");
  int curCount_ = 0;
  int mode_ = 0;
  bool writeFailed_ = false;
  [[maybe_unused]] int reserved_ = 0;
  CVFile file_;
};

}  // namespace gmengine
