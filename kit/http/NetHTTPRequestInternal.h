#pragma once
// Shared state and helpers of the request engine's sources; not for users of the engine.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/Reachability.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/HTTPReadStream.h"

namespace kavro {

// One persistent connection of the pool. Streams opened for it carry the connection identity
// "NetHTTPRequest-<id>", so they share one socket. Its fields change under the pool's lock
// (connectionsLock); not marked as guarded: an entry taken out of the pool is closed without it by
// whoever took it out.
struct NetConnectionEntry {
  int id = 0;
  std::string host;
  int port = 0;
  std::string scheme;
  std::optional<std::uint64_t> request;
  std::shared_ptr<platform::HTTPReadStream> stream;
  platform::RunLoop* streamLoop = nullptr;
  std::optional<double> expires;
};

struct NetRequestBlocks {
  NetHTTPRequest::Block started;
  NetHTTPRequest::HeadersBlock headersReceived;
  NetHTTPRequest::Block completion;
  NetHTTPRequest::Block failure;
  NetHTTPRequest::SizeBlock bytesReceived;
  NetHTTPRequest::SizeBlock bytesSent;
  NetHTTPRequest::ProgressBlock downloadSizeIncremented;
  NetHTTPRequest::ProgressBlock uploadSizeIncremented;
  NetHTTPRequest::DataBlock dataReceived;
  NetHTTPRequest::Block authenticationNeeded;
  NetHTTPRequest::Block proxyAuthenticationNeeded;
  NetHTTPRequest::Block requestRedirected;
};

template <typename T>
NetHTTPRequest::Receivers<T> NetHTTPRequest::receivers(T NetRequestBlocks::*block) const {
  platform::MutexLock guard(lock_);
  return {delegate_.lock(), queue_, blocks_ ? (*blocks_).*block : T()};
}

namespace netdetail {

struct SharedState {
  // Connections lock: the pool, its counters, the running count and the indicator flag.
  platform::RecursiveMutex connectionsLock;
  std::vector<std::shared_ptr<NetConnectionEntry>> pool GUARDED_BY(connectionsLock);
  int nextConnectionNumber GUARDED_BY(connectionsLock) = 0;
  std::uint64_t nextRequestNumber GUARDED_BY(connectionsLock) = 0;
  unsigned long runningRequestCount GUARDED_BY(connectionsLock) = 0;
  bool shouldUpdateNetworkActivityIndicator GUARDED_BY(connectionsLock) = true;
  std::atomic<bool> indicatorVisible{false};

  // Makes one progress report at a time (the figures and the delegates' calls); it guards no
  // field, so nothing is marked as guarded by it.
  platform::RecursiveMutex progressLock;

  // Bandwidth lock (not recursive) and its figures.
  platform::Mutex bandwidthLock;
  unsigned long maxBandwidthPerSecond GUARDED_BY(bandwidthLock) = 0;
  unsigned long bandwidthUsedInLastSecond GUARDED_BY(bandwidthLock) = 0;
  std::optional<double> bandwidthMeasurementDate GUARDED_BY(bandwidthLock);
  std::vector<unsigned long> bandwidthUsageTracker GUARDED_BY(bandwidthLock);
  unsigned long averageBandwidthUsedPerSecond GUARDED_BY(bandwidthLock) = 0;
  std::optional<double> throttleWakeUpTime GUARDED_BY(bandwidthLock);
  bool isBandwidthThrottled GUARDED_BY(bandwidthLock) = false;
  bool shouldThrottleBandwidthForWWANOnly GUARDED_BY(bandwidthLock) = false;

  platform::RecursiveMutex sessionCookiesLock;
  std::vector<platform::HTTPCookie> sessionCookies GUARDED_BY(sessionCookiesLock);

  platform::RecursiveMutex sessionCredentialsLock;
  std::vector<NetHTTPRequest::SessionCredentials> sessionCredentials GUARDED_BY(sessionCredentialsLock);
  std::vector<NetHTTPRequest::SessionCredentials> sessionProxyCredentials GUARDED_BY(sessionCredentialsLock);

  // One request at a time looks for credentials and asks the delegate or the dialog for them: a
  // request that waited finds in the session what the one before it was given. It guards no
  // field of its own.
  platform::RecursiveMutex delegateAuthenticationLock;

  platform::Mutex defaultsLock;
  double defaultTimeOutSeconds GUARDED_BY(defaultsLock) = 10.0;
  std::shared_ptr<NetCacheDelegate> defaultCache GUARDED_BY(defaultsLock);
  std::optional<std::string> defaultUserAgent GUARDED_BY(defaultsLock);
  NetHTTPRequest::AuthenticationDialogPresenter dialogPresenter GUARDED_BY(defaultsLock);
  // Watched while mobile-data-only throttling is on.
  std::shared_ptr<Reachability> internetReachability GUARDED_BY(defaultsLock);
  std::uint64_t reachabilityObserver GUARDED_BY(defaultsLock) = 0;
  std::shared_ptr<OperationQueue> sharedQueue GUARDED_BY(defaultsLock);
};

SharedState& shared();

std::string lowercase(std::string_view s);
std::string uniqueTemporaryPath();
std::shared_ptr<const platform::Error> underlying(const platform::Error& error);
// The errors of codes 2, 3, 4, 5 and 9, with their fixed texts.
platform::Error sharedError(std::int64_t code);
platform::Error fileManagementError(std::string description, std::optional<platform::Error> underlyingError);

}  // namespace netdetail
}  // namespace kavro
