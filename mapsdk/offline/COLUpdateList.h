#pragma once
#include <cjson/cJSON.h>

#include <vector>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVMapStringToPtr.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/COLUpdateRecord.h"

namespace gmengine {

// The per-city update records, "OfflineUpdate.dat" in the data folder (newest first), and how
// many local halves name each package file. One thread at a time (the record manager's lock).
class COLUpdateList {
 public:
  COLUpdateList() : counts_(10) {}
  void SetFolder(const CVString& folder) { folder_ = folder; }
  // Reads the file again (records and counts emptied first); 0 when it is missing or not JSON. A
  // file that is there but could not be read leaves the list as it was and marks it Unread.
  int Read();
  int Parse(const char* data, int length);
  // The file's records are not all in memory: it could not be read.
  bool Unread() const { return unread_; }
  // When Unread, reads the file again and adds the records of cities not in memory after those
  // (the ones in memory are newer), leaving out the cities removed meanwhile; the added records to
  // queue, as BuildQueueSeed gives them, go to the front of the seed queue (interrupted downloads
  // resume first, as when the file was read at start); the list is written when it differs from
  // the file. 1 when the list is whole, 0 when the file still cannot be read.
  int ReadAgain();
  // Where records read late that are to be downloaded are queued (not owned); none: not queued.
  void SetSeedQueue(CVArray<COLUpdateRecord>* queue) { seedQueue_ = queue; }
  // Writes the whole list; 1 when the file could be written. While Unread the file is read again
  // first, and left alone (0) when that fails.
  int Write();
  CVString Compose() const;

  CVArray<COLUpdateRecord>& Records() { return records_; }
  const CVArray<COLUpdateRecord>& Records() const { return records_; }
  // The index of the record whose local id is id; -1 when none.
  int FindLocal(int id) const;
  // Removes the record at index; while Unread the file's record of that city is not taken back.
  void RemoveRecord(int index);

  void AddName(const CVString& name);
  void RemoveName(const CVString& name);
  int GetNameCount(const CVString& name) const;
  // Empties the list, what the file held included: it is no longer Unread.
  void RemoveAll();

  // Interrupted downloads (state 1, turned into 2) first, then the queued ones (state 2).
  void BuildQueueSeed(CVArray<COLUpdateRecord>& seed);

  // One record object of the file form; with packageForm the form of a package description
  // (every key required, "lup"/"sup" not read, ratios given as percentages and stored times
  // 100). False when a key is missing or a package list is empty.
  static bool ParseRecord(const cJSON* object, COLUpdateRecord& record, bool packageForm = false);

 private:
  // ReadAgain's merge, without the write; changed when memory held changes to make over the file.
  int Merge(bool& changed);

  CVString folder_;
  CVArray<COLUpdateRecord> records_;
  CVMapStringToPtr counts_;
  bool unread_ = false;
  // Cities removed while Unread: the file's records of them stay out when it is read.
  std::vector<int> removedUnread_;
  CVArray<COLUpdateRecord>* seedQueue_ = nullptr;
};

}  // namespace gmengine
