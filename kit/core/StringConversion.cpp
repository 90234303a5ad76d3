#include "kit/core/StringConversion.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "kit/core/StringCheck.h"
#include "platform/foundation/Text.h"

namespace kavro::str {

using platform::Color;

namespace {
constexpr const char* kDatePattern = "yyyy-MM-dd HH:mm:ss zzz";

void appendByte(std::string& out, int v) {
  static const char* hex = "0123456789abcdef";
  v &= 0xFF;
  out += hex[v >> 4];
  out += hex[v & 15];
}

int hexDigits(std::string_view s) {
  int v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return -1;
    v = v * 16 + d;
  }
  return v;
}
}  // namespace

std::optional<std::string> fromColor(const std::optional<Color>& color) {
  if (!color) return std::nullopt;
  const auto& c = color->components();
  if (c.size() != 2 && c.size() != 4) return std::nullopt;
  std::string out = "#";
  for (std::size_t i = 0; i + 1 < c.size(); ++i) appendByte(out, int(std::floor(c[i] * 255)));
  if (c.size() == 2) {
    appendByte(out, int(std::floor(c[0] * 255)));
    appendByte(out, int(std::floor(c[0] * 255)));
  }
  int t = (255 - int(std::floor(c.back() * 255))) & 0xFF;
  if (t) appendByte(out, t);
  return out;
}

Color toColor(std::string_view s) { return toColorWithDefaultColor(s, Color::black()); }

Color toColorWithDefaultColor(std::string_view s, const Color& def) {
  std::string t = platform::lowercase(platform::trimWhitespaceAndNewlines(s));
  static const std::pair<const char*, Color (*)()> named[] = {
      {"grouptableviewbackgroundcolor", &Color::groupTableViewBackground},
      {"black", &Color::black},
      {"darkgray", &Color::darkGray},
      {"lightgray", &Color::lightGray},
      {"white", &Color::white},
      {"gray", &Color::gray},
      {"red", &Color::red},
      {"green", &Color::green},
      {"blue", &Color::blue},
      {"cyan", &Color::cyan},
      {"yellow", &Color::yellow},
      {"magenta", &Color::magenta},
      {"orange", &Color::orange},
      {"purple", &Color::purple},
      {"brown", &Color::brown},
      {"clear", &Color::clear},
  };
  for (const auto& [name, make] : named)
    if (contains(t, name)) return make();

  std::string_view h = t;
  if (h.substr(0, 2) == "0x")
    h.remove_prefix(2);
  else if (h.substr(0, 1) == "#")
    h.remove_prefix(1);
  std::size_t n = h.size();
  if (n != 6 && n != 3 && n != 8 && n != 4) return def;
  std::size_t w = (n == 6 || n == 8) ? 2 : 1;
  int comp[4] = {0, 0, 0, 0};
  std::size_t count = (n == 4 || n == 8) ? 4 : 3;
  for (std::size_t i = 0; i < count; ++i) {
    int v = hexDigits(h.substr(i * w, w));
    if (v < 0) return def;
    comp[i] = w == 1 ? v * 17 : v;
  }
  return Color::rgba(comp[0] / 255.0, comp[1] / 255.0, comp[2] / 255.0, (255 - comp[3]) / 255.0);
}

std::string stringFromDate(platform::Date date) { return platform::formatDate(date, kDatePattern); }

std::optional<platform::Date> toDate(std::string_view s) { return platform::parseDate(s, kDatePattern); }

std::string currentDateByFormat() {
  platform::DateComponents c = platform::dateComponents(platform::Date::now());
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return buf;
}

std::string currentDateByFormat(std::string_view pattern) {
  if (pattern.empty()) return currentDateByFormat();
  return platform::formatDate(platform::Date::now(), pattern);
}

}  // namespace kavro::str
