#pragma once
#include <string>

namespace platform {

// The proxy a stream goes through. HTTP proxies get requests for http URLs in absolute form
// and a CONNECT tunnel for https URLs; a "Proxy-Authorization" field of the request goes to the
// proxy only. SOCKS5 proxies resolve the host themselves; a user name asks for user/password
// authentication.
struct ProxySettings {
  enum class Type { None, HTTP, SOCKS5 };
  Type type = Type::None;
  std::string host;
  int port = 0;
  std::string username;
  std::string password;

  bool isSet() const { return type != Type::None && !host.empty() && port > 0; }
  // Tells connections through different proxies apart.
  std::string key() const;
  bool operator==(const ProxySettings&) const = default;
};

}  // namespace platform
