#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/RunLoop.h"

namespace kavro {

// What is known about the way to a target, as a bit set.
using ReachabilityFlags = std::uint32_t;
inline constexpr ReachabilityFlags ReachabilityFlagTransientConnection = 0x1;
inline constexpr ReachabilityFlags ReachabilityFlagReachable = 0x2;
inline constexpr ReachabilityFlags ReachabilityFlagConnectionRequired = 0x4;
inline constexpr ReachabilityFlags ReachabilityFlagConnectionOnTraffic = 0x8;
inline constexpr ReachabilityFlags ReachabilityFlagInterventionRequired = 0x10;
inline constexpr ReachabilityFlags ReachabilityFlagConnectionOnDemand = 0x20;
inline constexpr ReachabilityFlags ReachabilityFlagIsLocalAddress = 0x10000;
inline constexpr ReachabilityFlags ReachabilityFlagIsDirect = 0x20000;
inline constexpr ReachabilityFlags ReachabilityFlagIsWWAN = 0x40000;

// A host name, or an IPv4 address (the zero address stands for the internet as a whole).
struct ReachabilityTarget {
  std::optional<std::string> hostName;
  sockaddr_in address{};

  static ReachabilityTarget forHostName(std::string name) {
    ReachabilityTarget t;
    t.hostName = std::move(name);
    return t;
  }
  static ReachabilityTarget forAddress(const sockaddr_in& address) {
    ReachabilityTarget t;
    t.address = address;
    return t;
  }
};

// Watches for changes of the network configuration while it lives.
class ReachabilityChangeSource {
 public:
  virtual ~ReachabilityChangeSource() = default;
};

// Where reachability flags come from: the Linux provider in the program, a scripted one in tests.
// The shared provider is used by watchers made after it was set.
class ReachabilityFlagsProvider {
 public:
  virtual ~ReachabilityFlagsProvider() = default;

  // The flags now; nothing when they cannot be read.
  virtual std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) = 0;
  // Calls onChange on loop, for its thread, whenever the network configuration may have changed,
  // until the source is destroyed; nullptr when changes cannot be watched.
  virtual std::unique_ptr<ReachabilityChangeSource> watchChanges(platform::RunLoop& loop,
                                                                 std::function<void()> onChange) = 0;

  // The LinuxReachabilityProvider unless one was set; nullptr goes back to it. Any thread.
  static std::shared_ptr<ReachabilityFlagsProvider> shared();
  static void setShared(std::shared_ptr<ReachabilityFlagsProvider> provider);
};

}  // namespace kavro
