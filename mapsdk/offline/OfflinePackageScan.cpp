#include "mapsdk/offline/OfflinePackageScan.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/engine/MD5.h"
#include "mapsdk/engine/UIDeviceDiskSpace.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

namespace {

constexpr int kCopyBufferSize = 204800;
constexpr double kSpareBytes = 5242880.0;
constexpr int kMaxEntryName = 256;

void PostState(const OfflineScanContext& context, int state, int value) {
  olrecord::PostEngineMessage(context.dispatcher, CVMsgDispatcher::kUIQueue, EngineMsg::OfflineState, state,
                              value);
}

CVString FileNameOf(const CVString& path) {
  int slash = -1;
  for (int i = 0; i < path.GetLength(); ++i) {
    if (path[i] == u'/') slash = i;
  }
  return path.Mid(slash + 1);
}

CVString ReplaceFirst(const CVString& text, const CVString& what, const CVString& with) {
  int at = text.Find(what);
  if (at < 0) return text;
  return text.Mid(0, at) + with + text.Mid(at + what.GetLength());
}

CVString Slashes(const CVString& path) {
  std::u16string s = path.str();
  std::replace(s.begin(), s.end(), u'\\', u'/');
  return CVString(s);
}

CVString WithSlash(const CVString& folder) {
  if (folder.IsEmpty() || folder[folder.GetLength() - 1] == u'/') return folder;
  return folder + CVString("/");
}

// The sub-folder "%d_%d/" of a tile file named "X_Y...".
CVString TileFolder(const CVString& name) {
  int x = vwtoi(name.GetBuffer());
  int sep = name.Find(CVString("_"));
  int y = sep >= 0 ? vwtoi(name.Mid(sep + 1).GetBuffer()) : 0;
  CVString folder;
  folder.Format("%d_%d/", x / 10, y / 10);
  return folder;
}

bool IsPlainFileName(const CVString& name) {
  if (name.IsEmpty() || name == CVString(".") || name == CVString("..")) return false;
  for (int i = 0; i < name.GetLength(); ++i) {
    if (name[i] == u'/' || name[i] == u'\\' || name[i] == 0) return false;
  }
  return true;
}

}  // namespace

bool AddDeclaredSize(std::uint64_t& total, std::uint64_t size) {
  // Declared sizes come from outside: a sum that would wrap is refused, not shrunk.
  if (size > std::numeric_limits<std::uint64_t>::max() - total) return false;
  total += size;
  return true;
}

namespace {

// Extracts the current entry below target (ending with "/"); 1 on success.
int ExtractCurrent(unzFile zip, const std::string& target, std::vector<char>& buffer) {
  char name[kMaxEntryName + 1] = {};
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return 0;
  if (info.size_filename > kMaxEntryName || !IsSafeEntryName(name)) return 0;
  std::string entry(name);
  for (std::size_t slash = entry.find('/'); slash != std::string::npos; slash = entry.find('/', slash + 1)) {
    if (!CreateDirectory(CVString::FromUtf8(target + entry.substr(0, slash)))) return 0;
  }
  if (entry.back() == '/') return 1;
  if (unzOpenCurrentFile(zip) != UNZ_OK) return 0;
  CVFile file;
  int ok = file.Open(CVString::FromUtf8(target + entry), CVFile::modeCreate | CVFile::modeWrite);
  // The size was checked before anything was written: an entry that inflates past it lies.
  std::uint64_t written = 0;
  while (ok) {
    int got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (got < 0) ok = 0;
    if (got <= 0) break;
    written += static_cast<std::uint64_t>(got);
    if (written > info.uncompressed_size) ok = 0;
    if (ok && file.Write(buffer.data(), got) != got) ok = 0;
  }
  if (unzCloseCurrentFile(zip) != UNZ_OK) ok = 0;
  return ok;
}

// What the entries to extract declare they expand to; nullopt when the directory cannot be read or
// the sum does not fit in 64 bits.
std::optional<std::uint64_t> ExpandedSize(unzFile zip, bool cfgOnly) {
  std::uint64_t total = 0;
  if (unzGoToFirstFile(zip) != UNZ_OK) return total;
  do {
    char name[kMaxEntryName + 1] = {};
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
      return std::nullopt;
    if (cfgOnly && !std::strstr(name, ".cfg")) continue;
    if (!AddDeclaredSize(total, info.uncompressed_size)) return std::nullopt;
    if (cfgOnly) break;
  } while (unzGoToNextFile(zip) == UNZ_OK);
  return total;
}

int Unzip(const CVString& zipPath, const CVString& targetFolder, bool cfgOnly,
          std::uint64_t maxExpandedBytes) {
  unzFile zip = unzOpen(zipPath.ToUtf8().c_str());
  if (!zip) return 0;
  // Refused before anything is written: a package larger than allowed, or than the disk holds.
  auto expanded = ExpandedSize(zip, cfgOnly);
  if (!expanded || *expanded > maxExpandedBytes ||
      static_cast<double>(*expanded) + kSpareBytes > mapsdk::device::myAvailableDiskSpace()) {
    unzClose(zip);
    return 0;
  }
  unz_global_info global{};
  CVString target = WithSlash(targetFolder);
  int ok = unzGetGlobalInfo(zip, &global) == UNZ_OK && CreateDirectory(target);
  std::vector<char> buffer(kCopyBufferSize);
  std::string targetText = target.ToUtf8();
  bool found = false;
  if (ok && unzGoToFirstFile(zip) == UNZ_OK) {
    do {
      if (cfgOnly) {
        char name[kMaxEntryName + 1] = {};
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
          ok = 0;
          break;
        }
        if (!std::strstr(name, ".cfg")) continue;
        found = true;
        ok = ExtractCurrent(zip, targetText, buffer);
        break;
      }
      if (!ExtractCurrent(zip, targetText, buffer)) {
        ok = 0;
        break;
      }
    } while (unzGoToNextFile(zip) == UNZ_OK);
  }
  unzClose(zip);
  if (cfgOnly && !found) return 0;
  return ok;
}

// The name of the first ".cfg" entry of the package; empty when none (or not a zip).
std::string FirstCfgEntry(const CVString& zipPath) {
  unzFile zip = unzOpen(zipPath.ToUtf8().c_str());
  if (!zip) return {};
  std::string result;
  if (unzGoToFirstFile(zip) == UNZ_OK) {
    do {
      char name[kMaxEntryName + 1] = {};
      unz_file_info64 info{};
      if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
      if (std::strstr(name, ".cfg")) {
        if (info.size_filename <= kMaxEntryName && IsSafeEntryName(name)) result = name;
        break;
      }
    } while (unzGoToNextFile(zip) == UNZ_OK);
  }
  unzClose(zip);
  return result;
}

bool Md5Matches(const unsigned char* data, int length, const char* expected) {
  char digest[33] = {};
  if (MD5::HexDigest(digest, data, length) != 32) return false;
  if (std::strlen(expected) != 32) return false;
  for (int i = 0; i < 32; ++i) {
    char a = digest[i], b = expected[i];
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

bool VerifyTileFile(const CVString& path, const tag_CheckInfo& line) {
  CVFile file;
  if (!file.Open(path, CVFile::modeRead)) return false;
  int length = file.GetLength();
  if (length != line.size || length < 1024) return false;
  unsigned char head[1024], tail[1024];
  if (file.Seek(0) != 0 || file.Read(head, 1024) != 1024) return false;
  if (file.Seek(length - 1024) != length - 1024 || file.Read(tail, 1024) != 1024) return false;
  return Md5Matches(head, 1024, line.smd5) && Md5Matches(tail, 1024, line.emd5);
}

}  // namespace

CVThread& OfflineScanThread() {
  static CVThread thread;
  return thread;
}

bool IsSafeEntryName(const char* name) {
  if (!name || !*name || name[0] == '/' || name[0] == '\\') return false;
  if (std::strchr(name, '\\') || std::strchr(name, ':')) return false;
  std::string text(name);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    if (part == "..") return false;
    if (part.empty() && end != text.size()) return false;
    start = end + 1;
  }
  return true;
}

CVString PackageDescriptionName(const CVString& fileName) {
  for (const char* suffix : {".gmap.zip", ".gmap.gmap", ".gmap", ".zip"}) {
    if (fileName.Find(CVString(suffix)) >= 0)
      return ReplaceFirst(fileName, CVString(suffix), CVString(".txt"));
  }
  return fileName;
}

int ParseCfg(const char* data, int length, COLUpdateRecord& record) {
  olrecord::JsonPtr json = olrecord::ParseBytes(data, length);
  if (!json || !cJSON_IsArray(json.get()) || cJSON_GetArraySize(json.get()) != 1) return 0;
  COLUpdateRecord read;
  if (!COLUpdateList::ParseRecord(cJSON_GetArrayItem(json.get(), 0), read, true)) return 0;
  record = read;
  return 1;
}

int ReadCfgFile(const CVString& path, COLUpdateRecord& record) {
  std::string bytes;
  if (!olrecord::ReadWholeFile(path, bytes)) return 0;
  return ParseCfg(bytes.data(), static_cast<int>(bytes.size()), record);
}

int ParseChk(const char* data, int length, CVArray<tag_CheckInfo>& list) {
  olrecord::JsonPtr json = olrecord::ParseBytes(data, length);
  if (!json) return 0;
  if (!cJSON_IsArray(json.get())) return 1;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, json.get()) {
    tag_CheckInfo line;
    const cJSON* size = cJSON_GetObjectItemCaseSensitive(item, "size");
    const cJSON* smd5 = cJSON_GetObjectItemCaseSensitive(item, "smd5");
    const cJSON* emd5 = cJSON_GetObjectItemCaseSensitive(item, "emd5");
    if (!cJSON_IsNumber(size) || !olrecord::GetString(item, "name", line.name) || !cJSON_IsString(smd5) ||
        !cJSON_IsString(emd5)) {
      continue;
    }
    // A digest that does not fit its field cannot be a digest: the line is refused.
    if (std::strlen(smd5->valuestring) >= sizeof line.smd5 ||
        std::strlen(emd5->valuestring) >= sizeof line.emd5) {
      continue;
    }
    olrecord::GetInt(item, "size", line.size);
    std::strcpy(line.smd5, smd5->valuestring);
    std::strcpy(line.emd5, emd5->valuestring);
    list.Add(line);
  }
  return 1;
}

int ReadChkFile(const CVString& path, CVArray<tag_CheckInfo>& list) {
  std::string bytes;
  if (!olrecord::ReadWholeFile(path, bytes)) return 0;
  return ParseChk(bytes.data(), static_cast<int>(bytes.size()), list);
}

int IsRecordNewer(COLRecordMan* records, const COLUpdateRecord& record) {
  std::optional<COLUpdateRecord> found = records ? records->GetUpdateRecord(record.local.id) : std::nullopt;
  if (!found) return 1;
  const COLUpdateRecord& stored = *found;
  if (stored.local.dataVersion.IsEmpty() || stored.local.mapVersion.IsEmpty() ||
      stored.local.cityVersion.IsEmpty()) {
    return 0;
  }
  return olrecord::TextToInt(record.local.dataVersion) >= olrecord::TextToInt(stored.local.dataVersion) &&
                 olrecord::TextToInt(record.local.mapVersion) >=
                     olrecord::TextToInt(stored.local.mapVersion) &&
                 olrecord::TextToInt(record.local.cityVersion) >=
                     olrecord::TextToInt(stored.local.cityVersion)
             ? 1
             : 0;
}

int UnzipPackage(const CVString& zipPath, const CVString& targetFolder, std::uint64_t maxExpandedBytes) {
  return Unzip(zipPath, targetFolder, false, maxExpandedBytes);
}

int UnzipPackageCfg(const CVString& zipPath, const CVString& targetFolder) {
  return Unzip(zipPath, targetFolder, true, kMaxExpandedPackageBytes);
}

int ReadPackageInfo(COfflineMapMan* man, const CVString& dataFolder, const CVString& path) {
  man->scanThread.claim();
  const CVString& folder = dataFolder;
  CVString description = PackageDescriptionName(FileNameOf(Slashes(path)));
  CVString fromMapdata = folder + CVString("GeoMap/Mapdata/") + description;
  std::string bytes;
  CVString extracted;
  bool inMapdata = olrecord::ReadWholeFile(fromMapdata, bytes);
  if (!inMapdata) {
    std::string entry = FirstCfgEntry(path);
    if (entry.empty()) return 0;
    extracted = folder + CVString::FromUtf8(entry);
    if (!olrecord::ReadWholeFile(extracted, bytes)) return 0;
  }
  COLUpdateRecord record;
  if (!ParseCfg(bytes.data(), static_cast<int>(bytes.size()), record)) return 0;
  man->packageDesc = record;
  if (inMapdata) {
    DeleteFile(folder + CVString("data/") + description);
  } else {
    DeleteFile(extracted);
  }
  return 1;
}

int CheckPackage(COfflineMapMan* man, const OfflineScanContext& context, const CVString& path,
                 tagOffLineFileInfo* info) {
  man->scanThread.claim();
  CVString package = Slashes(path);
  const CVString& folder = context.dataFolder;
  if (folder.IsEmpty() || !UnzipPackageCfg(package, folder)) return 0;
  if (!ReadPackageInfo(man, folder, package)) return 1;
  const COLUpdateElement& offered = man->packageDesc.local;
  COLRecordMan* records = context.records;
  int result = 3;
  std::optional<COLUpdateRecord> found = records ? records->GetUpdateRecord(offered.id) : std::nullopt;
  if (found) {
    const COLUpdateRecord& stored = *found;
    int pd = olrecord::TextToInt(offered.dataVersion), sd = olrecord::TextToInt(stored.local.dataVersion);
    int pm = olrecord::TextToInt(offered.mapVersion), sm = olrecord::TextToInt(stored.local.mapVersion);
    int pc = olrecord::TextToInt(offered.cityVersion), sc = olrecord::TextToInt(stored.local.cityVersion);
    bool equal = pd == sd && pm == sm && pc == sc;
    result = equal || pd > sd || pm > sm || pc > sc ? 3 : 2;
  }
  if (result == 3 && info) {
    info->cityId = offered.id;
    info->dataSize = offered.size;
    info->cityName = offered.name;
    info->version =
        offered.cityVersion + CVString(".") + offered.dataVersion + CVString(".") + offered.mapVersion;
  }
  return result;
}

int InstallPackage(COfflineMapMan* man, const OfflineScanContext& context, const CVString& path) {
  if (CheckPackage(man, context, path, nullptr) != 3) return 0;
  if (!UnzipPackage(Slashes(path), context.dataFolder)) return 0;
  ++man->installedCount;
  DeleteFile(path);
  return 1;
}

int FindZipFiles(CVArray<tagZipFileEntry>& files) {
  files.RemoveAll();
  std::error_code error;
  std::filesystem::path folder(GetDocumentsPath().ToUtf8());
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.' || name.find(".zip") == std::string::npos) continue;
    if (!it->is_regular_file(error)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::uintmax_t size = std::filesystem::file_size(folder / name, error);
    if (error) continue;
    tagZipFileEntry entry;
    entry.length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    entry.path = CVString::FromUtf8((folder / name).string());
    files.Add(entry);
  }
  return files.GetSize();
}

void GetDiskSpaceInfo(std::int64_t& total, double& available) {
  total = mapsdk::device::totalDiskSpace();
  available = mapsdk::device::myAvailableDiskSpace();
}

int CollectPackages(COfflineMapMan* man, const OfflineScanContext& context) {
  man->scanThread.claim();
  man->installList.clear();
  CVArray<tagZipFileEntry> files;
  FindZipFiles(files);
  for (const tagZipFileEntry& file : files) {
    auto info = std::make_unique<tagOffLineFileInfo>();
    if (CheckPackage(man, context, file.path, info.get()) != 3) continue;
    info->fileLength = file.length;
    info->path = file.path;
    man->installList.push_back(std::move(info));
  }
  return static_cast<int>(man->installList.size());
}

int InstallMapdataFolder(const OfflineScanContext& context) {
  CVString source = context.dataFolder + CVString("GeoMap/Mapdata/");
  CVString target = context.dataFolder + CVString("data/");
  CVArray<CVString> cfgFiles;
  if (GetFileNamesByExtension(source, CVString("cfg"), cfgFiles) <= 0) {
    PostState(context, 6, 0);
    return 0;
  }
  COLRecordMan* records = context.records;
  std::set<std::u16string> moved;
  int installed = 0;
  for (const CVString& cfgName : cfgFiles) {
    COLUpdateRecord record;
    if (!ReadCfgFile(source + cfgName, record) || !IsRecordNewer(records, record)) continue;
    CVArray<tag_CheckInfo> lines;
    CVString chkName = cfgName.Mid(0, cfgName.GetLength() - 4) + CVString(".chk");
    ReadChkFile(source + chkName, lines);
    if (lines.IsEmpty()) continue;
    bool good = true;
    for (const tag_CheckInfo& line : lines) {
      if (!IsPlainFileName(line.name)) {
        good = false;
        break;
      }
      if (moved.count(line.name.str())) continue;
      if (!VerifyTileFile(source + TileFolder(line.name) + line.name, line)) {
        good = false;
        break;
      }
    }
    if (!good) continue;
    for (const tag_CheckInfo& line : lines) {
      if (moved.count(line.name.str())) continue;
      CVString folder = target + TileFolder(line.name);
      if (!CreateDirectory(folder)) {
        good = false;
        break;
      }
      CVString targetName = ReplaceFirst(line.name, CVString(".map"), CVString(".dat"));
      DeleteFile(folder + targetName);
      if (!MoveFile(source + TileFolder(line.name) + line.name, folder + targetName)) {
        good = false;
        break;
      }
      moved.insert(line.name.str());
    }
    if (!good) continue;
    CVArray<COLUpdateRecord> list;
    list.Add(record);
    if (records && records->MergeCities(list)) {
      DeleteFile(source + cfgName);
      ++installed;
    }
  }
  PostState(context, 6, installed);
  return installed;
}

int ScanThreadProc(COfflineMapMan* man, const OfflineScanContext& context) {
  man->scanThread.claim();
  man->scanRunning = 1;
  std::int64_t total = 0;
  double available = 0;
  GetDiskSpaceInfo(total, available);
  CVArray<tagZipFileEntry> files;
  int found = FindZipFiles(files);
  man->packagesFound = found;
  bool zipGood = false;
  if (found >= 1) {
    man->installing = 1;
    int n = CollectPackages(man, context);
    man->packagesNotInstalled = found - n;
    if (n >= 1) {
      zipGood = true;
      std::stable_sort(man->installList.begin(), man->installList.end(),
                       [](const auto& a, const auto& b) { return a->dataSize < b->dataSize; });
      for (int i = 0; i < n; ++i) {
        man->installing = 1;
        man->installFailed = 0;
        PostState(context, 2, i + 1);
        GetDiskSpaceInfo(total, available);
        if (static_cast<double>(man->installList[static_cast<std::size_t>(i)]->dataSize) >
            available - kSpareBytes) {
          man->packagesNotInstalled = found - i;
          zipGood = false;
          break;
        }
        if (!InstallPackage(man, context, man->installList[static_cast<std::size_t>(i)]->path)) {
          man->installFailed = 1;
          man->packagesNotInstalled = found - i;
          zipGood = false;
          break;
        }
      }
    }
  }
  int fromMapdata = InstallMapdataFolder(context);
  PostState(context, 5, zipGood ? 0 : 1);
  man->installing = 0;
  if (fromMapdata == 0) {
    if (found < 1) {
      man->packagesFound = 0;
      man->packagesNotInstalled = 0;
      man->scanRunning = 0;
      return 0;
    }
    man->packagesNotInstalled = found;
  }
  if (man->packagesNotInstalled >= 1) PostState(context, 3, man->packagesNotInstalled);
  man->packagesFound = 0;
  man->packagesNotInstalled = 0;
  man->scanRunning = 0;
  return 0;
}

}  // namespace gmengine
