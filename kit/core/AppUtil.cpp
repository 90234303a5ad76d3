#include "kit/core/AppUtil.h"

#include <optional>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCoreDB.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/FSManager.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace kavro {

namespace {

constexpr std::string_view GuidKey = "storeKey_deviceCurrentGUID";

struct Identity {
  platform::Mutex mutex;
  std::string word GUARDED_BY(mutex) = "kavro";
  std::string versionName GUARDED_BY(mutex);
  std::int32_t networkActivity GUARDED_BY(mutex) = 0;
  // The partner text as read from the resources under partnerRoot: a resource that is there does
  // not change while the process runs, and every request carries the text.
  std::optional<std::string> partnerRoot GUARDED_BY(mutex);
  std::string partner GUARDED_BY(mutex);
  // The GUID as last read from the core store, good while that store's table of it is unchanged
  // (every request carries it).
  std::weak_ptr<DataAppCoreDB> guidStore GUARDED_BY(mutex);
  DataSQLiteDB::ChangeStamp guidStamp GUARDED_BY(mutex);
  std::optional<std::string> guid GUARDED_BY(mutex);
};

Identity& identity() {
  static Identity id;
  return id;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits, a dot, digits, a dot, digits from pos; the end of the match, or npos.
std::size_t matchVersion(std::string_view s, std::size_t pos) {
  for (int part = 0; part < 3; ++part) {
    if (part > 0) {
      if (pos >= s.size() || s[pos] != '.') return std::string_view::npos;
      ++pos;
    }
    std::size_t start = pos;
    while (pos < s.size() && isDigit(s[pos])) ++pos;
    if (pos == start) return std::string_view::npos;
  }
  return pos;
}

}  // namespace

std::string AppUtil::applicationWord() {
  platform::MutexLock lock(identity().mutex);
  return identity().word;
}

void AppUtil::setApplicationWord(std::string_view word) {
  platform::MutexLock lock(identity().mutex);
  identity().word = word;
}

std::string AppUtil::getUserAgent() { return applicationWord() + "-iphone-client"; }

std::string AppUtil::getPartnerInfo() {
  std::string root = platform::Environment::resourceRoot();
  {
    platform::MutexLock lock(identity().mutex);
    if (identity().partnerRoot == root) return identity().partner;
  }
  if (!FSManager::isResourceFile("Config/client.sign")) return "";
  auto text = FSManager::stringFromResource("Config/client.sign");
  if (!text) return "";
  std::string partner = str::trim(*text);
  platform::MutexLock lock(identity().mutex);
  identity().partnerRoot = std::move(root);
  identity().partner = partner;
  return partner;
}

std::string AppUtil::getVersionNameFromBundle() { return platform::Environment::buildNumber(); }

bool AppUtil::fetchVersionFromFilePath(std::string_view path) {
  // The matches of "/<word>-(\d+\.\d+\.\d+)/", each search going on after the previous match.
  const std::string head = "/" + applicationWord() + "-";
  std::string version;
  int matches = 0;
  std::size_t from = 0;
  while (from < path.size()) {
    std::size_t at = path.find(head, from);
    if (at == std::string_view::npos) break;
    std::size_t start = at + head.size();
    std::size_t end = matchVersion(path, start);
    if (end != std::string_view::npos && end < path.size() && path[end] == '/') {
      ++matches;
      version.assign(path.substr(start, end - start));
      from = end + 1;
    } else {
      from = at + 1;
    }
  }
  if (matches != 1) return false;
  platform::MutexLock lock(identity().mutex);
  identity().versionName = version;
  return true;
}

std::string AppUtil::getVersionName() {
  {
    platform::MutexLock lock(identity().mutex);
    if (platform::utf16Length(identity().versionName) > 2) return identity().versionName;
  }
  return getVersionNameFromBundle();
}

std::int64_t AppUtil::getVersionCode() {
  std::string digits;
  for (char c : getVersionName()) {
    if (c != '.') digits += c;
  }
  return integerValueOf(platform::Value(digits));
}

std::string AppUtil::getClientName() { return applicationWord() + "-iphone-" + getVersionName(); }

void AppUtil::showNetworkIndicator() {
  platform::MutexLock lock(identity().mutex);
  ++identity().networkActivity;
}

void AppUtil::hiddenNetworkIndicator() {
  platform::MutexLock lock(identity().mutex);
  if (identity().networkActivity >= 1) --identity().networkActivity;
}

bool AppUtil::isNetworkIndicatorVisible() {
  platform::MutexLock lock(identity().mutex);
  return identity().networkActivity > 0;
}

std::string AppUtil::getGUID() {
  auto db = AppCoreInfo::getCoreDB();
  {
    auto& id = identity();
    platform::MutexLock lock(id.mutex);
    if (id.guid && id.guidStore.lock() == db && id.guidStamp == db->tableChangeStamp(db->TABLE_STR_VALUE()))
      return *id.guid;
  }
  const auto stamp = db->tableChangeStamp(db->TABLE_STR_VALUE());
  std::string guid = db->getStrValue(STORE_CORE_CLIENT_VERSION_INFO, GuidKey);
  platform::MutexLock lock(identity().mutex);
  identity().guidStore = db;
  identity().guidStamp = stamp;
  identity().guid = guid;
  return guid;
}

void AppUtil::setGUID(std::string_view guid) {
  if (platform::utf16Length(guid) != 32) return;
  {
    platform::MutexLock lock(identity().mutex);
    identity().guid.reset();
  }
  AppCoreInfo::getCoreDB()->setStrValue(STORE_CORE_CLIENT_VERSION_INFO, GuidKey, guid);
}

std::optional<platform::URL> AppUtil::getResourceFullPath(std::string_view name) {
  auto path = platform::Environment::resourcePath(name);
  if (!path) return std::nullopt;
  return platform::URL::fileURLWithPath(*path);
}

std::optional<platform::Date> AppUtil::getResourceModifyDate(std::string_view name) {
  auto path = platform::Environment::resourcePath(name);
  return path ? FSManager::fileModifyDate(*path) : std::nullopt;
}

std::optional<platform::Date> AppUtil::getResourceCreateDate(std::string_view name) {
  auto path = platform::Environment::resourcePath(name);
  return path ? FSManager::fileCreateDate(*path) : std::nullopt;
}

std::int64_t AppUtil::getResourceFileSize(std::string_view name) {
  auto path = platform::Environment::resourcePath(name);
  return path ? FSManager::getFileSize(*path) : 0;
}

std::shared_ptr<platform::Window> AppUtil::getWindow() {
  auto& app = platform::Application::sharedApplication();
  if (auto* source = dynamic_cast<const AppWindowSource*>(app.delegate().get())) {
    if (auto window = source->mainWindow()) return window;
  }
  return app.keyWindow();
}

}  // namespace kavro
