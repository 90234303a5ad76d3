#pragma once
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/http/NetCacheDelegate.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

// The header a cache stores with a response for when the entry stops being current (seconds
// since 1970).
inline constexpr std::string_view NetCachedResponseExpiresHeader = "X-NetHTTPRequest-Expires";

// Keeps HTTP responses on disk, so that a request can be answered from the cache, revalidated
// with the server (If-None-Match / If-Modified-Since, 304), or fall back to the cache when the
// network fails. Under its storage path it keeps two flat folders, "SessionStore" (emptied
// whenever a storage path is set, so entries of a session never outlive the process) and
// "PermanentStore"; an entry is a header file "<key>.cachedheaders" (a keyed archive of the
// response headers plus the expiry and the status to replay) and a body file "<key>.<extension>".
//
// A cache without a storage path stores and answers nothing. Every operation takes the cache's
// recursive lock, so requests on the network thread and callers on the main thread may share
// it. Folder problems raise platform::Exception ("FileExistsAtCachePath",
// "FailedToCreateCacheDirectory", "FailedToTraverseCacheDirectory", "FailedToRemoveCacheFile");
// other file errors are ignored (the entry is then absent).
class NetDownloadCache : public NetCacheDelegate {
 public:
  NetDownloadCache() = default;
  ~NetDownloadCache() override = default;
  NetDownloadCache(const NetDownloadCache&) = delete;
  NetDownloadCache& operator=(const NetDownloadCache&) = delete;

  // The process's cache, under the caches folder of the home root ("NetHTTPRequestCache"); made
  // on first use.
  static std::shared_ptr<NetDownloadCache> sharedCache();
  static void destroySharedCache();

  // The entry key: the MD5 of the absolute URL without one trailing "/", as 32 upper-case hex
  // digits; none for an empty URL.
  static std::optional<std::string> keyForURL(const platform::URL& url);
  // False when the response says "Cache-Control: no-cache" or "no-store" or "Pragma: no-cache"
  // (each as the whole value).
  static bool serverAllowsResponseCachingForRequest(NetHTTPRequest& request);
  // Path extensions whose bodies are stored as "html".
  static const std::vector<std::string>& fileExtensionsToHandleAsHTML();

  // Used for requests whose own policy is 0; setting 0 stores NetAskServerIfModifiedWhenStaleCachePolicy.
  int defaultCachePolicy() const override;
  void setDefaultCachePolicy(int policy);
  std::optional<std::string> storagePath() const;
  // Empties the old path's session store, creates the folders of the new one (not their
  // parents) and empties its session store. Raises on a file in the way or a folder that cannot
  // be made.
  void setStoragePath(std::optional<std::string> path);
  bool shouldRespectCacheControlHeaders() const { return shouldRespectCacheControlHeaders_.load(); }
  void setShouldRespectCacheControlHeaders(bool value) { shouldRespectCacheControlHeaders_.store(value); }

  std::optional<platform::Date> expiryDateForRequest(NetHTTPRequest& request, double maxAge) override;
  void updateExpiryForRequest(NetHTTPRequest& request, double maxAge) override;
  bool canUseCachedDataForRequest(NetHTTPRequest& request) override;
  void removeCachedDataForRequest(NetHTTPRequest& request) override;
  bool isCachedDataCurrentForRequest(NetHTTPRequest& request) override;
  void storeResponseForRequest(NetHTTPRequest& request, double maxAge) override;
  void removeCachedDataForURL(const platform::URL& url) override;
  std::optional<NetHeaderDictionary> cachedResponseHeadersForURL(const platform::URL& url) override;
  std::optional<platform::Data> cachedResponseDataForURL(const platform::URL& url) override;
  std::optional<std::string> pathToCachedResponseDataForURL(const platform::URL& url) override;
  std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::URL& url) override;
  std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(NetHTTPRequest& request) override;
  std::optional<std::string> pathToStoreCachedResponseDataForRequest(NetHTTPRequest& request) override;
  void clearCachedResponsesForStoragePolicy(int storagePolicy) override;

 private:
  std::optional<std::string> pathToFile(const std::string& fileName) const REQUIRES(accessLock_);
  std::optional<std::string> storePathForPolicy(int storagePolicy) const REQUIRES(accessLock_);
  // The paths of pathToCachedResponse...ForURL, for callers that hold the lock across the file's
  // use.
  std::optional<std::string> lockedHeadersPath(const platform::URL& url) const REQUIRES(accessLock_);
  std::optional<std::string> lockedDataPath(const platform::URL& url) const REQUIRES(accessLock_);
  // The header file as archived (numbers kept as numbers); none when absent or unreadable.
  std::shared_ptr<platform::Dictionary> cachedHeaderArchiveForURL(const platform::URL& url);
  static bool writeHeaderArchive(const std::string& path, const platform::Dictionary& headers);

  // Held also across a path's look-up and the use of its file, so that a clear or a new storage
  // path cannot come between them.
  mutable platform::RecursiveMutex accessLock_;
  std::optional<std::string> storagePath_ GUARDED_BY(accessLock_);
  int defaultCachePolicy_ GUARDED_BY(accessLock_) = NetAskServerIfModifiedWhenStaleCachePolicy;
  std::atomic<bool> shouldRespectCacheControlHeaders_{true};
};

}  // namespace kavro
