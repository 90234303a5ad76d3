#include "mapsdk/engine/VFileUtil.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "mapsdk/engine/PathText.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"

namespace gmengine {

namespace {

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

using pathtext::folderOf;

bool copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << in.rdbuf();
  out.flush();
  return static_cast<bool>(out) && !in.bad();
}

bool asciiEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

int CreateDirectory(const CVString& path) {
  if (path.IsEmpty()) return 0;
  return platform::FileManager::createDirectoryAtPath(path.ToUtf8(), true) ? 1 : 0;
}

int DeleteFile(const CVString& path) {
  bool isDirectory = false;
  std::string p = path.ToUtf8();
  if (p.empty() || !platform::FileManager::fileExistsAtPath(p, &isDirectory) || isDirectory) return 0;
  return std::remove(p.c_str()) == 0 ? 1 : 0;
}

int MoveFile(const CVString& source, const CVString& target) {
  std::string from = source.ToUtf8();
  std::string to = target.ToUtf8();
  bool isDirectory = false;
  if (from.empty() || to.empty() || from == to) return 0;
  if (!platform::FileManager::fileExistsAtPath(from, &isDirectory) || isDirectory) return 0;
  std::string folder = folderOf(to);
  if (!folder.empty() && !platform::FileManager::createDirectoryAtPath(folder, true)) return 0;
  // Within one file system a rename is the whole move.
  if (std::rename(from.c_str(), to.c_str()) == 0) return 1;
  std::string temporary = to + ".moving";
  if (!copyFile(from, temporary) || std::rename(temporary.c_str(), to.c_str()) != 0) {
    std::remove(temporary.c_str());
    return 0;
  }
  std::remove(from.c_str());
  return 1;
}

int FileExists(const CVString& path) {
  std::string p = path.ToUtf8();
  return !p.empty() && platform::FileManager::fileExistsAtPath(p) ? 1 : 0;
}

int GetFileNamesByExtension(const CVString& folder, const CVString& extension, CVArray<CVString>& names) {
  names.RemoveAll();
  auto entries = platform::FileManager::contentsOfDirectoryAtPath(folder.ToUtf8());
  if (!entries) return 0;
  std::string wanted = extension.ToUtf8();
  std::string base = withSlash(folder.ToUtf8());
  for (const std::string& name : *entries) {
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || !asciiEqualIgnoringCase(std::string_view(name).substr(dot + 1), wanted)) {
      continue;
    }
    bool isDirectory = false;
    if (!platform::FileManager::fileExistsAtPath(base + name, &isDirectory) || isDirectory) continue;
    names.Add(CVString::FromUtf8(name));
  }
  return names.GetSize();
}

CVString GetCachesPath() { return CVString::FromUtf8(withSlash(platform::Environment::cachesPath())); }

CVString GetDocumentsPath() { return CVString::FromUtf8(withSlash(platform::Environment::documentsPath())); }

}  // namespace gmengine
