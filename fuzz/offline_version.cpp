// The offline data versions as the map reads them from disk: the catalogue version file and the
// version list of the catalogue's data files. Whatever the files hold, reading never crashes, and
// what was read is written back and read again the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "mapsdk/offline/COLVersionInfo.h"
#include "mapsdk/offline/CVerDatsetMan.h"

namespace {

const std::string& folder() {
  static const std::string path = [] {
    auto p = std::filesystem::temp_directory_path() / ("kavro-fuzz-versions-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p.string() + "/";
  }();
  return path;
}

void put(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > (1u << 20)) return 0;
  using gmengine::CVString;
  const CVString dir = CVString::FromUtf8(folder());

  put(folder() + "OfflineVersion.dat", bytes, size);
  gmengine::COLVersionInfo version;
  if (version.Read(dir + CVString("OfflineVersion.dat"))) {
    if (!version.Write(dir + CVString("OfflineVersion.again"))) std::abort();
    gmengine::COLVersionInfo again;
    if (!again.Read(dir + CVString("OfflineVersion.again")) || !(again == version)) std::abort();
  }

  put(folder() + "VerDatset.dat", bytes, size);
  gmengine::CVerDatsetMan versions;
  versions.Init(dir);
  if (versions.ReadLocal() && versions.Write()) {
    gmengine::CVerDatsetMan again;
    again.Init(dir);
    if (!again.ReadLocal() || again.Local().GetSize() != versions.Local().GetSize()) std::abort();
  }
  // The same bytes as the list the service sends: no engine here, so nothing is queued.
  versions.CompareServerList(reinterpret_cast<const char*>(bytes), static_cast<int>(size));
  return 0;
}
