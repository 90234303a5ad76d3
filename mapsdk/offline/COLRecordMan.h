#pragma once
#include <optional>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVMutex.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/offline/COLHotcityList.h"
#include "mapsdk/offline/COLSearchList.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COLVersionInfo.h"
#include "mapsdk/offline/COLWifilogList.h"

namespace gmengine {

class COfflineMapMan;

// The keeper of the offline map records: catalogue version, hot-city and search lists, update
// records with their download and removal queues, and the Wi-Fi log. Every access goes through
// Command, which holds one lock for the whole command; any thread. The engine core owns it.
class COLRecordMan : public EnginePart {
 public:
  COLRecordMan() = default;
  // Writes "OfflineUpdate.dat" once more.
  ~COLRecordMan() override;
  COLRecordMan(const COLRecordMan&) = delete;
  COLRecordMan& operator=(const COLRecordMan&) = delete;

  // Folder = the engine's data folder (or the one given); reads the record files and seeds the
  // download queue (interrupted downloads first). 1.
  int Init();
  int Init(const CVString& folder);
  // The commands. Each holds the record lock for the whole call.
  int StartCity(int id);
  int StopCity(int id);
  int RemoveCity(int id);
  CVArray<COLUpdateRecord> GetUpdateList();
  std::optional<COLUpdateRecord> GetUpdateRecord(int id);
  int StoreRecord(COLUpdateRecord& record);
  int ReportProgress(const COLUpdateRecord& record);
  // Fills record from the download queue.
  int TakeNextCity(COLUpdateRecord& record);
  // How many cities share the package name.
  int PackageCount(const CVString& name);
  CVArray<COLSearchRecord> GetHotcities();
  CVArray<COLSearchRecord> SearchCities(const CVString& key);
  // Fills record from the removal queue.
  int TakeNextRemoved(COLUpdateRecord& record);
  int LogWifi(int id);
  int StoreVersion(const COLVersionInfo& version);
  COLVersionInfo GetVersion();
  int MergeCities(CVArray<COLUpdateRecord>& list);
  // The map service's city list (server halves from a city-list answer): each takes the
  // catalogue's data and map versions, then the list is merged as MergeCities does.
  int MergeOfferedCities(CVArray<COLUpdateRecord>& list);
  int StoreHotcities(const char* bytes, int length);
  int StoreSearchList(const char* bytes, int length);
  int ClearAllRecords();
  bool HasCity(int id);

  const CVString& Folder() const { return folder_; }

 private:
  // A wait without limit always takes the lock.
  template <class F>
  auto Locked(F&& body) NO_THREAD_SAFETY_ANALYSIS {
    mutex_.Lock(-1);
    auto result = body();
    mutex_.Unlock();
    return result;
  }

  int Start(int id);
  int Stop(int id);
  int Remove(int id);
  int Store(COLUpdateRecord& record);
  int Progress(const COLUpdateRecord& record);
  int NextCity(COLUpdateRecord& record);
  int NextRemoved(COLUpdateRecord& record);
  int WifiLog(int id);
  int SetVersion(const COLVersionInfo& version);
  int MergeCityList(CVArray<COLUpdateRecord>& list);
  int ClearAll();
  int RemoveFromQueue(int id);

  CVString folder_;
  COLVersionInfo version_;
  COLHotcityList hotcities_;
  COLSearchList searchList_;
  CVArray<COLUpdateRecord> downloadQueue_;
  CVArray<COLUpdateRecord> removalQueue_;
  COLUpdateList updateList_;
  COLWifilogList wifilog_;
  CVMutex mutex_;
};

// The engine's record manager; null without an engine or before GMKOfflineMap made one.
COLRecordMan* RecordManOfEngine();
// The map controller's offline map manager (through the engine's display); null without one.
COfflineMapMan* OfflineMapManOfEngine();

}  // namespace gmengine
