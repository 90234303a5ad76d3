#include "mapsdk/offline/COLSearchList.h"

#include <string>

#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

namespace {
const char* const kSearchFileName = "OfflineSearch.dat";
}

int COLSearchList::Read() {
  all_.RemoveAll();
  std::string bytes;
  if (!olrecord::ReadWholeFile(folder_ + CVString(kSearchFileName), bytes)) return 0;
  return olrecord::ParseCityList(bytes.data(), static_cast<int>(bytes.size()), highDensity_, all_);
}

void COLSearchList::ReloadIfFlagged() {
  if (reload_) {
    reload_ = 0;
    Read();
  }
}

const CVArray<COLSearchRecord>& COLSearchList::Search(const CVString& key) {
  ReloadIfFlagged();
  result_.RemoveAll();
  for (const COLSearchRecord& city : all_) {
    if (key.IsEmpty() || city.name.Find(key) >= 0) result_.Add(city);
  }
  return result_;
}

int COLSearchList::Contains(int cityId) {
  ReloadIfFlagged();
  for (const COLSearchRecord& city : all_) {
    if (city.id == cityId) return 1;
  }
  return 0;
}

int COLSearchList::Store(const char* data, int length) {
  if (!olrecord::ReplaceRecordFile(folder_, CVString(kSearchFileName), data, length)) return 0;
  reload_ = 1;
  return 1;
}

}  // namespace gmengine
