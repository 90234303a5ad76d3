#include "kit/http/Reachability.h"

#include <arpa/inet.h>

#include <cstdio>

#include "platform/foundation/NotificationCenter.h"

namespace kavro {

namespace {

sockaddr_in ipv4(std::uint32_t hostOrderAddress) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = 0;
  a.sin_addr.s_addr = htonl(hostOrderAddress);
  return a;
}

bool has(ReachabilityFlags flags, ReachabilityFlags bit) { return (flags & bit) != 0; }

}  // namespace

Reachability::Reachability(Token, ReachabilityTarget target, bool localWiFi)
    : target_(std::move(target)), localWiFiRef_(localWiFi), provider_(ReachabilityFlagsProvider::shared()) {}

Reachability::~Reachability() { stopNotifier(); }

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(std::string_view hostName) {
  if (hostName.empty()) return nullptr;
  return std::make_shared<Reachability>(Token{}, ReachabilityTarget::forHostName(std::string(hostName)),
                                        false);
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr_in& hostAddress) {
  if (hostAddress.sin_family != AF_INET) return nullptr;
  return std::make_shared<Reachability>(Token{}, ReachabilityTarget::forAddress(hostAddress), false);
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
  return reachabilityWithAddress(ipv4(0));
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
  auto r = reachabilityWithAddress(ipv4(0xA9FE0000u));  // 169.254.0.0
  if (r) r->localWiFiRef_ = true;
  return r;
}

bool Reachability::startNotifier(platform::RunLoop& loop) {
  source_.reset();
  std::weak_ptr<Reachability> weak = weak_from_this();
  lastFlags_ = flags();
  source_ = provider_->watchChanges(loop, [weak] {
    if (auto self = weak.lock()) self->onNetworkChange();
  });
  return source_ != nullptr;
}

void Reachability::stopNotifier() { source_.reset(); }

void Reachability::onNetworkChange() {
  if (!source_) return;
  auto now = flags();
  if (now == lastFlags_) return;
  lastFlags_ = now;
  auto self = shared_from_this();
  platform::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification, this);
}

std::optional<ReachabilityFlags> Reachability::flags() const { return provider_->flagsForTarget(target_); }

NetworkStatus Reachability::currentReachabilityStatus() const {
  auto f = flags();
  if (!f) return NetworkStatusNotReachable;
  return localWiFiRef_ ? localWiFiStatusForFlags(*f) : networkStatusForFlags(*f);
}

bool Reachability::connectionRequired() const {
  auto f = flags();
  return f && has(*f, ReachabilityFlagConnectionRequired);
}

NetworkStatus Reachability::networkStatusForFlags(ReachabilityFlags flags) const {
  if (!has(flags, ReachabilityFlagReachable)) return NetworkStatusNotReachable;
  NetworkStatus status = NetworkStatusNotReachable;
  if (!has(flags, ReachabilityFlagConnectionRequired)) status = NetworkStatusViaWiFi;
  if ((has(flags, ReachabilityFlagConnectionOnDemand) || has(flags, ReachabilityFlagConnectionOnTraffic)) &&
      !has(flags, ReachabilityFlagInterventionRequired))
    status = NetworkStatusViaWiFi;
  if (has(flags, ReachabilityFlagIsWWAN)) status = NetworkStatusViaWWAN;
  return status;
}

NetworkStatus Reachability::localWiFiStatusForFlags(ReachabilityFlags flags) const {
  return has(flags, ReachabilityFlagReachable) && has(flags, ReachabilityFlagIsDirect)
             ? NetworkStatusViaWiFi
             : NetworkStatusNotReachable;
}

bool Reachability::isCurrentNetworkStatusWifi() {
  auto r = reachabilityForLocalWiFi();
  return r && r->currentReachabilityStatus() == NetworkStatusViaWiFi;
}

bool Reachability::isCurrentNetworkStatusWWAN() {
  auto r = reachabilityForInternetConnection();
  return r && r->currentReachabilityStatus() == NetworkStatusViaWWAN;
}

bool Reachability::connectedToNetWork() {
  auto flags = ReachabilityFlagsProvider::shared()->flagsForTarget(ReachabilityTarget::forAddress(ipv4(0)));
  if (!flags) {
    std::printf("Error. Count not recover network reachability flags\n");
    std::fflush(stdout);
    return false;
  }
  return has(*flags, ReachabilityFlagReachable) && !has(*flags, ReachabilityFlagConnectionRequired);
}

}  // namespace kavro
