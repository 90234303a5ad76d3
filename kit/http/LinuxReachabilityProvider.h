#pragma once
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/http/ReachabilityFlagsProvider.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

// Reachability flags from the interfaces the kernel reports (getifaddrs), with changes watched on a
// netlink route socket as a run-loop source. The internet (the zero address, any remote address,
// any host name) is reachable through an interface that is up and running, not loopback, with a
// routable address; when every such interface is one of the mobile-data interfaces it is reached
// over WWAN. Link-local addresses (169.254/16) and addresses on an interface's own subnet are
// reachable directly; loopback and the host's own addresses are local. The mobile-data interfaces
// are a list of names, empty by default. Any thread.
class LinuxReachabilityProvider : public ReachabilityFlagsProvider {
 public:
  // One address of one interface, as getifaddrs tells it.
  struct InterfaceAddress {
    std::string name;
    unsigned flags = 0;  // IFF_UP, IFF_RUNNING, IFF_LOOPBACK, ...
    int family = AF_UNSPEC;
    in_addr address{};
    in_addr netmask{};
    in6_addr address6{};
  };

  void setMobileDataInterfaces(std::vector<std::string> names);
  std::vector<std::string> mobileDataInterfaces() const;

  std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) override;
  std::unique_ptr<ReachabilityChangeSource> watchChanges(platform::RunLoop& loop,
                                                         std::function<void()> onChange) override;

  // The rules above over a given list of interface addresses.
  static ReachabilityFlags flagsFor(const ReachabilityTarget& target,
                                    const std::vector<InterfaceAddress>& interfaces,
                                    const std::vector<std::string>& mobileDataInterfaces);
  // The interface addresses now, as getifaddrs tells them (read with one address dump of a netlink
  // route socket, getifaddrs itself when that cannot be had); nothing when they cannot be read.
  static std::optional<std::vector<InterfaceAddress>> currentInterfaces();
  // The route socket's reading alone; nothing when any step of it fails.
  static std::optional<std::vector<InterfaceAddress>> interfacesFromRouteSocket();

  // One address of an address dump, with its interface's index; the name is the address's label
  // (IPv4) or empty, and the flags are the interface's, filled in by the reader.
  struct DumpedAddress {
    int index = 0;
    InterfaceAddress address;
  };
  enum class DumpPart { More, End, Failed };
  // One buffer of the kernel's answer to an address dump (sequence number seq): its addresses are
  // added to out, at most MaxAddresses in all (beyond that the dump Failed).
  static constexpr std::size_t MaxAddresses = 4096;
  static DumpPart readAddressDump(const void* data, std::size_t size, std::uint32_t seq,
                                  std::vector<DumpedAddress>& out);

 private:
  mutable platform::Mutex mutex_;
  std::vector<std::string> mobile_ GUARDED_BY(mutex_);
};

}  // namespace kavro
