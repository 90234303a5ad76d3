#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"

namespace platform {

inline constexpr std::string_view HTTPVersion1_0 = "HTTP/1.0";
inline constexpr std::string_view HTTPVersion1_1 = "HTTP/1.1";

struct HTTPHeaderField {
  std::string name;
  std::string value;
  bool operator==(const HTTPHeaderField&) const = default;
};

// An HTTP request or response: start line, header fields and body. Field names compare without
// regard to case; fields keep the order in which they were first set, and setting a field again
// replaces its value in place. A response can be built up from the bytes of the wire
// (appendBytes), where a field that comes more than once is kept as one, its values joined with
// ", ". Nothing here applies transfer or content codings. A value type.
class HTTPMessage {
 public:
  // The most header bytes (start line and fields) a response may have.
  static constexpr std::size_t MaximumHeaderSize = 64 * 1024;

  // A request for an absolute http or https URL; the fragment is never sent.
  static HTTPMessage request(std::string_view method, const URL& url,
                             std::string_view version = HTTPVersion1_1);
  static HTTPMessage response(int statusCode, std::string_view reasonPhrase,
                              std::string_view version = HTTPVersion1_1);
  // An empty response for appendBytes() to fill.
  static HTTPMessage emptyResponse();

  bool isRequest() const { return isRequest_; }
  const std::string& version() const { return version_; }

  // Requests.
  const std::string& method() const { return method_; }
  const std::optional<URL>& url() const { return url_; }
  // The origin form ("/path?query", "/" for an empty path), or the absolute form a proxy wants.
  std::string requestTarget(bool absoluteForm = false) const;

  // Responses.
  int statusCode() const { return statusCode_; }
  const std::string& reasonPhrase() const { return reasonPhrase_; }
  // "HTTP/1.1 200 OK".
  std::string statusLine() const;

  std::optional<std::string> headerField(std::string_view name) const;
  const std::vector<HTTPHeaderField>& allHeaderFields() const { return fields_; }
  // False (and nothing set) for a name that is not an HTTP token or a value holding CR, LF or NUL.
  bool setHeaderField(std::string_view name, std::string_view value);
  void removeHeaderField(std::string_view name);

  const Data& body() const { return body_; }
  void setBody(Data body) { body_ = std::move(body); }

  // The message as sent: start line, "Host" first unless the caller set one, the fields, a
  // "Content-Length" for a body the fields do not frame, the body.
  Data serializedMessage() const;
  // The start line and fields only, ending with the blank line; "Host" as above.
  std::string serializedHeader(bool absoluteForm = false) const;

  // Response parsing. Bytes up to the blank line after the fields make the header; later bytes
  // go to the body as they are. False, with parseError() set, once the bytes cannot be a
  // response header (or it grows beyond MaximumHeaderSize); nothing more is taken after that.
  bool appendBytes(const std::uint8_t* bytes, std::size_t length);
  bool appendBytes(std::string_view bytes) {
    return appendBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  // Like appendBytes, but stops right after the header: answers how many bytes it took, or
  // nullopt on an error.
  std::optional<std::size_t> appendHeaderBytes(const std::uint8_t* bytes, std::size_t length);
  bool isHeaderComplete() const { return headerComplete_; }
  const std::string& parseError() const { return parseError_; }

  // Token and field-value checks used by setHeaderField.
  static bool isToken(std::string_view text);
  static bool equalsIgnoringCase(std::string_view a, std::string_view b);

 private:
  HTTPMessage() = default;
  bool parseHeader(std::string_view text);
  void addReceivedField(std::string_view name, std::string_view value);
  std::string hostField() const;

  bool isRequest_ = false;
  std::string version_;
  std::string method_;
  std::optional<URL> url_;
  int statusCode_ = 0;
  std::string reasonPhrase_;
  std::vector<HTTPHeaderField> fields_;
  Data body_;

  std::string headerBytes_;
  bool headerComplete_ = false;
  std::string parseError_;
};

}  // namespace platform
