#include "kit/core/StringDisplayLength.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "kit/codec/regex/StringRegexBoxAdditions.h"
#include "platform/foundation/Text.h"

namespace kavro::str {

namespace {

constexpr char32_t kFirstWide = 0x0391;
constexpr char32_t kLastWide = 0xFFE5;

inline bool continuation(const unsigned char* p, std::size_t n, std::size_t i) {
  return i < n && (p[i] & 0xC0) == 0x80;
}

}  // namespace

// Counts what a one-unit match of "[\u0391-\uFFE5]" per UTF-16 unit would count, without running an
// expression per unit: both halves of a surrogate pair lie in the range, so an astral character
// counts four halves; a byte that is not UTF-8 stands for one U+FFFD, which counts one. Input
// limits count every keystroke, so runs of ASCII go eight bytes at a time and the three-byte
// characters of Chinese text take a short path of their own.
std::int64_t cnWordsLength(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  std::int64_t halves = 0;
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b0 = p[i];
    if (b0 < 0x80) {
      if (n - i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t high = word & 0x8080808080808080ull;
        // The ASCII bytes before the first that is not (at least this one).
        const std::size_t ascii =
            high == 0 ? 8
                      : std::size_t(std::endian::native == std::endian::little ? std::countr_zero(high)
                                                                               : std::countl_zero(high)) /
                            8;
        halves += std::int64_t(ascii);
        i += ascii;
      } else {
        ++halves;
        ++i;
      }
      continue;
    }
    if ((b0 & 0xF0) == 0xE0 && n - i >= 3) {
      const unsigned char b1 = p[i + 1], b2 = p[i + 2];
      if (((b1 ^ 0x80) | (b2 ^ 0x80)) < 0x40) {
        const char32_t cp = char32_t((b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
        // Not overlong and not a surrogate.
        if (cp >= 0x800 && cp - 0xD800 >= 0x800) {
          halves += cp <= kLastWide ? 2 : 1;
          i += 3;
          continue;
        }
      }
    } else if (b0 >= 0xC2 && b0 <= 0xDF && continuation(p, n, i + 1)) {
      char32_t cp = char32_t((b0 & 0x1F) << 6 | (p[i + 1] & 0x3F));
      halves += cp >= kFirstWide ? 2 : 1;
      i += 2;
      continue;
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && continuation(p, n, i + 1) && continuation(p, n, i + 2) &&
               continuation(p, n, i + 3)) {
      char32_t cp =
          char32_t((b0 & 0x07) << 18 | (p[i + 1] & 0x3F) << 12 | (p[i + 2] & 0x3F) << 6 | (p[i + 3] & 0x3F));
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        halves += 4;
        i += 4;
        continue;
      }
    }
    ++halves;  // U+FFFD for the bad byte
    ++i;
  }
  return std::int64_t(std::ceil(float(halves) * 0.5f));
}

std::string methodNameFromCString(const char* cString) {
  if (!cString) return "";
  std::string_view text(cString);
  if (!platform::isValidUtf8(text)) return "";
  if (text.find('[') == std::string_view::npos) return std::string(text);
  auto matches = arrayOfCaptureComponentsMatchedByRegex(text, R"(^[\-\+]\s*\[\w+\s+([^\]]+)\s*\]\s*$)");
  if (matches.size() == 1 && matches[0].size() == 2) return matches[0][1];
  return "";
}

}  // namespace kavro::str
