#include "kit/http/NetDownloadCache.h"

#include <algorithm>
#include <array>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "platform/crypto/Digest.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

using platform::Data;
using platform::FileManager;
using platform::URL;

namespace {

constexpr std::string_view SessionStoreName = "SessionStore";
constexpr std::string_view PermanentStoreName = "PermanentStore";
constexpr std::string_view HeaderFileExtension = "cachedheaders";

platform::Mutex sharedCacheLock;
std::shared_ptr<NetDownloadCache> sharedCacheInstance GUARDED_BY(sharedCacheLock);

using netdetail::lowercase;

std::string trim(std::string_view s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

// Whether a comma-separated header value holds the directive (arguments after "=" ignored).
bool hasDirective(std::string_view value, std::string_view directive) {
  std::string text = lowercase(value);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string item = trim(
        std::string_view(text).substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (item.substr(0, item.find('=')) == directive) return true;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return false;
}

// The extension of the body file: the URL path's own, or "html" for none and for pages made by
// server scripts. An extension the file system cannot carry counts as none.
std::string bodyFileExtension(const URL& url) {
  std::string path = url.path();
  std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return "html";
  std::string extension = name.substr(dot + 1);
  if (extension.size() > 64 || std::any_of(extension.begin(), extension.end(),
                                           [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
    return "html";
  const auto& html = NetDownloadCache::fileExtensionsToHandleAsHTML();
  if (std::find(html.begin(), html.end(), lowercase(extension)) != html.end()) return "html";
  return extension;
}

std::optional<std::string> headerFileName(const URL& url) {
  auto key = NetDownloadCache::keyForURL(url);
  if (!key) return std::nullopt;
  return *key + "." + std::string(HeaderFileExtension);
}

std::optional<std::string> bodyFileName(const URL& url) {
  auto key = NetDownloadCache::keyForURL(url);
  if (!key) return std::nullopt;
  return *key + "." + bodyFileExtension(url);
}

}  // namespace

// --- class operations ---

std::shared_ptr<NetDownloadCache> NetDownloadCache::sharedCache() {
  platform::MutexLock guard(sharedCacheLock);
  if (!sharedCacheInstance) {
    auto cache = std::make_shared<NetDownloadCache>();
    cache->setStoragePath(platform::Environment::cachesPath() + "/NetHTTPRequestCache");
    sharedCacheInstance = std::move(cache);
  }
  return sharedCacheInstance;
}

void NetDownloadCache::destroySharedCache() {
  platform::MutexLock guard(sharedCacheLock);
  sharedCacheInstance.reset();
}

std::optional<std::string> NetDownloadCache::keyForURL(const URL& url) {
  std::string text = url.absoluteString();
  if (text.empty()) return std::nullopt;
  if (text.back() == '/') text.pop_back();
  return platform::hexString(platform::md5(text), true);
}

bool NetDownloadCache::serverAllowsResponseCachingForRequest(NetHTTPRequest& request) {
  auto headers = request.responseHeaders();
  if (!headers) return true;
  // Any no-cache or no-store directive forbids, also among others ("no-cache, no-store").
  if (auto control = headers->value("Cache-Control"))
    if (hasDirective(*control, "no-cache") || hasDirective(*control, "no-store")) return false;
  if (auto pragma = headers->value("Pragma"))
    if (hasDirective(*pragma, "no-cache")) return false;
  return true;
}

const std::vector<std::string>& NetDownloadCache::fileExtensionsToHandleAsHTML() {
  static const std::vector<std::string> extensions{"asp", "aspx", "jsp", "php", "rb", "py", "pl", "cgi"};
  return extensions;
}

// --- settings ---

int NetDownloadCache::defaultCachePolicy() const {
  platform::MutexLock guard(accessLock_);
  return defaultCachePolicy_;
}

void NetDownloadCache::setDefaultCachePolicy(int policy) {
  platform::MutexLock guard(accessLock_);
  defaultCachePolicy_ =
      policy == NetUseDefaultCachePolicy ? NetAskServerIfModifiedWhenStaleCachePolicy : policy;
}

std::optional<std::string> NetDownloadCache::storagePath() const {
  platform::MutexLock guard(accessLock_);
  return storagePath_;
}

void NetDownloadCache::setStoragePath(std::optional<std::string> path) {
  platform::MutexLock guard(accessLock_);
  clearCachedResponsesForStoragePolicy(NetCacheForSessionDurationCacheStoragePolicy);
  storagePath_ = std::move(path);
  if (!storagePath_) return;
  const std::string root = *storagePath_;
  for (const std::string& folder :
       {root, root + "/" + std::string(SessionStoreName), root + "/" + std::string(PermanentStoreName)}) {
    bool isDirectory = false;
    if (FileManager::fileExistsAtPath(folder, &isDirectory)) {
      if (isDirectory) continue;
      // A cache that could not make its folders keeps nothing rather than failing on every write.
      storagePath_.reset();
      throw platform::Exception(
          "FileExistsAtCachePath",
          platform::format("Cannot create a directory for the cache at '%@', because a file already exists",
                           folder));
    }
    FileManager::createDirectoryAtPath(folder, false);
    if (!FileManager::fileExistsAtPath(folder, &isDirectory) || !isDirectory) {
      storagePath_.reset();
      throw platform::Exception(
          "FailedToCreateCacheDirectory",
          platform::format("Failed to create a directory for the cache at '%@'", folder));
    }
  }
  clearCachedResponsesForStoragePolicy(NetCacheForSessionDurationCacheStoragePolicy);
}

// --- paths ---

std::optional<std::string> NetDownloadCache::storePathForPolicy(int storagePolicy) const {
  if (!storagePath_) return std::nullopt;
  return *storagePath_ + "/" +
         std::string(storagePolicy == NetCacheForSessionDurationCacheStoragePolicy ? SessionStoreName
                                                                                   : PermanentStoreName);
}

std::optional<std::string> NetDownloadCache::pathToFile(const std::string& fileName) const {
  if (!storagePath_) return std::nullopt;
  for (int policy : {NetCacheForSessionDurationCacheStoragePolicy, NetCachePermanentlyCacheStoragePolicy}) {
    std::string path = *storePathForPolicy(policy) + "/" + fileName;
    if (FileManager::fileExistsAtPath(path)) return path;
  }
  return std::nullopt;
}

std::optional<std::string> NetDownloadCache::lockedHeadersPath(const URL& url) const {
  auto name = headerFileName(url);
  return name ? pathToFile(*name) : std::nullopt;
}

std::optional<std::string> NetDownloadCache::lockedDataPath(const URL& url) const {
  auto name = bodyFileName(url);
  return name ? pathToFile(*name) : std::nullopt;
}

std::optional<std::string> NetDownloadCache::pathToCachedResponseHeadersForURL(const URL& url) {
  platform::MutexLock guard(accessLock_);
  return lockedHeadersPath(url);
}

std::optional<std::string> NetDownloadCache::pathToCachedResponseDataForURL(const URL& url) {
  platform::MutexLock guard(accessLock_);
  return lockedDataPath(url);
}

std::optional<std::string> NetDownloadCache::pathToStoreCachedResponseHeadersForRequest(
    NetHTTPRequest& request) {
  auto url = request.url();
  int storagePolicy = request.cacheStoragePolicy();
  platform::MutexLock guard(accessLock_);
  auto store = storePathForPolicy(storagePolicy);
  auto name = url ? headerFileName(*url) : std::nullopt;
  if (!store || !name) return std::nullopt;
  return *store + "/" + *name;
}

std::optional<std::string> NetDownloadCache::pathToStoreCachedResponseDataForRequest(
    NetHTTPRequest& request) {
  auto url = request.url();
  int storagePolicy = request.cacheStoragePolicy();
  platform::MutexLock guard(accessLock_);
  auto store = storePathForPolicy(storagePolicy);
  auto name = url ? bodyFileName(*url) : std::nullopt;
  if (!store || !name) return std::nullopt;
  return *store + "/" + *name;
}

// --- reading entries ---

std::shared_ptr<platform::Dictionary> NetDownloadCache::cachedHeaderArchiveForURL(const URL& url) {
  platform::MutexLock guard(accessLock_);
  auto path = lockedHeadersPath(url);
  if (!path) return nullptr;
  auto bytes = FileManager::contentsAtPath(*path);
  if (!bytes) return nullptr;
  auto root = platform::KeyedUnarchiver::unarchiveObjectWithData(*bytes);
  return root ? root->dictionaryValue() : nullptr;
}

bool NetDownloadCache::writeHeaderArchive(const std::string& path, const platform::Dictionary& headers) {
  auto copy = platform::MutableDictionary::create();
  headers.enumerate([&](const std::string& key, const platform::Value& value) {
    copy->setObject(value, key);
    return true;
  });
  Data bytes = platform::KeyedArchiver::archivedDataWithRootObject(platform::Value(copy));
  return !bytes.empty() && FileManager::createFileAtPath(path, bytes);
}

std::optional<NetHeaderDictionary> NetDownloadCache::cachedResponseHeadersForURL(const URL& url) {
  auto archive = cachedHeaderArchiveForURL(url);
  if (!archive) return std::nullopt;
  NetHeaderDictionary headers;
  archive->enumerate([&](const std::string& name, const platform::Value& value) {
    headers.set(name, value.isString() ? value.stringValue() : value.description());
    return true;
  });
  return headers;
}

std::optional<Data> NetDownloadCache::cachedResponseDataForURL(const URL& url) {
  platform::MutexLock guard(accessLock_);
  auto path = lockedDataPath(url);
  if (!path) return std::nullopt;
  return FileManager::contentsAtPath(*path);
}

// --- policy ---

std::optional<platform::Date> NetDownloadCache::expiryDateForRequest(NetHTTPRequest& request, double maxAge) {
  return NetHTTPRequest::expiryDateForRequest(request, maxAge);
}

bool NetDownloadCache::isCachedDataCurrentForRequest(NetHTTPRequest& request) {
  // The request first, then the cache's lock: a request that asks holds its own lock meanwhile.
  auto url = request.url();
  int status = request.responseStatusCode();
  auto headers = request.responseHeaders();
  bool complete = request.complete();
  platform::MutexLock guard(accessLock_);
  if (!storagePath_ || !url) return false;
  auto cached = cachedHeaderArchiveForURL(*url);
  if (!cached || !lockedDataPath(*url)) return false;
  // The server confirmed the entry.
  if (status == 304) return true;
  // A fresh answer still being read: it matches the entry only when its validators do. (Once a
  // request is complete its headers may be those of a redirect, not of this entry.)
  if (headers && !complete) {
    for (std::string_view name : {"Etag", "Last-Modified"}) {
      auto fresh = headers->value(name);
      const platform::Value* stored = nullptr;
      cached->enumerate([&](const std::string& key, const platform::Value& value) {
        if (lowercase(key) != lowercase(name)) return true;
        stored = &value;
        return false;
      });
      if (!fresh || !stored || !stored->isString() || stored->stringValue() != *fresh) return false;
    }
  }
  if (shouldRespectCacheControlHeaders()) {
    const platform::Value* expires = cached->objectForKey(NetCachedResponseExpiresHeader);
    return expires && expires->isNumber() &&
           platform::Date(expires->doubleValue()).timeIntervalSinceNow() >= 0;
  }
  return true;
}

bool NetDownloadCache::canUseCachedDataForRequest(NetHTTPRequest& request) {
  const int policy = request.cachePolicy();
  if (policy & NetDoNotReadFromCacheCachePolicy) return false;
  if (policy & NetDontLoadCachePolicy) return true;
  auto url = request.url();
  bool complete = request.complete();
  bool hasResponse = request.responseHeaders().has_value();
  {
    platform::MutexLock guard(accessLock_);
    if (!url || !lockedHeadersPath(*url) || !lockedDataPath(*url)) return false;
  }
  if (policy & NetOnlyLoadIfNotCachedCachePolicy) return true;
  if (complete && (policy & NetFallbackToCacheIfLoadFailsCachePolicy)) return true;
  if (policy & NetAskServerIfModifiedWhenStaleCachePolicy) return isCachedDataCurrentForRequest(request);
  if (policy & NetAskServerIfModifiedCachePolicy)
    return hasResponse && isCachedDataCurrentForRequest(request);
  return false;
}

// --- writing entries ---

void NetDownloadCache::storeResponseForRequest(NetHTTPRequest& request, double maxAge) {
  // Everything the request says is read before the cache's lock is taken.
  auto responseHeaders = request.responseHeaders();
  auto url = request.url();
  if (request.error() || !responseHeaders || !url ||
      (request.cachePolicy() & NetDoNotWriteToCacheCachePolicy))
    return;
  const int status = request.responseStatusCode();
  static constexpr std::array cacheable{200, 301, 302, 303, 307};
  if (std::find(cacheable.begin(), cacheable.end(), status) == cacheable.end()) return;
  if (shouldRespectCacheControlHeaders() && !serverAllowsResponseCachingForRequest(request)) return;

  // The body: in memory, or the file it was downloaded to. A body handed to the delegate piece
  // by piece is kept nowhere; an entry without it would answer later requests with nothing.
  auto download = request.downloadDestinationPath();
  std::optional<Data> body;
  if (!download) {
    body = request.responseData();
    if (!body || (body->empty() && request.totalBytesRead() > 0)) return;
  }

  auto archive = platform::MutableDictionary::create();
  NetHeaderDictionary headers = *responseHeaders;
  if (request.isResponseCompressed()) headers.remove("Content-Encoding");
  for (const auto& field : headers) archive->setObject(field.value, field.name);
  if (auto expires = expiryDateForRequest(request, maxAge))
    archive->setObject(expires->timeIntervalSince1970(), NetCachedResponseExpiresHeader);
  archive->setObject(status == 304 ? 200 : status, NetCachedResponseStatusCodeHeader);

  auto headersPath = pathToStoreCachedResponseHeadersForRequest(request);
  auto dataPath = pathToStoreCachedResponseDataForRequest(request);
  platform::MutexLock guard(accessLock_);
  if (!headersPath || !dataPath || !storagePath_) return;

  // The old entry goes first, from both stores (a session entry would hide a permanent one),
  // and the headers come last, so that a failed write leaves no entry rather than a mixed one.
  for (int policy : {NetCacheForSessionDurationCacheStoragePolicy, NetCachePermanentlyCacheStoragePolicy}) {
    std::string store = *storePathForPolicy(policy) + "/";
    for (const auto& name : {headerFileName(*url), bodyFileName(*url)}) {
      std::string path = store + *name;
      if (download && path == *download) continue;
      if (FileManager::fileExistsAtPath(path)) FileManager::removeItemAtPath(path);
    }
  }
  if (download) {
    if (*download != *dataPath && !FileManager::copyItemAtPath(*download, *dataPath)) return;
  } else if (!FileManager::createFileAtPath(*dataPath, *body)) {
    return;
  }
  if (!writeHeaderArchive(*headersPath, *archive)) FileManager::removeItemAtPath(*dataPath);
}

void NetDownloadCache::updateExpiryForRequest(NetHTTPRequest& request, double maxAge) {
  auto url = request.url();
  auto expires = expiryDateForRequest(request, maxAge);
  if (!url || !expires) return;
  platform::MutexLock guard(accessLock_);
  // The entry where it is, whichever store holds it.
  auto path = lockedHeadersPath(*url);
  auto archive = cachedHeaderArchiveForURL(*url);
  if (!path || !archive) return;
  auto updated = platform::MutableDictionary::create();
  archive->enumerate([&](const std::string& key, const platform::Value& value) {
    updated->setObject(value, key);
    return true;
  });
  updated->setObject(expires->timeIntervalSince1970(), NetCachedResponseExpiresHeader);
  writeHeaderArchive(*path, *updated);
}

void NetDownloadCache::removeCachedDataForURL(const URL& url) {
  platform::MutexLock guard(accessLock_);
  if (!storagePath_) return;
  if (auto path = lockedHeadersPath(url)) FileManager::removeItemAtPath(*path);
  if (auto path = lockedDataPath(url)) FileManager::removeItemAtPath(*path);
}

void NetDownloadCache::removeCachedDataForRequest(NetHTTPRequest& request) {
  if (auto url = request.url()) removeCachedDataForURL(*url);
}

void NetDownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy) {
  platform::MutexLock guard(accessLock_);
  auto store = storePathForPolicy(storagePolicy);
  bool isDirectory = false;
  if (!store || !FileManager::fileExistsAtPath(*store, &isDirectory) || !isDirectory) return;
  auto names = FileManager::contentsOfDirectoryAtPath(*store);
  if (!names)
    throw platform::Exception("FailedToTraverseCacheDirectory",
                              platform::format("Listing cache directory failed at path '%@'", *store));
  for (const auto& name : *names) {
    std::string path = *store + "/" + name;
    if (!FileManager::removeItemAtPath(path))
      throw platform::Exception("FailedToRemoveCacheFile",
                                platform::format("Failed to remove cached data at path '%@'", path));
  }
}

}  // namespace kavro
