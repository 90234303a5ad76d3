#include "mapsdk/offline/COfflineMapMan.h"

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/CVThread.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COfflineDataCache.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "mapsdk/offline/OfflineGridClient.h"
#include "mapsdk/offline/OfflinePackageScan.h"
#include "mapsdk/offline/OfflineTileCheck.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

namespace {

constexpr int kTilesBase11 = 5461;
constexpr int kTilesLevel18 = 16384;
constexpr int kTilesBase3 = 21845;

void ReportProgressOf(COLRecordMan* records, const COLUpdateRecord& record) {
  if (records) records->ReportProgress(record);
}

void SplitName(const CVString& name, int& x, int& y) {
  x = vwtoi(name.GetBuffer());
  int sep = name.Find(CVString("_"));
  y = sep >= 0 ? vwtoi(name.Mid(sep + 1).GetBuffer()) : 0;
}

void CopyVersions(COLUpdateElement& local, const COLUpdateElement& server) {
  local.dataVersion = server.dataVersion;
  local.mapVersion = server.mapVersion;
  local.cityVersion = server.cityVersion;
}

}  // namespace

COfflineMapMan::COfflineMapMan() = default;

COfflineMapMan::~COfflineMapMan() {
  OfflineScanThread().Join();
  if (dispatcher_) dispatcher_->KillTimer(ToInt(EngineTimer::OfflineDownload));
  SetRecordMan(nullptr);
}

void COfflineMapMan::SetRecordMan(COLRecordMan* records) {
  platform::MutexLock lock(mutex_);
  if (records_) records_->DetachMapMan(this);
  records_ = records;
  if (records_) records_->AttachMapMan(this);
}

COLRecordMan* COfflineMapMan::RecordMan() const {
  platform::MutexLock lock(mutex_);
  return records_;
}

int COfflineMapMan::Init(CVGlobalMan* global) {
  dispatcher_ = global ? global->dispatcher.get() : nullptr;
  dataFolder_ = global ? global->sysInfo.dataPath : CVString();
  scanRunning = 0;
  packagesFound = 0;
  packagesNotInstalled = 0;
  platform::MutexLock lock(mutex_);
  downloadOn_ = global && global->sysInfo.offlineDownload == 1 ? 1 : 0;
  total_ = 0;
  return 1;
}

void COfflineMapMan::SetMapRequesting(int pending) {
  if (client_) client_->SetMapRequesting(pending);
}

int COfflineMapMan::IsMapRequesting() const { return client_ ? client_->IsMapRequesting() : 0; }

int COfflineMapMan::OnCommand(OfflineCommand command, int argument) {
  platform::MutexLock lock(mutex_);
  const int result = RunCommand(command, argument);
  SyncStallTimer(false);
  return result;
}

int COfflineMapMan::RunCommand(OfflineCommand command, int argument) {
  switch (command) {
    case OfflineCommand::StartNext:
      return StartNextCity();
    case OfflineCommand::CancelCity:
      if (current_.local.id == argument) {
        if (client_) client_->CancelRequest();
        packages_.RemoveAll();
        StartNextCity();
      }
      return 1;
    case OfflineCommand::RemoveCity: {
      COLUpdateRecord removed;
      if (!records_ || !records_->TakeNextRemoved(removed)) return 1;
      if (removed.local.id == current_.local.id) {
        if (client_) client_->CancelRequest();
        current_.local.packages.RemoveAll();
        packages_.RemoveAll();
        StartNextCity();
      }
      DeleteCityFiles(removed.local, true);
      return 1;
    }
    case OfflineCommand::SwitchDownload:
      if (argument == 1) {
        if (!downloadOn_) {
          downloadOn_ = 1;
          Continue(headReceived_, 1);
        }
      } else if (argument == 0) {
        downloadOn_ = 0;
      }
      return 1;
    case OfflineCommand::Scan:
      return StartScan(argument);
    case OfflineCommand::Cancel:
      if (!IsMapRequesting() && client_) client_->CancelRequest();
      packages_.RemoveAll();
      return 1;
    default:
      return 1;
  }
}

int COfflineMapMan::StartScan(int argument) {
  scanArgument = argument;
  if (argument < 1) return 1;
  installedCount = 0;
  installing = 1;
  CVThread& thread = OfflineScanThread();
  thread.Join();
  scanRunning = 1;
  // The scan gets what it works with; the record manager outlives it (this manager, which joins the
  // scan thread, goes first).
  auto start =
      std::make_unique<OfflineScanStart>(OfflineScanStart{this, {records_, dispatcher_, dataFolder_}});
  if (thread.CreateThread(
          [](void* argument) {
            std::unique_ptr<OfflineScanStart> start(static_cast<OfflineScanStart*>(argument));
            ScanThreadProc(start->man, start->context);
          },
          start.get())) {
    start.release();
  } else {
    scanRunning = 0;
    olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kUIQueue, EngineMsg::OfflineState,
                                ToInt(OfflineState::PackagesDone), 1);
    installing = 0;
    return 0;
  }
  return 1;
}

int COfflineMapMan::StartNextCity() {
  if (!packages_.IsEmpty()) return 0;
  current_.local.id = -1;
  if (!records_ || !records_->TakeNextCity(current_)) return 0;
  COLUpdateElement& local = current_.local;
  const COLUpdateElement& server = current_.server;
  if (!(local.dataVersion == server.dataVersion) || local.update == 1 || server.update == 1) {
    DeleteCityFiles(local, false);
    local.update = 0;
    current_.server.update = 0;
    local.ratio = 0;
    ReportProgressOf(records_, current_);
    CopyVersions(local, server);
    local.ratio = 0;
  } else if (!(local.mapVersion == server.mapVersion)) {
    CopyVersions(local, server);
  } else if (!(local.cityVersion == server.cityVersion)) {
    DeleteCityFiles(local, false);
    CopyVersions(local, server);
  }
  local.state = OfflineCityState::Downloading;
  ReportProgressOf(records_, current_);
  BuildPackageList();
  if (local.packages.IsEmpty()) return 0;
  SyncStallTimer(true);
  Continue(headReceived_, 1);
  return 1;
}

void COfflineMapMan::BuildPackageList() {
  packages_.RemoveAll();
  received_ = 0;
  failed_ = 0;
  failedTiles_.clear();
  total_ = 0;
  headReceived_ = 0;
  const COLUpdateElement& local = current_.local;
  for (const CVString& name : local.packages) {
    int x = 0, y = 0;
    SplitName(name, x, y);
    int stored = 0;
    if (local.baseLevel == 11) {
      if (!store_ || !store_->CreateOfflineDat(11, name, 11, 17, stored)) stored = 0;
      AddPackage(11, 11, 17, x, y, stored, kTilesBase11);
      if (local.lastLevel == 18) {
        if (!store_ || !store_->CreateOfflineDat(11, name, 18, 18, stored)) stored = 0;
        AddPackage(11, 18, 18, x, y, stored, kTilesLevel18);
      }
    } else if (local.baseLevel == 3) {
      if (!store_ || !store_->CreateOfflineDat(3, name, local.firstLevel, local.lastLevel, stored))
        stored = 0;
      AddPackage(3, 3, 10, x, y, stored, kTilesBase3);
    }
  }
}

void COfflineMapMan::AddPackage(int base, int first, int last, int x, int y, int stored, int expected) {
  if (stored != expected) {
    if (packages_.IsEmpty()) {
      headX_ = x;
      headY_ = y;
      headReceived_ = stored;
    }
    packages_.Add(tag_GridRisk{base, first, last, x, y, stored});
  }
  received_ += stored;
  total_ += expected;
}

void COfflineMapMan::ContinueDownload(int receivedInHead, int flag) {
  platform::MutexLock lock(mutex_);
  Continue(receivedInHead, flag);
  SyncStallTimer(false);
}

void COfflineMapMan::SyncStallTimer(bool restart) {
  const bool downloading = downloadOn_ && !packages_.IsEmpty();
  if (downloading && (restart || !stallTimerOn_)) {
    receivedAtTick_ = -1;
    stall_ = 0;
    if (dispatcher_) dispatcher_->SetTimer(ToInt(EngineTimer::OfflineDownload), kTimerMs);
  } else if (!downloading && stallTimerOn_) {
    if (dispatcher_) dispatcher_->KillTimer(ToInt(EngineTimer::OfflineDownload));
  }
  stallTimerOn_ = downloading;
}

void COfflineMapMan::Continue(int receivedInHead, int flag) {
  if (installing || !downloadOn_ || IsMapRequesting() || total_ == 0) return;
  int percent = static_cast<int>(100LL * received_ / total_);
  if (percent != current_.local.ratio) {
    current_.local.ratio = percent;
    ReportProgressOf(records_, current_);
  }
  if (!packages_.IsEmpty()) {
    const tag_GridRisk& head = packages_[0];
    if (receivedInHead == COfflineDataCache::GridCount(head.baseLevel, head.firstLevel, head.lastLevel)) {
      headReceived_ = 0;
      packages_.RemoveAt(0);
      if (!packages_.IsEmpty()) {
        headX_ = packages_[0].x;
        headY_ = packages_[0].y;
        // A package already partly stored resumes where its file stops.
        headReceived_ = packages_[0].stored;
      }
      receivedInHead = headReceived_;
    }
  }
  if (packages_.IsEmpty()) {
    if (!(current_.local.dataVersion == current_.server.dataVersion) ||
        !(current_.local.mapVersion == current_.server.mapVersion)) {
      current_.local.CopyFrom(current_.server);
    }
    current_.local.ratio = current_.server.ratio = 10000;
    current_.local.state = current_.server.state = OfflineCityState::Finished;
    current_.local.update = current_.server.update = 0;
    ReportProgressOf(records_, current_);
    StartNextCity();
    return;
  }
  headReceived_ = receivedInHead;
  Locate();
  if (!located_) return;
  BuildBatch();
  RequestBatch(flag);
}

void COfflineMapMan::Locate() {
  located_ = false;
  int a = headReceived_;
  if (a < 0 || packages_.IsEmpty()) return;
  const tag_GridRisk& head = packages_[0];
  int level = head.firstLevel;
  while (a >= 1 && a >= (1 << (2 * (level - head.baseLevel)))) {
    a -= 1 << (2 * (level - head.baseLevel));
    ++level;
    if (level > head.lastLevel) return;
  }
  int s = 1 << (level - head.baseLevel);
  level_ = level;
  firstRow_ = head.x * s;
  lastRow_ = firstRow_ + s - 1;
  firstCol_ = head.y * s;
  lastCol_ = firstCol_ + s - 1;
  row_ = firstRow_ + a / s;
  col_ = firstCol_ + a % s;
  located_ = true;
}

void COfflineMapMan::BuildBatch() {
  batch_.RemoveAll();
  int row = row_, col = col_;
  while (row <= lastRow_ && batch_.GetSize() < kBatchSize) {
    batch_.Add(tagGirdData{level_, row, col, nullptr, 0});
    if (++col > lastCol_) {
      col = firstCol_;
      ++row;
    }
  }
  keys_.RemoveAll();
  for (const tagGirdData& tile : batch_) keys_.Add(tile.Key().grid);
}

void COfflineMapMan::RequestBatch(int flag) {
  if (keys_.IsEmpty() || IsMapRequesting() || batch_.IsEmpty() || !client_) return;
  if (client_->RequestGrids(OfflineGridClient::kOfflineKind, batch_[0].level, keys_, batchSequence_ + 1,
                            flag))
    ++batchSequence_;
}

int COfflineMapMan::SaveGridData(const void* data, int size, const GridKey& key, int level) {
  // Decoded before the lock: the timer's tick does not wait for a picture.
  const bool decodes = OfflineTileDecodes(data, size);
  platform::MutexLock lock(mutex_);
  if (packages_.IsEmpty() || !store_) return 0;
  const tag_GridRisk& head = packages_[0];
  if (decodes) {
    if (!store_->WriteGridData(head.baseLevel, key, head.firstLevel, head.lastLevel, level, data, size))
      return store_->LastWriteFailed() ? -1 : 0;
  } else {
    // A broken tile is not stored: its place passes (the download goes on), and the next download
    // of the city fetches the file again from there.
    if (!store_->SkipGridData(head.baseLevel, key, head.firstLevel, head.lastLevel, level))
      return store_->LastWriteFailed() ? -1 : 0;
    ++failed_;
    if (failedTiles_.size() < kNamedFailedTiles)
      failedTiles_.push_back(std::to_string(level) + "/" + key.Text());
  }
  ++headReceived_;
  ++received_;
  return 1;
}

void COfflineMapMan::StopAfterFailedSave() {
  platform::MutexLock lock(mutex_);
  if (client_) client_->CancelRequest();
  packages_.RemoveAll();
  downloadOn_ = 0;
  SyncStallTimer(false);
  if (current_.local.id >= 0) {
    current_.local.state = OfflineCityState::Stopped;
    ReportProgressOf(records_, current_);
  }
}

int COfflineMapMan::OnTimer(int message, int id) {
  if (message != ToInt(EngineMsg::Timer)) return 0;
  if (id != ToInt(EngineTimer::OfflineDownload)) return 1;
  // The tile client belongs to the main thread, which also asks it for the map's own tiles. The
  // timer is killed (and a running tick waited for) before the manager goes, so self_ is still here.
  std::weak_ptr<COfflineMapMan*> self = self_;
  platform::RunLoop::main().performOnMain([self] {
    if (auto alive = self.lock()) (*alive)->CheckStall();
  });
  return 1;
}

void COfflineMapMan::CheckStall() {
  platform::MutexLock lock(mutex_);
  if (packages_.IsEmpty() || !downloadOn_) return;
  if (received_ == receivedAtTick_) {
    if (IsMapRequesting()) {
      ++stall_;
      if (stall_ < 3) {
        receivedAtTick_ = received_;
        return;
      }
    }
    stall_ = 0;
    if (client_) {
      client_->CancelRequest();
      client_->SetMapRequesting(0);
    }
    ContinueDownload(headReceived_, 1);
  } else {
    stall_ = 0;
  }
  receivedAtTick_ = received_;
}

void COfflineMapMan::DeleteCityFiles(const COLUpdateElement& city, bool keepShared) {
  if (!store_) return;
  for (const CVString& name : city.packages) {
    if (keepShared) {
      if (records_ && records_->PackageCount(name)) continue;
    }
    if (city.baseLevel == 11) {
      store_->DeleteGridFile(11, name, 11, 17);
      if (city.lastLevel == 18) store_->DeleteGridFile(11, name + CVString("_18"), 18, 18);
    } else if (city.baseLevel == 3) {
      store_->DeleteGridFile(3, name, city.firstLevel, city.lastLevel);
    }
  }
}

int COfflineMapMan::GetPackageCount() const {
  platform::MutexLock lock(mutex_);
  return packages_.GetSize();
}
int COfflineMapMan::GetReceivedCount() const {
  platform::MutexLock lock(mutex_);
  return received_;
}
int COfflineMapMan::GetFailedCount() const {
  platform::MutexLock lock(mutex_);
  return failed_;
}
std::vector<std::string> COfflineMapMan::GetFailedTiles() const {
  platform::MutexLock lock(mutex_);
  return failedTiles_;
}
int COfflineMapMan::GetTotalCount() const {
  platform::MutexLock lock(mutex_);
  return total_;
}
int COfflineMapMan::GetHeadReceived() const {
  platform::MutexLock lock(mutex_);
  return headReceived_;
}
int COfflineMapMan::GetBatchSequence() const {
  platform::MutexLock lock(mutex_);
  return batchSequence_;
}
int COfflineMapMan::IsDownloadOn() const {
  platform::MutexLock lock(mutex_);
  return downloadOn_;
}

}  // namespace gmengine
