#include "kit/core/FSManager.h"

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/ResourceCache.h"
#include "platform/foundation/Text.h"

namespace kavro {

using platform::FileManager;

namespace {
constexpr std::size_t ResourceBytesBudget = 4 << 20;

std::string join(std::string_view a, std::string_view b) {
  std::string out(a);
  if (!out.empty() && out.back() != '/') out += '/';
  out.append(b);
  return out;
}

// folder/name with folder made on demand; nothing when the folder cannot be made or is no folder.
std::optional<std::string> inFolder(std::string_view folderName, std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string folder = join(platform::Environment::documentsPath(), folderName);
  bool isDir = false;
  if (!FileManager::fileExistsAtPath(folder, &isDir)) {
    if (!FileManager::createDirectoryAtPath(folder, true)) return std::nullopt;
  } else if (!isDir) {
    return std::nullopt;
  }
  return join(folder, name);
}
}  // namespace

std::optional<std::string> FSManager::getCacheFullPath(std::string_view name) {
  if (name.empty()) return std::nullopt;
  return join(platform::Environment::documentsPath(), name);
}

std::optional<std::string> FSManager::getDbFullPath(std::string_view name) {
  return inFolder(DataFolderName, name);
}

std::optional<std::string> FSManager::getSkinFullPath(std::string_view name) {
  return inFolder(SkinFolderName, name);
}

std::optional<std::string> FSManager::getDataFolder(std::string_view name) {
  auto path = inFolder(DataFolderName, name);
  if (!path) return std::nullopt;
  if (!FileManager::fileExistsAtPath(*path)) FileManager::createDirectoryAtPath(*path, true);
  if (!FileManager::fileExistsAtPath(*path)) return std::nullopt;
  return path;
}

bool FSManager::deleteFile(std::string_view path) {
  if (path.empty()) return false;
  if (!FileManager::attributesOfItemAtPath(path)) return true;
  if (!FileManager::isDeletableFileAtPath(path)) return false;
  return FileManager::removeItemAtPath(path);
}

bool FSManager::isResourceFile(std::string_view name) {
  if (name.empty()) return false;
  auto path = platform::Environment::resourcePath(name);
  return path && FileManager::isReadableFileAtPath(*path);
}

bool FSManager::isFile(std::string_view path) { return !path.empty() && FileManager::fileExistsAtPath(path); }

bool FSManager::isDir(std::string_view path) {
  bool dir = false;
  return !path.empty() && FileManager::fileExistsAtPath(path, &dir) && dir;
}

bool FSManager::isWriteable(std::string_view path) {
  return isFile(path) && FileManager::isWritableFileAtPath(path);
}

std::int64_t FSManager::getFileSize(std::string_view path) {
  if (path.empty()) return 0;
  auto attrs = FileManager::attributesOfItemAtPath(path);
  return attrs ? attrs->size : 0;
}

std::int64_t FSManager::getDirSize(std::string_view path) {
  if (path.empty()) return 0;
  auto entries = FileManager::subpathsOfDirectoryAtPath(path);
  if (!entries) return 0;
  std::int64_t total = 0;
  for (const auto& sub : *entries) total += getFileSize(join(path, sub));
  return total;
}

std::optional<std::string> FSManager::stringFromResource(std::string_view name) {
  auto bytes = dataFromResource(name);
  if (!bytes) return std::nullopt;
  std::string text = platform::stringFromData(*bytes);
  if (!platform::isValidUtf8(text)) return std::nullopt;
  return text;
}

std::optional<platform::Data> FSManager::dataFromResource(std::string_view name) {
  if (name.empty()) return std::nullopt;
  auto file = platform::Environment::resourceFile(name);
  if (!file) return std::nullopt;
  // Resources are read-only: each start's skin and tables come from memory after the first.
  static auto* kept = new platform::ResourceCache<platform::Data>(ResourceBytesBudget);
  if (auto bytes = kept->find(file->path, file->stamp)) return *bytes;
  auto bytes = FileManager::contentsAtPath(file->path);
  if (bytes)
    kept->keep(file->path, file->stamp, std::make_shared<const platform::Data>(*bytes), bytes->size());
  return bytes;
}

std::shared_ptr<platform::MutableDictionary> FSManager::dictFromPath(std::string_view path) {
  if (path.empty()) return nullptr;
  auto bytes = FileManager::contentsAtPath(path);
  if (!bytes) return nullptr;
  auto value = platform::KeyedUnarchiver::unarchiveObjectWithData(*bytes);
  if (!value) return nullptr;
  return value->as<platform::MutableDictionary>();
}

void FSManager::deleteAllFilesFromPath(std::string_view folder) {
  if (folder.empty()) return;
  auto names = FileManager::contentsOfDirectoryAtPath(folder);
  if (!names) return;
  for (const auto& n : *names) FileManager::removeItemAtPath(join(folder, n));
}

std::optional<platform::Date> FSManager::fileModifyDate(std::string_view path) {
  if (path.empty()) return std::nullopt;
  auto attrs = FileManager::attributesOfItemAtPath(path);
  if (!attrs) return std::nullopt;
  return platform::Date(attrs->modificationDate);
}

std::optional<platform::Date> FSManager::fileCreateDate(std::string_view path) {
  if (path.empty()) return std::nullopt;
  auto attrs = FileManager::attributesOfItemAtPath(path);
  if (!attrs) return std::nullopt;
  return platform::Date(attrs->creationDate);
}

}  // namespace kavro
