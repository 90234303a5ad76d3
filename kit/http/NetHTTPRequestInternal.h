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
// "NetHTTPRequest-<id>", so they share one socket.
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

namespace netdetail {

struct SharedState {
  // Connections lock: the pool, its counters, the running count and the indicator flag.
  platform::RecursiveMutex connectionsLock;
  std::vector<std::shared_ptr<NetConnectionEntry>> pool;
  int nextConnectionNumber = 0;
  std::uint64_t nextRequestNumber = 0;
  unsigned long runningRequestCount = 0;
  bool shouldUpdateNetworkActivityIndicator = true;
  std::atomic<bool> indicatorVisible{false};

  platform::RecursiveMutex progressLock;

  // Bandwidth lock (not recursive) and its figures.
  platform::Mutex bandwidthLock;
  unsigned long maxBandwidthPerSecond = 0;
  unsigned long bandwidthUsedInLastSecond = 0;
  std::optional<double> bandwidthMeasurementDate;
  std::vector<unsigned long> bandwidthUsageTracker;
  unsigned long averageBandwidthUsedPerSecond = 0;
  std::optional<double> throttleWakeUpTime;
  bool isBandwidthThrottled = false;
  bool shouldThrottleBandwidthForWWANOnly = false;

  platform::RecursiveMutex sessionCookiesLock;
  std::vector<platform::HTTPCookie> sessionCookies;

  platform::RecursiveMutex sessionCredentialsLock;
  std::vector<NetHTTPRequest::SessionCredentials> sessionCredentials;
  std::vector<NetHTTPRequest::SessionCredentials> sessionProxyCredentials;

  platform::RecursiveMutex delegateAuthenticationLock;

  platform::Mutex defaultsLock;
  double defaultTimeOutSeconds = 10.0;
  std::shared_ptr<NetCacheDelegate> defaultCache;
  std::optional<std::string> defaultUserAgent;
  NetHTTPRequest::AuthenticationDialogPresenter dialogPresenter;
  // Watched while mobile-data-only throttling is on.
  std::shared_ptr<Reachability> internetReachability;
  std::uint64_t reachabilityObserver = 0;
  std::shared_ptr<OperationQueue> sharedQueue;
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
