#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace platform {

// Proxy type names of proxy entries.
inline constexpr std::string_view ProxyTypeNone = "kCFProxyTypeNone";
inline constexpr std::string_view ProxyTypeHTTP = "kCFProxyTypeHTTP";
inline constexpr std::string_view ProxyTypeHTTPS = "kCFProxyTypeHTTPS";
inline constexpr std::string_view ProxyTypeSOCKS = "kCFProxyTypeSOCKS";
inline constexpr std::string_view ProxyTypeAutoConfigurationURL = "kCFProxyTypeAutoConfigurationURL";

// One way to reach a URL: directly (ProxyTypeNone), through a proxy (host and port), or as told
// by the auto-configuration script at autoConfigurationURL.
struct ProxyEntry {
  std::string type = std::string(ProxyTypeNone);
  std::string host;
  int port = 0;
  std::optional<URL> autoConfigurationURL;
  bool operator==(const ProxyEntry&) const = default;
};

// The machine's proxy settings: an auto-configuration script, or fixed proxies per scheme with
// hosts that bypass them. By default they come from the environment: http_proxy, https_proxy,
// all_proxy (a "socks5://" URL gives a SOCKS proxy), no_proxy (comma-separated host suffixes,
// "*" for all), and KAVRO_PROXY_AUTOCONFIG_URL for a script; lower-case names win. Loopback
// hosts never go through a proxy. setOverride() replaces the environment (tests, the runner).
struct SystemProxySettings {
  std::optional<URL> autoConfigurationURL;
  std::optional<ProxyEntry> httpProxy;
  std::optional<ProxyEntry> httpsProxy;
  std::optional<ProxyEntry> socksProxy;
  std::vector<std::string> exceptions;

  static SystemProxySettings current();
  // nullopt goes back to the environment. Any thread.
  static void setOverride(std::optional<SystemProxySettings> settings);

  // The ways to reach url under these settings, best first: the script entry when one is set,
  // else the proxy for the URL's scheme, else direct. nullopt for a URL that is not absolute.
  std::optional<std::vector<ProxyEntry>> proxiesForURL(const URL& url) const;
};

// What one evaluation of a script may spend: wall time for the script's own steps, and heap.
// Deep recursion ends with the engine's call-stack limit.
struct PACScriptLimits {
  double seconds = 2.0;
  std::size_t heapBytes = 16 * 1024 * 1024;
};

// Runs a proxy auto-configuration script's FindProxyForURL(url, host) and turns its answer
// ("PROXY h:p; SOCKS h:p; DIRECT") into entries, in order. nullopt, with *error, when the script
// does not compile, throws, overruns its limits, or answers something that is not a string.
// Blocking name look-ups (dnsResolve, isResolvable, isInNet on names) run on the calling thread and
// are not cut short by the deadline. Any thread.
std::optional<std::vector<ProxyEntry>> proxiesForAutoConfigurationScript(std::string_view script,
                                                                         const URL& url,
                                                                         Error* error = nullptr,
                                                                         PACScriptLimits limits = {});

}  // namespace platform
