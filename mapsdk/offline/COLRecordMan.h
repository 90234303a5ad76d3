#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVMutex.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/COLHotcityList.h"
#include "mapsdk/offline/COLSearchList.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COLVersionInfo.h"
#include "mapsdk/offline/COLWifilogList.h"

namespace gmengine {

// The keeper of the offline map records: catalogue version, hot-city and search lists, update
// records with their download and removal queues, and the Wi-Fi log. Every access goes through
// Command, which holds one lock for the whole command; any thread.
class COLRecordMan {
 public:
  enum CommandId {
    kStart = 1,           // in const int* city id
    kStop = 2,            // in const int* city id
    kRemove = 3,          // in const int* city id
    kGetUpdateList = 4,   // out CVArray<COLUpdateRecord>* (a copy)
    kGetUpdateRecord = 5, // in const int* city id, out COLUpdateRecord* (a copy)
    kStoreRecord = 6,     // in COLUpdateRecord*
    kProgress = 7,        // in const COLUpdateRecord*
    kNextCity = 8,        // in COLUpdateRecord* (filled from the download queue)
    kPackageCount = 9,    // in const CVString* package name
    kGetHotcities = 10,   // out CVArray<COLSearchRecord>* (a copy)
    kSearchCities = 11,   // in const CVString* key, out CVArray<COLSearchRecord>* (a copy)
    kNextRemoved = 13,    // in COLUpdateRecord* (filled from the removal queue)
    kWifiLog = 15,        // in const int* city id
    kSetVersion = 16,     // in const COLVersionInfo*
    kGetVersion = 17,     // in COLVersionInfo* (filled)
    kMergeCityList = 18,  // in CVArray<COLUpdateRecord>*
    kStoreHotcity = 19,   // in const char* bytes, out const int* length
    kStoreSearch = 20,    // in const char* bytes, out const int* length
    kClearAll = 21,
    kHasCity = 22,        // in const int* city id
  };

  COLRecordMan() = default;
  // Writes "OfflineUpdate.dat" once more.
  ~COLRecordMan();
  COLRecordMan(const COLRecordMan&) = delete;
  COLRecordMan& operator=(const COLRecordMan&) = delete;

  // Folder = the engine's data folder (or the one given); reads the record files and seeds the
  // download queue (interrupted downloads first). 1.
  int Init();
  int Init(const CVString& folder);
  // Runs one command under the lock; see CommandId for the arguments. 0 for unknown commands.
  int Command(int command, void* in, void* out);

  const CVString& Folder() const { return folder_; }

 private:
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

}  // namespace gmengine
