#include "kit/core/StringDisplayLength.h"

#include <bit>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kit/codec/regex/StringRegexBoxAdditions.h"
#include "platform/foundation/Text.h"

namespace kavro::str {

namespace {

constexpr char32_t kFirstWide = 0x0391;
constexpr char32_t kLastWide = 0xFFE5;

inline bool continuation(const unsigned char* p, std::size_t n, std::size_t i) {
  return i < n && (p[i] & 0xC0) == 0x80;
}

// The halves of the character at p[i] (or of the bad byte there); moves i past it.
inline std::int64_t halvesOfOne(const unsigned char* p, std::size_t n, std::size_t& i) {
  const unsigned char b0 = p[i];
  if (b0 < 0x80) {
    ++i;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF && continuation(p, n, i + 1)) {
    char32_t cp = char32_t((b0 & 0x1F) << 6 | (p[i + 1] & 0x3F));
    i += 2;
    return cp >= kFirstWide ? 2 : 1;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && continuation(p, n, i + 1) && continuation(p, n, i + 2)) {
    char32_t cp = char32_t((b0 & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F));
    if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
      i += 3;
      return cp <= kLastWide ? 2 : 1;
    }
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && continuation(p, n, i + 1) && continuation(p, n, i + 2) &&
      continuation(p, n, i + 3)) {
    char32_t cp =
        char32_t((b0 & 0x07) << 18 | (p[i + 1] & 0x3F) << 12 | (p[i + 2] & 0x3F) << 6 | (p[i + 3] & 0x3F));
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      i += 4;
      return 4;
    }
  }
  ++i;  // U+FFFD for the bad byte
  return 1;
}

#if defined(__SSE2__)

// Bytes >= bound (unsigned), as 0xFF.
inline __m128i atLeast(__m128i v, unsigned char bound) {
  const __m128i b = _mm_set1_epi8(static_cast<char>(bound));
  return _mm_cmpeq_epi8(_mm_max_epu8(v, b), v);
}

inline __m128i equal(__m128i v, unsigned char value) {
  return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(value)));
}

// The halves of the sixteen bytes at p (seventeen readable) when they hold well-formed characters
// of one to three bytes, all of whose halves are told by their first two bytes, the last one
// allowed to run past the block; sets used to the bytes counted. -1 when the block needs the
// careful way: a byte that is not UTF-8 there, or a character outside that set.
inline std::int64_t halvesOfBlock(const unsigned char* p, std::size_t& used) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
  if (high == 0) {
    used = 16;
    return 16;
  }
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
  const __m128i lead = atLeast(v, 0xC0);
  const __m128i lead3 = atLeast(v, 0xE0);
  const __m128i wide2 = atLeast(v, 0xCF);  // two-byte leads from U+03C0 on, and three-byte leads
  // Leads of four bytes, C0 and C1, the first of E0 (overlong unless...) and ED (surrogates) and
  // EF BF (U+FFC0 on, around the end of the range) and CE (around its start).
  const __m128i rare = _mm_or_si128(
      _mm_or_si128(atLeast(v, 0xF0), _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xFE))),
                                                    _mm_set1_epi8(static_cast<char>(0xC0)))),
      _mm_or_si128(_mm_or_si128(equal(v, 0xE0), equal(v, 0xED)),
                   _mm_or_si128(_mm_and_si128(equal(v, 0xEF), equal(next, 0xBF)), equal(v, 0xCE))));
  const unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
  const unsigned leads3 = static_cast<unsigned>(_mm_movemask_epi8(lead3));
  // A character cut by the end of the block is left for the next one.
  const unsigned cut = (leads & 0x8000u) | (leads3 & 0x4000u);
  const unsigned length = cut ? static_cast<unsigned>(std::countr_zero(cut)) : 16u;
  const unsigned keep = (1u << length) - 1;
  // Exactly the bytes the counted leads take are continuations (one that would reach past the
  // counted bytes is not there: a lead was found in its place).
  const unsigned continuations = high & ~leads;
  if ((static_cast<unsigned>(_mm_movemask_epi8(rare)) & keep) != 0 ||
      (continuations & keep) != (((leads & keep) << 1) | ((leads3 & keep) << 2)))
    return -1;
  // Per byte: ASCII one half, a lead one, and one more for the wide leads; continuations none.
  const __m128i ascii = _mm_cmpgt_epi8(v, _mm_set1_epi8(-1));
  __m128i weights = _mm_sub_epi8(_mm_sub_epi8(_mm_setzero_si128(), ascii), _mm_add_epi8(lead, wide2));
  alignas(16) static constexpr unsigned char Mask[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  weights = _mm_and_si128(weights, _mm_loadu_si128(reinterpret_cast<const __m128i*>(Mask + 16 - length)));
  const __m128i sums = _mm_sad_epu8(weights, _mm_setzero_si128());
  used = length;
  return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
}

#endif

}  // namespace

// Counts what a one-unit match of "[\u0391-\uFFE5]" per UTF-16 unit would count, without running an
// expression per unit: both halves of a surrogate pair lie in the range, so an astral character
// counts four halves; a byte that is not UTF-8 stands for one U+FFFD, which counts one. Input
// limits count every keystroke: sixteen bytes at a time where they are plain.
std::int64_t cnWordsLength(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  std::int64_t halves = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  while (n - i > 16) {
    std::size_t used = 0;
    const std::int64_t block = halvesOfBlock(p + i, used);
    if (block >= 0) {
      halves += block;
      i += used;
    } else {
      halves += halvesOfOne(p, n, i);
    }
  }
#endif
  while (i < n) halves += halvesOfOne(p, n, i);
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
