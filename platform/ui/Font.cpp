#include "platform/ui/Font.h"

#include <array>

#include "platform/ui/TextMetrics.h"

namespace platform {

std::optional<Font> Font::fontWithName(std::string_view name, double size) {
  if (name == SystemFontName) return systemFontOfSize(size);
  if (name == BoldSystemFontName) return boldSystemFontOfSize(size);
  static constexpr std::array<std::string_view, 5> families{"Helvetica", "Arial", "Courier", "Georgia",
                                                            "STHeitiSC"};
  static constexpr std::array<std::string_view, 4> suffixes{"", "-Bold", "-Light", "-Medium"};
  for (std::string_view family : families) {
    if (name.substr(0, family.size()) != family) continue;
    std::string_view suffix = name.substr(family.size());
    for (std::string_view s : suffixes)
      if (suffix == s) return Font(std::string(name), size, s == "-Bold" || s == "-Medium");
  }
  return std::nullopt;
}

double Font::lineHeight() const { return TextMetrics::lineHeight(size_); }

}  // namespace platform
