#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 text measured the way the application's platform measured it: in UTF-16 code units.
// Every length, position and range below counts UTF-16 units, never bytes or code points.
namespace platform {

inline constexpr std::size_t NotFound = static_cast<std::size_t>(PTRDIFF_MAX);
// "To the end of the text" when given as a length.
inline constexpr std::size_t WholeLength = SIZE_MAX;

struct Range {
  std::size_t location = 0;
  std::size_t length = 0;
  std::size_t max() const { return location + length; }
  bool found() const { return location != NotFound; }
  bool operator==(const Range&) const = default;
};

inline constexpr Range NotFoundRange{NotFound, 0};

namespace detail {
struct Decoded {
  char32_t cp;
  std::size_t len;  // bytes consumed
  bool valid;
};

// Strict UTF-8: no overlongs, no surrogates, nothing past U+10FFFF. A bad byte decodes as U+FFFD
// and consumes one byte, so every input maps to some text.
inline Decoded decodeAt(const unsigned char* p, std::size_t n) {
  unsigned char b0 = p[0];
  if (b0 < 0x80) return {b0, 1, true};
  auto cont = [&](std::size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (cont(1)) return {char32_t((b0 & 0x1F) << 6 | (p[1] & 0x3F)), 2, true};
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (cont(1) && cont(2)) {
      char32_t cp = char32_t((b0 & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
      if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) return {cp, 3, true};
    }
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (cont(1) && cont(2) && cont(3)) {
      char32_t cp = char32_t((b0 & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F));
      if (cp >= 0x10000 && cp <= 0x10FFFF) return {cp, 4, true};
    }
  }
  return {0xFFFD, 1, false};
}
}  // namespace detail

// Calls f with each code point of UTF-8 text, decoded as toUtf16 decodes it, without copying it.
template <class F>
void forEachCodePoint(std::string_view s, F&& f) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (std::size_t i = 0, n = s.size(); i < n;) {
    if (p[i] < 0x80) {
      f(char32_t(p[i++]));
      continue;
    }
    const detail::Decoded d = detail::decodeAt(p + i, n - i);
    f(d.cp);
    i += d.len;
  }
}

// Code units of the text's UTF-16 form. Invalid UTF-8 bytes count as one unit each (U+FFFD).
std::size_t utf16Length(std::string_view s);
bool isValidUtf8(std::string_view s);
std::u16string toUtf16(std::string_view s);
// Lone surrogates become U+FFFD.
std::string toUtf8(std::u16string_view s);
std::string toUtf8(char32_t c);

// The UTF-16 unit at index; raises RangeException past the end.
char16_t characterAt16(std::string_view s, std::size_t index);
// Byte offset of a UTF-16 position (utf16Length(s) maps to s.size()). A position inside a
// surrogate pair maps to the start of that character. Raises RangeException past the end.
std::size_t byteOffset16(std::string_view s, std::size_t index);

// Slicing and replacing by UTF-16 range; a range past the end raises RangeException.
// A cut through a surrogate pair leaves U+FFFD for the broken half.
std::string substring16(std::string_view s, Range r);
std::string substringFrom16(std::string_view s, std::size_t from);
std::string substringTo16(std::string_view s, std::size_t to);
std::string replace16(std::string_view s, Range r, std::string_view with);

// First (or last) occurrence of needle, as a UTF-16 range; NotFoundRange when absent or empty.
Range rangeOfString(std::string_view s, std::string_view needle, bool backwards = false);
// Every non-overlapping occurrence of target replaced.
std::string replaceAll(std::string_view s, std::string_view target, std::string_view with);

// Unicode case mapping, independent of the process locale.
std::string lowercase(std::string_view s);
std::string uppercase(std::string_view s);
std::string capitalizedFirst(std::string_view s);

// Unicode White_Space minus line breaks, and the line-break set (LF, VT, FF, CR, NEL, LS, PS).
bool isWhitespace(char32_t c);
bool isNewline(char32_t c);
std::string trimWhitespace(std::string_view s);
std::string trimWhitespaceAndNewlines(std::string_view s);

bool hasPrefix(std::string_view s, std::string_view prefix);
bool hasSuffix(std::string_view s, std::string_view suffix);

}  // namespace platform
