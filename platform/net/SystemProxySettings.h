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

// What one evaluation of a script may spend: wall time from its start to its answer, heap, and
// the size of the answer. Deep recursion ends with the engine's call-stack limit.
struct PACScriptLimits {
  double seconds = 2.0;
  std::size_t heapBytes = 16 * 1024 * 1024;
  std::size_t answerBytes = 1024 * 1024;
  // False: dnsResolve and the helpers built on it find no name (fuzzing, which must not reach the
  // network).
  bool nameLookups = true;
};

// Runs a proxy auto-configuration script's FindProxyForURL(url, host) and turns its answer
// ("PROXY h:p; SOCKS h:p; DIRECT") into entries, in order. nullopt, with *error, when the script
// does not compile, throws, overruns its limits, or answers something that is not a string.
// The script runs in a child process that is killed at the deadline, whatever it is doing (a
// native call such as a backtracking regular expression, a blocking name look-up): the caller
// waits no longer than limits.seconds. Any thread; blocks the calling thread.
std::optional<std::vector<ProxyEntry>> proxiesForAutoConfigurationScript(std::string_view script,
                                                                         const URL& url,
                                                                         Error* error = nullptr,
                                                                         PACScriptLimits limits = {});

// One evaluation that another thread can end early: cancel() kills the script's process and makes
// run() return at once (and any later run() too) with a cancelled error.
class PACScriptEvaluation {
 public:
  PACScriptEvaluation();
  ~PACScriptEvaluation();
  PACScriptEvaluation(const PACScriptEvaluation&) = delete;
  PACScriptEvaluation& operator=(const PACScriptEvaluation&) = delete;

  std::optional<std::vector<ProxyEntry>> run(std::string_view script, const URL& url, Error* error = nullptr,
                                             PACScriptLimits limits = {});
  void cancel();
  bool isCancelled() const;

 private:
  int wake_ = -1;
};

// The same evaluation on the calling thread, with nothing but the engine's own step checks to
// bound it: a native call runs to its end. For fuzzing the engine's glue, not for answers that
// matter.
std::optional<std::vector<ProxyEntry>> evaluatePACScriptInThisProcess(std::string_view script, const URL& url,
                                                                      Error* error = nullptr,
                                                                      PACScriptLimits limits = {});

// The entries of a FindProxyForURL answer, in order; unknown items are skipped.
std::vector<ProxyEntry> parsePACAnswer(std::string_view answer);

}  // namespace platform
