#include "kit/core/StringMisc.h"

#include <cstring>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Text.h"

namespace kavro::str {

namespace {
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string trim(std::string_view s) {
  if (s.empty()) return std::string();
  return platform::trimWhitespaceAndNewlines(s);
}

std::optional<std::string> md5(std::string_view s) {
  if (s.empty()) return std::nullopt;
  std::size_t nul = s.find('\0');
  if (nul != std::string_view::npos) s = s.substr(0, nul);
  return platform::hexString(platform::md5(s));
}

std::string urlEncoding(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size() * 3);
  for (unsigned char c : s) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                std::strchr("-_.!~*'()", c) != nullptr;
    if (keep && c != 0) {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::optional<std::string> urlDecoding(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += char(hi << 4 | lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  if (!platform::isValidUtf8(out)) return std::nullopt;
  return out;
}

std::optional<platform::URL> toURL(std::string_view s) {
  if (s.empty()) return std::nullopt;
  return platform::URL::parse(s);
}

std::string stripDoubleSuffixZeros(std::string_view s) {
  while (s.size() >= 2 && s.substr(s.size() - 2) == "00") s.remove_suffix(2);
  return std::string(s);
}

}  // namespace kavro::str
