#include "platform/foundation/URL.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstring>

#include "platform/foundation/AsciiChar.h"

namespace platform {

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
using asciichar::isDigit;
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool isSubDelim(char c) { return c != '\0' && std::strchr("!$&'()*+,;=", c) != nullptr; }
bool isPathChar(char c) { return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@'; }

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// Every character allowed by `allowed`, or a well-formed "%XX".
template <class Allowed>
bool valid(std::string_view s, Allowed allowed) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%') {
      if (i + 2 >= s.size() || !isHex(s[i + 1]) || !isHex(s[i + 2])) return false;
      i += 2;
    } else if (!allowed(s[i])) {
      return false;
    }
  }
  return true;
}

// Lower case outside percent-escapes, which stay as written.
std::string lowerOutsideEscapes(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '%')
      i += 2;
    else if (out[i] >= 'A' && out[i] <= 'Z')
      out[i] = static_cast<char>(out[i] - 'A' + 'a');
  }
  return out;
}

bool validIpLiteral(std::string_view inside) {
  if (inside.empty()) return false;
  if (inside[0] == 'v' || inside[0] == 'V') {
    // IPvFuture: "v" 1*HEXDIG "." 1*( unreserved / sub-delims / ":" )
    std::size_t dot = inside.find('.');
    if (dot == std::string_view::npos || dot < 2 || dot + 1 == inside.size()) return false;
    for (std::size_t i = 1; i < dot; ++i)
      if (!isHex(inside[i])) return false;
    for (char c : inside.substr(dot + 1))
      if (!isUnreserved(c) && !isSubDelim(c) && c != ':') return false;
    return true;
  }
  std::string text(inside);
  in6_addr address;
  return inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

std::string removeDotSegments(std::string_view input) {
  std::string in(input);
  std::string out;
  std::size_t i = 0;
  auto removeLastSegment = [&] {
    std::size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
  };
  while (i < in.size()) {
    std::string_view rest = std::string_view(in).substr(i);
    if (rest.starts_with("../")) {
      i += 3;
    } else if (rest.starts_with("./")) {
      i += 2;
    } else if (rest.starts_with("/./")) {
      i += 2;
    } else if (rest == "/.") {
      in.replace(i, 2, "/");
    } else if (rest.starts_with("/../")) {
      i += 3;
      removeLastSegment();
    } else if (rest == "/..") {
      in.replace(i, 3, "/");
      removeLastSegment();
    } else if (rest == "." || rest == "..") {
      i = in.size();
    } else {
      std::size_t end = in.find('/', i + 1);
      if (end == std::string::npos) end = in.size();
      out.append(in, i, end - i);
      i = end;
    }
  }
  return out;
}

}  // namespace

std::optional<URL> URL::parse(std::string_view text) {
  if (text.empty()) return std::nullopt;
  return parseReference(text);
}

std::optional<URL> URL::parseReference(std::string_view text) {
  URL url;
  std::string_view rest = text;

  std::size_t hash = rest.find('#');
  if (hash != std::string_view::npos) {
    std::string_view fragment = rest.substr(hash + 1);
    if (!valid(fragment, [](char c) { return isPathChar(c) || c == '/' || c == '?'; })) return std::nullopt;
    url.fragment_ = std::string(fragment);
    rest = rest.substr(0, hash);
  }
  std::size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    std::string_view query = rest.substr(question + 1);
    if (!valid(query, [](char c) { return isPathChar(c) || c == '/' || c == '?'; })) return std::nullopt;
    url.query_ = std::string(query);
    rest = rest.substr(0, question);
  }

  // A ":" before any "/" ends a scheme; a relative path's first segment may not hold one.
  std::size_t colon = rest.find_first_of(":/");
  if (colon != std::string_view::npos && rest[colon] == ':') {
    std::string_view scheme = rest.substr(0, colon);
    if (scheme.empty() || !isAlpha(scheme[0])) return std::nullopt;
    for (char c : scheme)
      if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    url.scheme_ = lowerOutsideEscapes(scheme);
    rest = rest.substr(colon + 1);
  }

  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    std::size_t end = rest.find('/');
    std::string_view authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    url.hasAuthority_ = true;

    std::size_t at = authority.find('@');
    if (at != std::string_view::npos) {
      std::string_view userInfo = authority.substr(0, at);
      if (!valid(userInfo, [](char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; }))
        return std::nullopt;
      url.userInfo_ = std::string(userInfo);
      authority = authority.substr(at + 1);
    }
    std::string_view host;
    std::string_view port;
    bool hasPort = false;
    if (authority.starts_with("[")) {
      std::size_t close = authority.find(']');
      if (close == std::string_view::npos) return std::nullopt;
      host = authority.substr(1, close - 1);
      if (!validIpLiteral(host)) return std::nullopt;
      url.hostIsLiteral_ = true;
      std::string_view after = authority.substr(close + 1);
      if (!after.empty()) {
        if (after[0] != ':') return std::nullopt;
        hasPort = true;
        port = after.substr(1);
      }
    } else {
      std::size_t portColon = authority.find(':');
      host = authority.substr(0, portColon);
      if (portColon != std::string_view::npos) {
        hasPort = true;
        port = authority.substr(portColon + 1);
      }
      if (!valid(host, [](char c) { return isUnreserved(c) || isSubDelim(c); })) return std::nullopt;
    }
    if (hasPort && !port.empty()) {
      for (char c : port)
        if (!isDigit(c)) return std::nullopt;
      // Leading zeros are allowed; the value is what must fit.
      std::size_t first = port.find_first_not_of('0');
      std::string_view digits = first == std::string_view::npos ? "0" : port.substr(first);
      if (digits.size() > 5) return std::nullopt;
      int value = 0;
      std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (value > 65535) return std::nullopt;
      url.port_ = value;
    }
    url.host_ = lowerOutsideEscapes(host);
  }

  if (!valid(rest, [](char c) { return isPathChar(c) || c == '/'; })) return std::nullopt;
  url.path_ = std::string(rest);
  return url;
}

std::optional<URL> URL::resolve(const URL& base, std::string_view reference) {
  auto ref = parseReference(reference);
  if (!ref) return std::nullopt;
  return resolve(base, *ref);
}

URL URL::resolve(const URL& base, const URL& r) {
  URL t;
  if (!r.scheme_.empty()) {
    t = r;
    t.path_ = removeDotSegments(r.path_);
  } else {
    if (r.hasAuthority_) {
      t = r;
      t.path_ = removeDotSegments(r.path_);
    } else {
      if (r.path_.empty()) {
        t.path_ = base.path_;
        t.query_ = r.query_ ? r.query_ : base.query_;
      } else {
        if (r.path_.starts_with('/')) {
          t.path_ = removeDotSegments(r.path_);
        } else {
          std::string merged;
          if (base.hasAuthority_ && base.path_.empty()) {
            merged = "/" + r.path_;
          } else {
            std::size_t slash = base.path_.rfind('/');
            merged = (slash == std::string::npos ? std::string() : base.path_.substr(0, slash + 1)) + r.path_;
          }
          t.path_ = removeDotSegments(merged);
        }
        t.query_ = r.query_;
      }
      t.hasAuthority_ = base.hasAuthority_;
      t.userInfo_ = base.userInfo_;
      t.host_ = base.host_;
      t.hostIsLiteral_ = base.hostIsLiteral_;
      t.port_ = base.port_;
    }
    t.scheme_ = base.scheme_;
  }
  t.fragment_ = r.fragment_;
  return t;
}

URL URL::fileURLWithPath(std::string_view path) {
  std::string absolute;
  if (!path.starts_with('/')) {
    char buf[PATH_MAX];
    if (getcwd(buf, sizeof buf)) absolute = buf;
    if (absolute.empty() || absolute.back() != '/') absolute += '/';
  }
  absolute.append(path);
  static const char* hex = "0123456789ABCDEF";
  URL url;
  url.scheme_ = "file";
  url.hasAuthority_ = true;
  for (char ch : absolute) {
    if (isPathChar(ch) || ch == '/') {
      url.path_ += ch;
    } else {
      auto b = static_cast<unsigned char>(ch);
      url.path_ += '%';
      url.path_ += hex[b >> 4];
      url.path_ += hex[b & 15];
    }
  }
  return url;
}

std::optional<int> URL::defaultPort(std::string_view scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  return std::nullopt;
}

std::vector<QueryItem> URL::queryItems(std::string_view query) {
  std::vector<QueryItem> items;
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair.empty()) continue;
    std::size_t eq = pair.find('=');
    QueryItem item;
    item.name = percentDecode(pair.substr(0, eq));
    if (eq != std::string_view::npos) item.value = percentDecode(pair.substr(eq + 1));
    items.push_back(std::move(item));
  }
  return items;
}

std::string URL::percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string URL::user() const {
  if (!userInfo_) return "";
  return percentDecode(std::string_view(*userInfo_).substr(0, userInfo_->find(':')));
}

std::optional<std::string> URL::password() const {
  if (!userInfo_) return std::nullopt;
  std::size_t colon = userInfo_->find(':');
  if (colon == std::string::npos) return std::nullopt;
  return percentDecode(std::string_view(*userInfo_).substr(colon + 1));
}

std::string URL::authority() const {
  std::string out;
  if (userInfo_) out += *userInfo_ + "@";
  out += hostIsLiteral_ ? "[" + host_ + "]" : host_;
  if (port_) out += ":" + std::to_string(*port_);
  return out;
}

std::string URL::absoluteString() const {
  std::string out;
  if (!scheme_.empty()) out += scheme_ + ":";
  if (hasAuthority_) out += "//" + authority();
  out += path_;
  if (query_) out += "?" + *query_;
  if (fragment_) out += "#" + *fragment_;
  return out;
}

}  // namespace platform
