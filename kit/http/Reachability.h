#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "kit/http/ReachabilityFlagsProvider.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

// Posted (object: the Reachability whose target changed, no user info) by a started watcher.
inline constexpr std::string_view kNetworkReachabilityChangedNotification =
    "kNetworkReachabilityChangedNotification";

enum NetworkStatus : std::int32_t {
  NetworkStatusNotReachable = 0,
  NetworkStatusViaWiFi = 1,
  NetworkStatusViaWWAN = 2,
};

// Whether the device can reach a target (a host name, an IPv4 address, the internet as a whole,
// or the local Wi-Fi link) and over which kind of link. A started watcher posts
// kNetworkReachabilityChangedNotification on its run loop whenever its target's flags change; the
// caller keeps the watcher alive for as long as it wants to hear. Flags come from the provider that
// was shared when the watcher was made. The class questions may be asked from any thread; a watcher
// belongs to the thread of its run loop.
class Reachability : public std::enable_shared_from_this<Reachability> {
 public:
  // nullptr when the target cannot be watched (an empty name, an address that is not IPv4).
  static std::shared_ptr<Reachability> reachabilityWithHostName(std::string_view hostName);
  static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr_in& hostAddress);
  // The zero address.
  static std::shared_ptr<Reachability> reachabilityForInternetConnection();
  // The link-local network 169.254.0.0, with the local Wi-Fi rule.
  static std::shared_ptr<Reachability> reachabilityForLocalWiFi();

  ~Reachability();
  Reachability(const Reachability&) = delete;
  Reachability& operator=(const Reachability&) = delete;

  // False when changes cannot be watched. Starting again replaces the earlier start.
  bool startNotifier(platform::RunLoop& loop = platform::RunLoop::main());
  void stopNotifier();

  NetworkStatus currentReachabilityStatus() const;
  // False when the flags cannot be read.
  bool connectionRequired() const;
  // The internet rule: not reachable, else Wi-Fi unless a connection is required that the system
  // would not open by itself, and WWAN whenever the link is WWAN.
  NetworkStatus networkStatusForFlags(ReachabilityFlags flags) const;
  // Wi-Fi when reachable directly; never WWAN.
  NetworkStatus localWiFiStatusForFlags(ReachabilityFlags flags) const;

  static bool isCurrentNetworkStatusWifi();
  static bool isCurrentNetworkStatusWWAN();
  // Reachable without a connection being required (on demand or on traffic does not count).
  static bool connectedToNetWork();

 private:
  struct Token {};

 public:
  Reachability(Token, ReachabilityTarget target, bool localWiFi);

 private:
  std::optional<ReachabilityFlags> flags() const;
  void onNetworkChange();

  ReachabilityTarget target_;
  bool localWiFiRef_ = false;
  std::shared_ptr<ReachabilityFlagsProvider> provider_;
  std::unique_ptr<ReachabilityChangeSource> source_;
  std::optional<ReachabilityFlags> lastFlags_;
};

}  // namespace kavro
