#pragma once
#include <optional>
#include <string>

#include "kit/http/NetHeaderDictionary.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/URL.h"

namespace kavro {

class NetHTTPRequest;

// Cache policy bits of a request (cachePolicy) and of a cache (defaultCachePolicy).
enum NetCachePolicy : int {
  NetUseDefaultCachePolicy = 0,
  NetDoNotReadFromCacheCachePolicy = 1,
  NetDoNotWriteToCacheCachePolicy = 2,
  NetAskServerIfModifiedWhenStaleCachePolicy = 4,
  NetAskServerIfModifiedCachePolicy = 8,
  NetOnlyLoadIfNotCachedCachePolicy = 16,
  NetDontLoadCachePolicy = 32,
  NetFallbackToCacheIfLoadFailsCachePolicy = 64,
};

// Storage policy of a request (cacheStoragePolicy).
enum NetCacheStoragePolicy : int {
  NetCacheForSessionDurationCacheStoragePolicy = 0,
  NetCachePermanentlyCacheStoragePolicy = 1
};

// The header a cache stores with a response for the status to replay.
inline constexpr std::string_view NetCachedResponseStatusCodeHeader = "X-NetHTTPRequest-Response-Status-Code";

// A download cache a request asks before it loads, after a conditional request and when a
// response has been read. Called from the request's thread; implementations lock themselves.
class NetCacheDelegate {
 public:
  virtual ~NetCacheDelegate() = default;
  virtual int defaultCachePolicy() const = 0;
  virtual std::optional<platform::Date> expiryDateForRequest(NetHTTPRequest& request, double maxAge) = 0;
  virtual void updateExpiryForRequest(NetHTTPRequest& request, double maxAge) = 0;
  virtual bool canUseCachedDataForRequest(NetHTTPRequest& request) = 0;
  virtual void removeCachedDataForRequest(NetHTTPRequest& request) = 0;
  virtual bool isCachedDataCurrentForRequest(NetHTTPRequest& request) = 0;
  virtual void storeResponseForRequest(NetHTTPRequest& request, double maxAge) = 0;
  virtual void removeCachedDataForURL(const platform::URL& url) = 0;
  virtual std::optional<NetHeaderDictionary> cachedResponseHeadersForURL(const platform::URL& url) = 0;
  virtual std::optional<platform::Data> cachedResponseDataForURL(const platform::URL& url) = 0;
  virtual std::optional<std::string> pathToCachedResponseDataForURL(const platform::URL& url) = 0;
  virtual std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::URL& url) = 0;
  virtual std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(NetHTTPRequest& request) = 0;
  virtual std::optional<std::string> pathToStoreCachedResponseDataForRequest(NetHTTPRequest& request) = 0;
  virtual void clearCachedResponsesForStoragePolicy(int storagePolicy) = 0;
};

}  // namespace kavro
