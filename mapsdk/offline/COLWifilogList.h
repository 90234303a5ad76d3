#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {

struct COLWifilogRecord {
  int id = 0;
};

// City ids logged for download over Wi-Fi, "OfflineWifilog.dat" (written, never read back).
class COLWifilogList {
 public:
  void SetFolder(const CVString& folder) { folder_ = folder; }
  // 1 when the list was empty, 0 when the id is there already, 2 when appended.
  int Add(int id);
  int Write() const;
  void RemoveAll() { list_.RemoveAll(); }
  int GetSize() const { return list_.GetSize(); }

 private:
  CVString folder_;
  CVArray<COLWifilogRecord> list_;
};

}  // namespace gmengine
