// Offline tile packages are read back from disk, where a crash, a full disk or another program may
// have left any bytes: reading a tile gives at most the tile limit or nothing, and checking a
// package keeps a count within the package or rebuilds it empty.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "mapsdk/engine/CGridDataCache.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/offline/COfflineDataCache.h"

namespace {

using gmengine::COfflineDataCache;
using gmengine::CVString;

struct Rig {
  COfflineDataCache cache;
  std::string root;
};

Rig& rig() {
  static Rig* r = [] {
    auto* made = new Rig();
    auto folder =
        std::filesystem::temp_directory_path() / ("kavro-fuzz-offline-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    made->cache.Init(CVString::FromUtf8(folder.string() + "/"), CVString("10000001"), 0);
    made->root = folder.string() + "/data/";
    return made;
  }();
  return *r;
}

void put(COfflineDataCache& cache, const char* name, const std::uint8_t* bytes, std::size_t size) {
  std::ofstream out(cache.PackagePath(CVString(name)).ToUtf8(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

void readEvery(COfflineDataCache& cache, int base, int first, int last, int spread) {
  for (int level = first; level <= last; ++level) {
    int side = 1 << (level - base);
    for (int i = 0; i < 3; ++i) {
      gmengine::GridKey key{(i * spread) % side, (i * 7 + spread) % side};
      void* data = nullptr;
      int size = 0;
      if (cache.ReadGridData(base, key, level, data, size)) {
        if (!data || size <= 0 || size > COfflineDataCache::kMaxTileSize) std::abort();
        gmengine::VFree(data);
      } else if (data || size != 0) {
        std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 256 * 1024) return 0;
  Rig& r = rig();
  int spread = bytes[0];
  // The same bytes as a package of levels 3 to 10 and as one of level 18 alone.
  put(r.cache, "0_0", bytes, size);
  put(r.cache, "0_0_18", bytes, size);
  readEvery(r.cache, 3, 3, 10, spread);
  readEvery(r.cache, 11, 18, 18, spread);

  gmengine::CVArray<gmengine::tagGirdData> requests;
  for (int level : {3, 5, 10, 18}) {
    gmengine::tagGirdData request;
    request.level = level;
    requests.Add(request);
  }
  r.cache.LoadGridData(requests);

  // Checking a package keeps a sound one and rebuilds anything else; a tile then goes in where the
  // package says it goes.
  int stored = -1;
  if (r.cache.CreateOfflineDat(3, CVString("0_0"), 3, 10, stored)) {
    if (stored < 0 || stored > COfflineDataCache::GridCount(3, 3, 10)) std::abort();
    const char tile[] = "tile";
    r.cache.WriteGridData(3, gmengine::GridKey{0, 0}, 3, 10, 3, tile, sizeof tile);
    readEvery(r.cache, 3, 3, 4, spread);
  }
  return 0;
}
