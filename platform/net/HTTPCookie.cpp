#include "platform/net/HTTPCookie.h"

#include <libpsl.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/net/NetText.h"

namespace platform {

namespace {

using nettext::lower;
using nettext::trimOWS;

bool looksLikeIPLiteral(std::string_view host) {
  if (host.find(':') != std::string_view::npos) return true;
  for (char c : host)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') return false;
  return !host.empty();
}

// The folder of the URL's path ("/a/b/c" gives "/a/b"; "/a" and "" give "/").
std::string defaultPath(const URL& url) {
  std::string path = url.percentEncodedPath();
  if (path.empty() || path[0] != '/') return "/";
  std::size_t slash = path.rfind('/');
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool pathMatches(std::string_view cookiePath, std::string_view requestPath) {
  if (requestPath.empty()) requestPath = "/";
  if (requestPath == cookiePath) return true;
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool isDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

// Where a joined "Set-Cookie" value splits into cookies: at commas that do not stand inside an
// "Expires" date.
std::vector<std::string_view> splitJoined(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ',') continue;
    std::size_t attr = text.rfind(';', i);
    attr = attr == std::string_view::npos || attr < start ? start : attr + 1;
    std::string piece = lower(trimOWS(text.substr(attr, i - attr)));
    if (piece.rfind("expires=", 0) == 0 && piece.find_first_of("0123456789") == std::string::npos) continue;
    parts.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

std::optional<double> parseCookieDate(std::string_view text) {
  static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  std::optional<int> hour, minute, second, day, month, year;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    std::size_t start = i;
    while (i < text.size() && !isDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    std::string_view token = text.substr(start, i - start);
    if (token.empty()) continue;
    // Time: h:m:s with one or two digits each (":" is not a delimiter here).
    if (!hour) {
      int h = 0, m = 0, s = 0, n = 0;
      if (std::sscanf(std::string(token).c_str(), "%2d:%2d:%2d%n", &h, &m, &s, &n) == 3) {
        hour = h, minute = m, second = s;
        continue;
      }
    }
    bool digits = std::isdigit(static_cast<unsigned char>(token[0]));
    std::size_t ndigits = 0;
    while (ndigits < token.size() && std::isdigit(static_cast<unsigned char>(token[ndigits]))) ++ndigits;
    if (!day && digits && ndigits <= 2) {
      day = std::stoi(std::string(token.substr(0, ndigits)));
      continue;
    }
    if (!month && token.size() >= 3) {
      std::string prefix = lower(token.substr(0, 3));
      bool found = false;
      for (int m = 0; m < 12; ++m)
        if (prefix == months[m]) {
          month = m + 1;
          found = true;
        }
      if (found) continue;
    }
    if (!year && digits && ndigits >= 2 && ndigits <= 4) {
      year = std::stoi(std::string(token.substr(0, ndigits)));
      continue;
    }
  }
  if (!hour || !day || !month || !year) return std::nullopt;
  int y = *year;
  if (y >= 70 && y <= 99) y += 1900;
  if (y >= 0 && y <= 69) y += 2000;
  if (*day < 1 || *day > 31 || y < 1601 || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  std::int64_t days = daysFromCivil(y, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
  return static_cast<double>(days * 86400 + *hour * 3600 + *minute * 60 + *second);
}

HTTPCookie HTTPCookie::make(std::string name, std::string value, std::string domain, std::string path,
                            std::optional<double> expiresDate, bool secure) {
  HTTPCookie c;
  c.name_ = std::move(name);
  c.value_ = std::move(value);
  c.domain_ = lower(domain);
  c.path_ = path.empty() ? "/" : std::move(path);
  c.expiresDate_ = expiresDate;
  c.secure_ = secure;
  return c;
}

bool HTTPCookie::isPublicSuffix(std::string_view domain) {
  // The newest of the built-in list and the system's; never freed.
  static const psl_ctx_t* list = [] {
    const psl_ctx_t* latest = psl_latest(nullptr);
    return latest ? latest : psl_builtin();
  }();
  std::string d(domain);
  while (!d.empty() && d.front() == '.') d.erase(0, 1);
  // "co.uk." names the same zone as "co.uk" (the root's empty label written out).
  while (!d.empty() && d.back() == '.') d.pop_back();
  if (d.empty()) return true;
  // Without a list, only names that are one label are known to be suffixes.
  if (!list) return d.find('.') == std::string::npos;
  return psl_is_public_suffix2(list, d.c_str(), PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE) != 0;
}

std::optional<HTTPCookie> HTTPCookie::fromSetCookie(std::string_view text, const URL& url, double now) {
  std::size_t semi = text.find(';');
  std::string_view pair = trimOWS(text.substr(0, semi));
  std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  HTTPCookie c;
  c.name_ = std::string(trimOWS(pair.substr(0, eq)));
  c.value_ = std::string(trimOWS(pair.substr(eq + 1)));
  if (c.name_.empty()) return std::nullopt;
  std::string host = lower(url.host());
  std::optional<std::string> domainAttr;
  std::optional<std::string> pathAttr;
  std::optional<double> maxAge, expires;
  while (semi != std::string_view::npos) {
    std::size_t next = text.find(';', semi + 1);
    std::string_view attr = trimOWS(
        text.substr(semi + 1, next == std::string_view::npos ? std::string_view::npos : next - semi - 1));
    semi = next;
    std::size_t aeq = attr.find('=');
    std::string key = lower(trimOWS(attr.substr(0, aeq)));
    std::string_view val = aeq == std::string_view::npos ? std::string_view() : trimOWS(attr.substr(aeq + 1));
    if (key == "domain") {
      std::string d = lower(val);
      while (!d.empty() && d.front() == '.') d.erase(0, 1);
      if (!d.empty()) domainAttr = d;
    } else if (key == "path") {
      if (!val.empty() && val.front() == '/') pathAttr = std::string(val);
    } else if (key == "expires") {
      if (auto t = parseCookieDate(val)) expires = t;
    } else if (key == "max-age") {
      std::string v(val);
      char* end = nullptr;
      long long seconds = std::strtoll(v.c_str(), &end, 10);
      if (!v.empty() && end && *end == '\0')
        maxAge = now + static_cast<double>(seconds <= 0 ? -1e9 : seconds);
    } else if (key == "secure") {
      c.secure_ = true;
    } else if (key == "httponly") {
      c.httpOnly_ = true;
    }
  }
  if (domainAttr && *domainAttr != host) {
    // A domain cookie: the host must lie in the domain, and an address is never a domain. Nor is
    // a public suffix ("co.uk"): a cookie there would reach every site under it.
    if (looksLikeIPLiteral(host) || host.size() <= domainAttr->size() ||
        host.compare(host.size() - domainAttr->size(), domainAttr->size(), *domainAttr) != 0 ||
        host[host.size() - domainAttr->size() - 1] != '.' || domainAttr->find('.') == std::string::npos ||
        isPublicSuffix(*domainAttr))
      return std::nullopt;
    c.domain_ = "." + *domainAttr;
  } else if (domainAttr) {
    // A host that is itself a public suffix ("github.io") gets a cookie for itself only: as a
    // domain cookie it would reach every site under it.
    c.domain_ = looksLikeIPLiteral(host) || isPublicSuffix(host) ? host : "." + host;
  } else {
    c.domain_ = host;
  }
  if (c.domain_.empty()) return std::nullopt;
  c.path_ = pathAttr ? *pathAttr : defaultPath(url);
  c.expiresDate_ = maxAge ? maxAge : expires;
  return c;
}

std::vector<HTTPCookie> HTTPCookie::cookiesWithResponseHeaderFields(
    const std::vector<HTTPHeaderField>& fields, const URL& url, double now) {
  std::vector<HTTPCookie> out;
  for (const auto& f : fields) {
    if (!HTTPMessage::equalsIgnoringCase(f.name, "Set-Cookie")) continue;
    for (std::string_view part : splitJoined(f.value))
      if (auto c = fromSetCookie(part, url, now)) out.push_back(std::move(*c));
  }
  return out;
}

bool HTTPCookie::matchesURL(const URL& url) const {
  std::string host = lower(url.host());
  if (domain_.empty()) return false;
  if (domain_[0] == '.') {
    std::string_view d = std::string_view(domain_).substr(1);
    bool inDomain =
        host == d || (host.size() > d.size() && host.compare(host.size() - d.size(), d.size(), d) == 0 &&
                      host[host.size() - d.size() - 1] == '.');
    if (!inDomain) return false;
  } else if (host != domain_) {
    return false;
  }
  if (secure_ && url.scheme() != "https") return false;
  return pathMatches(path_, url.percentEncodedPath());
}

}  // namespace platform
