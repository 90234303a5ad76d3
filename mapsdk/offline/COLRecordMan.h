#pragma once
#include <atomic>
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

class CAppSearch;
class COfflineMapMan;
class CVerDatsetMan;
class CVMsgDispatcher;

// The keeper of the offline map records: catalogue version, hot-city and search lists, update
// records with their download and removal queues, and the Wi-Fi log. Every access goes through
// Command, which holds one lock for the whole command; any thread. The engine core owns it and
// hands it the version-list manager and the search when they are installed; the offline map
// manager it tells of a clearing is the one that took it (SetRecordMan).
class COLRecordMan : public EnginePart {
 public:
  // The dispatcher its messages go through (not owned: the engine global outlives the core) and
  // whether the screen is a high-density one (the city lists' size key).
  COLRecordMan(CVMsgDispatcher* dispatcher, bool highDensityScreen);
  // Writes "OfflineUpdate.dat" once more.
  ~COLRecordMan() override;
  COLRecordMan(const COLRecordMan&) = delete;
  COLRecordMan& operator=(const COLRecordMan&) = delete;

  // Folder = the engine's data folder; reads the record files and seeds the download queue
  // (interrupted downloads first). 1.
  int Init(const CVString& folder);

  // The version-list manager (told of a new search list) and the search (asked for the offline
  // cities of a new catalogue version), kept while they are installed. Main thread.
  void OnPartInstalled(EngineSlot slot, EnginePart& part) override;
  void OnPartRemoved(EngineSlot slot) override;
  // The offline map manager that works through the queue; it attaches when it takes the record
  // manager and detaches before it goes. Any thread.
  void AttachMapMan(COfflineMapMan* man);
  void DetachMapMan(COfflineMapMan* man);
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

 private:
  int Start(int id) REQUIRES(mutex_);
  int Stop(int id) REQUIRES(mutex_);
  int Remove(int id) REQUIRES(mutex_);
  int Store(COLUpdateRecord& record) REQUIRES(mutex_);
  int Progress(const COLUpdateRecord& record) REQUIRES(mutex_);
  int NextCity(COLUpdateRecord& record) REQUIRES(mutex_);
  int NextRemoved(COLUpdateRecord& record) REQUIRES(mutex_);
  int WifiLog(int id) REQUIRES(mutex_);
  int SetVersion(const COLVersionInfo& version) REQUIRES(mutex_);
  int MergeCityList(CVArray<COLUpdateRecord>& list) REQUIRES(mutex_);
  int ClearAll() REQUIRES(mutex_);
  int RemoveFromQueue(int id) REQUIRES(mutex_);
  // Record files that could not be read are read again at each command until they can.
  void ReadAgain() REQUIRES(mutex_);

  CVMsgDispatcher* const dispatcher_;
  const bool highDensity_;
  std::atomic<CVerDatsetMan*> versions_{nullptr};
  std::atomic<CAppSearch*> search_{nullptr};
  std::atomic<COfflineMapMan*> mapMan_{nullptr};
  CVString folder_;  // set by Init, before any other thread calls
  COLVersionInfo version_ GUARDED_BY(mutex_);
  // The version file is there but could not be read: it is not written over.
  bool versionUnread_ GUARDED_BY(mutex_) = false;
  COLHotcityList hotcities_ GUARDED_BY(mutex_);
  COLSearchList searchList_ GUARDED_BY(mutex_);
  CVArray<COLUpdateRecord> downloadQueue_ GUARDED_BY(mutex_);
  CVArray<COLUpdateRecord> removalQueue_ GUARDED_BY(mutex_);
  COLUpdateList updateList_ GUARDED_BY(mutex_);
  COLWifilogList wifilog_ GUARDED_BY(mutex_);
  CVMutex mutex_;
};

}  // namespace gmengine
