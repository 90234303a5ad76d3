#include "kit/http/LinuxReachabilityProvider.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {

platform::Mutex& sharedMutex() {
  static platform::Mutex mutex;
  return mutex;
}

std::shared_ptr<ReachabilityFlagsProvider>& sharedSlot() {
  static std::shared_ptr<ReachabilityFlagsProvider> slot;
  return slot;
}

std::uint32_t hostOrder(in_addr a) { return ntohl(a.s_addr); }

bool isLinkLocal(std::uint32_t a) { return (a & 0xFFFF0000u) == 0xA9FE0000u; }  // 169.254/16
bool isLoopback(std::uint32_t a) { return (a & 0xFF000000u) == 0x7F000000u; }   // 127/8

bool isUsable(const LinuxReachabilityProvider::InterfaceAddress& i) {
  return (i.flags & IFF_UP) && (i.flags & IFF_RUNNING) && !(i.flags & IFF_LOOPBACK) &&
         (i.family == AF_INET || i.family == AF_INET6);
}

bool isRoutable(const LinuxReachabilityProvider::InterfaceAddress& i) {
  if (i.family == AF_INET) {
    std::uint32_t a = hostOrder(i.address);
    return a != 0 && !isLinkLocal(a) && !isLoopback(a);
  }
  const in6_addr& a = i.address6;
  bool linkLocal = a.s6_addr[0] == 0xFE && (a.s6_addr[1] & 0xC0) == 0x80;
  return !linkLocal && !IN6_IS_ADDR_UNSPECIFIED(&a) && !IN6_IS_ADDR_LOOPBACK(&a);
}

// A netlink route socket on a run loop: readable means the links, addresses or routes changed.
class NetlinkChangeSource : public ReachabilityChangeSource {
 public:
  NetlinkChangeSource(platform::RunLoop& loop, int fd, std::function<void()> onChange)
      : loop_(loop), fd_(fd), onChange_(std::move(onChange)) {
    source_ = loop_.addFdSource(fd_, platform::RunLoop::Readable, [this](unsigned) { drain(); });
    // Route changes come when they come: a wait on virtual time does not hold for them.
    loop_.setFdSourcePassive(source_, true);
  }
  ~NetlinkChangeSource() override {
    loop_.removeFdSource(source_);
    ::close(fd_);
  }

 private:
  void drain() {
    char buffer[8192];
    for (;;) {
      ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) continue;
      // ENOBUFS: the kernel dropped messages; the configuration changed all the same.
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    // The callback may destroy this source; nothing of it is touched afterwards.
    auto onChange = onChange_;
    onChange();
  }

  platform::RunLoop& loop_;
  int fd_;
  std::function<void()> onChange_;
  platform::RunLoop::SourceId source_ = 0;
};

}  // namespace

std::shared_ptr<ReachabilityFlagsProvider> ReachabilityFlagsProvider::shared() {
  platform::MutexLock lock(sharedMutex());
  auto& slot = sharedSlot();
  if (!slot) slot = std::make_shared<LinuxReachabilityProvider>();
  return slot;
}

void ReachabilityFlagsProvider::setShared(std::shared_ptr<ReachabilityFlagsProvider> provider) {
  platform::MutexLock lock(sharedMutex());
  sharedSlot() = std::move(provider);
}

void LinuxReachabilityProvider::setMobileDataInterfaces(std::vector<std::string> names) {
  platform::MutexLock lock(mutex_);
  mobile_ = std::move(names);
}

std::vector<std::string> LinuxReachabilityProvider::mobileDataInterfaces() const {
  platform::MutexLock lock(mutex_);
  return mobile_;
}

std::optional<std::vector<LinuxReachabilityProvider::InterfaceAddress>>
LinuxReachabilityProvider::currentInterfaces() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return std::nullopt;
  std::vector<InterfaceAddress> out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || !i->ifa_name) continue;
    InterfaceAddress a;
    a.name = i->ifa_name;
    a.flags = i->ifa_flags;
    a.family = i->ifa_addr->sa_family;
    if (a.family == AF_INET) {
      a.address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
      if (i->ifa_netmask) a.netmask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr;
    } else if (a.family == AF_INET6) {
      a.address6 = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr;
    } else {
      continue;
    }
    out.push_back(std::move(a));
  }
  ::freeifaddrs(list);
  return out;
}

ReachabilityFlags LinuxReachabilityProvider::flagsFor(const ReachabilityTarget& target,
                                                      const std::vector<InterfaceAddress>& interfaces,
                                                      const std::vector<std::string>& mobileDataInterfaces) {
  auto isMobile = [&](const InterfaceAddress& i) {
    return std::find(mobileDataInterfaces.begin(), mobileDataInterfaces.end(), i.name) !=
           mobileDataInterfaces.end();
  };

  if (!target.hostName) {
    std::uint32_t a = hostOrder(target.address.sin_addr);
    if (isLoopback(a))
      return ReachabilityFlagReachable | ReachabilityFlagIsLocalAddress | ReachabilityFlagIsDirect;
    if (a != 0) {
      for (const auto& i : interfaces) {
        if (!isUsable(i) || i.family != AF_INET) continue;
        if (hostOrder(i.address) == a)
          return ReachabilityFlagReachable | ReachabilityFlagIsLocalAddress | ReachabilityFlagIsDirect;
      }
    }
    if (isLinkLocal(a)) {
      // The local link: directly, over an interface that is not mobile data.
      for (const auto& i : interfaces)
        if (isUsable(i) && i.family == AF_INET && !isMobile(i))
          return ReachabilityFlagReachable | ReachabilityFlagIsDirect;
      return 0;
    }
    if (a != 0) {
      for (const auto& i : interfaces) {
        if (!isUsable(i) || i.family != AF_INET || !isRoutable(i)) continue;
        std::uint32_t mask = hostOrder(i.netmask);
        if (mask != 0 && (a & mask) == (hostOrder(i.address) & mask))
          return ReachabilityFlagReachable | ReachabilityFlagIsDirect |
                 (isMobile(i) ? ReachabilityFlagIsWWAN : 0);
      }
    }
  }

  // The internet.
  bool any = false, anyFixed = false;
  for (const auto& i : interfaces) {
    if (!isUsable(i) || !isRoutable(i)) continue;
    any = true;
    if (!isMobile(i)) anyFixed = true;
  }
  if (!any) return 0;
  return anyFixed ? ReachabilityFlagReachable : ReachabilityFlagReachable | ReachabilityFlagIsWWAN;
}

std::optional<ReachabilityFlags> LinuxReachabilityProvider::flagsForTarget(const ReachabilityTarget& target) {
  auto interfaces = currentInterfaces();
  if (!interfaces) return std::nullopt;
  return flagsFor(target, *interfaces, mobileDataInterfaces());
}

std::unique_ptr<ReachabilityChangeSource> LinuxReachabilityProvider::watchChanges(
    platform::RunLoop& loop, std::function<void()> onChange) {
  int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return nullptr;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups =
      RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<NetlinkChangeSource>(loop, fd, std::move(onChange));
}

}  // namespace kavro
