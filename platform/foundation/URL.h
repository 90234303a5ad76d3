#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One "name=value" pair of a query, percent-decoded. A pair without "=" has no value.
struct QueryItem {
  std::string name;
  std::optional<std::string> value;
  bool operator==(const QueryItem&) const = default;
};

// A URI reference (RFC 3986): absolute ("https://host/path") or relative ("../a?b"). Parsing checks
// the syntax strictly; percent-escapes stay as written; scheme and host are kept in lower case.
// Immutable value type.
class URL {
 public:
  // nullopt for text that is not a URI reference: empty text, spaces, characters outside the
  // URI set, malformed escapes, a bad port (not digits, or above 65535), a bad IP literal.
  static std::optional<URL> parse(std::string_view text);
  // A reference resolved against a base (RFC 3986 section 5.2); nullopt when the reference
  // does not parse. An empty reference is the base without its fragment.
  static std::optional<URL> resolve(const URL& base, std::string_view reference);
  static URL resolve(const URL& base, const URL& reference);
  // "file://" and the absolute form of the path (a relative one is taken from the working
  // directory), escaped where the URI syntax needs it.
  static URL fileURLWithPath(std::string_view path);

  // 80 for http, 443 for https; nullopt for other schemes.
  static std::optional<int> defaultPort(std::string_view scheme);
  // "a=b&c=d" as its items, names and values percent-decoded ("+" stays "+").
  static std::vector<QueryItem> queryItems(std::string_view query);
  // Every well-formed "%XX" replaced by its byte; anything else left as it stands.
  static std::string percentDecode(std::string_view text);

  // The whole reference recomposed (section 5.3).
  std::string absoluteString() const;

  // "" when the reference has none.
  const std::string& scheme() const { return scheme_; }
  bool hasAuthority() const { return hasAuthority_; }
  // As written, without the "@".
  const std::optional<std::string>& userInfo() const { return userInfo_; }
  // The parts of the user info before and after its first ":", percent-decoded.
  std::string user() const;
  std::optional<std::string> password() const;
  // Without the brackets of an IP literal ("::1").
  const std::string& host() const { return host_; }
  const std::optional<int>& port() const { return port_; }
  // The port written, else the scheme's default.
  std::optional<int> portOrDefault() const { return port_ ? port_ : defaultPort(scheme_); }
  // The path percent-decoded, as a file system would name it.
  std::string path() const { return percentDecode(path_); }
  const std::string& percentEncodedPath() const { return path_; }
  // As written; "" when there is none.
  std::string query() const { return query_.value_or(""); }
  bool hasQuery() const { return query_.has_value(); }
  std::vector<QueryItem> queryItems() const { return queryItems(query()); }
  std::string fragment() const { return fragment_.value_or(""); }
  bool hasFragment() const { return fragment_.has_value(); }

  bool isFileURL() const { return scheme_ == "file"; }

  bool operator==(const URL& other) const { return absoluteString() == other.absoluteString(); }

 private:
  URL() = default;
  static std::optional<URL> parseReference(std::string_view text);
  std::string authority() const;

  std::string scheme_;
  bool hasAuthority_ = false;
  std::optional<std::string> userInfo_;
  std::string host_;
  bool hostIsLiteral_ = false;
  std::optional<int> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace platform
