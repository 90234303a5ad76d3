#include "mapsdk/offline/CVerDatsetMan.h"

#include <string>

#include "mapsdk/offline/COfflineTaskMan.h"
#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

namespace {
const char* const kVerDatsetFileName = "VerDatset.dat";

int FileCode(const CVString& name) {
  if (name == CVString("CMRequire.dat")) return 1;
  if (name == CVString("MPZoomCtl.dat")) return 2;
  if (name == CVString("OfflineHotcity.dat")) return 3;
  if (name == CVString("OfflineSearch.dat")) return 4;
  return -1;
}
}  // namespace

int CVerDatsetMan::Init(const CVString& folder) {
  folder_ = folder;
  ReadLocal();
  return 1;
}

void CVerDatsetMan::OnPartInstalled(EngineSlot slot, EnginePart& part) {
  if (slot == EngineSlot::OfflineTaskMan) tasks_ = dynamic_cast<COfflineTaskMan*>(&part);
}

void CVerDatsetMan::OnPartRemoved(EngineSlot slot) {
  if (slot == EngineSlot::OfflineTaskMan) tasks_ = nullptr;
}

int CVerDatsetMan::ParseList(const char* data, int length, CVArray<CVerDatsetRecord>& list) {
  olrecord::JsonPtr json = olrecord::ParseBytes(data, length);
  if (!json) return 0;
  if (!cJSON_IsArray(json.get())) return 1;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, json.get()) {
    CVerDatsetRecord record;
    if (!olrecord::GetString(item, "f", record.fileName)) continue;
    if (!olrecord::GetString(item, "a", record.version) && !olrecord::GetString(item, "d", record.version))
      continue;
    list.Add(record);
  }
  return 1;
}

int CVerDatsetMan::ReadLocal() {
  server_.RemoveAll();
  return LoadLocal();
}

int CVerDatsetMan::LoadLocal() {
  local_.RemoveAll();
  std::string bytes;
  const olrecord::FileRead read = olrecord::ReadFile(folder_ + CVString(kVerDatsetFileName), bytes);
  // Unreadable is not empty: the defaults stand in, but written they would drop the other files'
  // versions.
  unread_ = read == olrecord::FileRead::Failed;
  if (read == olrecord::FileRead::Done && ParseList(bytes.data(), static_cast<int>(bytes.size()), local_))
    return 1;
  local_.RemoveAll();
  local_.Add(CVerDatsetRecord{CVString("OfflineHotcity.dat"), CVString("1.0.0")});
  local_.Add(CVerDatsetRecord{CVString("OfflineSearch.dat"), CVString("1.0.0")});
  return 0;
}

int CVerDatsetMan::Write() const {
  if (unread_) return 0;
  CVString text("[\r\n");
  for (int i = 0; i < local_.GetSize(); ++i) {
    text += CVString("{\"f\":\"") + olrecord::Quote(local_[i].fileName) + CVString("\",\"d\":\"") +
            olrecord::Quote(local_[i].version) + CVString(i + 1 < local_.GetSize() ? "\"},\r\n" : "\"}\r\n");
  }
  text += CVString("]");
  return olrecord::WriteTextFile(folder_ + CVString(kVerDatsetFileName), text);
}

int CVerDatsetMan::CompareServerList(const char* data, int length) {
  CVArray<CVerDatsetRecord> received;
  if (!ParseList(data, length, received)) return 0;
  server_.Append(received);
  COfflineTaskMan* tasks = tasks_;
  for (const CVerDatsetRecord& local : local_) {
    for (const CVerDatsetRecord& offered : received) {
      if (!(offered.fileName == local.fileName) || offered.version == local.version) continue;
      int code = FileCode(local.fileName);
      if (code > 0 && tasks) tasks->AddUpdateFileTask(local.fileName, code);
      break;
    }
  }
  return 1;
}

int CVerDatsetMan::UpdateLocalVersion(const CVString& fileName) {
  if (unread_) LoadLocal();
  if (unread_) return 0;
  int localIndex = -1;
  for (int i = 0; i < local_.GetSize(); ++i) {
    if (local_[i].fileName == fileName) {
      localIndex = i;
      break;
    }
  }
  const CVerDatsetRecord* offered = nullptr;
  for (const CVerDatsetRecord& record : server_) {
    if (record.fileName == fileName) {
      offered = &record;
      break;
    }
  }
  if (localIndex < 0 || !offered) return 0;
  CVerDatsetRecord previous = local_[localIndex];
  local_[localIndex].version = offered->version;
  if (!Write()) {
    local_[localIndex] = previous;
    return 0;
  }
  return 1;
}

}  // namespace gmengine
