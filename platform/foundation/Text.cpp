#include "platform/foundation/Text.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>

#include "platform/foundation/Error.h"

namespace platform {

namespace {

using detail::decodeAt;
using detail::Decoded;

inline const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

[[noreturn]] void throwRange(Range r, std::size_t len) {
  throw RangeException("range {" + std::to_string(r.location) + ", " + std::to_string(r.length) +
                       "} out of bounds; string length " + std::to_string(len));
}

// Byte offsets of a UTF-16 range; a boundary inside a surrogate pair is reported through the flags.
struct Cut {
  std::size_t begin, end;
  bool beginSplit, endSplit;  // begin falls after a high surrogate / end falls after one
  std::size_t beginCharEnd, endCharBegin;
};

Cut cut16(std::string_view s, Range r) {
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), unit = 0, i = 0;
  Cut c{n, n, false, false, n, n};
  bool haveBegin = false;
  std::size_t endUnit = r.location + r.length;
  while (true) {
    if (!haveBegin && unit >= r.location) {
      c.begin = i;
      haveBegin = true;
    }
    if (haveBegin && unit >= endUnit) {
      c.end = i;
      return c;
    }
    if (i >= n) break;
    Decoded d = decodeAt(p + i, n - i);
    std::size_t units = d.cp >= 0x10000 ? 2 : 1;
    if (units == 2) {
      if (!haveBegin && unit + 1 == r.location) {
        c.begin = i;
        c.beginSplit = true;
        c.beginCharEnd = i + d.len;
        haveBegin = true;
      }
      if (haveBegin && unit + 1 == endUnit) {
        c.end = i;
        c.endSplit = true;
        c.endCharBegin = i;
        return c;
      }
    }
    unit += units;
    i += d.len;
  }
  c.end = n;
  return c;
}

}  // namespace

std::size_t utf16Length(std::string_view s) {
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), i = 0, units = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      ++i;
      ++units;
      continue;
    }
    Decoded d = decodeAt(p + i, n - i);
    units += d.cp >= 0x10000 ? 2 : 1;
    i += d.len;
  }
  return units;
}

bool isValidUtf8(std::string_view s) {
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    Decoded d = decodeAt(p + i, n - i);
    if (!d.valid) return false;
    i += d.len;
  }
  return true;
}

std::u16string toUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), i = 0;
  while (i < n) {
    Decoded d = decodeAt(p + i, n - i);
    if (d.cp >= 0x10000) {
      char32_t v = d.cp - 0x10000;
      out += char16_t(0xD800 + (v >> 10));
      out += char16_t(0xDC00 + (v & 0x3FF));
    } else {
      out += char16_t(d.cp);
    }
    i += d.len;
  }
  return out;
}

std::string toUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::string toUtf8(char32_t c) {
  std::string out;
  appendUtf8(out, (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ? 0xFFFD : c);
  return out;
}

char16_t characterAt16(std::string_view s, std::size_t index) {
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), i = 0, unit = 0;
  while (i < n) {
    Decoded d = decodeAt(p + i, n - i);
    if (d.cp >= 0x10000) {
      char32_t v = d.cp - 0x10000;
      if (unit == index) return char16_t(0xD800 + (v >> 10));
      if (unit + 1 == index) return char16_t(0xDC00 + (v & 0x3FF));
      unit += 2;
    } else {
      if (unit == index) return char16_t(d.cp);
      ++unit;
    }
    i += d.len;
  }
  throw RangeException("index " + std::to_string(index) + " beyond bounds; string length " +
                       std::to_string(unit));
}

std::size_t byteOffset16(std::string_view s, std::size_t index) {
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), i = 0, unit = 0;
  while (unit < index) {
    if (i >= n) throw RangeException("index " + std::to_string(index) + " beyond bounds");
    Decoded d = decodeAt(p + i, n - i);
    std::size_t units = d.cp >= 0x10000 ? 2 : 1;
    if (unit + units > index) return i;  // inside a surrogate pair
    unit += units;
    i += d.len;
  }
  return i;
}

std::string substring16(std::string_view s, Range r) {
  if (isAscii(s)) {
    if (r.location > s.size() || r.length > s.size() - r.location) throwRange(r, s.size());
    return std::string(s.substr(r.location, r.length));
  }
  std::size_t len = utf16Length(s);
  if (r.location > len || r.length > len - r.location) throwRange(r, len);
  if (r.length == 0) return "";
  Cut c = cut16(s, r);
  std::string out;
  if (c.beginSplit) {
    out += "\xEF\xBF\xBD";
    if (c.endSplit && c.endCharBegin == c.begin) return out;  // both cuts inside one pair
    std::size_t from = c.beginCharEnd;
    out.append(s.substr(from, (c.endSplit ? c.endCharBegin : c.end) - from));
  } else {
    out.append(s.substr(c.begin, c.end - c.begin));
  }
  if (c.endSplit) out += "\xEF\xBF\xBD";
  return out;
}

std::string substringFrom16(std::string_view s, std::size_t from) {
  std::size_t len = isAscii(s) ? s.size() : utf16Length(s);
  if (from > len) throwRange(Range{from, 0}, len);
  return substring16(s, Range{from, len - from});
}

std::string substringTo16(std::string_view s, std::size_t to) { return substring16(s, Range{0, to}); }

std::string replace16(std::string_view s, Range r, std::string_view with) {
  std::size_t len = isAscii(s) ? s.size() : utf16Length(s);
  if (r.location > len || r.length > len - r.location) throwRange(r, len);
  std::string out = substring16(s, Range{0, r.location});
  out.append(with);
  out += substring16(s, Range{r.max(), len - r.max()});
  return out;
}

Range rangeOfString(std::string_view s, std::string_view needle, bool backwards) {
  if (needle.empty() || s.empty()) return NotFoundRange;
  std::size_t pos = backwards ? s.rfind(needle) : s.find(needle);
  if (pos == std::string_view::npos) return NotFoundRange;
  return Range{utf16Length(s.substr(0, pos)), utf16Length(needle)};
}

std::string replaceAll(std::string_view s, std::string_view target, std::string_view with) {
  if (target.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t start = 0;
  while (true) {
    std::size_t pos = s.find(target, start);
    if (pos == std::string_view::npos) break;
    out.append(s.substr(start, pos - start));
    out.append(with);
    start = pos + target.size();
  }
  out.append(s.substr(start));
  return out;
}

std::string lowercase(std::string_view s) {
  if (isAscii(s)) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
  }
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), int32_t(s.size())));
  std::string out;
  u.toLower(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

std::string uppercase(std::string_view s) {
  if (isAscii(s)) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
  }
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), int32_t(s.size())));
  std::string out;
  u.toUpper(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

std::string capitalizedFirst(std::string_view s) {
  if (s.empty()) return "";
  Decoded d = decodeAt(bytes(s), s.size());
  return uppercase(s.substr(0, d.len)) + std::string(s.substr(d.len));
}

bool isWhitespace(char32_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

bool isNewline(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

namespace {
template <class Pred>
std::string trimBy(std::string_view s, Pred drop) {
  const unsigned char* p = bytes(s);
  std::size_t n = s.size(), b = 0, e = n;
  while (b < n) {
    Decoded d = decodeAt(p + b, n - b);
    if (!d.valid || !drop(d.cp)) break;
    b += d.len;
  }
  while (e > b) {
    std::size_t start = e - 1;
    while (start > b && (p[start] & 0xC0) == 0x80 && e - start < 4) --start;
    Decoded d = decodeAt(p + start, e - start);
    if (!d.valid || start + d.len != e || !drop(d.cp)) break;
    e = start;
  }
  return std::string(s.substr(b, e - b));
}
}  // namespace

std::string trimWhitespace(std::string_view s) {
  return trimBy(s, [](char32_t c) { return isWhitespace(c); });
}

std::string trimWhitespaceAndNewlines(std::string_view s) {
  return trimBy(s, [](char32_t c) { return isWhitespace(c) || isNewline(c); });
}

bool hasPrefix(std::string_view s, std::string_view prefix) {
  return !prefix.empty() && s.substr(0, prefix.size()) == prefix;
}

bool hasSuffix(std::string_view s, std::string_view suffix) {
  return !suffix.empty() && s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace platform
