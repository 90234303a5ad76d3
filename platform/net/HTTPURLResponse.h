#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/net/HTTPMessage.h"

namespace platform {

// The answer a URL connection hands its delegate: the final URL (after redirects), the status
// and the header fields. A value type.
class HTTPURLResponse {
 public:
  HTTPURLResponse(URL url, const HTTPMessage& message) : url_(std::move(url)), message_(message) {}

  const URL& url() const { return url_; }
  int statusCode() const { return message_.statusCode(); }
  const std::vector<HTTPHeaderField>& allHeaderFields() const { return message_.allHeaderFields(); }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const {
    return message_.headerField(field);
  }
  // The "Content-Length", or -1 when the length is not known.
  std::int64_t expectedContentLength() const;
  const HTTPMessage& message() const { return message_; }

 private:
  URL url_;
  HTTPMessage message_;
};

}  // namespace platform
