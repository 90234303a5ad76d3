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
