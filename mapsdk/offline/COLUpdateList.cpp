#include "mapsdk/offline/COLUpdateList.h"

#include <cstdint>
#include <string>

#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

namespace {

const char* const kUpdateFileName = "OfflineUpdate.dat";

std::string Key(char prefix, const char* suffix) { return std::string(1, prefix) + suffix; }

bool ParseHalf(const cJSON* object, char prefix, COLUpdateElement& half, bool packageForm) {
  using olrecord::GetInt;
  using olrecord::GetString;
  if (!GetInt(object, Key(prefix, "i").c_str(), half.id)) return false;
  if (!GetString(object, Key(prefix, "n").c_str(), half.name)) return false;
  if (!GetInt(object, Key(prefix, "r").c_str(), half.ratio)) return false;
  if (packageForm) half.ratio = half.ratio > 21474836 ? 2147483600 : half.ratio * 100;
  if (!GetInt(object, Key(prefix, "u").c_str(), half.size)) return false;
  int state = 0;
  if (!GetInt(object, Key(prefix, "l").c_str(), state)) return false;
  half.state = static_cast<OfflineCityState>(state);
  if (!GetInt(object, Key(prefix, "x").c_str(), half.x)) return false;
  if (!GetInt(object, Key(prefix, "y").c_str(), half.y)) return false;
  if (!GetString(object, Key(prefix, "dv").c_str(), half.dataVersion)) return false;
  if (!GetString(object, Key(prefix, "mv").c_str(), half.mapVersion)) return false;
  if (!GetInt(object, Key(prefix, "b").c_str(), half.baseLevel)) return false;
  if (!GetInt(object, Key(prefix, "s").c_str(), half.firstLevel)) return false;
  if (!GetInt(object, Key(prefix, "e").c_str(), half.lastLevel)) return false;
  if (!GetString(object, Key(prefix, "cv").c_str(), half.cityVersion)) return false;
  half.update = 0;
  if (!packageForm) GetInt(object, Key(prefix, "up").c_str(), half.update);
  const cJSON* list = cJSON_GetObjectItemCaseSensitive(object, Key(prefix, "t").c_str());
  if (!cJSON_IsArray(list) || cJSON_GetArraySize(list) < 1) return false;
  half.packages.RemoveAll();
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, list) {
    CVString name;
    if (olrecord::GetString(item, "d", name)) half.packages.Add(name);
  }
  return true;
}

void ComposeHalf(CVString& text, const COLUpdateElement& half, char prefix, bool last) {
  using olrecord::Quote;
  CVString p;
  p += static_cast<char16_t>(prefix);
  CVString part;
  part.Format("\"%si\":\"%d\",\"%sn\":\"", p, half.id, p);
  text += part + Quote(half.name);
  part.Format("\",\"%sr\":%d,\"%su\":%d,\"%sl\":%d,\"%sx\":%d,\"%sy\":%d,\"%sdv\":\"", p, half.ratio, p,
              half.size, p, ToInt(half.state), p, half.x, p, half.y, p);
  text += part + Quote(half.dataVersion);
  part.Format("\",\"%smv\":\"", p);
  text += part + Quote(half.mapVersion);
  part.Format("\",\"%sb\":\"%d\",\"%ss\":\"%d\",\"%se\":\"%d\",\"%scv\":\"", p, half.baseLevel, p,
              half.firstLevel, p, half.lastLevel, p);
  text += part + Quote(half.cityVersion);
  part.Format("\",\"%sup\":\"%d\",\"%st\":\r\n  [\r\n", p, half.update, p);
  text += part;
  for (int i = 0; i < half.packages.GetSize(); ++i) {
    text += CVString("    {\"d\":\"") + Quote(half.packages[i]) +
            CVString(i + 1 < half.packages.GetSize() ? "\"},\r\n" : "\"}\r\n");
  }
  text += CVString(last ? "  ]\r\n" : "  ],\r\n ");
}

}  // namespace

bool COLUpdateList::ParseRecord(const cJSON* object, COLUpdateRecord& record, bool packageForm) {
  if (!cJSON_IsObject(object)) return false;
  if (!ParseHalf(object, 'l', record.local, packageForm)) return false;
  if (!ParseHalf(object, 's', record.server, packageForm)) return false;
  record.local.savedRatio = record.local.ratio;
  return true;
}

int COLUpdateList::Parse(const char* data, int length) {
  RemoveAll();
  olrecord::JsonPtr json = olrecord::ParseBytes(data, length);
  if (!json) return 0;
  if (!cJSON_IsArray(json.get())) return 1;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, json.get()) {
    COLUpdateRecord record;
    if (!ParseRecord(item, record)) continue;
    for (const CVString& name : record.local.packages) AddName(name);
    records_.Add(record);
  }
  return 1;
}

int COLUpdateList::Read() {
  std::string bytes;
  switch (olrecord::ReadFile(folder_ + CVString(kUpdateFileName), bytes)) {
    case olrecord::FileRead::Done:
      return Parse(bytes.data(), static_cast<int>(bytes.size()));
    case olrecord::FileRead::Missing:
      RemoveAll();
      return 0;
    case olrecord::FileRead::Failed:
      // Unreadable is not empty: taken as empty, the next write would drop every city.
      unread_ = true;
      return 0;
  }
  return 0;
}

int COLUpdateList::ReadAgain() {
  if (!unread_) return 1;
  bool changed = false;
  if (!Merge(changed)) return 0;
  // The file still holds cities removed meanwhile, and lacks the ones added.
  if (changed) olrecord::WriteTextFile(folder_ + CVString(kUpdateFileName), Compose());
  return 1;
}

int COLUpdateList::Merge(bool& changed) {
  COLUpdateList stored;
  stored.SetFolder(folder_);
  if (!stored.Read() && stored.Unread()) return 0;
  changed = records_.GetSize() > 0 || !removedUnread_.empty();
  CVArray<COLUpdateRecord>& older = stored.Records();
  for (int i = older.GetSize() - 1; i >= 0; --i) {
    const int id = older[i].local.id;
    bool removed = false;
    for (int gone : removedUnread_) removed = removed || gone == id;
    if (removed || FindLocal(id) >= 0) older.RemoveAt(i);
  }
  CVArray<COLUpdateRecord> seed;
  stored.BuildQueueSeed(seed);
  if (seedQueue_) {
    for (int i = seed.GetSize() - 1; i >= 0; --i) seedQueue_->InsertAt(0, seed[i]);
  }
  for (const COLUpdateRecord& record : older) {
    for (const CVString& name : record.local.packages) AddName(name);
    records_.Add(record);
  }
  unread_ = false;
  removedUnread_.clear();
  return 1;
}

CVString COLUpdateList::Compose() const {
  CVString text("[\r\n");
  for (int i = 0; i < records_.GetSize(); ++i) {
    const COLUpdateRecord& record = records_[i];
    text += CVString("{");
    ComposeHalf(text, record.local, 'l', false);
    ComposeHalf(text, record.server, 's', true);
    text += CVString(i + 1 < records_.GetSize() ? "},\r\n" : "}\r\n");
  }
  text += CVString("]");
  return text;
}

int COLUpdateList::Write() {
  bool changed = false;
  if (unread_ && !Merge(changed)) return 0;
  return olrecord::WriteTextFile(folder_ + CVString(kUpdateFileName), Compose());
}

int COLUpdateList::FindLocal(int id) const {
  for (int i = 0; i < records_.GetSize(); ++i) {
    if (records_[i].local.id == id) return i;
  }
  return -1;
}

void COLUpdateList::RemoveRecord(int index) {
  if (index < 0 || index >= records_.GetSize()) return;
  if (unread_) removedUnread_.push_back(records_[index].local.id);
  records_.RemoveAt(index);
}

void COLUpdateList::AddName(const CVString& name) {
  void* value = nullptr;
  std::intptr_t count = counts_.Lookup(name, value) ? reinterpret_cast<std::intptr_t>(value) : 0;
  counts_.SetAt(name, reinterpret_cast<void*>(count + 1));
}

void COLUpdateList::RemoveName(const CVString& name) {
  void* value = nullptr;
  if (!counts_.Lookup(name, value)) return;
  counts_.SetAt(name, reinterpret_cast<void*>(reinterpret_cast<std::intptr_t>(value) - 1));
}

int COLUpdateList::GetNameCount(const CVString& name) const {
  void* value = nullptr;
  if (!counts_.Lookup(name, value)) return 0;
  return static_cast<int>(reinterpret_cast<std::intptr_t>(value));
}

void COLUpdateList::RemoveAll() {
  records_.RemoveAll();
  counts_.RemoveAll();
  unread_ = false;
  removedUnread_.clear();
}

void COLUpdateList::BuildQueueSeed(CVArray<COLUpdateRecord>& seed) {
  for (COLUpdateRecord& record : records_) {
    if (record.local.state == OfflineCityState::Queued) {
      seed.Add(record);
    } else if (record.local.state == OfflineCityState::Downloading) {
      record.local.state = OfflineCityState::Queued;
      seed.InsertAt(0, record);
    }
  }
}

}  // namespace gmengine
