#include "kit/codec/json/JBSerializer.h"

#include <cxxabi.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBRepeatWatch.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {

namespace {

using json::ConversionResult;

std::string demangled(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                              std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

std::string classNameOf(const platform::Object& o) { return demangled(typeid(o)); }

std::string classNameOf(const platform::Value& v) {
  switch (v.kind()) {
    case platform::Value::Kind::Null:
      return "null";
    case platform::Value::Kind::Bool:
      return "bool";
    case platform::Value::Kind::Int:
      return "std::int64_t";
    case platform::Value::Kind::UInt:
      return "std::uint64_t";
    case platform::Value::Kind::Double:
      return "double";
    case platform::Value::Kind::String:
      return "std::string";
    case platform::Value::Kind::Bytes:
      return "platform::Data";
    case platform::Value::Kind::Object:
      return classNameOf(*v.objectPointer());
  }
  return "NULL";
}

bool isCollection(const platform::Object& o) {
  return dynamic_cast<const platform::Array*>(&o) || dynamic_cast<const platform::Dictionary*>(&o);
}

bool isSupported(const platform::Value& v) {
  if (v.isBytes()) return false;
  if (v.isObject()) return isCollection(*v.objectPointer());
  return true;
}

// Code point for ordering keys as UTF-16 code units order them: supplementary characters (high
// surrogates) sort below U+E000-U+FFFF.
inline char32_t utf16OrderKey(char32_t c) { return c >= 0xE000 && c <= 0xFFFF ? c + 0x200000 : c; }

bool lessUTF16(const std::string& a, const std::string& b) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(a.data());
  const auto* pe = p + a.size();
  const auto* q = reinterpret_cast<const std::uint8_t*>(b.data());
  const auto* qe = q + b.size();
  while (p < pe && q < qe) {
    if (*p < 0x80 && *q < 0x80) {
      if (*p != *q) return *p < *q;
      ++p;
      ++q;
      continue;
    }
    const std::uint8_t* pn;
    const std::uint8_t* qn;
    char32_t pc;
    char32_t qc;
    json::convertSingleCodePointInUTF8(p, pe, &pn, &pc);
    json::convertSingleCodePointInUTF8(q, qe, &qn, &qc);
    if (pc != qc) return utf16OrderKey(pc) < utf16OrderKey(qc);
    // Equal replacement characters from different bytes: fall back to the bytes.
    const int byBytes = std::memcmp(p, q, std::min(pn - p, qn - q));
    if (byBytes != 0) return byBytes < 0;
    p = pn;
    q = qn;
  }
  return p == pe && q < qe;
}

// Bytes a string needs to look at: controls, the quotation mark, the backslash, the solidus (only
// under the escape-slash option) and non-ASCII bytes.
constexpr std::array<bool, 256> makeSpecial(bool slash) {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = c < 0x20 || c >= 0x80 || c == '"' || c == '\\' || (slash && c == '/');
  return t;
}
constexpr std::array<bool, 256> kSpecial = makeSpecial(false);
constexpr std::array<bool, 256> kSpecialWithSlash = makeSpecial(true);

const char kHex[] = "0123456789abcdef";

// Bytes of well-formed text that must be escaped: controls, the quotation mark, the backslash.
inline bool mustEscape(std::uint8_t c) { return c < 0x20 || c == '"' || c == '\\'; }

#if defined(__SSE2__)
constexpr std::size_t kCopyBlock = 16;

// The bytes of a block that must be escaped, one bit each.
inline std::uint32_t escapesIn(__m128i v) {
  const __m128i hit = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
      _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
}

// Copies bytes from p to out up to the first one that must be escaped (or end) and answers where
// it stopped, a block at a time (never reading outside [p, end)): out needs room for (end - p)
// bytes and a block. The last part block of a run of at least a block is read as the block that
// ends at end, rewriting the bytes it shares with the one before. The non-ASCII bytes looked at
// are noted in high.
inline const std::uint8_t* copyToEscape(const std::uint8_t* p, const std::uint8_t* end, char* out,
                                        std::uint32_t& high) {
  const std::uint8_t* const begin = p;
  while (static_cast<std::size_t>(end - p) >= kCopyBlock) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    high |= static_cast<std::uint32_t>(_mm_movemask_epi8(v));
    if (const std::uint32_t m = escapesIn(v)) return p + __builtin_ctz(m);
    p += kCopyBlock;
    out += kCopyBlock;
  }
  if (p == end) return p;
  if (static_cast<std::size_t>(end - begin) >= kCopyBlock) {
    const auto back = static_cast<unsigned>(kCopyBlock - static_cast<std::size_t>(end - p));
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - kCopyBlock));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out - back), v);
    high |= static_cast<std::uint32_t>(_mm_movemask_epi8(v));
    if (const std::uint32_t m = escapesIn(v) >> back) return p + __builtin_ctz(m);
    return end;
  }
  for (; p < end && !mustEscape(*p); ++p) {
    high |= *p & 0x80u;
    *out++ = static_cast<char>(*p);
  }
  return p;
}

// Short text kept inside its holder (a string's own buffer, a value's payload) is copied with one
// block when the block's bytes all lie inside the holder and nothing in the text needs an escape.
// out needs room for a block. False leaves the text to the general copy. The text's non-ASCII
// bytes are noted in high.
inline bool copyShortText(std::string_view s, const void* holder, std::size_t holderSize, char* out,
                          std::uint32_t& high) {
  const auto at = reinterpret_cast<std::uintptr_t>(s.data());
  const auto from = reinterpret_cast<std::uintptr_t>(holder);
  if (s.size() >= kCopyBlock || at < from || at + kCopyBlock > from + holderSize) return false;
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data()));
  const std::uint32_t inText = (1u << s.size()) - 1;
  if (escapesIn(v) & inText) return false;
  high |= static_cast<std::uint32_t>(_mm_movemask_epi8(v)) & inText;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
  return true;
}
#else
constexpr std::size_t kCopyBlock = 0;

inline bool copyShortText(std::string_view, const void*, std::size_t, char*, std::uint32_t&) { return false; }

inline const std::uint8_t* copyToEscape(const std::uint8_t* p, const std::uint8_t* end, char* out,
                                        std::uint32_t& high) {
  for (; p < end && !mustEscape(*p); ++p) {
    high |= *p & 0x80u;
    *out++ = static_cast<char>(*p);
  }
  return p;
}
#endif

// The text "%.17g" gives for d, for the doubles written most (coordinates, scores, amounts: 1e-4
// up to 1e17), worked out exactly in 128-bit integers; anything else (and zero) is left to
// to_chars. Answers the end of the text, or nullptr when d is left to to_chars. out needs 32 bytes.
constexpr std::uint64_t kPowersOfTen[20] = {1ull,
                                            10ull,
                                            100ull,
                                            1000ull,
                                            10000ull,
                                            100000ull,
                                            1000000ull,
                                            10000000ull,
                                            100000000ull,
                                            1000000000ull,
                                            10000000000ull,
                                            100000000000ull,
                                            1000000000000ull,
                                            10000000000000ull,
                                            100000000000000ull,
                                            1000000000000000ull,
                                            10000000000000000ull,
                                            100000000000000000ull,
                                            1000000000000000000ull,
                                            10000000000000000000ull};
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes v (below 10^8) as eight digits, leading zeros included.
inline void putEightDigits(char* out, std::uint32_t v) {
  const std::uint32_t upper = v / 10000;
  const std::uint32_t lower = v - upper * 10000;
  std::memcpy(out, kDigitPairs + 2 * (upper / 100), 2);
  std::memcpy(out + 2, kDigitPairs + 2 * (upper % 100), 2);
  std::memcpy(out + 4, kDigitPairs + 2 * (lower / 100), 2);
  std::memcpy(out + 6, kDigitPairs + 2 * (lower % 100), 2);
}

char* writeDouble17(char* out, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return nullptr;  // zero, subnormal, not finite
  // d = m * 2^e exactly.
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int e = biased - 1075;
  // Decimal exponent of d, perhaps one too high or low (log10(2) ~ 1233 / 4096); mended below.
  int x = ((e + 52) * 1233) >> 12;
  static constexpr std::uint64_t kTen17 = 100000000000000000ull;
  static constexpr std::uint64_t kTen16 = kTen17 / 10;
  std::uint64_t digits = 0;
  for (int tries = 0;; ++tries) {
    if (x < -4 || x > 16 || tries == 3) return nullptr;
    // 17 digits: d * 10^(16 - x), rounded half to even as printf rounds the exact value.
    const int k = 16 - x;  // 0 to 20
    unsigned __int128 p = static_cast<unsigned __int128>(m) * kPowersOfTen[k < 20 ? k : 19];
    if (k == 20) p *= 10;
    if (e >= 0) {
      p <<= e;  // d < 1e17 < 2^57: a shift of 4 at most
    } else {
      const int shift = -e;  // at most 66 for d >= 1e-4
      const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
      const unsigned __int128 rest = p & ((half << 1) - 1);
      p >>= shift;
      if (rest > half || (rest == half && (p & 1))) ++p;
    }
    if (p >= kTen17) {
      ++x;
    } else if (p < kTen16) {
      --x;
    } else {
      digits = static_cast<std::uint64_t>(p);
      break;
    }
  }
  // Two digits at a time, four groups of two for each eight digits, worked out side by side
  // rather than one after another.
  char text[18];
  const auto high = static_cast<std::uint32_t>(digits / 100000000);  // nine digits
  const auto low = static_cast<std::uint32_t>(digits - std::uint64_t{high} * 100000000);
  const std::uint32_t first = high / 100000000;
  putEightDigits(text + 1, high - first * 100000000);
  putEightDigits(text + 9, low);
  text[0] = static_cast<char>('0' + first);
  int last = 16;  // the last digit kept: trailing zeros go, as "%g" drops them
  while (last > 0 && text[last] == '0') --last;
  if (bits >> 63) *out++ = '-';
  if (x >= 0) {
    std::memcpy(out, text, static_cast<std::size_t>(x + 1));
    out += x + 1;
    if (last > x) {
      *out++ = '.';
      std::memcpy(out, text + x + 1, static_cast<std::size_t>(last - x));
      out += last - x;
    }
  } else {
    *out++ = '0';
    *out++ = '.';
    for (int i = -1; i > x; --i) *out++ = '0';
    std::memcpy(out, text, static_cast<std::size_t>(last + 1));
    out += last + 1;
  }
  return out;
}

// Keys and short values, most of them plain ASCII: told at once, a word at a time.
constexpr std::size_t kShortText = 32;

// The top bit of each byte of the word below 0x20, a quotation mark or a backslash (and of
// others above them; only a bit of the first such byte is exact, as only whether there is one
// is asked).
template <class Word>
inline Word escapeBits(Word w) {
  constexpr Word ones = static_cast<Word>(~Word{0}) / 0xFF;
  const Word quote = w ^ (ones * '"');
  const Word backslash = w ^ (ones * '\\');
  return ((w - ones * 0x20) & ~w) | ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash);
}
template <class Word>
constexpr Word kHighBits = static_cast<Word>(~Word{0}) / 0xFF * 0x80;

// Whether the word holds a byte from 0x80 up, below 0x20, a quotation mark or a backslash.
template <class Word>
inline bool hasSpecialByte(Word w) {
  return ((w | escapeBits(w)) & kHighBits<Word>) != 0;
}

// Whether the word holds a byte below 0x20, a quotation mark or a backslash.
template <class Word>
inline bool hasEscapedByte(Word w) {
  return (escapeBits(w) & kHighBits<Word>) != 0;
}

// Copies text of fewer than 16 bytes that needs no escape to out with two overlapping loads and
// stores of whole words, none outside the text, and answers true; false (out untouched) leaves it to
// the general copy. Non-ASCII bytes are noted in high.
template <class Word>
inline bool copyWords(const char* p, std::size_t n, char* out, std::uint32_t& high) {
  Word first, last;
  std::memcpy(&first, p, sizeof(Word));
  std::memcpy(&last, p + n - sizeof(Word), sizeof(Word));
  if (hasEscapedByte(first) || hasEscapedByte(last)) return false;
  constexpr Word highs = static_cast<Word>(~Word{0}) / 0xFF * 0x80;
  if ((first | last) & highs) high |= 0x80;
  std::memcpy(out, &first, sizeof(Word));
  std::memcpy(out + n - sizeof(Word), &last, sizeof(Word));
  return true;
}

inline bool copySmallText(std::string_view s, char* out, std::uint32_t& high) {
  const char* p = s.data();
  const std::size_t n = s.size();
  if (n >= 16) return false;
  if (n >= 8) return copyWords<std::uint64_t>(p, n, out, high);
  if (n >= 4) return copyWords<std::uint32_t>(p, n, out, high);
  std::uint32_t seen = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<std::uint8_t>(p[i]);
    if (c < 0x20 || c == '"' || c == '\\') return false;
    seen |= c;
  }
  std::memcpy(out, p, n);
  high |= seen & 0x80u;
  return true;
}

// Whether s (at most kShortText bytes) is ASCII that goes out as it is: overlapping loads of whole
// words, none past its end.
inline bool isPlainASCII(std::string_view s) {
  const char* p = s.data();
  const std::size_t n = s.size();
  if (n >= 8) {
    std::uint64_t w;
    for (std::size_t at = 0; at + 8 < n; at += 8) {
      std::memcpy(&w, p + at, 8);
      if (hasSpecialByte(w)) return false;
    }
    std::memcpy(&w, p + n - 8, 8);
    return !hasSpecialByte(w);
  }
  if (n >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, p, 4);
    std::memcpy(&b, p + n - 4, 4);
    return !hasSpecialByte(a) && !hasSpecialByte(b);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') return false;
  }
  return true;
}

// Output memory that grows by realloc: a large buffer moves its pages instead of copying them, and
// nothing is written twice.
class OutputBuffer {
 public:
  OutputBuffer() = default;
  OutputBuffer(OutputBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  OutputBuffer& operator=(OutputBuffer&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  ~OutputBuffer() { std::free(data_); }
  char* data() const { return data_; }
  std::size_t size() const { return size_; }
  void grow(std::size_t atLeast) {
    const std::size_t size = std::max(size_ * 2, atLeast);
    void* p = std::realloc(data_, size);
    if (!p) throw std::bad_alloc();
    data_ = static_cast<char*>(p);
    size_ = size;
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// The output buffer of the last encoding on this thread, kept for the next one: a large answer
// written into fresh memory each time costs more in page faults than in writing. An encoding
// inside another (from an unsupported-class formatter) finds none and makes its own. A buffer
// larger than kScratchKept is let go once kScratchIdle encodings in a row have used less than a
// quarter of it, so one large answer does not hold its memory for the thread's life.
struct Scratch {
  OutputBuffer buffer;
  unsigned idle = 0;
};
thread_local Scratch scratch;
constexpr std::size_t kScratchKept = 4 * 1024 * 1024;
constexpr unsigned kScratchIdle = 16;
// The length from which an answer is better written straight into the text handed out.
constexpr std::size_t kTextWorthIt = 64 * 1024;

OutputBuffer takeScratch() {
  OutputBuffer b = std::move(scratch.buffer);
  if (b.size() < 16 * 1024) b.grow(16 * 1024);
  return b;
}

// Gives b back to the thread after an encoding that wrote used bytes into it.
void returnScratch(OutputBuffer& b, std::size_t used) {
  if (b.size() < scratch.buffer.size()) return;  // an inner encoding's: the outer one's is larger
  if (b.size() > kScratchKept && used < b.size() / 4) {
    if (++scratch.idle >= kScratchIdle) {
      scratch.idle = 0;
      return;
    }
  } else {
    scratch.idle = 0;
  }
  scratch.buffer = std::move(b);
}

// Where an encoding writes: the thread's scratch buffer, copied out at the end, or, when the
// length is known well beforehand, the returned string itself. A large answer is then written
// once, into memory faulted in once, with no copy after. No large pages are asked for: each must
// be found whole and cleared at its first touch, which in a virtual machine cost half a second for
// 40 MB, where small pages come from memory just freed.
class Output {
 public:
  Output() : scratch_(takeScratch()), data_(scratch_.data()), size_(scratch_.size()) {}

  char* data() const { return data_; }
  std::size_t size() const { return size_; }
  void grow(std::size_t atLeast) {
    if (writesText()) {
      growText(atLeast);
    } else {
      scratch_.grow(atLeast);
      data_ = scratch_.data();
      size_ = scratch_.size();
    }
  }

  // Writes into a string made room for `expected` bytes from here on (before anything is written).
  void writeIntoText(std::size_t expected) {
    keepScratch(0);
    intoText_ = true;
    text_.reserve(expected);
    growText(0);
  }
  // Moves the len bytes written so far into a string made room for `expected` bytes, and writes
  // there from here on.
  void moveIntoText(std::size_t expected, std::size_t len) {
    text_.reserve(std::max(expected, len));
    intoText_ = true;
    growText(len);
    std::memcpy(text_.data(), scratch_.data(), len);
    keepScratch(len);
  }
  bool writesText() const { return intoText_; }
  // The len bytes written, as a string.
  std::string take(std::size_t len) {
    if (!writesText()) return std::string(data_, len);
    text_.resize(len);
    return std::move(text_);
  }
  // The scratch buffer goes back to the thread for the next encoding, which used bytes of it.
  void keepScratch(std::size_t used) { returnScratch(scratch_, used); }

 private:
  // The string's size is the room written so far or about to be: it grows within the reserved
  // capacity a slice at a time, so the zeros resize() writes are overwritten while in the cache.
  void growText(std::size_t atLeast) {
    constexpr std::size_t kSlice = 256 * 1024;
    if (atLeast > text_.capacity()) text_.reserve(std::max(atLeast, text_.capacity() * 2));
    text_.resize(std::min(text_.capacity(), std::max(atLeast, text_.size() + kSlice)));
    data_ = text_.data();
    size_ = text_.size();
  }

  OutputBuffer scratch_;
  std::string text_;
  char* data_;
  std::size_t size_;
  bool intoText_ = false;
};

// What an object is to the writer. Looked up once per class and kept: a type_info comparison or a
// dynamic cast costs a library call, and a tree holds a handful of classes.
enum class Shape : std::uint8_t {
  DecodedDictionary,
  DecodedArray,
  PlatformDictionary,
  PlatformArray,
  Dictionary,
  Array,
  Other
};

Shape shapeOfClass(const platform::Object& o) {
  const std::type_info& type = typeid(o);
  if (type == typeid(JBDictionary)) return Shape::DecodedDictionary;
  if (type == typeid(JBArray)) return Shape::DecodedArray;
  if (type == typeid(platform::MutableDictionary)) return Shape::PlatformDictionary;
  if (type == typeid(platform::MutableArray)) return Shape::PlatformArray;
  // A class whose Object part is not where the static cast would find it keeps to the dynamic
  // casts of Shape::Other.
  if (auto* d = dynamic_cast<const platform::Dictionary*>(&o))
    return static_cast<const platform::Object*>(d) == &o ? Shape::Dictionary : Shape::Other;
  if (auto* a = dynamic_cast<const platform::Array*>(&o))
    return static_cast<const platform::Object*>(a) == &o ? Shape::Array : Shape::Other;
  return Shape::Other;
}

// The shapes of the classes met last, by the address of their type_info: one address names one
// class (a class may have several type_info objects, which only costs a lookup more).
class ShapeCache {
 public:
  Shape of(const platform::Object& o) {
    const std::type_info* type = &typeid(o);
    for (std::size_t i = 0; i < kWays; ++i)
      if (types_[i] == type) return shapes_[i];
    const Shape shape = shapeOfClass(o);
    types_[next_] = type;
    shapes_[next_] = shape;
    next_ = (next_ + 1) % kWays;
    return shape;
  }

 private:
  static constexpr std::size_t kWays = 4;
  const std::type_info* types_[kWays] = {};
  Shape shapes_[kWays] = {};
  std::size_t next_ = 0;
};

// Where the text of containers written so far went, by node: a decoded document holds its small
// repeated containers (the same prices, the same areas of a venue) as one node met many times, and
// that node's text, compact and with the same options, comes out the same each time, so it is copied
// from where it went first. A table of the thread's, kept between encodings (an encoding's places
// are told from older ones by its stamp), of a fixed number of places each holding the last node
// that fell there: a node that lost its place is only written again. An encoding inside another
// (from a formatter) finds it taken and goes without.
class WrittenBefore {
 public:
  struct Text {
    const void* node = nullptr;
    std::size_t at = 0;
    std::uint32_t length = 0;
    // Levels of containers the text holds, itself included: a copy deeper down must stay within
    // the nesting limit as writing it would.
    std::uint32_t levels = 0;
    std::uint32_t stamp = 0;
  };

  // The thread's table for a new encoding, or nullptr when an encoding under way has it.
  static WrittenBefore* take();
  void give() { taken_ = false; }

  const Text* find(const void* node) const {
    const Text& t = texts_[place(node)];
    return t.node == node && t.stamp == stamp_ ? &t : nullptr;
  }
  void add(const void* node, std::size_t at, std::size_t length, std::size_t levels) {
    texts_[place(node)] =
        Text{node, at, static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(levels), stamp_};
  }

 private:
  static constexpr std::size_t kPlaces = 4096;
  static std::size_t place(const void* node) {
    return static_cast<std::size_t>(((reinterpret_cast<std::uintptr_t>(node) >> 4) * 0x9E3779B97F4A7C15ull) >>
                                    52) &
           (kPlaces - 1);
  }

  std::unique_ptr<Text[]> texts_;
  std::uint32_t stamp_ = 0;
  bool taken_ = false;
};

thread_local WrittenBefore writtenBefore;

WrittenBefore* WrittenBefore::take() {
  WrittenBefore& w = writtenBefore;
  if (w.taken_) return nullptr;
  if (!w.texts_) w.texts_ = std::make_unique<Text[]>(kPlaces);
  if (++w.stamp_ == 0) {
    std::fill(w.texts_.get(), w.texts_.get() + kPlaces, Text());
    w.stamp_ = 1;
  }
  w.taken_ = true;
  return &w;
}

struct EncodeState {
  EncodeState() = default;
  EncodeState(const EncodeState&) = delete;
  EncodeState& operator=(const EncodeState&) = delete;
  ~EncodeState() {
    if (written) written->give();
  }

  JBSerializeOptions options = JBSerializeOptionNone;
  const JBUnsupportedClassFormatter* formatter = nullptr;
  std::optional<platform::Error> error;
  Output buf;
  std::size_t len = 0;
  std::size_t depth = 0;
  std::vector<const platform::Object*> open;
  // The most containers open at once since deepest was last set.
  std::size_t deepest = 0;
  WrittenBefore* written = WrittenBefore::take();
  JBRepeatWatch repeats;
  // Whether texts written may be copied for the same node met again: not once a formatter has been
  // called, which may change the tree.
  bool copyRepeats = true;
  ShapeCache shapes;
  // Whether the output may move into the text handed out once its length can be told.
  bool mayWriteIntoText = false;

  bool pretty() const { return has(options, JBSerializeOptionPretty); }
  // Text goes out as it is but for the escapes JSON requires.
  bool plainText() const {
    return !has(options, JBSerializeOptionEscapeNonASCII | JBSerializeOptionEscapeSlash);
  }

  char* room(std::size_t n) {
    if (len + n > buf.size()) buf.grow(len + n + 4096);
    return buf.data() + len;
  }
  void put(char c) {
    *room(1) = c;
    ++len;
  }
  void write(const void* p, std::size_t n) {
    std::memcpy(room(n), p, n);
    len += n;
  }
  void write(std::string_view s) { write(s.data(), s.size()); }

  bool fail(std::string message) {
    if (!error) error = platform::Error{std::string(JBErrorDomain), -1, std::move(message), nullptr, nullptr};
    return false;
  }

  void newline() {
    char* p = room(1 + 2 * depth);
    *p = '\n';
    std::memset(p + 1, ' ', 2 * depth);
    len += 1 + 2 * depth;
  }
  void openBracket(char c) {
    put(c);
    if (pretty()) {
      ++depth;
      newline();
    }
  }
  void comma() {
    put(',');
    if (pretty()) newline();
  }
  void closeBracket(char c) {
    if (pretty()) {
      --depth;
      newline();
    }
    put(c);
  }
  void colon() {
    if (pretty())
      write(": ", 2);
    else
      put(':');
  }

  void escape16(unsigned unit) {
    char* p = room(6);
    p[0] = '\\';
    p[1] = 'u';
    p[2] = kHex[(unit >> 12) & 15];
    p[3] = kHex[(unit >> 8) & 15];
    p[4] = kHex[(unit >> 4) & 15];
    p[5] = kHex[unit & 15];
    len += 6;
  }

  bool writeString(std::string_view s, bool quotes) {
    if (quotes && s.size() <= kShortText && plainText() && isPlainASCII(s)) {
      char* out = room(s.size() + 2);
      out[0] = '"';
      std::memcpy(out + 1, s.data(), s.size());
      out[s.size() + 1] = '"';
      len += s.size() + 2;
      return true;
    }
    const auto& special = has(options, JBSerializeOptionEscapeSlash) ? kSpecialWithSlash : kSpecial;
    const bool escapeNonASCII = has(options, JBSerializeOptionEscapeNonASCII);
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto* const end = p + s.size();
    room(s.size() + 2);
    if (quotes) put('"');
    // Without escaping options, the run that goes out as it is is the one the decoder takes as it is.
    const bool plainRuns = !escapeNonASCII && !has(options, JBSerializeOptionEscapeSlash);
    while (p < end) {
      const std::uint8_t* q = p;
      if (plainRuns) {
        q = json::scanPlainText(p, end);
      } else {
        for (;;) {
          while (q < end && !special[*q]) ++q;
          if (escapeNonASCII || q >= end || *q < 0x80) break;
          // Legal UTF-8 goes out as it is; anything else is looked at below.
          const std::size_t n = json::legalSequenceLength(q, end);
          if (n == 0) break;
          q += n;
        }
      }
      if (q != p) write(p, static_cast<std::size_t>(q - p));
      p = q;
      if (p >= end) break;
      const std::uint8_t c = *p;
      if (c >= 0x80) {
        const std::uint8_t* next;
        char32_t cp;
        if (json::convertSingleCodePointInUTF8(p, end, &next, &cp) != ConversionResult::ok) {
          if (!json::isWellFormedUTF8(reinterpret_cast<const std::uint8_t*>(s.data()), end))
            return fail("An error occurred converting the contents of a NSString to UTF8.");
          if (escapeNonASCII) return fail("Error converting UTF8.");
          // A non-character: text all the same, written as it is.
        } else if (escapeNonASCII) {
          if (cp < 0x10000) {
            escape16(cp);
          } else {
            escape16(0xD800 + ((cp - 0x10000) >> 10));
            escape16(0xDC00 + (cp & 0x3FF));
          }
          p = next;
          continue;
        }
        write(p, static_cast<std::size_t>(next - p));
        p = next;
        continue;
      }
      writeEscape(c);
      ++p;
    }
    if (quotes) put('"');
    return true;
  }

  // The escape of an ASCII byte that may not stand for itself.
  void writeEscape(std::uint8_t c) {
    switch (c) {
      case '\b':
        write("\\b", 2);
        break;
      case '\t':
        write("\\t", 2);
        break;
      case '\n':
        write("\\n", 2);
        break;
      case '\f':
        write("\\f", 2);
        break;
      case '\r':
        write("\\r", 2);
        break;
      case '"':
        write("\\\"", 2);
        break;
      case '\\':
        write("\\\\", 2);
        break;
      case '/':
        write("\\/", 2);
        break;
      default:
        escape16(c);
        break;
    }
  }

  // Text written without escaping options: the escapes JSON requires and nothing else. Text the
  // decoder let in is well-formed UTF-8 (wellFormed); any other is checked when it holds non-ASCII
  // bytes, and fails when it is not. holder: the object whose bytes hold s, when s may lie inside
  // it (a string's own short buffer).
  bool writePlainString(std::string_view s, bool wellFormed, const void* holder = nullptr,
                        std::size_t holderSize = 0) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto* const end = p + s.size();
    std::uint32_t high = 0;
    // Room for the text, its quotes and the block the copy below may store past its end.
    char* out = room(s.size() + 2 + kCopyBlock);
    *out++ = '"';
    if (copyShortText(s, holder, holderSize, out, high) || copySmallText(s, out, high)) {
      out += s.size();
      len += s.size() + 1;
    } else {
      for (;;) {
        const std::uint8_t* q = copyToEscape(p, end, out, high);
        out += q - p;
        len = static_cast<std::size_t>(out - buf.data());
        if (q >= end) break;
        writeEscape(*q);
        p = q + 1;
        out = room(static_cast<std::size_t>(end - p) + 1 + kCopyBlock);
      }
    }
    if (high && !wellFormed && !isWellFormed(s))
      return fail("An error occurred converting the contents of a NSString to UTF8.");
    *out = '"';
    ++len;
    return true;
  }

  static bool isWellFormed(std::string_view s) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    // The quick check passes most text; what it leaves (four-byte sequences, those led by EF B7 or
    // EF BF) gets the exact one.
    return json::isPlainUTF8(p, p + s.size()) || json::isWellFormedUTF8(p, p + s.size());
  }

  bool writeNumber(const platform::Value& v) {
    char* p = room(32);
    std::to_chars_result r{};
    switch (v.kind()) {
      case platform::Value::Kind::Int:
        r = std::to_chars(p, p + 32, v.intValue());
        break;
      case platform::Value::Kind::UInt:
        r = std::to_chars(p, p + 32, v.uintValue());
        break;
      default: {
        const double d = v.doubleValue();
        if (!std::isfinite(d))
          return fail("Floating point values must be finite.  JSON does not support NaN or Infinity.");
        if (char* end = writeDouble17(p, d)) {
          len += static_cast<std::size_t>(end - p);
          return true;
        }
        r = std::to_chars(p, p + 32, d, std::chars_format::general, 17);
        break;
      }
    }
    len += static_cast<std::size_t>(r.ptr - p);
    return true;
  }

  bool enter(const platform::Object& o) {
    if (open.size() >= JBMaximumNestingDepth)
      return fail("Unable to serialize arrays and dictionaries nested deeper than 512 levels.");
    if (std::find(open.begin(), open.end(), &o) != open.end())
      return fail("Unable to serialize an array or dictionary that contains itself.");
    open.push_back(&o);
    deepest = std::max(deepest, open.size());
    return true;
  }

  [[noreturn]] static void raiseMutated(const platform::Object& o) {
    throw platform::Exception("NSGenericException",
                              "*** Collection <" + classNameOf(o) + "> was mutated while being enumerated.");
  }

  // A long list written into the thread's buffer moves, once its first elements show about how long
  // the whole comes out, into the text to be handed out, sized by that: a large answer is then
  // written once, into memory faulted in once, instead of copied out after.
  void sizeByProgress(std::size_t startLen, std::size_t done, std::size_t n) {
    if (!mayWriteIntoText || buf.writesText()) return;
    const std::size_t expected = len + (len - startLen) / done * (n - done);
    if (expected >= kTextWorthIt) buf.moveIntoText(expected + expected / 4 + 4096, len);
  }

  // own: the array when it is the platform's own, walked through its elements as kept rather than
  // with two calls per element. The length is read afresh after each: a formatter may change it.
  bool writeArray(const platform::Array& a, bool isDecoded, const platform::MutableArray* own = nullptr) {
    if (!enter(a)) return false;
    openBracket('[');
    // A decoded list's class is final: its length and values are read without a virtual call.
    const JBArray* const decodedList = isDecoded ? static_cast<const JBArray*>(&a) : nullptr;
    auto count = [&] { return own ? own->items().size() : decodedList ? decodedList->count() : a.count(); };
    auto element = [&](std::size_t i) -> const platform::Value& {
      return own ? own->items()[i] : decodedList ? decodedList->values()[i] : a.objectAtIndex(i);
    };
    const std::size_t n = count();
    const std::size_t startLen = len;
    constexpr std::size_t kSampled = 32;
    const bool sized = n >= 4 * kSampled;
    // A long list of decoded records is read through pointers into memory that is no longer in
    // the cache: fetch the records ahead, node first, then its pairs.
    const JBArray* decoded = isDecoded && n > 64 ? static_cast<const JBArray*>(&a) : nullptr;
    constexpr std::size_t kAhead = 4;
    for (std::size_t i = 0; i < n; ++i) {
      if (decoded) {
        decoded->prefetchForReading(i + 3 * kAhead, 0);
        // Only a dictionary has pairs to fetch; asking for another costs a comparison of type names.
        if (i + kAhead < n)
          if (const platform::Object* ahead = decoded->values()[i + kAhead].objectPointer();
              ahead && shapes.of(*ahead) == Shape::DecodedDictionary)
            decoded->prefetchForReading(i + kAhead, 1);
      } else if (own && n > 64) {
        fetchHeldByHand(*own, i);
      }
      if (i == kSampled && sized) sizeByProgress(startLen, i, n);
      if (i) comma();
      if (!writeValue(element(i), false)) return false;
      if (count() != n) raiseMutated(a);
    }
    closeBracket(']');
    open.pop_back();
    return true;
  }

  // A long list of records held in the platform's containers, each part in a heap block of its
  // own, is read through chains of pointers that no hardware fetch foresees: ahead of writing
  // element i, the node of a record far ahead is fetched, then the pairs of one nearer, then what
  // the pairs of the next but one hold (their texts, the nodes of their containers). Reading a
  // pointer ahead is a load the processor overlaps with the writing.
  void fetchHeldByHand(const platform::MutableArray& list, std::size_t i) {
    const std::span<const platform::Value> items = list.items();
    if (i + 12 < items.size())
      if (const platform::Object* o = items[i + 12].objectPointer()) __builtin_prefetch(o);
    if (i + 6 < items.size())
      if (const platform::Object* o = items[i + 6].objectPointer();
          o && shapes.of(*o) == Shape::PlatformDictionary) {
        const auto entries = static_cast<const platform::MutableDictionary&>(*o).entries();
        const char* at = reinterpret_cast<const char*>(entries.data());
        for (std::size_t b = 0; b < entries.size_bytes(); b += 64) __builtin_prefetch(at + b);
      }
    if (i + 2 < items.size())
      if (const platform::Object* o = items[i + 2].objectPointer();
          o && shapes.of(*o) == Shape::PlatformDictionary) {
        for (const platform::MutableDictionary::Entry& e :
             static_cast<const platform::MutableDictionary&>(*o).entries()) {
          if (const platform::Object* child = e.value.objectPointer())
            __builtin_prefetch(child);
          else if (e.value.isString())
            __builtin_prefetch(e.value.stringView().data());
        }
      }
  }

  bool writeKey(const std::string& key) {
    return plainText() ? writePlainString(key, false, &key, sizeof key) : writeString(key, true);
  }

  bool writePair(const std::string& key, const platform::Value& value, bool first, bool decodedKey = false) {
    if (!first) comma();
    if (decodedKey) {
      writePlainString(key, true, &key, sizeof key);
    } else if (!writeKey(key)) {
      return false;
    }
    colon();
    return writeValue(value, false);
  }

  bool writeDictionary(const platform::Dictionary& d, bool decoded) {
    if (!enter(d)) return false;
    openBracket('{');
    if (pretty()) {
      std::vector<std::string> keys = d.allKeys();
      std::sort(keys.begin(), keys.end(), lessUTF16);
      for (std::size_t i = 0; i < keys.size(); ++i) {
        const platform::Value* v = d.objectForKey(keys[i]);
        if (!v) raiseMutated(d);
        if (!writePair(keys[i], *v, i == 0)) return false;
      }
    } else {
      bool ok = true;
      bool first = true;
      // An immutable decoded dictionary's keys are all the decoder's: well-formed UTF-8.
      const bool decodedKeys = decoded && !static_cast<const JBDictionary&>(d).isMutable() && plainText();
      auto pair = [&](const std::string& key, const platform::Value& value) {
        ok = writePair(key, value, first, decodedKeys);
        first = false;
        return ok;
      };
      if (decoded)
        static_cast<const JBDictionary&>(d).forEach(pair);
      else
        d.enumerate(pair);
      if (!ok) return false;
    }
    closeBracket('}');
    open.pop_back();
    return true;
  }

  // The platform's own dictionary, compact, walked through its pairs as kept rather than a call
  // per pair. The pairs are looked up afresh after each, as enumerate() does: a formatter may
  // change the map.
  bool writePlatformDictionary(const platform::MutableDictionary& d) {
    if (pretty()) return writeDictionary(d, false);
    if (!enter(d)) return false;
    openBracket('{');
    bool first = true;
    for (std::size_t i = 0; i < d.entries().size(); ++i) {
      if (!d.isLive(i)) continue;
      const platform::MutableDictionary::Entry& e = d.entries()[i];
      if (!writePair(e.key, e.value, first)) return false;
      first = false;
    }
    closeBracket('}');
    open.pop_back();
    return true;
  }

  // A decoded container of count members: a copy of its text when the same node was written
  // before, compact. Only containers the size of those a decoder shares (eight members at most)
  // are looked up; an empty one is written sooner than looked up.
  static constexpr std::size_t kRepeatableMembers = 8;
  template <class Write>
  bool writeRepeatable(const platform::Object& o, std::size_t count, Write&& write) {
    if (count - 1 >= kRepeatableMembers || !written || !copyRepeats || pretty() || !repeats.worthLooking())
      return write();
    if (const WrittenBefore::Text* before = written->find(&o);
        before && open.size() + before->levels <= JBMaximumNestingDepth) {
      repeats.noteLook(true);
      deepest = std::max(deepest, open.size() + before->levels);
      char* out = room(before->length);
      std::memcpy(out, buf.data() + before->at, before->length);
      len += before->length;
      return true;
    }
    repeats.noteLook(false);
    const std::size_t at = len;
    const std::size_t depth = open.size();
    const std::size_t deepestOutside = std::exchange(deepest, depth);
    const bool ok = write();
    const std::size_t levels = deepest - depth;
    deepest = std::max(deepest, deepestOutside);
    if (ok && copyRepeats && len - at <= UINT32_MAX) written->add(&o, at, len - at, levels);
    return ok;
  }

  // Writes o when it is an array or a dictionary and answers true in done; leaves anything else.
  bool writeContainer(const platform::Object& o, bool& done) {
    done = true;
    switch (shapes.of(o)) {
      case Shape::DecodedDictionary: {
        const auto& d = static_cast<const JBDictionary&>(o);
        return writeRepeatable(o, d.count(), [&] { return writeDictionary(d, true); });
      }
      case Shape::DecodedArray: {
        const auto& a = static_cast<const JBArray&>(o);
        return writeRepeatable(o, a.count(), [&] { return writeArray(a, true); });
      }
      case Shape::PlatformDictionary:
        return writePlatformDictionary(static_cast<const platform::MutableDictionary&>(o));
      case Shape::PlatformArray: {
        const auto& a = static_cast<const platform::MutableArray&>(o);
        return writeArray(a, false, &a);
      }
      case Shape::Dictionary:
        return writeDictionary(static_cast<const platform::Dictionary&>(o), false);
      case Shape::Array:
        return writeArray(static_cast<const platform::Array&>(o), false);
      case Shape::Other:
        break;
    }
    if (auto* d = dynamic_cast<const platform::Dictionary*>(&o)) return writeDictionary(*d, false);
    if (auto* a = dynamic_cast<const platform::Array*>(&o)) return writeArray(*a, false);
    done = false;
    return false;
  }

  bool writeObject(const platform::Object& o, const platform::Value* asValue) {
    bool done;
    const bool ok = writeContainer(o, done);
    if (done) return ok;
    platform::Value self = asValue ? *asValue : platform::Value();
    if (self.isNull())
      if (auto shared = o.weak_from_this().lock())
        self = platform::Value(std::const_pointer_cast<platform::Object>(shared));
    return unsupported(self, classNameOf(o), false);
  }

  bool unsupported(const platform::Value& v, const std::string& className, bool isReplacement) {
    if (formatter && *formatter && !isReplacement && !v.isNull()) {
      copyRepeats = false;
      std::optional<platform::Value> replacement = (*formatter)(v);
      if (replacement) {
        if (!isSupported(*replacement))
          return fail("Unable to serialize object class " + classNameOf(*replacement) +
                      " that was returned by the unsupported class formatter.  Original object class was " +
                      className + ".");
        return writeValue(*replacement, true);
      }
    }
    return fail("Unable to serialize object class " + className + ".");
  }

  bool writeValue(const platform::Value& v, bool isReplacement) {
    switch (v.kind()) {
      case platform::Value::Kind::String:
        // Text that owns nothing is borrowed from a decoded document, whose decoder let only
        // well-formed UTF-8 in: without escaping options only the escapes are looked for.
        if (plainText()) return writePlainString(v.stringView(), !v.ownsSomething(), &v, sizeof v);
        return writeString(v.stringView(), true);
      case platform::Value::Kind::Bool:
        if (v.boolValue())
          write("true", 4);
        else
          write("false", 5);
        return true;
      case platform::Value::Kind::Int:
      case platform::Value::Kind::UInt:
      case platform::Value::Kind::Double:
        return writeNumber(v);
      case platform::Value::Kind::Null:
        write("null", 4);
        return true;
      case platform::Value::Kind::Object: {
        const platform::Object& o = *v.objectPointer();
        bool done;
        const bool ok = writeContainer(o, done);
        if (done) return ok;
        return unsupported(v, classNameOf(o), isReplacement);
      }
      case platform::Value::Kind::Bytes:
        return unsupported(v, classNameOf(v), isReplacement);
    }
    return fail("Unable to serialize object class " + classNameOf(v) + ".");
  }
};

void checkEncodeOption(JBEncodeOptions encodeOption) {
  if (has(encodeOption, JBEncodeOptionCollectionObj) &&
      has(encodeOption, JBEncodeOptionStringObj | JBEncodeOptionStringObjTrimQuotes))
    throw platform::InternalInconsistencyException(
        "Invalid parameter not satisfying: (encodeOption & JBEncodeOptionCollectionObj) == 0 || "
        "(encodeOption & (JBEncodeOptionStringObj | JBEncodeOptionStringObjTrimQuotes)) == 0");
  if (has(encodeOption, JBEncodeOptionStringObjTrimQuotes) && !has(encodeOption, JBEncodeOptionStringObj))
    throw platform::InternalInconsistencyException(
        "Invalid parameter not satisfying: (encodeOption & JBEncodeOptionStringObjTrimQuotes) == 0 || "
        "(encodeOption & JBEncodeOptionStringObj) != 0");
}

std::string takeText(EncodeState& state) { return state.buf.take(state.len); }

void keepScratch(EncodeState& state) {
  if (!state.buf.writesText()) state.buf.keepScratch(state.len);
}

// A decoded document's root written compact and without escaping options comes out about as long
// as the text it was decoded from (doubles written in full may add some): the output is sized by
// that.
void sizeByDecodedText(EncodeState& state, const platform::Object& root) {
  if (state.pretty() || !state.plainText()) return;
  std::size_t decoded = 0;
  const std::type_info& type = typeid(root);
  if (type == typeid(JBDictionary))
    decoded = static_cast<const JBDictionary&>(root).decodedLength();
  else if (type == typeid(JBArray))
    decoded = static_cast<const JBArray&>(root).decodedLength();
  if (decoded >= kTextWorthIt) state.buf.writeIntoText(decoded + decoded / 8 + 4096);
}

platform::Value finish(EncodeState& state, bool ok, JBEncodeOptions encodeOption, platform::Error* error) {
  platform::Value result;
  if (ok) {
    switch (encodeOption & JBEncodeOptionAsTypeMask) {
      case JBEncodeOptionAsData: {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(state.buf.data());
        result = platform::Value(platform::Data(bytes, bytes + state.len));
        break;
      }
      case JBEncodeOptionAsString:
        result = platform::Value(takeText(state));
        break;
      default:
        state.fail("Unknown encode as type.");
        break;
    }
  }
  if (state.error && error) *error = std::move(*state.error);
  keepScratch(state);
  return result;
}

bool writeCollectionRoot(EncodeState& state, const platform::Object& object) {
  if (!isCollection(object))
    return state.fail("Unable to serialize object class " + classNameOf(object) +
                      ", expected a NSArray or NSDictionary.");
  return state.writeObject(object, nullptr);
}

}  // namespace

platform::Value JBSerializer::serializeObject(const platform::Value& object, JBSerializeOptions options,
                                              JBEncodeOptions encodeOption,
                                              const JBUnsupportedClassFormatter& formatter,
                                              platform::Error* error) {
  checkEncodeOption(encodeOption);
  EncodeState state;
  state.options = options;
  state.formatter = &formatter;
  bool ok;
  const bool isCollectionRoot = object.isObject() && isCollection(*object.objectPointer());
  if (has(encodeOption, JBEncodeOptionCollectionObj) && !isCollectionRoot) {
    ok = state.fail("Unable to serialize object class " + classNameOf(object) +
                    ", expected a NSArray or NSDictionary.");
  } else if (has(encodeOption, JBEncodeOptionStringObj) && !object.isString()) {
    ok = state.fail("Unable to serialize object class " + classNameOf(object) + ", expected a NSString.");
  } else if (object.isString()) {
    ok = state.writeString(object.stringView(), !has(encodeOption, JBEncodeOptionStringObjTrimQuotes));
  } else {
    ok = state.writeValue(object, false);
  }
  return finish(state, ok, encodeOption, error);
}

platform::Value JBSerializer::serializeObject(const platform::Object& object, JBSerializeOptions options,
                                              JBEncodeOptions encodeOption,
                                              const JBUnsupportedClassFormatter& formatter,
                                              platform::Error* error) {
  checkEncodeOption(encodeOption);
  EncodeState state;
  state.options = options;
  state.formatter = &formatter;
  bool ok;
  if (!isCollection(object) && has(encodeOption, JBEncodeOptionCollectionObj)) {
    ok = state.fail("Unable to serialize object class " + classNameOf(object) +
                    ", expected a NSArray or NSDictionary.");
  } else if (has(encodeOption, JBEncodeOptionStringObj)) {
    ok = state.fail("Unable to serialize object class " + classNameOf(object) + ", expected a NSString.");
  } else {
    ok = state.writeObject(object, nullptr);
  }
  return finish(state, ok, encodeOption, error);
}

std::optional<std::string> JBSerializer::serializeCollectionAsText(
    const platform::Object& collection, JBSerializeOptions options,
    const JBUnsupportedClassFormatter& formatter, platform::Error* error) {
  EncodeState state;
  state.options = options;
  state.formatter = &formatter;
  state.mayWriteIntoText = true;
  sizeByDecodedText(state, collection);
  std::optional<std::string> text;
  if (writeCollectionRoot(state, collection)) text = takeText(state);
  if (state.error && error) *error = std::move(*state.error);
  keepScratch(state);
  return text;
}

}  // namespace kavro
