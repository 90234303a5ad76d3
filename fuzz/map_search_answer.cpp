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
  using gmengine::SearchType;
  static const SearchType kTypes[] = {
      SearchType::PoiInCity,  SearchType::Transit,       SearchType::Driving,        SearchType::Walking,
      SearchType::BusLine,    SearchType::Geocode,       SearchType::ReverseGeocode, SearchType::MultiKeyPoi,
      SearchType::Suggestion, SearchType::OfflineCities, SearchType::PoiBkgData,     SearchType::PoiInBounds,
      SearchType::None,       SearchType::CityList};
  if (size == 0) return 0;
  SearchType expected = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
  const char* body = reinterpret_cast<const char*>(data + 1);
  int length = static_cast<int>(size - 1);
  man->ParseAnswer(body, length, expected);
  man->ParseCityCenterAnswer(body, length);
  return 0;
}
