// The location service's answers and the cell cache file ("loc.dat"). The first byte picks: the
// bytes as an answer body, or as the cache file, which is then looked up, added to and written.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "mapsdk/display/CLocCellCache.h"
#include "mapsdk/display/CLocHttpClient.h"

namespace {

const std::string& cacheFile() {
  static const std::string path = [] {
    auto p = std::filesystem::temp_directory_path() / ("kavro-fuzz-location-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return (p / "loc.dat").string();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 64 * 1024) return 0;
  const char* body = reinterpret_cast<const char*>(bytes + 1);
  std::size_t length = size - 1;
  if (bytes[0] % 2 == 0) {
    auto answer = mapsdk::CLocHttpClient::ParseLocationResult(std::string_view(body, length));
    if (answer && (std::isnan(answer->x) || std::isnan(answer->y))) std::abort();
    return 0;
  }
  std::ofstream(cacheFile(), std::ios::binary | std::ios::trunc)
      .write(body, static_cast<std::streamsize>(length));
  mapsdk::CellRecord cell;
  if (length >= 40) {
    // The network of the header and the first entry's cell, so that a well-formed file is found.
    std::memcpy(&cell.c0, body + 8, 4);
    std::memcpy(&cell.c1, body + 12, 4);
    std::memcpy(&cell.c3, body + 32, 4);
    std::memcpy(&cell.c2, body + 36, 4);
  }
  mapsdk::CLocCellCache cache(cacheFile());
  int count = cache.Count();
  if (count < 0 || count > mapsdk::CLocCellCache::kCapacity) std::abort();
  double x = 0, y = 0;
  int radius = 0;
  cache.Find(cell, x, y, radius);
  cell.c3 = 7;
  cache.Add(cell, 1.5, 2.5, 30);
  mapsdk::CLocCellCache reread(cacheFile());
  if (!reread.Find(cell, x, y, radius) || x != 1.5 || y != 2.5 || radius != 30) std::abort();
  return 0;
}
