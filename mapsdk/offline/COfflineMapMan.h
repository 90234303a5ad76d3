#pragma once
#include <atomic>
#include <memory>
#include <vector>

#include "mapsdk/engine/CGridDataCache.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/COLUpdateRecord.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

class COfflineDataCache;
class OfflineGridClient;

// A package file still to fetch: base, first and last level, the two numbers of its name, and
// the tiles it already holds.
struct tag_GridRisk {
  int baseLevel = 0;
  int firstLevel = 0;
  int lastLevel = 0;
  int x = 0;
  int y = 0;
  int stored = 0;
};

// A package the scan thread will install.
struct tagOffLineFileInfo {
  int cityId = 0;
  int fileLength = 0;
  int dataSize = 0;
  CVString cityName;
  CVString path;
  CVString version;
};

// Keeps the offline city data up to date: takes the next queued city from the record manager,
// fetches the tiles its package files still lack in batches of at most ten through the grid
// client into the grid data store, reports progress into the city's record, and starts the
// package scan thread. One per map controller. Commands and answers come on the main thread,
// timer 1005 on the timer thread; a lock keeps them apart (the timer skips a tick rather than
// wait).
class COfflineMapMan {
 public:
  static constexpr int kTimerId = 1005;
  static constexpr int kTimerMs = 8000;
  static constexpr int kBatchSize = 10;
  static constexpr int kFirstBatchSequence = 1000000;

  COfflineMapMan();
  ~COfflineMapMan();
  COfflineMapMan(const COfflineMapMan&) = delete;
  COfflineMapMan& operator=(const COfflineMapMan&) = delete;

  int Init();
  void SetHttpClient(OfflineGridClient* client) { client_ = client; }
  void SetOfflineDataCache(COfflineDataCache* store) { store_ = store; }
  void SetMapRequesting(int pending);
  int IsMapRequesting() const;

  // Engine message 8013 (command, argument); 1 when handled, 0 when a command could not start.
  int OnCommand(int command, int argument);
  // Timer 1005 (message 8); 0 for another message. The tick comes on the dispatcher's thread; the
  // stall check it asks for runs on the main thread, which owns the tile client.
  int OnTimer(int message, int id);
  // Advances the download after a batch answer or failure.
  void ContinueDownload(int receivedInHead, int flag);
  // Stores one received tile of the head package; 1 on success, 0 when the store refused it (out
  // of order), -1 when the store could not write it (the disk is full or failing).
  int SaveGridData(const void* data, int size, const GridKey& key, int level);
  // After a tile could not be written: the batch is cancelled, the city is stopped (state 3) and
  // downloading switched off until a city is asked for again.
  void StopAfterFailedSave();

  // Read by the offline map interface and the package scan thread.
  std::atomic<int> scanRunning{0};
  std::atomic<int> installing{0};
  std::atomic<int> installFailed{0};
  std::atomic<int> scanArgument{0};
  std::atomic<int> installedCount{0};
  std::atomic<int> packagesFound{0};
  std::atomic<int> packagesNotInstalled{0};
  // The scan thread's own working state.
  std::vector<std::unique_ptr<tagOffLineFileInfo>> installList;
  COLUpdateRecord packageDesc;

  // Inspection.
  COLUpdateRecord CurrentRecord() const;
  int GetPackageCount() const;
  int GetReceivedCount() const;
  int GetTotalCount() const;
  int GetHeadReceived() const;
  int GetBatchSequence() const;
  int IsDownloadOn() const;
  CVArray<tagGirdData> GetBatch() const;

 private:
  int StartNextCity();
  void BuildPackageList();
  void DeleteCityFiles(const COLUpdateElement& city, bool keepShared);
  void Locate();
  void BuildBatch();
  void RequestBatch(int flag);
  int StartScan(int argument);

  // The stall check of one tick: cancels a download that made no progress and goes on.
  void CheckStall();

  mutable platform::RecursiveMutex mutex_;
  // Checks posted to the main thread hold this weakly: one that comes after the manager is gone
  // does nothing.
  std::shared_ptr<COfflineMapMan*> self_ = std::make_shared<COfflineMapMan*>(this);
  int stall_ = 0;
  COLUpdateRecord current_;
  OfflineGridClient* client_ = nullptr;
  CVArray<tag_GridRisk> packages_;
  int received_ = 0;
  int total_ = 0;
  int level_ = 0;
  int firstRow_ = 0;
  int lastRow_ = 0;
  int firstCol_ = 0;
  int lastCol_ = 0;
  int row_ = 0;
  int col_ = 0;
  bool located_ = false;
  CVArray<GridKey> keys_;
  CVArray<tagGirdData> batch_;
  int headX_ = 0;
  int headY_ = 0;
  int downloadOn_ = 0;
  int headReceived_ = 0;
  COfflineDataCache* store_ = nullptr;
  int receivedAtTick_ = -1;
  int batchSequence_ = kFirstBatchSequence;
};

}  // namespace gmengine
