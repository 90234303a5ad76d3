#include "kit/core/DataHex.h"

namespace kavro::data {

std::string toHex(const platform::Data& d) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  out.reserve(d.size() * 2);
  for (auto b : d) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

namespace {
int digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<platform::Data> fromHex(std::string_view s) {
  if (s.empty() || s.size() % 2) return std::nullopt;
  platform::Data out;
  out.reserve(s.size() / 2);
  for (std::size_t i = 0; i < s.size(); i += 2) {
    // A pair is read as a number: one hex digit followed by junk still reads that digit.
    int hi = digit(s[i]), lo = digit(s[i + 1]);
    if (hi < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(lo < 0 ? hi : (hi << 4 | lo)));
  }
  return out;
}

}  // namespace kavro::data
