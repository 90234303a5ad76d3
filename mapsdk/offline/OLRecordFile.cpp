#include "mapsdk/offline/OLRecordFile.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VFileUtil.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileManager.h"

namespace gmengine::olrecord {

FileRead ReadFile(const CVString& path, std::string& bytes) {
  bytes.clear();
  // The platform's read reports why it failed: only a file that is not there is missing.
  platform::Error error;
  const std::string name = path.ToUtf8();
  auto contents = platform::FileManager::contentsAtPath(name, &error);
  if (!contents) return error.code == ENOENT ? FileRead::Missing : FileRead::Failed;
  if (contents->size() > static_cast<std::size_t>(INT_MAX)) return FileRead::Failed;
  bytes.assign(contents->begin(), contents->end());
  return FileRead::Done;
}

bool ReadWholeFile(const CVString& path, std::string& bytes) {
  return ReadFile(path, bytes) == FileRead::Done;
}

JsonPtr ParseUtf8(const char* data, int length) {
  if (!data || length <= 0) return nullptr;
  return JsonPtr(cJSON_ParseWithLength(data, static_cast<std::size_t>(length)));
}

JsonPtr ParseBytes(const char* data, int length) {
  if (!data || length <= 0) return nullptr;
  const void* zero = std::memchr(data, 0, static_cast<std::size_t>(length));
  const int size = zero ? static_cast<int>(static_cast<const char*>(zero) - data) : length;
  if (size <= 0) return nullptr;
  // The text becomes UTF-8 before it is parsed: a trail byte 0x5C of a double-byte character
  // would otherwise read as an escape and break the whole file.
  CVString text = MultiByteToCVString(CP_ACP, data, size);
  if (text.IsEmpty()) return nullptr;
  const std::string utf8 = text.ToUtf8();
  return ParseUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

int WriteBytesFile(const CVString& path, const char* data, int length) {
  if (length < 0) return 0;
  // Written beside the record file and renamed over it, so that a write cut short leaves the old
  // file whole rather than a truncated one.
  const CVString temporary = path + CVString(".tmp");
  {
    CVFile file;
    if (!file.Open(temporary, CVFile::modeCreate | CVFile::modeReadWrite)) return 0;
    if ((length > 0 && file.Write(data, length) != length) || !file.Flush()) {
      file.Close();
      DeleteFile(temporary);
      return 0;
    }
    file.Close();
  }
  if (!MoveFile(temporary, path)) {
    DeleteFile(temporary);
    return 0;
  }
  return 1;
}

int WriteTextFile(const CVString& path, const CVString& text) {
  std::string bytes;
  if (!text.IsEmpty()) {
    bytes = CVStringToMultiByte(CP_ACP, text);
    if (bytes.empty()) return 0;
  }
  bytes.push_back('\0');
  return WriteBytesFile(path, bytes.data(), static_cast<int>(bytes.size()));
}

CVString Quote(const CVString& text) {
  CVString out;
  for (int i = 0; i < text.GetLength(); ++i) {
    char16_t c = text[i];
    if (c == u'"' || c == u'\\') {
      out += u'\\';
      out += c;
    } else if (c < 0x20) {
      CVString escape;
      escape.Format("\\u%04x", static_cast<int>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

bool GetString(const cJSON* object, const char* key, CVString& out) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  if (!cJSON_IsString(item) || !item->valuestring) return false;
  out = CVString::FromUtf8(item->valuestring);
  return true;
}

bool GetInt(const cJSON* object, const char* key, int& out) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  if (cJSON_IsString(item) && item->valuestring) {
    CVString text = CVString::FromUtf8(item->valuestring);
    out = vwtoi(text.GetBuffer());
    return true;
  }
  if (cJSON_IsNumber(item)) {
    double v = item->valuedouble;
    if (std::isnan(v)) {
      out = 0;
    } else if (v >= static_cast<double>(INT_MAX)) {
      out = INT_MAX;
    } else if (v <= static_cast<double>(INT_MIN)) {
      out = INT_MIN;
    } else {
      out = static_cast<int>(v);
    }
    return true;
  }
  return false;
}

int TextToInt(const CVString& text) { return text.IsEmpty() ? 0 : vwtoi(text.GetBuffer()); }

int PostEngineMessage(CVMsgDispatcher* dispatcher, int queue, EngineMsg message, int wParam, int lParam) {
  return dispatcher ? dispatcher->PostMessage(queue, ToInt(message), wParam, lParam) : 0;
}

}  // namespace gmengine::olrecord

#include "mapsdk/engine/VFileUtil.h"

namespace gmengine::olrecord {

int ParseCityList(const char* data, int length, bool highDensity, CVArray<COLSearchRecord>& list) {
  list.RemoveAll();
  JsonPtr json = ParseBytes(data, length);
  if (!json) return 0;
  if (!cJSON_IsArray(json.get())) return 1;
  const char* sizeKey = highDensity ? "sh" : "sl";
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, json.get()) {
    COLSearchRecord record;
    if (!GetInt(item, "i", record.id)) continue;
    if (!GetString(item, "n", record.name)) continue;
    if (!GetInt(item, sizeKey, record.size)) continue;
    list.Add(record);
  }
  return 1;
}

int ReplaceRecordFile(const CVString& folder, const CVString& name, const char* data, int length) {
  if (!data || length < 0) return 0;
  CVString temp = folder + CVString("UpdateTmp.dat");
  if (!WriteBytesFile(temp, data, length)) return 0;
  CVString target = folder + name;
  DeleteFile(target);
  return MoveFile(temp, target) ? 1 : 0;
}

}  // namespace gmengine::olrecord
