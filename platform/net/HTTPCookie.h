#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/net/HTTPMessage.h"

namespace platform {

// One cookie, as a server set it for a URL. A cookie without an expiry date lives for the session
// only. Identity (for replacing one cookie by another) is domain, path and name. A value type.
class HTTPCookie {
 public:
  // The cookies of the "Set-Cookie" fields among fields, set by a response for url. Fields that
  // came more than once may have been joined with ", " (HTTPMessage does that); commas inside an
  // "Expires" date do not split. Cookies the URL may not set (a foreign domain) are left out.
  // now: seconds since 1970, for "Max-Age".
  static std::vector<HTTPCookie> cookiesWithResponseHeaderFields(const std::vector<HTTPHeaderField>& fields,
                                                                 const URL& url, double now);
  // One "Set-Cookie" value; nullopt when it is malformed or url may not set it. now: for "Max-Age".
  static std::optional<HTTPCookie> fromSetCookie(std::string_view text, const URL& url, double now);
  // A name under which anyone may register ("com", "co.uk", "com.cn"), by the public suffix list.
  static bool isPublicSuffix(std::string_view domain);
  // A cookie made by hand: host-only when domain has no leading ".".
  static HTTPCookie make(std::string name, std::string value, std::string domain, std::string path = "/",
                         std::optional<double> expiresDate = std::nullopt, bool secure = false);

  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }
  // A domain cookie starts with "." (".example.com"); a host-only cookie is the bare host.
  const std::string& domain() const { return domain_; }
  const std::string& path() const { return path_; }
  // Seconds since 1970; none for a session cookie.
  const std::optional<double>& expiresDate() const { return expiresDate_; }
  bool isSessionOnly() const { return !expiresDate_.has_value(); }
  bool isSecure() const { return secure_; }
  bool isHTTPOnly() const { return httpOnly_; }

  bool sameIdentity(const HTTPCookie& other) const {
    return domain_ == other.domain_ && path_ == other.path_ && name_ == other.name_;
  }
  bool isExpired(double now) const { return expiresDate_ && *expiresDate_ <= now; }
  // Whether a request for url carries the cookie (domain, path and secure rules; not expiry).
  bool matchesURL(const URL& url) const;

  bool operator==(const HTTPCookie&) const = default;

 private:
  std::string name_;
  std::string value_;
  std::string domain_;
  std::string path_ = "/";
  std::optional<double> expiresDate_;
  bool secure_ = false;
  bool httpOnly_ = false;
};

// A cookie date ("Wed, 09 Jun 2021 10:18:14 GMT", "Wednesday, 09-Jun-21 10:18:14 GMT",
// "Wed Jun  9 10:18:14 2021") as seconds since 1970; nullopt when it is not one.
std::optional<double> parseCookieDate(std::string_view text);

}  // namespace platform
