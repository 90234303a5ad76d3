// Proxy settings from the environment (http_proxy, https_proxy, all_proxy, no_proxy and the
// auto-configuration URL), whatever they hold: settings are read, and every URL gets a way to go.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/net/SystemProxySettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const char* names[] = {"http_proxy", "https_proxy", "all_proxy", "no_proxy",
                                "KAVRO_PROXY_AUTOCONFIG_URL"};
  // One line per variable, in order; missing lines unset the rest.
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  for (const char* name : names) {
    std::size_t nl = text.find('\n');
    std::string value(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    if (value.empty() || value.find('\0') != std::string::npos)
      ::unsetenv(name);
    else
      ::setenv(name, value.c_str(), 1);
  }
  platform::SystemProxySettings::setOverride(std::nullopt);
  auto settings = platform::SystemProxySettings::current();
  for (const char* u :
       {"http://www.example.com/", "https://api.example.com:8443/x", "ftp://h/", "http://127.0.0.1/"}) {
    auto list = settings.proxiesForURL(*platform::URL::parse(u));
    if (!list || list->empty()) std::abort();
  }
  return 0;
}
