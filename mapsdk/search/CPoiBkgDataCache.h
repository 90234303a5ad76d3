#pragma once
#include <map>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/TileKey.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {

// One cached background POI word: its data word, its temporary file and where each tile's block
// starts in that file.
struct tag_PoiBkgCacheElem {
  CVString key;
  CVString path;
  std::map<TileKey, int> offsets;
};

// The background POI answers of the last five data words, kept in temporary files
// "POIBKGDATA%d.TMP" in the engine's data folder, so tiles seen before need no request. A file is
// only readable while its entry exists. One thread at a time (the main thread).
class CPoiBkgDataCache {
 public:
  static constexpr int kMaxEntries = 5;
  static constexpr int kRecordSize = 148;
  // Tiles one word keeps (the newest answer's first); a tile's POIs read back at most.
  static constexpr int kMaxTiles = 400;
  static constexpr int kMaxPoisPerTile = 1000;

  CPoiBkgDataCache() = default;
  ~CPoiBkgDataCache() { RemoveAll(); }
  CPoiBkgDataCache(const CPoiBkgDataCache&) = delete;
  CPoiBkgDataCache& operator=(const CPoiBkgDataCache&) = delete;

  // The folder of the temporary files (ending with "/"): the search engine sets the engine's data
  // folder.
  void SetFolder(const CVString& folder) { folder_ = folder; }

  // Empties missing; with no entry for word copies every tile into missing and answers 0. Else
  // reads the POIs of every tile the entry holds into the tile and appends the others to missing;
  // 1 when the entry's file could be read.
  int Get(const CVString& word, CVArray<tag_PoiBkgDataElem>& tiles, CVArray<tag_PoiBkgDataElem>& missing);
  // Writes tiles as the entry of word (the oldest entry dropped when five are kept). A word already
  // kept keeps the tiles of its earlier answers that these do not replace, the newest first, up to
  // kMaxTiles. 0 for no tiles or a file that cannot be written.
  int Add(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles);
  int RemoveAt(int index);
  int RemoveAll();
  int GetCount() const { return entries_.GetSize(); }
  const tag_PoiBkgCacheElem* GetEntry(int index) const {
    return index >= 0 && index < entries_.GetSize() ? &entries_[index] : nullptr;
  }

 private:
  CVArray<tag_PoiBkgCacheElem> entries_;
  int nextIndex_ = 0;
  CVString folder_;
};

}  // namespace gmengine
