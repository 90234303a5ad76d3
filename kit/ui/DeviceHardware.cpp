#include "kit/ui/DeviceHardware.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/utsname.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <regex>

#include "platform/ui/Device.h"

namespace kavro::device {

std::string getDeviceType() {
  struct utsname info;
  std::memset(&info, 0, sizeof info);
  if (uname(&info) != 0) return "";
  info.machine[sizeof info.machine - 1] = '\0';
  return info.machine;
}

std::string getOS() {
  const auto& d = platform::Device::currentDevice();
  return d.systemName() + " " + d.systemVersion();
}

std::string formatMacAddress(const std::array<std::uint8_t, 6>& b) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
  std::string out(text);
  for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> getMacAddress(std::string_view interfaceName) {
  std::string name(interfaceName);
  if (if_nametoindex(name.c_str()) == 0) {
    std::printf("Error: if_nametoindex error\n");
    return std::nullopt;
  }
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    std::printf("Error: getifaddrs error\n");
    return std::nullopt;
  }
  std::optional<std::string> answer;
  for (auto* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || name != a->ifa_name) continue;
    auto* link = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
    if (link->sll_halen != 6) continue;
    std::array<std::uint8_t, 6> bytes{};
    std::memcpy(bytes.data(), link->sll_addr, 6);
    answer = formatMacAddress(bytes);
    break;
  }
  freeifaddrs(list);
  if (!answer) std::printf("Error: no link-level address\n");
  return answer;
}

std::optional<std::string> getNetworkOperators() { return getNetworkOperators(std::nullopt); }

std::optional<std::string> getNetworkOperators(const std::optional<std::string>& providerDescription) {
  if (!providerDescription) return std::string();
  static const std::regex carrier(R"(Carrier name: \[(.+)\])");
  std::smatch match;
  if (!std::regex_search(*providerDescription, match, carrier)) return std::nullopt;
  return match[1].str();
}

}  // namespace kavro::device
