#pragma once
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace kavro::skinscan {

// A decimal number at the start of the text (after white space), as a scanner reads it; the
// decimal point is "." whatever the locale.
inline std::optional<double> scanNumber(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
    return std::nullopt;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end == text.data() || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

// An integer cap size: 0 when none can be read, kept within what an image can have.
inline int scanCap(std::string_view text) {
  auto v = scanNumber(text);
  if (!v || *v < 0) return 0;
  return *v > 100000 ? 100000 : static_cast<int>(*v);
}

}  // namespace kavro::skinscan
