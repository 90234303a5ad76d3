#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"
#include "platform/net/HTTPMessage.h"
#include "platform/net/ProxySettings.h"
#include "platform/net/TLSSettings.h"

namespace platform {

// What a URL connection asks for. Cookies are never sent or stored; no content coding is asked
// for or undone. A value type.
struct URLRequest {
  static constexpr double DefaultTimeoutInterval = 50.0;

  explicit URLRequest(URL url) : url(std::move(url)) {}

  URL url;
  std::string HTTPMethod = "GET";
  // Header fields in order; a field set again replaces the earlier value.
  std::vector<HTTPHeaderField> allHTTPHeaderFields;
  Data HTTPBody;
  // Seconds without any progress before the request fails (the run loop's clock).
  double timeoutInterval = DefaultTimeoutInterval;
  TLSSettings tlsSettings;
  ProxySettings proxy;

  void setValue(std::string_view value, std::string_view field);
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
};

}  // namespace platform
