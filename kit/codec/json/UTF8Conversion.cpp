#include "kit/codec/json/UTF8Conversion.h"

#include <bit>
#include <cstring>

namespace kavro::json {

namespace {

// Length and second-byte range of a well-formed sequence led by b; 0 for an invalid lead byte.
struct Lead {
  std::uint8_t length;
  std::uint8_t low;
  std::uint8_t high;
};

constexpr Lead leadOf(std::uint8_t b) {
  if (b < 0xC2) return {0, 0, 0};
  if (b < 0xE0) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b < 0xF0) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b < 0xF4) return {4, 0x80, 0xBF};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

inline bool isContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed sequence at p, or 0.
inline std::size_t wellFormedLength(const std::uint8_t* p, const std::uint8_t* end, char32_t* cp) {
  const Lead lead = leadOf(p[0]);
  if (lead.length == 0 || static_cast<std::size_t>(end - p) < lead.length) return 0;
  if (p[1] < lead.low || p[1] > lead.high) return 0;
  char32_t c = p[0] & (0x7F >> lead.length);
  c = (c << 6) | (p[1] & 0x3F);
  for (std::size_t i = 2; i < lead.length; ++i) {
    if (!isContinuation(p[i])) return 0;
    c = (c << 6) | (p[i] & 0x3F);
  }
  *cp = c;
  return lead.length;
}

}  // namespace

ConversionResult convertSingleCodePointInUTF8(const std::uint8_t* src, const std::uint8_t* end,
                                              const std::uint8_t** next, char32_t* codePoint) {
  const std::uint8_t b = src[0];
  if (b < 0x80) {
    *next = src + 1;
    *codePoint = b ? b : 0xFFFD;
    return b ? ConversionResult::ok : ConversionResult::sourceIllegal;
  }
  char32_t c = 0;
  if (std::size_t n = wellFormedLength(src, end, &c)) {
    *next = src + n;
    if (isIllegalCodePoint(c)) {
      *codePoint = 0xFFFD;
      return ConversionResult::sourceIllegal;
    }
    *codePoint = c;
    return ConversionResult::ok;
  }
  // Ill-formed: skip the lead byte and the continuation bytes its leading one bits declare.
  const std::size_t declared = isContinuation(b) ? 1 : static_cast<std::size_t>(std::countl_one(b));
  const std::uint8_t* p = src + 1;
  const std::size_t available = static_cast<std::size_t>(end - src);
  const std::size_t limit = declared < available ? declared : available;
  while (p < src + limit && isContinuation(*p)) ++p;
  *next = p;
  *codePoint = 0xFFFD;
  if (leadOf(b).length != 0 && declared > available && p == end) return ConversionResult::sourceExhausted;
  return ConversionResult::sourceIllegal;
}

bool isLegalUTF8Baseline(const std::uint8_t* p, const std::uint8_t* end) {
  if (isPlainUTF8Baseline(p, end)) return true;
  // Stretches of about 256 bytes, each cut before a byte that starts a character, so that the
  // few sequences isPlainUTF8 declines cost a short look of their own.
  while (p < end) {
    const std::uint8_t* cut = end - p > 256 ? p + 256 : end;
    for (int n = 0; cut < end && (*cut & 0xC0) == 0x80; ++n, ++cut)
      if (n == 3) return false;  // no sequence has four continuation bytes
    if (!isPlainUTF8Baseline(p, cut)) {
      for (const std::uint8_t* q = p; q < cut;) {
        if (*q < 0x80) {
          ++q;
          continue;
        }
        const std::size_t n = legalSequenceLength(q, cut);
        if (n == 0) return false;
        q += n;
      }
    }
    p = cut;
  }
  return true;
}

bool isWellFormedUTF8(const std::uint8_t* p, const std::uint8_t* end) {
  while (p < end) {
    while (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if (w & 0x8080808080808080ull) break;
      p += 8;
    }
    if (p >= end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    char32_t c;
    const std::size_t n = wellFormedLength(p, end, &c);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

}  // namespace kavro::json
