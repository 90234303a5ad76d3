// Offline packages copied into the documents folder, through the package scan's extraction: any
// bytes extract within the size limit to the target folder only, or are refused.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/FuzzFolders.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/COLUpdateRecord.h"
#include "mapsdk/offline/OfflinePackageScan.h"
#include "platform/foundation/FileManager.h"

namespace fs = std::filesystem;

using fuzzfolders::countOutside;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using gmengine::CVString;
  static const fs::path root =
      fs::temp_directory_path() / ("kavro-fuzz-offline-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(root, ec);
  const fs::path inside = root / "data";
  fs::create_directories(inside);
  const std::string zip = (root / "city.gmap.zip").string();
  platform::FileManager::createFileAtPath(zip, platform::Data(bytes, bytes + size));
  std::size_t before = countOutside(root, inside);

  if (gmengine::UnzipPackageCfg(CVString::FromUtf8(zip), CVString::FromUtf8(inside.string() + "/cfg/"))) {
    for (const auto& entry : fs::recursive_directory_iterator(inside / "cfg", ec)) {
      if (!entry.is_regular_file()) continue;
      gmengine::COLUpdateRecord record;
      gmengine::ReadCfgFile(CVString::FromUtf8(entry.path().string()), record);
    }
  }
  gmengine::UnzipPackage(CVString::FromUtf8(zip), CVString::FromUtf8(inside.string() + "/all/"), 4 << 20);
  std::uintmax_t written = 0;
  for (auto it = fs::recursive_directory_iterator(inside / "all", ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file(ec)) written += it->file_size(ec);
  if (written > (4u << 20)) std::abort();
  if (countOutside(root, inside) != before) std::abort();
  fs::remove_all(root, ec);
  return 0;
}
