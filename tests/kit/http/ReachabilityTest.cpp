#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <cstring>
#include <map>
#include <set>

#include "kit/http/LinuxReachabilityProvider.h"
#include "kit/http/Reachability.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

constexpr ReachabilityFlags R = ReachabilityFlagReachable, T = ReachabilityFlagTransientConnection,
                            Req = ReachabilityFlagConnectionRequired,
                            Traffic = ReachabilityFlagConnectionOnTraffic,
                            Interv = ReachabilityFlagInterventionRequired,
                            Demand = ReachabilityFlagConnectionOnDemand,
                            Local = ReachabilityFlagIsLocalAddress, Direct = ReachabilityFlagIsDirect,
                            WWAN = ReachabilityFlagIsWWAN;

sockaddr_in ipv4(const char* text) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, text, &a.sin_addr);
  return a;
}

std::string keyOf(const ReachabilityTarget& t) {
  if (t.hostName) return "host:" + *t.hostName;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &t.address.sin_addr, text, sizeof text);
  return text;
}

// Flags by target ("0.0.0.0", "169.254.0.0", "host:name"; unknown targets cannot be read) and
// changes announced by the test.
class ScriptedProvider : public ReachabilityFlagsProvider {
 public:
  std::map<std::string, ReachabilityFlags> flags;
  bool canWatch = true;

  std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget& target) override {
    auto it = flags.find(keyOf(target));
    if (it == flags.end()) return std::nullopt;
    return it->second;
  }

  struct Watch {
    platform::RunLoop* loop;
    std::function<void()> onChange;
  };
  struct Source : ReachabilityChangeSource {
    std::shared_ptr<Watch> watch;
  };
  std::unique_ptr<ReachabilityChangeSource> watchChanges(platform::RunLoop& loop,
                                                         std::function<void()> onChange) override {
    if (!canWatch) return nullptr;
    auto source = std::make_unique<Source>();
    source->watch = std::make_shared<Watch>(Watch{&loop, std::move(onChange)});
    watches_.push_back(source->watch);
    return source;
  }
  // The configuration changed: every live watch hears of it from its loop.
  void announce() {
    for (const auto& weak : watches_) {
      if (auto w = weak.lock()) {
        w->loop->performOnMain([weak] {
          if (auto live = weak.lock()) live->onChange();
        });
      }
    }
  }

 private:
  std::vector<std::weak_ptr<Watch>> watches_;
};

class ReachabilityTest : public test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ReachabilityFlagsProvider::setShared(provider);
    token = platform::NotificationCenter::defaultCenter().addObserver(
        kNetworkReachabilityChangedNotification, nullptr,
        [this](const platform::Notification& n) { posted.push_back(n.object); });
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    ReachabilityFlagsProvider::setShared(nullptr);
    VirtualRunLoopTest::TearDown();
  }
  std::shared_ptr<ScriptedProvider> provider = std::make_shared<ScriptedProvider>();
  std::vector<const void*> posted;
  platform::NotificationCenter::Token token = 0;
};

TEST_F(ReachabilityTest, TheInternetAndLocalWiFiRules) {
  auto r = Reachability::reachabilityForInternetConnection();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->networkStatusForFlags(0), NetworkStatusNotReachable);
  EXPECT_EQ(r->networkStatusForFlags(Req | Traffic), NetworkStatusNotReachable) << "not reachable at all";
  EXPECT_EQ(r->networkStatusForFlags(R), NetworkStatusViaWiFi);
  EXPECT_EQ(r->networkStatusForFlags(R | T | Local | Direct), NetworkStatusViaWiFi);
  EXPECT_EQ(r->networkStatusForFlags(R | Req), NetworkStatusNotReachable);
  EXPECT_EQ(r->networkStatusForFlags(R | Req | Traffic), NetworkStatusViaWiFi);
  EXPECT_EQ(r->networkStatusForFlags(R | Req | Demand), NetworkStatusViaWiFi);
  EXPECT_EQ(r->networkStatusForFlags(R | Req | Traffic | Interv), NetworkStatusNotReachable);
  EXPECT_EQ(r->networkStatusForFlags(R | Req | Traffic | WWAN), NetworkStatusViaWWAN);
  EXPECT_EQ(r->networkStatusForFlags(R | Req | Traffic | Interv | WWAN), NetworkStatusViaWWAN);
  EXPECT_EQ(r->networkStatusForFlags(R | WWAN), NetworkStatusViaWWAN);
  EXPECT_EQ(r->networkStatusForFlags(WWAN), NetworkStatusNotReachable);

  EXPECT_EQ(r->localWiFiStatusForFlags(0), NetworkStatusNotReachable);
  EXPECT_EQ(r->localWiFiStatusForFlags(R), NetworkStatusNotReachable);
  EXPECT_EQ(r->localWiFiStatusForFlags(Direct), NetworkStatusNotReachable);
  EXPECT_EQ(r->localWiFiStatusForFlags(R | Direct), NetworkStatusViaWiFi);
  EXPECT_EQ(r->localWiFiStatusForFlags(R | Direct | WWAN), NetworkStatusViaWiFi) << "never WWAN";
}

TEST_F(ReachabilityTest, ClassQuestionsAskTheRightTargetsWithTheRightRules) {
  // Only over WWAN.
  provider->flags = {{"0.0.0.0", R | WWAN}, {"169.254.0.0", 0}};
  EXPECT_FALSE(Reachability::isCurrentNetworkStatusWifi());
  EXPECT_TRUE(Reachability::isCurrentNetworkStatusWWAN());
  EXPECT_TRUE(Reachability::connectedToNetWork());

  // Over Wi-Fi.
  provider->flags = {{"0.0.0.0", R}, {"169.254.0.0", R | Direct}};
  EXPECT_TRUE(Reachability::isCurrentNetworkStatusWifi());
  EXPECT_FALSE(Reachability::isCurrentNetworkStatusWWAN());
  EXPECT_TRUE(Reachability::connectedToNetWork());

  // A connection on demand is Wi-Fi to the status rule but not connected.
  provider->flags = {{"0.0.0.0", R | Req | Demand}, {"169.254.0.0", 0}};
  EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(),
            NetworkStatusViaWiFi);
  EXPECT_TRUE(Reachability::reachabilityForInternetConnection()->connectionRequired());
  EXPECT_FALSE(Reachability::connectedToNetWork());

  // No network.
  provider->flags = {{"0.0.0.0", 0}, {"169.254.0.0", 0}};
  EXPECT_FALSE(Reachability::isCurrentNetworkStatusWifi());
  EXPECT_FALSE(Reachability::isCurrentNetworkStatusWWAN());
  EXPECT_FALSE(Reachability::connectedToNetWork());

  // Flags that cannot be read.
  provider->flags.clear();
  auto r = Reachability::reachabilityForLocalWiFi();
  EXPECT_EQ(r->currentReachabilityStatus(), NetworkStatusNotReachable);
  EXPECT_FALSE(r->connectionRequired());
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Reachability::connectedToNetWork());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error. Count not recover network reachability flags\n");
}

TEST_F(ReachabilityTest, FactoriesAndTheirTargets) {
  EXPECT_FALSE(Reachability::reachabilityWithHostName(""));
  sockaddr_in v6{};
  v6.sin_family = AF_INET6;
  EXPECT_FALSE(Reachability::reachabilityWithAddress(v6));

  provider->flags = {{"host:api.example", R | WWAN}, {"10.1.2.3", R | Direct}};
  EXPECT_EQ(Reachability::reachabilityWithHostName("api.example")->currentReachabilityStatus(),
            NetworkStatusViaWWAN);
  EXPECT_EQ(Reachability::reachabilityWithAddress(ipv4("10.1.2.3"))->currentReachabilityStatus(),
            NetworkStatusViaWiFi);
  EXPECT_EQ(Reachability::reachabilityWithHostName("other.example")->currentReachabilityStatus(),
            NetworkStatusNotReachable);
}

TEST_F(ReachabilityTest, AStartedWatcherPostsWhenItsTargetsFlagsChange) {
  provider->flags = {{"0.0.0.0", R}, {"169.254.0.0", R | Direct}};
  auto internet = Reachability::reachabilityForInternetConnection();
  auto idle = Reachability::reachabilityForInternetConnection();
  ASSERT_TRUE(internet->startNotifier());

  provider->announce();  // nothing changed for the target
  runFor(0.1);
  EXPECT_TRUE(posted.empty());

  provider->flags["0.0.0.0"] = R | WWAN;
  provider->announce();
  EXPECT_TRUE(posted.empty()) << "told on the run loop, not inside the change";
  runFor(0.1);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0], internet.get());
  EXPECT_EQ(internet->currentReachabilityStatus(), NetworkStatusViaWWAN);

  // Starting again replaces the first start: one post per change.
  ASSERT_TRUE(internet->startNotifier());
  provider->flags["0.0.0.0"] = 0;
  provider->announce();
  runFor(0.1);
  EXPECT_EQ(posted.size(), 2u);

  // Stopped, or gone: silence.
  internet->stopNotifier();
  provider->flags["0.0.0.0"] = R;
  provider->announce();
  runFor(0.1);
  EXPECT_EQ(posted.size(), 2u);

  ASSERT_TRUE(internet->startNotifier());
  provider->flags["0.0.0.0"] = R | WWAN;
  provider->announce();
  internet.reset();
  runFor(0.1);
  EXPECT_EQ(posted.size(), 2u);

  provider->canWatch = false;
  EXPECT_FALSE(idle->startNotifier());
}

using Iface = LinuxReachabilityProvider::InterfaceAddress;

Iface v4(std::string name, const char* address, const char* mask, unsigned flags = IFF_UP | IFF_RUNNING) {
  Iface i;
  i.name = std::move(name);
  i.flags = flags;
  i.family = AF_INET;
  inet_pton(AF_INET, address, &i.address);
  inet_pton(AF_INET, mask, &i.netmask);
  return i;
}

Iface v6(std::string name, const char* address) {
  Iface i;
  i.name = std::move(name);
  i.flags = IFF_UP | IFF_RUNNING;
  i.family = AF_INET6;
  inet_pton(AF_INET6, address, &i.address6);
  return i;
}

TEST(LinuxReachabilityProvider, FlagsFromTheInterfaces) {
  auto flags = [](const char* target, const std::vector<Iface>& ifs, std::vector<std::string> mobile = {}) {
    return LinuxReachabilityProvider::flagsFor(ReachabilityTarget::forAddress(ipv4(target)), ifs, mobile);
  };
  const Iface lo = v4("lo", "127.0.0.1", "255.0.0.0", IFF_UP | IFF_RUNNING | IFF_LOOPBACK);
  const Iface eth = v4("eth0", "192.168.1.5", "255.255.255.0");
  const Iface wwan = v4("wwan0", "10.64.3.7", "255.255.255.252");

  EXPECT_EQ(flags("0.0.0.0", {lo}), 0u) << "loopback alone is no network";
  EXPECT_EQ(flags("0.0.0.0", {lo, eth}), R);
  EXPECT_EQ(flags("169.254.0.0", {lo, eth}), R | Direct);
  EXPECT_EQ(flags("192.168.1.9", {eth}), R | Direct);
  EXPECT_EQ(flags("192.168.1.5", {eth}), R | Local | Direct);
  EXPECT_EQ(flags("127.0.0.1", {}), R | Local | Direct);
  EXPECT_EQ(flags("8.8.8.8", {eth}), R);

  // Interfaces that are down or not running do not count.
  EXPECT_EQ(flags("0.0.0.0", {v4("eth0", "192.168.1.5", "255.255.255.0", IFF_UP)}), 0u);
  // A self-assigned address reaches the local link but not the internet.
  EXPECT_EQ(flags("0.0.0.0", {v4("eth0", "169.254.7.7", "255.255.0.0")}), 0u);
  EXPECT_EQ(flags("169.254.0.0", {v4("eth0", "169.254.7.7", "255.255.0.0")}), R | Direct);
  // IPv6: a global address reaches the internet, a link-local one does not.
  EXPECT_EQ(flags("0.0.0.0", {v6("eth0", "2001:db8::5")}), R);
  EXPECT_EQ(flags("0.0.0.0", {v6("eth0", "fe80::1")}), 0u);

  // Mobile data only when listed, and only when nothing else carries the traffic.
  EXPECT_EQ(flags("0.0.0.0", {wwan}), R) << "the list is empty by default";
  EXPECT_EQ(flags("0.0.0.0", {lo, wwan}, {"wwan0"}), R | WWAN);
  EXPECT_EQ(flags("169.254.0.0", {wwan}, {"wwan0"}), 0u) << "no local Wi-Fi over mobile data";
  EXPECT_EQ(flags("0.0.0.0", {eth, wwan}, {"wwan0"}), R);
  EXPECT_EQ(flags("10.64.3.6", {eth, wwan}, {"wwan0"}), R | Direct | WWAN);

  // Host names are judged as the internet.
  EXPECT_EQ(LinuxReachabilityProvider::flagsFor(ReachabilityTarget::forHostName("api.example"), {lo, wwan},
                                                {"wwan0"}),
            R | WWAN);
}

// What the reader makes of this machine is what getifaddrs makes of it.
TEST(LinuxReachabilityProvider, ReadsThisMachineAsGetifaddrsDoes) {
  LinuxReachabilityProvider provider;
  EXPECT_TRUE(provider.mobileDataInterfaces().empty());
  ASSERT_TRUE(LinuxReachabilityProvider::currentInterfaces());
  auto read = LinuxReachabilityProvider::interfacesFromRouteSocket();
  ASSERT_TRUE(read) << "the route socket answers on Linux";
  auto key = [](const std::string& name, unsigned flags, int family, const void* address, std::size_t length,
                std::uint32_t netmask) {
    return name + "|" + std::to_string(flags & (IFF_UP | IFF_RUNNING | IFF_LOOPBACK)) + "|" +
           std::to_string(family) + "|" + std::string(static_cast<const char*>(address), length) + "|" +
           std::to_string(netmask);
  };
  std::multiset<std::string> ours, theirs;
  for (const auto& i : *read) {
    ours.insert(i.family == AF_INET ? key(i.name, i.flags, i.family, &i.address, 4, i.netmask.s_addr)
                                    : key(i.name, i.flags, i.family, &i.address6, 16, 0));
  }
  ifaddrs* list = nullptr;
  ASSERT_EQ(::getifaddrs(&list), 0);
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr) continue;
    if (i->ifa_addr->sa_family == AF_INET) {
      const auto* mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask);
      theirs.insert(key(i->ifa_name, i->ifa_flags, AF_INET,
                        &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, 4,
                        mask ? mask->sin_addr.s_addr : 0));
    } else if (i->ifa_addr->sa_family == AF_INET6) {
      theirs.insert(key(i->ifa_name, i->ifa_flags, AF_INET6,
                        &reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr, 16, 0));
    }
  }
  ::freeifaddrs(list);
  EXPECT_EQ(ours, theirs);
  EXPECT_FALSE(ours.empty()) << "loopback at least";

  EXPECT_TRUE(provider.flagsForTarget(ReachabilityTarget::forAddress(ipv4("127.0.0.1"))).has_value());
  auto loop = platform::RunLoop::create();
  int changes = 0;
  auto source = provider.watchChanges(*loop, [&] { ++changes; });
  // Nothing is promised about a machine's network here; a source, when there is one, ends quietly.
  loop->runOnce(0);
  source.reset();
  loop->runOnce(0);
}

// Address dump messages as the kernel writes them.
class AddressDump {
 public:
  // One RTM_NEWADDR; attributes as (type, bytes).
  AddressDump& address(std::uint32_t seq, unsigned char family, unsigned char prefix, int index,
                       std::vector<std::pair<unsigned short, std::string>> attributes) {
    std::string body(sizeof(ifaddrmsg), '\0');
    ifaddrmsg m{};
    m.ifa_family = family;
    m.ifa_prefixlen = prefix;
    m.ifa_index = static_cast<unsigned>(index);
    std::memcpy(body.data(), &m, sizeof m);
    for (const auto& [type, bytes] : attributes) {
      rtattr a{};
      a.rta_type = type;
      a.rta_len = static_cast<unsigned short>(RTA_LENGTH(bytes.size()));
      std::string attribute(RTA_SPACE(bytes.size()), '\0');
      std::memcpy(attribute.data(), &a, sizeof a);
      std::memcpy(attribute.data() + RTA_LENGTH(0), bytes.data(), bytes.size());
      body += attribute;
    }
    return message(seq, RTM_NEWADDR, body);
  }
  AddressDump& message(std::uint32_t seq, unsigned short type, const std::string& body = "") {
    nlmsghdr h{};
    h.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(body.size()));
    h.nlmsg_type = type;
    h.nlmsg_seq = seq;
    std::string out(NLMSG_SPACE(body.size()), '\0');
    std::memcpy(out.data(), &h, sizeof h);
    std::memcpy(out.data() + NLMSG_LENGTH(0), body.data(), body.size());
    bytes_ += out;
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

std::string v4Bytes(const char* text) {
  in_addr a{};
  inet_pton(AF_INET, text, &a);
  return std::string(reinterpret_cast<const char*>(&a), 4);
}

std::string v6Bytes(const char* text) {
  in6_addr a{};
  inet_pton(AF_INET6, text, &a);
  return std::string(reinterpret_cast<const char*>(&a), 16);
}

TEST(LinuxReachabilityProvider, AddressDumpReading) {
  using Provider = LinuxReachabilityProvider;
  using Part = Provider::DumpPart;
  std::vector<Provider::DumpedAddress> out;
  auto read = [&](const AddressDump& dump) {
    return Provider::readAddressDump(dump.bytes().data(), dump.bytes().size(), 7, out);
  };
  auto text = [](in_addr a) {
    char t[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, t, sizeof t);
    return std::string(t);
  };

  // A plain address with its label; a point-to-point one, whose IFA_ADDRESS is the peer; an IPv6
  // one (no label: the interface's name comes later); another dump's message and a link message.
  AddressDump first;
  first
      .address(7, AF_INET, 24, 2,
               {{IFA_ADDRESS, v4Bytes("192.168.1.5")}, {IFA_LABEL, std::string("eth0:1\0", 7)}})
      .address(7, AF_INET, 32, 3, {{IFA_ADDRESS, v4Bytes("10.0.0.1")}, {IFA_LOCAL, v4Bytes("10.0.0.2")}})
      .address(7, AF_INET6, 64, 2, {{IFA_ADDRESS, v6Bytes("2001:db8::5")}})
      .address(8, AF_INET, 8, 9, {{IFA_ADDRESS, v4Bytes("10.9.9.9")}})
      .address(7, AF_PACKET, 0, 2, {})
      .message(7, RTM_NEWLINK, std::string(16, '\0'));
  EXPECT_EQ(read(first), Part::More);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].index, 2);
  EXPECT_EQ(out[0].address.name, "eth0:1");
  EXPECT_EQ(text(out[0].address.address), "192.168.1.5");
  EXPECT_EQ(text(out[0].address.netmask), "255.255.255.0");
  EXPECT_EQ(text(out[1].address.address), "10.0.0.2") << "the local end";
  EXPECT_EQ(text(out[1].address.netmask), "255.255.255.255");
  EXPECT_EQ(out[2].address.family, AF_INET6);
  EXPECT_TRUE(out[2].address.name.empty());
  EXPECT_EQ(std::memcmp(&out[2].address.address6, v6Bytes("2001:db8::5").data(), 16), 0);

  // The end; an error; an address too short for its family, or with none, is passed over.
  EXPECT_EQ(read(AddressDump().message(8, NLMSG_DONE)), Part::More) << "another dump's end";
  EXPECT_EQ(read(AddressDump().message(7, NLMSG_DONE)), Part::End);
  EXPECT_EQ(read(AddressDump().message(7, NLMSG_ERROR, std::string(20, '\0'))), Part::Failed);
  out.clear();
  EXPECT_EQ(read(AddressDump()
                     .address(7, AF_INET, 24, 2, {{IFA_ADDRESS, "ab"}})
                     .address(7, AF_INET6, 64, 2, {{IFA_ADDRESS, v4Bytes("10.0.0.1")}})
                     .address(7, AF_INET, 0, 2, {{IFA_LABEL, "eth0"}})),
            Part::More);
  EXPECT_TRUE(out.empty());

  // A message longer than the buffer, or cut in its header, ends the reading of the buffer.
  AddressDump cut;
  cut.address(7, AF_INET, 24, 2, {{IFA_ADDRESS, v4Bytes("192.168.1.5")}});
  for (std::size_t size = 0; size < cut.bytes().size(); ++size)
    EXPECT_EQ(Provider::readAddressDump(cut.bytes().data(), size, 7, out), Part::More);
  EXPECT_TRUE(out.empty());

  // No more addresses than the limit.
  out.assign(Provider::MaxAddresses, {});
  EXPECT_EQ(read(cut), Part::Failed);
}

}  // namespace
}  // namespace kavro
