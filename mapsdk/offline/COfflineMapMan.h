#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "mapsdk/engine/CGridDataCache.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/CVThread.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/offline/COLUpdateRecord.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

class COLRecordMan;
class COfflineDataCache;
class CVGlobalMan;
class CVMsgDispatcher;
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
// EngineTimer::OfflineDownload on the timer thread; a lock keeps them apart (the timer skips a tick rather
// than wait).
class COfflineMapMan {
 public:
  static constexpr int kTimerMs = 8000;
  static constexpr int kBatchSize = 10;
  static constexpr int kFirstBatchSequence = 1000000;

  COfflineMapMan();
  ~COfflineMapMan();
  COfflineMapMan(const COfflineMapMan&) = delete;
  COfflineMapMan& operator=(const COfflineMapMan&) = delete;

  // Keeps the engine's dispatcher (its timer and states) and data folder (the package scan's) and
  // sets the download switch from the engine's offline-download setting (global null: none of
  // them). The global is not kept: it outlives the map controller.
  int Init(CVGlobalMan* global);
  void SetHttpClient(OfflineGridClient* client) { client_ = client; }
  void SetOfflineDataCache(COfflineDataCache* store) { store_ = store; }
  // The record manager whose queue it works through and whose records it reports into (not owned;
  // null when it goes); the manager attaches to it, to hear of a clearing.
  void SetRecordMan(COLRecordMan* records);
  COLRecordMan* RecordMan() const;
  // The engine's data folder, where the city files are kept.
  const CVString& DataFolder() const { return dataFolder_; }
  void SetMapRequesting(int pending);
  int IsMapRequesting() const;

  // EngineMsg::OfflineCommand (command, argument); 1 when handled (a command the manager does not
  // know too), 0 when a command could not start.
  int OnCommand(OfflineCommand command, int argument);
  // EngineTimer::OfflineDownload (message EngineMsg::Timer); 0 for another message, 1 for another
  // timer. The tick comes on the dispatcher's thread; the
  // stall check it asks for runs on the main thread, which owns the tile client.
  int OnTimer(int message, int id);
  // Advances the download after a batch answer or failure.
  void ContinueDownload(int receivedInHead, int flag);
  // Stores one received tile of the head package; 1 on success, 0 when the store refused it (out
  // of order), -1 when the store could not write it (the disk is full or failing). A tile that
  // does not decode is not stored but counted as failed (1: the download goes on past it); the
  // next download of the city fetches its file again from there.
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
  ThreadRole scanThread;
  std::vector<std::unique_ptr<tagOffLineFileInfo>> installList GUARDED_BY(scanThread);
  COLUpdateRecord packageDesc GUARDED_BY(scanThread);

  // Inspection.
  int GetPackageCount() const;
  int GetReceivedCount() const;
  int GetTotalCount() const;
  // Tiles of the current city's download that did not decode, and the first of them named
  // "level/x_y" (at most kNamedFailedTiles).
  static constexpr std::size_t kNamedFailedTiles = 5;
  int GetFailedCount() const;
  std::vector<std::string> GetFailedTiles() const;
  int GetHeadReceived() const;
  int GetBatchSequence() const;
  int IsDownloadOn() const;

 private:
  int RunCommand(OfflineCommand command, int argument) REQUIRES(mutex_);
  void Continue(int receivedInHead, int flag) REQUIRES(mutex_);
  // The stall timer ticks while a city downloads (downloading on, packages left) and only then;
  // restart counts a new city's ticks from 0.
  void SyncStallTimer(bool restart) REQUIRES(mutex_);
  int StartNextCity() REQUIRES(mutex_);
  void BuildPackageList() REQUIRES(mutex_);
  // One package file of the city: stored of expected tiles; a file still lacking some is fetched.
  void AddPackage(int base, int first, int last, int x, int y, int stored, int expected) REQUIRES(mutex_);
  void DeleteCityFiles(const COLUpdateElement& city, bool keepShared) REQUIRES(mutex_);
  void Locate() REQUIRES(mutex_);
  void BuildBatch() REQUIRES(mutex_);
  void RequestBatch(int flag) REQUIRES(mutex_);
  int StartScan(int argument) REQUIRES(mutex_);

  // The stall check of one tick: cancels a download that made no progress and goes on.
  void CheckStall();

  mutable platform::RecursiveMutex mutex_;
  CVMsgDispatcher* dispatcher_ = nullptr;  // set by Init, before the manager runs, then read only
  CVString dataFolder_;                    // likewise
  // Checks posted to the main thread hold this weakly: one that comes after the manager is gone
  // does nothing.
  std::shared_ptr<COfflineMapMan*> self_ = std::make_shared<COfflineMapMan*>(this);
  int stall_ GUARDED_BY(mutex_) = 0;
  bool stallTimerOn_ GUARDED_BY(mutex_) = false;
  COLUpdateRecord current_ GUARDED_BY(mutex_);
  OfflineGridClient* client_ = nullptr;  // set before the manager runs, then read only
  CVArray<tag_GridRisk> packages_ GUARDED_BY(mutex_);
  int received_ GUARDED_BY(mutex_) = 0;
  int failed_ GUARDED_BY(mutex_) = 0;
  std::vector<std::string> failedTiles_ GUARDED_BY(mutex_);
  int total_ GUARDED_BY(mutex_) = 0;
  int level_ GUARDED_BY(mutex_) = 0;
  int firstRow_ GUARDED_BY(mutex_) = 0;
  int lastRow_ GUARDED_BY(mutex_) = 0;
  int firstCol_ GUARDED_BY(mutex_) = 0;
  int lastCol_ GUARDED_BY(mutex_) = 0;
  int row_ GUARDED_BY(mutex_) = 0;
  int col_ GUARDED_BY(mutex_) = 0;
  bool located_ GUARDED_BY(mutex_) = false;
  CVArray<GridKey> keys_ GUARDED_BY(mutex_);
  CVArray<tagGirdData> batch_ GUARDED_BY(mutex_);
  int headX_ GUARDED_BY(mutex_) = 0;
  int headY_ GUARDED_BY(mutex_) = 0;
  int downloadOn_ GUARDED_BY(mutex_) = 0;
  int headReceived_ GUARDED_BY(mutex_) = 0;
  COfflineDataCache* store_ = nullptr;
  COLRecordMan* records_ GUARDED_BY(mutex_) = nullptr;  // likewise
  int receivedAtTick_ GUARDED_BY(mutex_) = -1;
  int batchSequence_ GUARDED_BY(mutex_) = kFirstBatchSequence;
};

}  // namespace gmengine
