#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/offline/CVerDatsetRecord.h"

namespace gmengine {

class COfflineTaskMan;

// The versions of the offline catalogue files ("VerDatset.dat") and which of them to fetch again.
// Lives in the engine core, which owns it and hands it the task manager that fetches the files; no
// lock of its own (used from the engine side one call at a time).
class CVerDatsetMan : public EnginePart {
 public:
  // Folder = the engine's data folder; reads "VerDatset.dat". 1.
  int Init(const CVString& folder);
  // The task manager, kept while it is installed. Main thread.
  void OnPartInstalled(EngineSlot slot, EnginePart& part) override;
  void OnPartRemoved(EngineSlot slot) override;
  // Reads the local file (both lists emptied); the two "1.0.0" defaults and 0 when it cannot be
  // read or parsed. A file that is there but could not be read is read again before it is written,
  // and not written over while it still cannot be.
  int ReadLocal();
  // The version list the map service sent: 0 when not JSON; else its entries join the server
  // list and every local file whose version differs is queued with the task manager. 1.
  int CompareServerList(const char* data, int length);
  // Takes the server's version of the file into the local list and writes it; 0 when either
  // entry is missing, the file cannot be read or the write fails (the local entry then restored).
  int UpdateLocalVersion(const CVString& fileName);
  int Write() const;

  const CVArray<CVerDatsetRecord>& Local() const { return local_; }
  const CVArray<CVerDatsetRecord>& Server() const { return server_; }
  // Entries with "f" and "a" or "d" ("a" preferred); 0 when not JSON.
  static int ParseList(const char* data, int length, CVArray<CVerDatsetRecord>& list);

 private:
  int LoadLocal();

  COfflineTaskMan* tasks_ = nullptr;
  CVString folder_;
  CVArray<CVerDatsetRecord> local_;
  CVArray<CVerDatsetRecord> server_;
  bool unread_ = false;
};

}  // namespace gmengine
