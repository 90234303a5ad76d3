// Map search answers: any bytes end in a record or an error code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mapsdk/search/CSearchMan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static gmengine::CSearchMan* man = [] {
    auto* m = new gmengine::CSearchMan();
    std::string folder = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/";
    m->PoiBkgCache().SetFolder(gmengine::CVString::FromUtf8(folder));
    return m;
  }();
  static const int kTypes[] = {11, 14, 20, 31, 18, 35, 44, 45, 506, 507, 510, 21, 0, 7};
  if (size == 0) return 0;
  int expected = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
  const char* body = reinterpret_cast<const char*>(data + 1);
  int length = static_cast<int>(size - 1);
  int type = 0;
  int error = 0;
  man->ParseAnswer(body, length, expected, type, error);
  man->ParseCityCenterAnswer(body, length);
  return 0;
}
