#include "mapsdk/offline/COLRecordMan.h"

#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "mapsdk/search/CAppSearch.h"

namespace gmengine {

namespace {
const char* const kVersionFile = "OfflineVersion.dat";

}  // namespace

COLRecordMan::COLRecordMan(CVMsgDispatcher* dispatcher, bool highDensityScreen)
    : dispatcher_(dispatcher), highDensity_(highDensityScreen) {}

COLRecordMan::~COLRecordMan() {
  if (!folder_.IsEmpty()) updateList_.Write();
}

int COLRecordMan::Init(const CVString& folder) {
  mutex_.Create();
  platform::MutexLock lock(mutex_);
  folder_ = folder;
  hotcities_.SetFolder(folder);
  hotcities_.SetHighDensity(highDensity_);
  searchList_.SetFolder(folder);
  searchList_.SetHighDensity(highDensity_);
  updateList_.SetFolder(folder);
  updateList_.SetSeedQueue(&downloadQueue_);
  wifilog_.SetFolder(folder);
  olrecord::FileRead versionRead = olrecord::FileRead::Done;
  version_.Read(folder + CVString(kVersionFile), &versionRead);
  versionUnread_ = versionRead == olrecord::FileRead::Failed;
  hotcities_.Read();
  searchList_.Read();
  updateList_.Read();
  CVArray<COLUpdateRecord> seed;
  updateList_.BuildQueueSeed(seed);
  downloadQueue_.Append(seed);
  return 1;
}

void COLRecordMan::OnPartInstalled(EngineSlot slot, EnginePart& part) {
  if (slot == EngineSlot::VerDatsetMan) versions_ = dynamic_cast<CVerDatsetMan*>(&part);
  if (slot == EngineSlot::Search) search_ = dynamic_cast<CAppSearch*>(&part);
}

void COLRecordMan::OnPartRemoved(EngineSlot slot) {
  if (slot == EngineSlot::VerDatsetMan) versions_ = nullptr;
  if (slot == EngineSlot::Search) search_ = nullptr;
}

void COLRecordMan::AttachMapMan(COfflineMapMan* man) { mapMan_ = man; }

void COLRecordMan::DetachMapMan(COfflineMapMan* man) { mapMan_.compare_exchange_strong(man, nullptr); }

int COLRecordMan::StartCity(int id) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return Start(id);
}

int COLRecordMan::StopCity(int id) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return Stop(id);
}

int COLRecordMan::RemoveCity(int id) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return Remove(id);
}

CVArray<COLUpdateRecord> COLRecordMan::GetUpdateList() {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  CVArray<COLUpdateRecord> copy;
  copy.Copy(updateList_.Records());
  return copy;
}

std::optional<COLUpdateRecord> COLRecordMan::GetUpdateRecord(int id) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  int index = updateList_.FindLocal(id);
  if (index < 0) return std::nullopt;
  return updateList_.Records()[index];
}

int COLRecordMan::StoreRecord(COLUpdateRecord& record) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return Store(record);
}

int COLRecordMan::ReportProgress(const COLUpdateRecord& record) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return Progress(record);
}

int COLRecordMan::TakeNextCity(COLUpdateRecord& record) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return NextCity(record);
}

int COLRecordMan::PackageCount(const CVString& name) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return updateList_.GetNameCount(name);
}

CVArray<COLSearchRecord> COLRecordMan::GetHotcities() {
  platform::MutexLock lock(mutex_);
  CVArray<COLSearchRecord> copy;
  copy.Copy(hotcities_.GetList());
  return copy;
}

CVArray<COLSearchRecord> COLRecordMan::SearchCities(const CVString& key) {
  platform::MutexLock lock(mutex_);
  CVArray<COLSearchRecord> copy;
  copy.Copy(searchList_.Search(key));
  return copy;
}

int COLRecordMan::TakeNextRemoved(COLUpdateRecord& record) {
  platform::MutexLock lock(mutex_);
  return NextRemoved(record);
}

int COLRecordMan::LogWifi(int id) {
  platform::MutexLock lock(mutex_);
  return WifiLog(id);
}

int COLRecordMan::StoreVersion(const COLVersionInfo& version) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return SetVersion(version);
}

COLVersionInfo COLRecordMan::GetVersion() {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return version_;
}

int COLRecordMan::MergeCities(CVArray<COLUpdateRecord>& list) {
  platform::MutexLock lock(mutex_);
  ReadAgain();
  return MergeCityList(list);
}

int COLRecordMan::MergeOfferedCities(CVArray<COLUpdateRecord>& list) {
  // The city list carries only city versions: data and map versions are the catalogue's.
  const COLVersionInfo catalogue = GetVersion();
  for (COLUpdateRecord& r : list) {
    r.server.dataVersion = catalogue.d;
    r.server.mapVersion = catalogue.m;
  }
  return MergeCities(list);
}

int COLRecordMan::StoreHotcities(const char* bytes, int length) {
  if (!bytes) return 0;
  platform::MutexLock lock(mutex_);
  return hotcities_.Store(bytes, length);
}

int COLRecordMan::StoreSearchList(const char* bytes, int length) {
  if (!bytes) return 0;
  platform::MutexLock lock(mutex_);
  int result = searchList_.Store(bytes, length);
  if (result) {
    if (CVerDatsetMan* versions = versions_) versions->UpdateLocalVersion(CVString("OfflineSearch.dat"));
  }
  return result;
}

int COLRecordMan::ClearAllRecords() {
  int result;
  {
    platform::MutexLock lock(mutex_);
    result = ClearAll();
  }
  // The map manager is told after the record lock is let go: its own lock always comes first
  // (its timer reports progress into the records while holding it).
  if (COfflineMapMan* mapMan = mapMan_) mapMan->OnCommand(OfflineCommand::Cancel, 0);
  return result;
}

bool COLRecordMan::HasCity(int id) {
  platform::MutexLock lock(mutex_);
  return searchList_.Contains(id) != 0;
}

int COLRecordMan::RemoveFromQueue(int id) {
  for (int i = 0; i < downloadQueue_.GetSize(); ++i) {
    if (downloadQueue_[i].local.id == id) {
      downloadQueue_.RemoveAt(i);
      return 1;
    }
  }
  return 0;
}

void COLRecordMan::ReadAgain() {
  if (versionUnread_) {
    olrecord::FileRead read = olrecord::FileRead::Done;
    COLVersionInfo stored;
    stored.Read(folder_ + CVString(kVersionFile), &read);
    if (read != olrecord::FileRead::Failed) {
      version_ = stored;
      versionUnread_ = false;
    }
  }
  updateList_.ReadAgain();
}

int COLRecordMan::Start(int id) {
  int index = updateList_.FindLocal(id);
  if (index < 0) return 0;
  COLUpdateRecord& record = updateList_.Records()[index];
  record.local.state = OfflineCityState::Queued;
  downloadQueue_.Add(record);
  olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kEngineQueue, EngineMsg::OfflineCommand,
                              ToInt(OfflineCommand::StartNext), 0);
  // Asking for a download is what switches downloading on.
  olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kEngineQueue, EngineMsg::OfflineCommand,
                              ToInt(OfflineCommand::SwitchDownload), 1);
  updateList_.Write();
  return 1;
}

int COLRecordMan::Stop(int id) {
  int index = updateList_.FindLocal(id);
  if (index < 0) return 0;
  updateList_.Records()[index].local.state = OfflineCityState::Stopped;
  RemoveFromQueue(id);
  olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kEngineQueue, EngineMsg::OfflineCommand,
                              ToInt(OfflineCommand::CancelCity), id);
  updateList_.Write();
  return 1;
}

int COLRecordMan::Remove(int id) {
  int removed = RemoveFromQueue(id);
  int index = updateList_.FindLocal(id);
  if (index < 0) {
    if (!removed) return 0;
    updateList_.Write();
    return 1;
  }
  COLUpdateRecord record = updateList_.Records()[index];
  for (const CVString& name : record.local.packages) updateList_.RemoveName(name);
  removalQueue_.Add(record);
  updateList_.RemoveRecord(index);
  olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kEngineQueue, EngineMsg::OfflineCommand,
                              ToInt(OfflineCommand::RemoveCity), id);
  updateList_.Write();
  return 1;
}

int COLRecordMan::Store(COLUpdateRecord& record) {
  if (record.local.state == OfflineCityState::Finished && record.server.state == OfflineCityState::Finished) {
    Remove(record.local.id);
    updateList_.Records().InsertAt(0, record);
    for (const CVString& name : record.local.packages) updateList_.AddName(name);
    updateList_.Write();
    return 1;
  }
  int index = updateList_.FindLocal(record.server.id);
  if (index >= 0) {
    updateList_.Records()[index].server.CopyFrom(record.server);
    updateList_.Write();
    return 1;
  }
  record.local.CopyFrom(record.server);
  record.local.state = OfflineCityState::Queued;
  downloadQueue_.Add(record);
  updateList_.Records().InsertAt(0, record);
  for (const CVString& name : record.local.packages) updateList_.AddName(name);
  updateList_.Write();
  return 1;
}

int COLRecordMan::Progress(const COLUpdateRecord& record) {
  int index = updateList_.FindLocal(record.local.id);
  if (index < 0) return 0;
  COLUpdateRecord& stored = updateList_.Records()[index];
  long long delta = static_cast<long long>(record.local.ratio) - stored.local.savedRatio;
  bool large = delta >= 101 || (record.local.state == OfflineCityState::Finished &&
                                stored.local.state != OfflineCityState::Finished);
  stored.local.ratio = record.local.ratio;
  if (large) {
    stored.CopyFrom(record);
    stored.local.savedRatio = stored.local.ratio;
    updateList_.Write();
  }
  olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kUIQueue, EngineMsg::OfflineState,
                              ToInt(OfflineState::CityChanged), record.local.id);
  return 1;
}

int COLRecordMan::NextCity(COLUpdateRecord& record) {
  if (!downloadQueue_.IsEmpty()) {
    record = downloadQueue_[0];
    downloadQueue_.RemoveAt(0);
  }
  int index = updateList_.FindLocal(record.local.id);
  if (index < 0) return 0;
  updateList_.Records()[index].local.state = OfflineCityState::Downloading;
  return 1;
}

int COLRecordMan::NextRemoved(COLUpdateRecord& record) {
  if (removalQueue_.IsEmpty()) return 0;
  record = removalQueue_[0];
  removalQueue_.RemoveAt(0);
  return 1;
}

int COLRecordMan::WifiLog(int id) {
  if (!searchList_.Contains(id)) return 0;
  int added = wifilog_.Add(id);
  if (added == 0) return 0;
  olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kUIQueue, EngineMsg::OfflineState, added, id);
  wifilog_.Write();
  return added;
}

int COLRecordMan::SetVersion(const COLVersionInfo& version) {
  if (versionUnread_) return 0;
  if (version == version_) return 1;
  COLVersionInfo previous = version_;
  version_ = version;
  if (!version_.Write(folder_ + CVString(kVersionFile))) {
    version_ = previous;
    return 0;
  }
  CVArray<int> ids;
  for (const COLUpdateRecord& record : updateList_.Records()) ids.Add(record.local.id);
  if (!ids.IsEmpty()) {
    updateList_.Write();
    if (CAppSearch* search = search_) search->OfflineCitySearch(ids);
  }
  return 1;
}

int COLRecordMan::MergeCityList(CVArray<COLUpdateRecord>& list) {
  bool newCity = false;
  bool updateAvailable = false;
  for (COLUpdateRecord& r : list) {
    int index = updateList_.FindLocal(r.server.id);
    if (index < 0) {
      r.local.update = r.server.update = 0;
      newCity = true;
      continue;
    }
    const COLUpdateRecord& s = updateList_.Records()[index];
    if (s.local.state != OfflineCityState::Finished) {
      r.local.update = r.server.update = 0;
      continue;
    }
    int rd = olrecord::TextToInt(r.server.dataVersion), sd = olrecord::TextToInt(s.server.dataVersion);
    int rm = olrecord::TextToInt(r.server.mapVersion), sm = olrecord::TextToInt(s.server.mapVersion);
    int rc = olrecord::TextToInt(r.server.cityVersion), sc = olrecord::TextToInt(s.server.cityVersion);
    if (rd == sd && rm == sm && rc == sc && r.local.ratio != 10000) r = s;
    if (r.local.state == OfflineCityState::Finished) continue;
    if (rc > sc || rd > sd) {
      r.local.update = r.server.update = 1;
      updateAvailable = true;
    } else if (rm > sm) {
      bool missing = false;
      for (const CVString& name : r.server.packages) {
        bool found = false;
        for (const CVString& have : s.local.packages) found = found || have == name;
        if (!found) missing = true;
      }
      if (missing) {
        r.local.update = r.server.update = 1;
        updateAvailable = true;
      }
    }
  }
  for (COLUpdateRecord& r : list) Store(r);
  if (updateAvailable)
    olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kUIQueue, EngineMsg::OfflineState,
                                ToInt(OfflineState::NewerVersion), 0);
  if (newCity)
    olrecord::PostEngineMessage(dispatcher_, CVMsgDispatcher::kEngineQueue, EngineMsg::OfflineCommand,
                                ToInt(OfflineCommand::StartNext), 0);
  return 1;
}

int COLRecordMan::ClearAll() {
  downloadQueue_.RemoveAll();
  removalQueue_.RemoveAll();
  updateList_.RemoveAll();
  updateList_.Write();
  wifilog_.RemoveAll();
  wifilog_.Write();
  return 1;
}

}  // namespace gmengine
