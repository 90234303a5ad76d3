#include "kit/http/LinuxReachabilityProvider.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {

platform::Mutex& sharedMutex() {
  static platform::Mutex mutex;
  return mutex;
}

std::shared_ptr<ReachabilityFlagsProvider>& sharedSlot() REQUIRES(sharedMutex()) {
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

namespace {

std::optional<std::vector<LinuxReachabilityProvider::InterfaceAddress>> interfacesFromGetifaddrs() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return std::nullopt;
  std::vector<LinuxReachabilityProvider::InterfaceAddress> out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || !i->ifa_name) continue;
    LinuxReachabilityProvider::InterfaceAddress a;
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

}  // namespace

// The addresses alone, from one dump on a fresh route socket; the interfaces' names and flags are
// asked of the same socket (two ioctls per interface), which is much less than the link dump
// getifaddrs adds with every interface's statistics.
std::optional<std::vector<LinuxReachabilityProvider::InterfaceAddress>>
LinuxReachabilityProvider::interfacesFromRouteSocket() {
  using Provider = LinuxReachabilityProvider;
  const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return std::nullopt;
  struct {
    nlmsghdr header;
    ifaddrmsg message;
  } request{};
  constexpr std::uint32_t seq = 1;
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_GETADDR;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = seq;
  request.message.ifa_family = AF_UNSPEC;
  std::vector<Provider::DumpedAddress> dumped;
  Provider::DumpPart part = Provider::DumpPart::Failed;
  if (::send(fd, &request, sizeof request, 0) == static_cast<ssize_t>(sizeof request)) {
    // The kernel fills a dump's buffers to at most 32 KB.
    alignas(nlmsghdr) static thread_local char buffer[32768];
    for (part = Provider::DumpPart::More; part == Provider::DumpPart::More;) {
      iovec io{buffer, sizeof buffer};
      msghdr message{};
      message.msg_iov = &io;
      message.msg_iovlen = 1;
      // The kernel queues each part of a dump before the call that asks for it returns: an empty
      // socket means no answer is coming.
      const ssize_t n = ::recvmsg(fd, &message, MSG_DONTWAIT);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || (message.msg_flags & MSG_TRUNC)) {
        part = Provider::DumpPart::Failed;
        break;
      }
      part = Provider::readAddressDump(buffer, static_cast<std::size_t>(n), seq, dumped);
    }
  }
  std::vector<Provider::InterfaceAddress> out;
  if (part == Provider::DumpPart::End) {
    // An interface gone between the dump and its ioctls takes its addresses with it.
    struct Interface {
      int index;
      bool known;
      std::string name;
      unsigned flags;
    };
    std::vector<Interface> interfaces;
    for (auto& [index, address] : dumped) {
      auto it = std::find_if(interfaces.begin(), interfaces.end(),
                             [index = index](const Interface& i) { return i.index == index; });
      if (it == interfaces.end()) {
        Interface i{index, false, {}, 0};
        ifreq r{};
        r.ifr_ifindex = index;
        if (::ioctl(fd, SIOCGIFNAME, &r) == 0 && ::ioctl(fd, SIOCGIFFLAGS, &r) == 0) {
          i.known = true;
          i.name.assign(r.ifr_name, ::strnlen(r.ifr_name, sizeof r.ifr_name));
          i.flags = static_cast<unsigned short>(r.ifr_flags);
        }
        it = interfaces.insert(interfaces.end(), std::move(i));
      }
      if (!it->known) continue;
      if (address.name.empty()) address.name = it->name;
      address.flags = it->flags;
      out.push_back(std::move(address));
    }
  }
  ::close(fd);
  if (part != Provider::DumpPart::End) return std::nullopt;
  return out;
}

namespace {

// The header of a netlink message lies whole within what is left (as NLMSG_OK, whose comparison of
// the unsigned length with the signed rest some compilers refuse).
bool messageFits(const nlmsghdr* h, int left) {
  return left >= static_cast<int>(sizeof(nlmsghdr)) && h->nlmsg_len >= sizeof(nlmsghdr) &&
         h->nlmsg_len <= static_cast<unsigned>(left);
}

}  // namespace

LinuxReachabilityProvider::DumpPart LinuxReachabilityProvider::readAddressDump(
    const void* data, std::size_t size, std::uint32_t seq, std::vector<DumpedAddress>& out) {
  if (size > static_cast<std::size_t>(INT32_MAX)) return DumpPart::Failed;
  int left = static_cast<int>(size);
  for (auto* h = static_cast<const nlmsghdr*>(data); messageFits(h, left); h = NLMSG_NEXT(h, left)) {
    if (h->nlmsg_seq != seq) continue;  // not this dump's
    if (h->nlmsg_type == NLMSG_DONE) return DumpPart::End;
    if (h->nlmsg_type == NLMSG_ERROR) return DumpPart::Failed;
    if (h->nlmsg_type != RTM_NEWADDR || h->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) continue;
    const auto* m = static_cast<const ifaddrmsg*>(NLMSG_DATA(h));
    if (m->ifa_family != AF_INET && m->ifa_family != AF_INET6) continue;
    if (out.size() >= MaxAddresses) return DumpPart::Failed;
    DumpedAddress d;
    d.index = static_cast<int>(m->ifa_index);
    d.address.family = m->ifa_family;
    const std::size_t length = m->ifa_family == AF_INET ? sizeof(in_addr) : sizeof(in6_addr);
    // The local address when there is one (a point-to-point link's IFA_ADDRESS is its peer).
    const void* local = nullptr;
    const void* address = nullptr;
    int attributes = static_cast<int>(IFA_PAYLOAD(h));
    for (auto* a = IFA_RTA(m); RTA_OK(a, attributes); a = RTA_NEXT(a, attributes)) {
      const std::size_t payload = RTA_PAYLOAD(a);
      if (a->rta_type == IFA_LOCAL && payload >= length) local = RTA_DATA(a);
      if (a->rta_type == IFA_ADDRESS && payload >= length) address = RTA_DATA(a);
      if (a->rta_type == IFA_LABEL && payload > 0)
        d.address.name.assign(
            static_cast<const char*>(RTA_DATA(a)),
            ::strnlen(static_cast<const char*>(RTA_DATA(a)), std::min<std::size_t>(payload, IFNAMSIZ)));
    }
    if (local) address = local;
    if (!address) continue;
    if (m->ifa_family == AF_INET) {
      std::memcpy(&d.address.address, address, length);
      const unsigned prefix = std::min<unsigned>(m->ifa_prefixlen, 32);
      d.address.netmask.s_addr = prefix == 0 ? 0 : htonl(~std::uint32_t{0} << (32 - prefix));
    } else {
      std::memcpy(&d.address.address6, address, length);
    }
    out.push_back(std::move(d));
  }
  return DumpPart::More;
}

std::optional<std::vector<LinuxReachabilityProvider::InterfaceAddress>>
LinuxReachabilityProvider::currentInterfaces() {
  if (auto interfaces = interfacesFromRouteSocket()) return interfaces;
  return interfacesFromGetifaddrs();
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
