// Keyed archives read back from disk by their users: the preferences, the calendar, the device
// identifier's pasteboard and the download cache's header files. The first byte picks the file;
// whatever it holds, the user reads it as valid values or as nothing, and its next write succeeds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kit/core/DeviceUUID.h"
#include "kit/http/NetDownloadCache.h"
#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/CalendarStore.h"
#include "platform/system/Pasteboard.h"

namespace {

using platform::Data;
using platform::FileManager;

void write(const std::string& path, const Data& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (!FileManager::createFileAtPath(path, bytes)) std::abort();
}

void preferences(const Data& bytes) {
  platform::UserDefaults::destroyStandardUserDefaults();
  write(platform::Environment::libraryPath() + "/Preferences/" + platform::Environment::bundleName() +
            ".defaults",
        bytes);
  auto& defaults = platform::UserDefaults::standardUserDefaults();
  for (const char* key : {"a", "name", "count", "kavroDeviceUDIDDict"}) {
    defaults.objectForKey(key);
    defaults.stringForKey(key);
    defaults.integerForKey(key);
    defaults.boolForKey(key);
    defaults.dataForKey(key);
    defaults.arrayForKey(key);
    defaults.dictionaryForKey(key);
  }
  defaults.setInteger(1, "count");
  if (!defaults.synchronize()) std::abort();
  platform::UserDefaults::destroyStandardUserDefaults();
  if (platform::UserDefaults::standardUserDefaults().integerForKey("count") != 1) std::abort();
}

void calendar(const Data& bytes) {
  write(platform::Environment::libraryPath() + "/Calendar/Events.archive", bytes);
  platform::CalendarStore store;
  store.events();
  store.eventsMatching(platform::Date(0), platform::Date(4e9));
  platform::CalendarEvent event;
  event.title = "interview";
  event.startDate = platform::Date(1.7e9);
  event.endDate = platform::Date(1.7e9 + 3600);
  if (!store.saveEvent(event) || !store.eventWithIdentifier(event.eventIdentifier)) std::abort();
}

void pasteboard(const Data& bytes) {
  // No identifier in the preferences: it is looked for on the pasteboard.
  platform::UserDefaults::standardUserDefaults().removeObjectForKey(kavro::device::DeviceUDIDDefaultsKey);
  auto board = platform::Pasteboard::pasteboardWithName(kavro::device::DeviceUDIDPasteboardName, true);
  if (!board || !board->setData(bytes, kavro::device::DeviceUDIDPasteboardType)) std::abort();
  std::string udid = kavro::device::getUDID();
  if (udid.size() != 40 || udid.find_first_not_of("0123456789abcdef") != std::string::npos) std::abort();
}

void cacheHeaders(const Data& bytes) {
  auto cache = kavro::NetDownloadCache::sharedCache();
  auto url = *platform::URL::parse("http://127.0.0.1:1/list.xml");
  auto request = kavro::NetHTTPRequest::requestWithURL(url);
  request->setDownloadCache(cache);
  auto headers = cache->pathToStoreCachedResponseHeadersForRequest(*request);
  auto body = cache->pathToStoreCachedResponseDataForRequest(*request);
  if (!headers || !body) std::abort();
  write(*headers, bytes);
  write(*body, platform::dataFromString("<list/>"));
  cache->cachedResponseHeadersForURL(url);
  cache->isCachedDataCurrentForRequest(*request);
  cache->canUseCachedDataForRequest(*request);
  cache->expiryDateForRequest(*request, 60);
  cache->removeCachedDataForURL(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const bool ready = [] {
    auto home = std::filesystem::temp_directory_path() / ("kavro-fuzz-archive-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    platform::Environment::setHomeRoot(home.string());
    platform::CalendarStore::setAuthorizationStatus(platform::CalendarAuthorizationStatus::Authorized);
    return true;
  }();
  (void)ready;
  if (size == 0 || size > 512 * 1024) return 0;
  Data data(bytes + 1, bytes + size);
  switch (bytes[0] % 4) {
    case 0:
      preferences(data);
      break;
    case 1:
      calendar(data);
      break;
    case 2:
      pasteboard(data);
      break;
    default:
      cacheHeaders(data);
      break;
  }
  return 0;
}
