#include <cstdint>
#include <cstring>

#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Processor.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace kavro::json {

namespace {

// The byte-by-byte form of isPlainUTF8 from p on, for what the wide loops leave.
bool isPlainUTF8Tail(const std::uint8_t* p, const std::uint8_t* end) {
  while (p < end) {
    const std::uint8_t b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    if (b >= 0xF0 || (b == 0xEF && end - p >= 2 && (p[1] == 0xB7 || p[1] == 0xBF))) return false;
    const std::size_t n = legalSequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

inline bool isStringStop(std::uint8_t c) { return c == '"' || c == '\\' || c < 0x20; }

// What a wide step of isPlainUTF8 finds in 32 bytes, one bit per byte: the flags of the byte
// before the block come in through carry.
struct PlainBlock {
  std::uint32_t high, cont, lead2, lead3, bad, e0, ed, ef, low, b7bf;
};
// Errors in the block, given the sequences left open before it (carry: bit 0 when its first byte
// must continue one, bit 1 when its second must; bits 2, 3, 4 when the byte before was E0, ED, EF).
// Answers the carry for the next block through carry.
inline std::uint64_t plainErrors(const PlainBlock& m, std::uint64_t& carry) {
  const std::uint64_t lead2 = m.lead2, lead3 = m.lead3;
  const std::uint64_t expected = ((lead2 | lead3) << 1) | (lead3 << 2) | (carry & 3);
  const std::uint64_t after = carry >> 2;
  const std::uint64_t afterE0 = (std::uint64_t{m.e0} << 1) | (after & 1);
  const std::uint64_t afterED = (std::uint64_t{m.ed} << 1) | (after >> 1 & 1);
  const std::uint64_t afterEF = (std::uint64_t{m.ef} << 1) | (after >> 2 & 1);
  const std::uint64_t cont = m.cont, low = m.low, b7bf = m.b7bf;
  const std::uint64_t errors = ((cont ^ expected) & 0xFFFFFFFFu) | m.bad | (afterE0 & low & 0xFFFFFFFFu) |
                               (afterED & cont & ~low & 0xFFFFFFFFu) | (afterEF & b7bf & 0xFFFFFFFFu);
  carry = (expected >> 32) | ((afterE0 >> 32) << 2) | ((afterED >> 32) << 3) | ((afterEF >> 32) << 4);
  return errors;
}

}  // namespace

namespace {

// Strings are scanned 32 bytes at a time: a quick look for quotation marks, backslashes,
// controls and non-ASCII bytes, and where non-ASCII bytes come first, a check that they form
// whole, legal sequences. The masks have one bit per byte.
struct Masks32 {
  std::uint32_t high;   // bytes from 0x80 up
  std::uint32_t cont;   // continuation bytes, 80-BF
  std::uint32_t lead2;  // C2-DF
  std::uint32_t lead3;  // E1-EC, EE, EF
  std::uint32_t ef;     // EF
  std::uint32_t b7bf;   // B7, BF
};

// How far a block is taken: the bytes that are whole characters a string takes as they are
// (ASCII other than controls, the quotation mark and the backslash; two-byte sequences; three-byte
// sequences led by E1-EC, EE or EF, less the non-characters' leading bytes), and whether the byte
// after them needs a closer look. A sequence cut by the block's end is left to the next block.
struct Block32 {
  unsigned taken;
  bool stopped;
};
inline Block32 judgeBlock(std::uint32_t special, const Masks32& m) {
  const std::uint64_t high = m.high, cont = m.cont, lead2 = m.lead2, lead3 = m.lead3;
  // EF B7 and EF BF lead to the non-characters U+FDD0-U+FDEF, U+FFFE and U+FFFF.
  const std::uint64_t nonCharacter = m.ef & (m.b7bf >> 1);
  const std::uint64_t stop = (special & ~high) | (high & ~(cont | lead2 | lead3)) | nonCharacter;
  const std::uint64_t expected = (((lead2 | lead3) << 1) | (lead3 << 2)) & 0xFFFFFFFFu;
  const std::uint64_t bad = stop | (cont ^ expected);
  if (bad == 0) {
    const std::uint64_t open = (lead3 & 0xC0000000u) | (lead2 & 0x80000000u);
    return {open ? static_cast<unsigned>(__builtin_ctzll(open)) : 32u, false};
  }
  unsigned at = static_cast<unsigned>(__builtin_ctzll(bad));
  // Inside a broken sequence: back to its leading byte.
  if (expected >> at & 1)
    at = 63u - static_cast<unsigned>(__builtin_clzll((lead2 | lead3) & ((std::uint64_t{1} << at) - 1)));
  return {at, true};
}

// One step past the blocks: the byte at p is taken on its own. Answers the position after it, or
// nullptr when the run ends at p.
inline const std::uint8_t* scanOne(const std::uint8_t* p, const std::uint8_t* end) {
  const std::uint8_t c = *p;
  if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') return p + 1;
  if (c < 0x80) return nullptr;
  const std::size_t n = json::legalSequenceLength(p, end);
  return n ? p + n : nullptr;
}

#if defined(__SSE2__)
// The last bytes (fewer than 32, most short strings whole) are judged as one block, copied where
// plain bytes follow them: a sequence they cut reads as broken and is left to scanOne.
#define KAVRO_SCAN_LOOP(quick, full)                      \
  for (;;) {                                              \
    while (end - p >= 32) {                               \
      const std::uint32_t special = quick(p);             \
      if (special == 0) {                                 \
        p += 32;                                          \
        continue;                                         \
      }                                                   \
      const unsigned first = __builtin_ctz(special);      \
      if (p[first] < 0x80) return p + first;              \
      const Block32 b = judgeBlock(special, full(p));     \
      p += b.taken;                                       \
      if (b.stopped) break;                               \
    }                                                     \
    if (p >= end) return p;                               \
    if (end - p < 32) {                                   \
      const auto left = static_cast<unsigned>(end - p);   \
      std::uint8_t block[32];                             \
      std::memset(block, 'a', sizeof block);              \
      std::memcpy(block, p, left);                        \
      const std::uint32_t special = quick(block);         \
      if (special == 0) return end;                       \
      const unsigned first = __builtin_ctz(special);      \
      if (block[first] < 0x80) return p + first;          \
      const Block32 b = judgeBlock(special, full(block)); \
      if (b.taken >= left) return end;                    \
      p += b.taken;                                       \
    }                                                     \
    const std::uint8_t* next = scanOne(p, end);           \
    if (!next) return p;                                  \
    p = next;                                             \
  }

inline std::uint32_t quickSSE2(const std::uint8_t* p) {
  std::uint32_t m = 0;
  for (int half = 0; half < 2; ++half) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * half));
    const __m128i special = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
        _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
    m |= static_cast<std::uint32_t>(_mm_movemask_epi8(special)) << (16 * half);
  }
  return m;
}

// One half of a 32-byte block, compared byte by byte with constants (signed compares: bytes from
// 0x80 up are negative); masks come out at the half's place in the block.
struct Half16 {
  __m128i v;
  int shift;
  Half16(const std::uint8_t* block, int half)
      : v(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * half))), shift(16 * half) {}
  __m128i eq(int c) const { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))); }
  __m128i lt(int c) const { return _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(c))); }
  __m128i gt(int c) const { return _mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(c))); }
  std::uint32_t bits(__m128i x) const { return static_cast<std::uint32_t>(_mm_movemask_epi8(x)) << shift; }
};

inline Masks32 fullSSE2(const std::uint8_t* p) {
  Masks32 m{};
  for (int half = 0; half < 2; ++half) {
    const Half16 b(p, half);
    m.high |= b.bits(b.v);
    m.cont |= b.bits(b.lt(0xC0));
    m.lead2 |= b.bits(_mm_and_si128(b.gt(0xC1), b.lt(0xE0)));
    m.ef |= b.bits(b.eq(0xEF));
    m.lead3 |=
        b.bits(_mm_or_si128(_mm_or_si128(_mm_and_si128(b.gt(0xE0), b.lt(0xED)), b.eq(0xEE)), b.eq(0xEF)));
    m.b7bf |= b.bits(_mm_or_si128(b.eq(0xB7), b.eq(0xBF)));
  }
  return m;
}

}  // namespace

const std::uint8_t* scanPlainTextBaseline(const std::uint8_t* p, const std::uint8_t* end) {
  KAVRO_SCAN_LOOP(quickSSE2, fullSSE2)
}

namespace {

inline PlainBlock plainSSE2(const std::uint8_t* p) {
  PlainBlock m{};
  for (int half = 0; half < 2; ++half) {
    const Half16 b(p, half);
    m.high |= b.bits(b.v);
    m.cont |= b.bits(b.lt(0xC0));
    m.low |= b.bits(b.lt(0xA0));
    m.lead2 |= b.bits(_mm_and_si128(b.gt(0xC1), b.lt(0xE0)));
    m.lead3 |= b.bits(_mm_and_si128(b.gt(0xDF), b.lt(0xF0)));
    // F0-FF: above EF and negative.
    m.bad |=
        b.bits(_mm_or_si128(_mm_and_si128(b.gt(0xEF), b.lt(0x00)), _mm_or_si128(b.eq(0xC0), b.eq(0xC1))));
    m.e0 |= b.bits(b.eq(0xE0));
    m.ed |= b.bits(b.eq(0xED));
    m.ef |= b.bits(b.eq(0xEF));
    m.b7bf |= b.bits(_mm_or_si128(b.eq(0xB7), b.eq(0xBF)));
  }
  return m;
}

inline std::uint32_t stopsSSE2(const std::uint8_t* p) {
  std::uint32_t m = 0;
  for (int half = 0; half < 2; ++half) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * half));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
    const __m128i stop = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))), control);
    m |= static_cast<std::uint32_t>(_mm_movemask_epi8(stop)) << (16 * half);
  }
  return m;
}

}  // namespace

// The wide loops: blocks of 32 bytes while they last; a sequence left open by the last block is
// read again, whole, by the byte-by-byte form.
#define KAVRO_PLAIN_LOOP(plain)                   \
  std::uint64_t carry = 0;                        \
  while (end - p >= 32) {                         \
    const PlainBlock m = plain(p);                \
    if (m.high == 0 && carry == 0) {              \
      p += 32;                                    \
      continue;                                   \
    }                                             \
    if (plainErrors(m, carry) != 0) return false; \
    p += 32;                                      \
  }                                               \
  if (carry & 3) p -= p[-1] >= 0xC0 ? 1 : 2;      \
  return isPlainUTF8Tail(p, end);

// Copies 32 bytes at a time, looking at what it copied; bytes copied past the stop are left for
// the next write to cover. An escape of one character is written and the copy goes on after it.
#define KAVRO_COPY_LOOP(stops)                                                                 \
  char* o = out; /* in a register: writes through it could otherwise be the reference's own */ \
  for (;;) {                                                                                   \
    while (end - p >= 32 && limit - o >= 32) {                                                 \
      std::memcpy(o, p, 32);                                                                   \
      const std::uint32_t m = stops(p);                                                        \
      if (m != 0) {                                                                            \
        const unsigned at = static_cast<unsigned>(__builtin_ctz(m));                           \
        p += at;                                                                               \
        o += at;                                                                               \
        break;                                                                                 \
      }                                                                                        \
      p += 32;                                                                                 \
      o += 32;                                                                                 \
    }                                                                                          \
    while (p < end && o < limit && !isStringStop(*p)) *o++ = static_cast<char>(*p++);          \
    if (p < end && o < limit && *p == '\\' && end - p >= 2 && kSimpleEscapes[p[1]] != 0) {     \
      *o++ = static_cast<char>(kSimpleEscapes[p[1]]);                                          \
      p += 2;                                                                                  \
      continue;                                                                                \
    }                                                                                          \
    out = o;                                                                                   \
    return p;                                                                                  \
  }
bool isPlainUTF8Baseline(const std::uint8_t* p, const std::uint8_t* end) { KAVRO_PLAIN_LOOP(plainSSE2) }
const std::uint8_t* copyStringRunBaseline(const std::uint8_t* p, const std::uint8_t* end, char*& out,
                                          char* limit) {
  KAVRO_COPY_LOOP(stopsSSE2)
}

namespace {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KAVRO_HAVE_AVX2_SCAN 1
#define KAVRO_AVX2 __attribute__((target("avx2")))

KAVRO_AVX2 inline __m256i splat(int c) { return _mm256_set1_epi8(static_cast<char>(c)); }

// The n bytes at p (n <= 16) with zeros after them, put together in registers from loads inside
// [p, p + n): bytes stored one by one and read back at once as a wide load would wait for the
// stores to drain.
inline __m128i loadUpTo16(const std::uint8_t* p, std::size_t n) {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  if (n >= 8) {
    std::memcpy(&low, p, 8);
    if (n > 8) {
      std::memcpy(&high, p + n - 8, 8);
      high >>= 8 * (16 - n);
    }
  } else if (n >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    low = first | (std::uint64_t{last} << (8 * (n - 4)));
  } else if (n > 0) {
    low = p[0] | (std::uint64_t{p[n / 2]} << (8 * (n / 2))) | (std::uint64_t{p[n - 1]} << (8 * (n - 1)));
  }
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

// The same for n < 32.
KAVRO_AVX2 inline __m256i loadUpTo32(const std::uint8_t* p, std::size_t n) {
  if (n < 16) return _mm256_zextsi128_si256(loadUpTo16(p, n));
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), loadUpTo16(p + 16, n - 16), 1);
}

KAVRO_AVX2 inline std::uint32_t quickAVX2(const std::uint8_t* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i special =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, splat('"')), _mm256_cmpeq_epi8(v, splat('\\'))),
                      _mm256_cmpgt_epi8(splat(0x20), v));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(special));
}

KAVRO_AVX2 inline Masks32 fullAVX2(const std::uint8_t* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i ef = _mm256_cmpeq_epi8(v, splat(0xEF));
  Masks32 m;
  m.high = static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
  m.cont = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(splat(0xC0), v)));
  m.lead2 = static_cast<std::uint32_t>(_mm256_movemask_epi8(
      _mm256_and_si256(_mm256_cmpgt_epi8(v, splat(0xC1)), _mm256_cmpgt_epi8(splat(0xE0), v))));
  m.ef = static_cast<std::uint32_t>(_mm256_movemask_epi8(ef));
  m.lead3 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(
      _mm256_or_si256(_mm256_and_si256(_mm256_cmpgt_epi8(v, splat(0xE0)), _mm256_cmpgt_epi8(splat(0xED), v)),
                      _mm256_cmpeq_epi8(v, splat(0xEE))),
      ef)));
  m.b7bf = static_cast<std::uint32_t>(_mm256_movemask_epi8(
      _mm256_or_si256(_mm256_cmpeq_epi8(v, splat(0xB7)), _mm256_cmpeq_epi8(v, splat(0xBF)))));
  return m;
}

KAVRO_AVX2 const std::uint8_t* scanTextAVX2(const std::uint8_t* p,
                                            const std::uint8_t* end){KAVRO_SCAN_LOOP(quickAVX2, fullAVX2)}

KAVRO_AVX2 inline std::uint32_t
    stopsWith(const std::uint8_t* p, __m256i quote, __m256i backslash, __m256i lastControl) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(v, lastControl), v);
  const __m256i stop =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, quote), _mm256_cmpeq_epi8(v, backslash)), control);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(stop));
}

// The whole check in vector registers. Each byte is judged with the one before it by three table
// looks (the byte before's high and low half, this byte's high half): each gives the ways the pair
// could be wrong, and a way all three give is an error. A third byte of a sequence is expected
// where the byte two back leads one. ASCII blocks pass with one test.
namespace utf8bits {
constexpr std::uint8_t kTooShort = 1;    // a leading byte not followed by a continuation
constexpr std::uint8_t kTooLong = 2;     // a continuation after ASCII
constexpr std::uint8_t kOverlong3 = 4;   // E0 80-9F
constexpr std::uint8_t kTooLarge = 8;    // F4 90-BF and above (four-byte sequences fail anyway)
constexpr std::uint8_t kSurrogate = 16;  // ED A0-BF
constexpr std::uint8_t kOverlong2 = 32;  // C0, C1
constexpr std::uint8_t kTooLarge1000 = 64;
constexpr std::uint8_t kOverlong4 = 64;
constexpr std::uint8_t kTwoConts = 128;  // a continuation after a continuation (right for a third byte)
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

// What each pair of bytes may be wrong by: by the byte before's high and low half, and by this
// byte's high half.
constexpr std::uint8_t kByte1High[16] = {kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTwoConts,
                                         kTwoConts,
                                         kTwoConts,
                                         kTwoConts,
                                         kTooShort | kOverlong2,
                                         kTooShort,
                                         kTooShort | kOverlong3 | kSurrogate,
                                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
constexpr std::uint8_t kByte1Low[16] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                        kCarry | kOverlong2,
                                        kCarry,
                                        kCarry,
                                        kCarry | kTooLarge,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000};
constexpr std::uint8_t kByte2High[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort};
}  // namespace utf8bits

KAVRO_AVX2 inline __m256i table16(const std::uint8_t (&t)[16]) {
  const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
  return _mm256_broadcastsi128_si256(half);
}

// kLegal: the check of isLegalUTF8, which also takes four-byte sequences and the sequences led by
// EF B7 or EF BF other than the non-characters; otherwise that of isPlainUTF8.
template <bool kLegal>
KAVRO_AVX2 bool checkUTF8AVX2(const std::uint8_t* p, const std::uint8_t* end) {
  using namespace utf8bits;
  const __m256i byte1High = table16(kByte1High);
  const __m256i byte1Low = table16(kByte1Low);
  const __m256i byte2High = table16(kByte2High);
  const __m256i nibble = splat(0x0F);
  const std::uint8_t* const begin = p;
  __m256i before = _mm256_setzero_si256();
  __m256i errors = _mm256_setzero_si256();
  [[maybe_unused]] bool lastNotPlain = false;
  // The bytes after the last whole block, followed by zeros, go through the same steps: text of a
  // few words (most keys and values) is checked as one block, and a sequence cut off by the end
  // meets a zero where it needs a continuation.
  for (;;) {
    __m256i v;
    const auto left = static_cast<std::size_t>(end - p);
    const bool whole = left >= 32;
    if (whole) {
      v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    } else {
      // Done when nothing is left and no sequence is open at the end.
      if (left == 0 && (p == begin || (p[-1] < 0xC0 && p[-2] < 0xE0 && (!kLegal || p[-3] < 0xF0)))) break;
      v = loadUpTo32(p, left);
    }
    if (_mm256_movemask_epi8(v) == 0 &&
        (p == begin || (p[-1] < 0xC0 && p[-2] < 0xE0 && (!kLegal || p[-3] < 0xF0)))) {
      if (!whole) break;
      p += 32;
      // A run of ASCII mostly goes on: two blocks at a time. ASCII before a block reads as zeros do.
      while (end - p >= 64 && _mm256_movemask_epi8(_mm256_or_si256(
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)))) == 0)
        p += 64;
      before = _mm256_setzero_si256();
      lastNotPlain = false;
      continue;
    }
    // The bytes one and two places back.
    const __m256i joined = _mm256_permute2x128_si256(before, v, 0x21);
    const __m256i back1 = _mm256_alignr_epi8(v, joined, 15);
    const __m256i back2 = _mm256_alignr_epi8(v, joined, 14);
    const __m256i pair = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_shuffle_epi8(byte1High, _mm256_and_si256(_mm256_srli_epi16(back1, 4), nibble)),
            _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(back1, nibble))),
        _mm256_shuffle_epi8(byte2High, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    // A third byte must continue: there the pair of continuations is right and anything else
    // wrong. F0-FF lead nothing plain; EF B7 and EF BF lead to the non-characters.
    const __m256i third = _mm256_and_si256(_mm256_subs_epu8(back2, splat(0xE0 - 0x80)), splat(0x80));
    const __m256i b7bf = _mm256_cmpeq_epi8(_mm256_or_si256(v, splat(0x08)), splat(0xBF));
    __m256i bad =
        _mm256_or_si256(_mm256_or_si256(_mm256_xor_si256(pair, third), _mm256_subs_epu8(v, splat(0xEF))),
                        _mm256_and_si256(_mm256_cmpeq_epi8(back1, splat(0xEF)), b7bf));
    if (kLegal) {
      // What is not plain is judged again with the rules for the rest (rare in most text): in
      // this block, and in the next, where a sequence begun here ends.
      const bool plainBlock = _mm256_testz_si256(bad, bad);
      if (!plainBlock || lastNotPlain) {
        // A fourth byte must continue too.
        const __m256i back3 = _mm256_alignr_epi8(v, joined, 13);
        const __m256i fourth = _mm256_and_si256(_mm256_subs_epu8(back3, splat(0xF0 - 0x80)), splat(0x80));
        bad = _mm256_xor_si256(pair, _mm256_or_si256(third, fourth));
        // The non-characters: EF B7 90-AF, EF BF BE-BF, and four bytes ending in FFFE or FFFF (the
        // second's low half F, then BF, then BE or BF). Elsewhere the sequences are known whole.
        const __m256i endsFFFx =
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(v, splat(0x01)), splat(0xBF)),
                             _mm256_cmpeq_epi8(back1, splat(0xBF)));
        const __m256i plane = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_max_epu8(back3, splat(0xF0)), back3),
                                               _mm256_cmpeq_epi8(_mm256_and_si256(back2, nibble), nibble));
        const __m256i ef = _mm256_cmpeq_epi8(back2, splat(0xEF));
        const __m256i fromD0 = _mm256_sub_epi8(v, splat(0x90));
        const __m256i fdd0 = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(fromD0, splat(0x1F)), fromD0),
                                              _mm256_cmpeq_epi8(back1, splat(0xB7)));
        bad = _mm256_or_si256(bad, _mm256_and_si256(endsFFFx, _mm256_or_si256(ef, plane)));
        bad = _mm256_or_si256(bad, _mm256_and_si256(fdd0, ef));
      }
      lastNotPlain = !plainBlock;
    }
    errors = _mm256_or_si256(errors, bad);
    if (!whole) break;
    before = v;
    p += 32;
  }
  return _mm256_testz_si256(errors, errors);
}

// clang-format off
// The bytes compared are made once and kept opaque to the compiler, which would otherwise build
// them again on every step.
KAVRO_AVX2 const std::uint8_t* copyStringRunAVX2(const std::uint8_t* p, const std::uint8_t* end, char*& out,
                                                 char* limit) {
  __m256i quote = splat('"'), backslash = splat('\\'), lastControl = splat(0x1F);
  asm("" : "+x"(quote), "+x"(backslash), "+x"(lastControl));
#define KAVRO_KEPT_STOPS(q) stopsWith(q, quote, backslash, lastControl)
  KAVRO_COPY_LOOP(KAVRO_KEPT_STOPS)
#undef KAVRO_KEPT_STOPS
}
// clang-format on
#endif
#undef KAVRO_SCAN_LOOP
#undef KAVRO_PLAIN_LOOP
#undef KAVRO_COPY_LOOP

#if defined(KAVRO_HAVE_AVX2_SCAN)
// Asked of the processor once.
bool hasAVX2() {
  static const bool avx2 = platform::processorHasAVX2();
  return avx2;
}
#endif

}  // namespace

const std::uint8_t* scanPlainText(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(KAVRO_HAVE_AVX2_SCAN)
  if (hasAVX2()) return scanTextAVX2(p, end);
#endif
  return scanPlainTextBaseline(p, end);
}

bool isPlainUTF8(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(KAVRO_HAVE_AVX2_SCAN)
  if (hasAVX2()) return checkUTF8AVX2<false>(p, end);
#endif
  return isPlainUTF8Baseline(p, end);
}

bool isLegalUTF8(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(KAVRO_HAVE_AVX2_SCAN)
  if (hasAVX2()) return checkUTF8AVX2<true>(p, end);
#endif
  return isLegalUTF8Baseline(p, end);
}

CopyStringRun copyStringRunFunction() {
#if defined(KAVRO_HAVE_AVX2_SCAN)
  if (hasAVX2()) return copyStringRunAVX2;
#endif
  return copyStringRunBaseline;
}

const std::uint8_t* copyStringRun(const std::uint8_t* p, const std::uint8_t* end, char*& out, char* limit) {
  static const CopyStringRun best = copyStringRunFunction();
  return best(p, end, out, limit);
}
#else
// Index of the first byte in the eight at p that a string must look at: a control character, a
// quotation mark, a backslash or a non-ASCII byte; 8 when there is none.
inline unsigned firstSpecialByte(const std::uint8_t* p) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  constexpr std::uint64_t highs = 0x8080808080808080ull;
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t quote = w ^ (ones * '"');
  const std::uint64_t backslash = w ^ (ones * '\\');
  // Each term flags its lowest matching byte exactly (borrows only disturb the bytes above it).
  const std::uint64_t m = (w & highs) | ((w - ones * 0x20) & ~w & highs) | ((quote - ones) & ~quote & highs) |
                          ((backslash - ones) & ~backslash & highs);
  return m ? static_cast<unsigned>(__builtin_ctzll(m)) / 8 : 8;
}

}  // namespace

const std::uint8_t* scanPlainText(const std::uint8_t* p, const std::uint8_t* end) {
  return scanPlainTextBaseline(p, end);
}

bool isPlainUTF8(const std::uint8_t* p, const std::uint8_t* end) { return isPlainUTF8Tail(p, end); }
bool isPlainUTF8Baseline(const std::uint8_t* p, const std::uint8_t* end) { return isPlainUTF8Tail(p, end); }
bool isLegalUTF8(const std::uint8_t* p, const std::uint8_t* end) { return isLegalUTF8Baseline(p, end); }

const std::uint8_t* copyStringRun(const std::uint8_t* p, const std::uint8_t* end, char*& out, char* limit) {
  for (;;) {
    while (p < end && out < limit && !isStringStop(*p)) *out++ = static_cast<char>(*p++);
    if (p < end && out < limit && *p == '\\' && end - p >= 2 && kSimpleEscapes[p[1]] != 0) {
      *out++ = static_cast<char>(kSimpleEscapes[p[1]]);
      p += 2;
      continue;
    }
    return p;
  }
}
const std::uint8_t* copyStringRunBaseline(const std::uint8_t* p, const std::uint8_t* end, char*& out,
                                          char* limit) {
  return copyStringRun(p, end, out, limit);
}
CopyStringRun copyStringRunFunction() { return copyStringRunBaseline; }

const std::uint8_t* scanPlainTextBaseline(const std::uint8_t* p, const std::uint8_t* end) {
  for (;;) {
    while (end - p >= 8) {
      const unsigned at = firstSpecialByte(p);
      p += at;
      if (at < 8) break;
    }
    if (p >= end) return p;
    const std::uint8_t* next = scanOne(p, end);
    if (!next) return p;
    p = next;
  }
}
#endif

}  // namespace kavro::json
