#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/COLSearchRecord.h"

namespace gmengine {

// The hot-city list, "OfflineHotcity.dat" in the data folder. One thread at a time (the record
// manager's lock).
class COLHotcityList {
 public:
  void SetFolder(const CVString& folder) { folder_ = folder; }
  // A high-density screen reads the cities' "sh" sizes, any other "sl".
  void SetHighDensity(bool highDensity) { highDensity_ = highDensity; }
  // Reads the file again; 0 when it is missing or not JSON (the list is then empty).
  int Read();
  // The list, read again first when the file was replaced.
  const CVArray<COLSearchRecord>& GetList();
  // Replaces the file with the bytes the map service sent; 1 when done (the list is read again
  // on its next use).
  int Store(const char* data, int length);
  void RemoveAll() { list_.RemoveAll(); }

 private:
  CVString folder_;
  bool highDensity_ = false;
  int reload_ = 0;
  CVArray<COLSearchRecord> list_;
};

}  // namespace gmengine
