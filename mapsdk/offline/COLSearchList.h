#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/COLSearchRecord.h"

namespace gmengine {

// The searchable city list, "OfflineSearch.dat" in the data folder. One thread at a time (the
// record manager's lock).
class COLSearchList {
 public:
  void SetFolder(const CVString& folder) { folder_ = folder; }
  // A high-density screen reads the cities' "sh" sizes, any other "sl".
  void SetHighDensity(bool highDensity) { highDensity_ = highDensity; }
  int Read();
  // Cities whose name contains key (all for an empty key), in file order.
  const CVArray<COLSearchRecord>& Search(const CVString& key);
  // 1 when some city has the id.
  int Contains(int cityId);
  // Replaces the file with the bytes the map service sent; 1 when done.
  int Store(const char* data, int length);
  void RemoveAll() {
    all_.RemoveAll();
    result_.RemoveAll();
  }

 private:
  void ReloadIfFlagged();
  CVString folder_;
  bool highDensity_ = false;
  int reload_ = 0;
  CVArray<COLSearchRecord> all_;
  CVArray<COLSearchRecord> result_;
};

}  // namespace gmengine
