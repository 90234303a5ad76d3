#include "platform/foundation/Environment.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

constexpr const char* kDefaultHost = "http://127.0.0.1";

struct Settings {
  std::string homeRoot;
  std::string resourceRoot;
  std::optional<std::string> bundleName;
  std::optional<std::string> versionString;
  std::optional<std::string> buildNumber;
  std::optional<std::vector<std::string>> urlSchemes;
  std::string apiHostUrl;
  std::string mapHostUrl;
};

platform::Mutex& lock() {
  static platform::Mutex m;
  return m;
}

Settings& settings() REQUIRES(lock()) {
  static Settings s;
  return s;
}

std::string envOr(const char* name, std::string fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

std::string userHome() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  struct passwd pw, *found = nullptr;
  char buf[4096];
  if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return "/tmp";
}

// Looked up once: the resources are asked for by path many times in a start.
const std::string& programFolder() {
  static const std::string folder = [] {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
  }();
  return folder;
}

// The home's folders are private also when an earlier version made them open to others.
// A shared sticky folder (a home root pointed at /tmp) is left as it is.
// A folder already there as it should be costs one look (every store, cache and preference
// asks for its folder).
void makePrivateFolder(const std::string& path) {
  struct stat st;
  bool there = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  if (!there) {
    FileManager::createDirectoryAtPath(path, true);
    there = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  if (there && !(st.st_mode & S_ISVTX) && (st.st_mode & 0777) != PrivateFolderMode)
    ::chmod(path.c_str(), PrivateFolderMode);
}

// The folder under the home root, created when missing.
std::string homeFolder(std::string_view relative) {
  std::string path = Environment::homeRoot();
  if (!relative.empty()) path += "/" + std::string(relative);
  makePrivateFolder(path);
  return path;
}

// A field named by member: a field passed by reference would be out of the lock analysis' sight.
template <class T>
T read(T Settings::*field) {
  platform::MutexLock g(lock());
  return settings().*field;
}

template <class T>
void write(T Settings::*field, T value) {
  platform::MutexLock g(lock());
  settings().*field = std::move(value);
}

}  // namespace

std::string Environment::homeRoot() {
  std::string root = read(&Settings::homeRoot);
  if (root.empty()) root = envOr("KAVRO_HOME", userHome() + "/.kavro");
  // Whatever else the process writes (databases' journals, the map engine's caches, logs) is
  // private too.
  static std::once_flag privateByDefault;
  std::call_once(privateByDefault, [] { ::umask(077); });
  makePrivateFolder(root);
  return root;
}

std::string Environment::setHomeRoot(std::string path) {
  platform::MutexLock g(lock());
  std::swap(settings().homeRoot, path);
  return path;
}

std::string Environment::documentsPath() { return homeFolder("Documents"); }
std::string Environment::libraryPath() { return homeFolder("Library"); }
std::string Environment::cachesPath() { return homeFolder("Library/Caches"); }
std::string Environment::tmpPath() { return homeFolder("tmp"); }

std::string Environment::resourceRoot() {
  std::string root;
  appendResourceRoot(root);
  return root;
}

void Environment::appendResourceRoot(std::string& out) {
  {
    platform::MutexLock g(lock());
    if (const std::string& set = settings().resourceRoot; !set.empty()) {
      out += set;
      return;
    }
  }
  out += envOr("KAVRO_RESOURCES", programFolder() + "/resources");
}

std::string Environment::setResourceRoot(std::string path) {
  platform::MutexLock g(lock());
  std::swap(settings().resourceRoot, path);
  return path;
}

namespace {
// The path under the resource root; none for a name that would leave it.
std::optional<std::string> underResourceRoot(std::string_view name) {
  if (name.empty() || name.front() == '/') return std::nullopt;
  for (const auto& part : std::filesystem::path(name))
    if (part == "..") return std::nullopt;
  return Environment::resourceRoot() + "/" + std::string(name);
}
}  // namespace

std::optional<std::string> Environment::resourcePath(std::string_view name) {
  auto path = underResourceRoot(name);
  if (!path || !FileManager::fileExistsAtPath(*path)) return std::nullopt;
  return path;
}

std::optional<Environment::ResourceFile> Environment::resourceFile(std::string_view name) {
  auto path = underResourceRoot(name);
  if (!path) return std::nullopt;
  auto stamp = fileStampAt(*path);
  if (!stamp) return std::nullopt;
  return ResourceFile{std::move(*path), *stamp};
}

std::string Environment::bundleName() { return read(&Settings::bundleName).value_or("Kavro"); }
void Environment::setBundleName(std::string name) {
  write(&Settings::bundleName, std::optional(std::move(name)));
}

std::string Environment::versionString() { return read(&Settings::versionString).value_or("2.4.2"); }
void Environment::setVersionString(std::string version) {
  write(&Settings::versionString, std::optional(std::move(version)));
}

std::string Environment::buildNumber() { return read(&Settings::buildNumber).value_or("2.4.2"); }
void Environment::setBuildNumber(std::string build) {
  write(&Settings::buildNumber, std::optional(std::move(build)));
}

std::vector<std::string> Environment::urlSchemes() {
  return read(&Settings::urlSchemes).value_or(std::vector<std::string>{"kavroapp"});
}
void Environment::setUrlSchemes(std::vector<std::string> schemes) {
  write(&Settings::urlSchemes, std::optional(std::move(schemes)));
}

std::string Environment::apiHostUrl() {
  std::string url = read(&Settings::apiHostUrl);
  return url.empty() ? envOr("KAVRO_API_URL", kDefaultHost) : url;
}
void Environment::setApiHostUrl(std::string url) { write(&Settings::apiHostUrl, std::move(url)); }

std::string Environment::mapHostUrl() {
  std::string url = read(&Settings::mapHostUrl);
  return url.empty() ? envOr("KAVRO_MAP_URL", kDefaultHost) : url;
}
void Environment::setMapHostUrl(std::string url) { write(&Settings::mapHostUrl, std::move(url)); }

void Environment::reset() {
  platform::MutexLock g(lock());
  settings() = Settings{};
}

}  // namespace platform
