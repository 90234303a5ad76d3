// The background-place cache reads its temporary files back: whatever bytes a file holds, the
// places read are at most the limit per tile, their texts ended, and the next answer for the word
// still goes in.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "mapsdk/search/CPoiBkgDataCache.h"

namespace {

using gmengine::CPoiBkgDataCache;
using gmengine::CVArray;
using gmengine::CVString;
using gmengine::tag_PoiBkgDataElem;

std::string& folder() {
  static std::string* f = [] {
    auto path = std::filesystem::temp_directory_path() / ("kavro-fuzz-poibkg-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return new std::string(path.string() + "/");
  }();
  return *f;
}

CVArray<tag_PoiBkgDataElem> tiles(int count, int placesEach) {
  CVArray<tag_PoiBkgDataElem> out;
  for (int i = 0; i < count; ++i) {
    tag_PoiBkgDataElem tile;
    tile.key[0] = 15;
    tile.key[1] = i;
    tile.key[2] = 2 * i;
    tile.pois.SetSize(placesEach);
    for (int k = 0; k < placesEach; ++k) std::snprintf(tile.pois[k].name, sizeof tile.pois[k].name, "p%d", k);
    out.Add(tile);
  }
  return out;
}

void check(const CVArray<tag_PoiBkgDataElem>& read) {
  for (const tag_PoiBkgDataElem& tile : read) {
    if (tile.pois.GetSize() > CPoiBkgDataCache::kMaxPoisPerTile) std::abort();
    for (const auto& poi : tile.pois)
      if (!std::memchr(poi.name, 0, sizeof poi.name) || !std::memchr(poi.uid, 0, sizeof poi.uid))
        std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 1024 * 1024) return 0;
  CPoiBkgDataCache cache;
  cache.SetFolder(CVString::FromUtf8(folder()));
  CVString word("bank");
  if (!cache.Add(word, tiles(4, 3))) std::abort();
  {
    std::ofstream out(cache.GetEntry(0)->path.ToUtf8(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  }
  auto asked = tiles(5, 0);
  CVArray<tag_PoiBkgDataElem> missing;
  cache.Get(word, asked, missing);
  check(asked);
  if (missing.GetSize() != 1) std::abort();
  // A new answer for the word keeps what of the damaged file it could read, and reads back.
  if (!cache.Add(word, tiles(1, 2))) std::abort();
  auto again = tiles(4, 0);
  if (cache.Get(word, again, missing) != 1) std::abort();
  check(again);
  if (again[0].pois.GetSize() != 2) std::abort();
  return 0;
}
