#include "mapsdk/offline/COLWifilogList.h"

#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

int COLWifilogList::Add(int id) {
  for (const COLWifilogRecord& record : list_) {
    if (record.id == id) return 0;
  }
  bool first = list_.IsEmpty();
  list_.Add(COLWifilogRecord{id});
  return first ? 1 : 2;
}

int COLWifilogList::Write() const {
  CVString text("[\r\n");
  for (int i = 0; i < list_.GetSize(); ++i) {
    CVString line;
    line.Format("{\"i\":%d%s", list_[i].id, i + 1 < list_.GetSize() ? "},\r\n" : "}\r\n");
    text += line;
  }
  text += CVString("]");
  return olrecord::WriteTextFile(folder_ + CVString("OfflineWifilog.dat"), text);
}

}  // namespace gmengine
