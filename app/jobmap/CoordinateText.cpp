#include "app/jobmap/CoordinateText.h"

#include <charconv>
#include <cstdio>

namespace kavro::coordtext {

std::optional<double> scanDouble(std::string_view text) {
  std::size_t at = text.find_first_not_of(" \t\r\n");
  if (at == std::string_view::npos) return std::nullopt;
  text.remove_prefix(at);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

platform::Coordinate ofRecord(const DataItemDetail& record) {
  return {doubleValue(record.get_latitude()), doubleValue(record.get_longitude())};
}

std::string sixDecimals(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

}  // namespace kavro::coordtext
