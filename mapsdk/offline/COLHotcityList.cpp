#include "mapsdk/offline/COLHotcityList.h"

#include <string>

#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

namespace {
const char* const kFileName = "OfflineHotcity.dat";
}

int COLHotcityList::Read() {
  list_.RemoveAll();
  std::string bytes;
  if (!olrecord::ReadWholeFile(folder_ + CVString(kFileName), bytes)) return 0;
  return olrecord::ParseCityList(bytes.data(), static_cast<int>(bytes.size()), highDensity_, list_);
}

const CVArray<COLSearchRecord>& COLHotcityList::GetList() {
  if (reload_) {
    reload_ = 0;
    Read();
  }
  return list_;
}

int COLHotcityList::Store(const char* data, int length) {
  if (!olrecord::ReplaceRecordFile(folder_, CVString(kFileName), data, length)) return 0;
  reload_ = 1;
  return 1;
}

}  // namespace gmengine
