// Proxy auto-configuration scripts and their answers. The first byte picks: the bytes as a
// FindProxyForURL answer ("PROXY h:p; DIRECT"), or as a whole script run for a URL under small
// limits. Neither may crash or abort the process; every entry of an answer has a known type and a
// port a socket can take.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/net/SystemProxySettings.h"

namespace {

void check(const std::vector<platform::ProxyEntry>& entries) {
  for (const auto& e : entries) {
    bool known = e.type == platform::ProxyTypeNone || e.type == platform::ProxyTypeHTTP ||
                 e.type == platform::ProxyTypeHTTPS || e.type == platform::ProxyTypeSOCKS;
    if (!known) std::abort();
    if (e.type != platform::ProxyTypeNone && (e.host.empty() || e.port <= 0 || e.port > 65535)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 64 * 1024) return 0;
  std::string_view text(reinterpret_cast<const char*>(bytes + 1), size - 1);
  if (bytes[0] % 2 == 0) {
    check(platform::parsePACAnswer(text));
    return 0;
  }
  static const platform::URL url = *platform::URL::parse("http://www.example.com:8080/path?q=1");
  // In this process so that the fuzzer sees inside the engine; the engine's own step check is the
  // bound. Names are never looked up.
  platform::Error error;
  auto entries = platform::evaluatePACScriptInThisProcess(
      text, url, &error,
      {.seconds = 0.05, .heapBytes = 2 * 1024 * 1024, .answerBytes = 64 * 1024, .nameLookups = false});
  if (entries)
    check(*entries);
  else if (error.localizedDescription.empty())
    std::abort();
  return 0;
}
