#include "platform/ui/TextEditing.h"

namespace platform::textediting {

namespace {

bool isExtender(char32_t c) {
  return (c >= 0x300 && c <= 0x36F) || (c >= 0xFE00 && c <= 0xFE0F) || c == 0x200D ||
         (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0100 && c <= 0xE01EF) || c == 0x20E3;
}

// The code point that ends at UTF-16 position pos and its length in units.
std::pair<char32_t, std::size_t> before(const std::u16string& s, std::size_t pos) {
  char16_t lo = s[pos - 1];
  if (lo >= 0xDC00 && lo <= 0xDFFF && pos >= 2) {
    char16_t hi = s[pos - 2];
    if (hi >= 0xD800 && hi <= 0xDBFF) return {char32_t(0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00)), 2};
  }
  return {lo, 1};
}

}  // namespace

Range replaceInText(std::string& text, Range range, std::string_view with) {
  std::size_t len = utf16Length(text);
  if (range.location > len) range = Range{len, 0};
  if (range.max() > len) range.length = len - range.location;
  text = replace16(text, range, with);
  return Range{range.location + utf16Length(with), 0};
}

Range deleteBackwardRange(std::string_view text, Range selection) {
  if (selection.length > 0) return selection;
  std::u16string s = toUtf16(text);
  std::size_t end = std::min(selection.location, s.size());
  if (end == 0) return Range{0, 0};
  std::size_t start = end;
  // One character back, then back over the marks and selectors that trail it, then over every
  // zero-width joiner and the character it joins.
  auto stepBack = [&] {
    auto [c, n] = before(s, start);
    start -= n;
    while (isExtender(c) && start > 0) {
      auto [b, m] = before(s, start);
      start -= m;
      c = b;
    }
  };
  stepBack();
  while (start > 0 && before(s, start).first == 0x200D) {
    start -= 1;
    if (start > 0) stepBack();
  }
  return Range{start, end - start};
}

std::string masked(std::string_view text) {
  std::u16string s = toUtf16(text);
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size()) ++i;
    out += "\u25CF";
  }
  return out;
}

}  // namespace platform::textediting
