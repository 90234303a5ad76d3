#pragma once
// The reading of tokens, shared by the general loop (JSONDecoder.cpp) and the reading of
// dictionaries by layout (JBLayoutReader.cpp): the functions read where each token is are here so
// that both inline them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDecimal.h"
#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JSONBox.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/TextStore.h"

namespace kavro {

// The tokens, and the tables and helpers their reading uses.
namespace jbdecode {

enum class Token : std::uint8_t {
  None,
  Number,
  String,
  ObjectBegin,
  ObjectEnd,
  ArrayBegin,
  ArrayEnd,
  Separator,
  Comma,
  True,
  False,
  Null
};

constexpr bool isValueToken(Token t) {
  return t == Token::Number || t == Token::String || t == Token::ObjectBegin || t == Token::ArrayBegin ||
         t == Token::True || t == Token::False || t == Token::Null;
}

// What a container accepts next.
enum : unsigned { kAcceptValue = 1, kAcceptComma = 2, kAcceptEnd = 4 };

// Bytes that may start white space, a line break or a comment.
constexpr std::array<bool, 256> makeMaybeSpace() {
  std::array<bool, 256> t{};
  for (int c : {0x20, 0x09, 0x0A, 0x0D, 0x2F, 0xC2, 0xE2}) t[static_cast<std::size_t>(c)] = true;
  return t;
}
constexpr std::array<bool, 256> kMaybeSpace = makeMaybeSpace();

const char* const kUnexpectedToken =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";

// The one-byte tokens by their byte; None for every other byte.
constexpr std::array<Token, 256> makeSingleTokens() {
  std::array<Token, 256> t{};
  t['{'] = Token::ObjectBegin;
  t['}'] = Token::ObjectEnd;
  t['['] = Token::ArrayBegin;
  t[']'] = Token::ArrayEnd;
  t[':'] = Token::Separator;
  t[','] = Token::Comma;
  return t;
}
constexpr std::array<Token, 256> kSingleTokens = makeSingleTokens();

// The token a byte starts, where the byte alone tells: one-byte tokens, strings and numbers.
constexpr std::array<Token, 256> makeFirstByteTokens() {
  std::array<Token, 256> t = makeSingleTokens();
  t['"'] = Token::String;
  t['-'] = Token::Number;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = Token::Number;
  t['t'] = Token::True;
  t['f'] = Token::False;
  t['n'] = Token::Null;
  return t;
}
constexpr std::array<Token, 256> kFirstByteTokens = makeFirstByteTokens();

// Four bytes of text as the word a load of them gives.
constexpr std::uint32_t word4(const char* text) {
  std::uint32_t w = 0;
  for (int i = 0; i < 4; ++i) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[i])) << (8 * i);
#else
    w = (w << 8) | static_cast<std::uint8_t>(text[i]);
#endif
  }
  return w;
}
inline std::uint32_t loadWord4(const std::uint8_t* p) {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}
constexpr std::uint32_t kWordTails[] = {word4("true"), word4("alse"), word4("null")};

#if defined(__SSE2__)
// One bit per byte of the 16 at p that is not an ASCII digit, and bit 16 set.
inline unsigned nonDigits16(const std::uint8_t* p) {
  const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
  return (static_cast<unsigned>(_mm_movemask_epi8(digit)) ^ 0xFFFFu) | 0x10000u;
}

// The n digits at p (1 to 8; the 8 bytes at p readable) as a number, all at once: the digits are
// moved to the top of a word, zeros before them, and paired up three times.
inline std::uint64_t digitsValue(const std::uint8_t* p, unsigned n) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  w = (w & 0x0F0F0F0F0F0F0F0Full) << (8 * (8 - n));
  w = w * 10 + (w >> 8);
  constexpr std::uint64_t kMask = 0x000000FF000000FFull;
  return (((w & kMask) * 0x000F424000000064ull) + (((w >> 16) & kMask) * 0x0000271000000001ull)) >> 32;
}

constexpr std::uint64_t kTens[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000,
                                   100000000000,
                                   1000000000000,
                                   10000000000000,
                                   100000000000000,
                                   1000000000000000};
constexpr double kTenPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The n digits at p (1 to 15; the 16 bytes at p readable) as a number.
__attribute__((always_inline)) inline std::uint64_t longDigitsValue(const std::uint8_t* p, unsigned n) {
  if (n <= 8) return digitsValue(p, n);
  return digitsValue(p, 8) * kTens[n - 8] + digitsValue(p + 8, n - 8);
}

// The n digits at p (16 to 19, which always fit; the 24 bytes at p readable) as a number.
inline std::uint64_t wideDigitsValue(const std::uint8_t* p, unsigned n) {
  const std::uint64_t first = digitsValue(p, 8) * 100000000 + digitsValue(p + 8, 8);
  return n == 16 ? first : first * kTens[n - 16] + digitsValue(p + 16, n - 16);
}
#endif

}  // namespace jbdecode

// Reads one text a token at a time (white space, the one-byte tokens, words, strings, numbers),
// counting its lines, and keeps the first error of its parse with the place where it was found.
// Strings of text whose UTF-8 is known good are decoded straight into the document's arena. One
// thread.
class JBTokenReader {
 public:
  using Token = jbdecode::Token;

  explicit JBTokenReader(JBParseOptions options) : options_(options) {}
  JBTokenReader(const JBTokenReader&) = delete;
  JBTokenReader& operator=(const JBTokenReader&) = delete;

  JBParseOptions options() const { return options_; }
  void setOptions(JBParseOptions options) { options_ = options; }

  // A new text, whose strings may be written into the arena (which outlives the reading).
  void start(const std::uint8_t* bytes, std::size_t length, JBArena* arena);
  // The text is read: its first error, if any, and nothing of it kept.
  std::optional<platform::Error> finish();

  // The scan position: the offset after the current token.
  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ >= length_; }
  // The text from the scan position on, and how much of it there is.
  const std::uint8_t* here() const { return input_ + pos_; }
  std::size_t left() const { return length_ - pos_; }
  const std::uint8_t* end() const { return input_ + length_; }
  // Passes n bytes of a key (and its ':') that the caller has matched, with `lines` line feeds
  // among them.
  void pass(std::size_t n, std::size_t lines = 0) {
    pos_ += n;
    if (countLines_) line_ += lines;
  }
  // Passes a ',' standing right at the scan position (after a value, most do), answering whether
  // there was one.
  bool passComma() {
    if (pos_ < length_ && input_[pos_] == ',') {
      ++pos_;
      return true;
    }
    return false;
  }
  // Reads a ']' standing right at the scan position as the current token (an empty list after its
  // '['), answering whether there was one.
  bool takeListEnd() {
    if (pos_ >= length_ || input_[pos_] != ']') return false;
    tokenStart_ = pos_++;
    token_ = Token::ArrayEnd;
    return true;
  }
  // The byte the next token starts with, white space passed; -1 at the end of the text, where the
  // scan position stays before the white space (what follows a value tells the end of the text
  // right after it from the end after white space).
  __attribute__((always_inline)) int nextByte() {
    if (pos_ >= length_) return -1;
    if (!jbdecode::kMaybeSpace[input_[pos_]]) return input_[pos_];
    const std::size_t from = pos_;
    const std::size_t lineFrom = line_;
    skipWhitespace();
    if (pos_ < length_) return input_[pos_];
    pos_ = from;
    line_ = lineFrom;
    return -1;
  }
  void skipWhitespace();
  // Reads the next token; false, with the error recorded, for text that is none.
  bool nextToken();
  Token token() const { return token_; }
  // The current string or number token's value.
  const JBTokenValue& value() const { return value_; }
  JBTokenValue& value() { return value_; }
  // The current string (of at most JBKeyPool::kMaxKeyLength bytes) or number token's hash, made on
  // first use.
  std::uint32_t tokenHash() {
    if (!hashed_) {
      value_.hash = value_.kind == JBValueKind::String
                        ? JBTokenCache::hashString(value_.bytes, value_.length)
                        : JBTokenCache::hashNumber(value_.kind, value_.number.u);
      hashed_ = true;
    }
    return value_.hash;
  }
  // The current string token's bytes when they lie open in the arena (written there as they were
  // decoded): closed as a text of the arena, which then lets other things be carved again. nullptr
  // when they are not open.
  const platform::TextStore::Block* closeOpenText() {
    if (!openText_) return nullptr;
    const platform::TextStore::Block* text = arena_->closeText(openText_, value_.length);
    openText_ = nullptr;
    return text;
  }
  bool textOpen() const { return openText_ != nullptr; }

  // The first error of the parse is kept, with the scan position and its line.
  void recordError(std::string message);
  // "Expected ..." with what a container accepted (jbdecode::kAccept...), named by the texts given
  // for a value and the end, and the current token's text.
  void recordExpectation(unsigned accepted, const char* valueText, const char* endText);

  // Lets go of a string buffer of more than `largest` bytes.
  void trimBuffer(std::size_t largest) {
    if (tokenBuffer_.capacity() > largest) std::string().swap(tokenBuffer_);
  }

 private:
  std::size_t lineAtPos() const;
  std::size_t newlineAt(std::size_t at) const;
  __attribute__((noinline)) void skipWhitespaceSlow();
  bool plainSpaceStep();
  void skipPlainSpace();
  bool nextTokenSlow();
  bool parseString();
  __attribute__((noinline)) bool parseLongerString();
  void checkAhead() {
    if (pos_ >= checkBelow_) checkMore(pos_);
  }
  __attribute__((noinline)) void checkMore(std::size_t at);
  bool parseStringSlow(const std::uint8_t* begin, const std::uint8_t* p);
  bool parseStringInPlace(const std::uint8_t* p);
  int readEscape(const std::uint8_t*& p, std::uint8_t* out);
  void finishString(const char* bytes, std::size_t n, const std::uint8_t* closingQuote);
  bool readHex4(const std::uint8_t*& p, char32_t& out);
  __attribute__((noinline)) bool parseNumber();
  __attribute__((noinline)) bool convertNumberText(std::size_t start, std::size_t end, bool floating);
  __attribute__((always_inline)) bool parseShortNumber();

  JBParseOptions options_;
  const std::uint8_t* input_ = nullptr;
  std::size_t length_ = 0;
  std::size_t pos_ = 0;
  // The line at pos_, counted as white space is passed only where lines may also end in ways that
  // a look back cannot tell from the text of a string (JBParseOptionUnicodeLineBreaks); otherwise
  // an error counts the line breaks before it (lineAtPos()), which can only be white space or
  // comments: strings cannot hold them.
  bool countLines_ = false;
  std::size_t line_ = 1;

  Token token_ = Token::None;
  std::size_t tokenStart_ = 0;  // the current token ends at pos_
  JBTokenValue value_;
  bool hashed_ = false;  // whether value_.hash is made
  // Where a string's decoded bytes go when they cannot be taken from the text as they stand.
  std::string tokenBuffer_;
  std::optional<platform::Error> error_;

  // Whether the text is UTF-8 that needs no more checks (json::isLegalUTF8) as far as it is
  // checked: up to checkedTo_. The text is checked a piece at a time a little ahead of the strings
  // read, so that it is still in the cache when they are read; plainText_ turns false for good at
  // the first piece that is not plain, and strings from there on check their own bytes.
  bool plainText_ = false;
  std::size_t checkedTo_ = 0;
  // A string starting below this offset has at least kCheckedAhead checked bytes after it, or the
  // whole text is checked (or plainText_ is false).
  std::size_t checkBelow_ = 0;
  static constexpr std::size_t kCheckedAhead = 64;
  static constexpr std::size_t kCheckPiece = 16 * 1024;
  // The arena that strings of plain text are decoded into, and the bytes of the current string
  // token when they are an open text of it (parseStringInPlace): closed when the token is kept, or
  // before anything else is carved.
  JBArena* arena_ = nullptr;
  char* openText_ = nullptr;
  const json::CopyStringRun copyRun_ = json::copyStringRunFunction();
};

#if defined(__SSE2__)
// How many of the 16 bytes at p are spaces, tabs and line feeds before anything else (16 when all
// are); feeds gets a bit for each line feed among those.
__attribute__((always_inline)) inline unsigned plainSpaceRun(const std::uint8_t* p, unsigned& feeds) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i feed = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
  const __m128i space = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))), feed);
  const unsigned other = static_cast<unsigned>(_mm_movemask_epi8(space)) ^ 0xFFFFu;
  const unsigned n = other ? static_cast<unsigned>(__builtin_ctz(other)) : 16u;
  feeds = static_cast<unsigned>(_mm_movemask_epi8(feed)) & ((1u << n) - 1);
  return n;
}
#endif

// Spaces, tabs and line feeds in the 16 bytes at the scan position (readable): the indentation of
// pretty-printed text. Passes them, counting the lines passed; answers whether all 16 were such bytes.
__attribute__((always_inline)) inline bool JBTokenReader::plainSpaceStep() {
#if defined(__SSE2__)
  unsigned feeds;
  const unsigned n = plainSpaceRun(input_ + pos_, feeds);
  if (countLines_) {
    // Usually one: a loop costs less than a call for the count of bits.
    for (; feeds != 0; feeds &= feeds - 1) ++line_;
  }
  pos_ += n;
  return n == 16;
#else
  return false;
#endif
}

// Pretty-printed text puts a line break and an indentation between most tokens: those of up to 31
// bytes are passed with one or two comparisons where they are met, the rest by the general loop.
__attribute__((always_inline)) inline void JBTokenReader::skipWhitespace() {
  if (length_ - pos_ >= 32) {
    // A line break and an indentation of up to 31 spaces (a record's members in a list).
    if ((!plainSpaceStep() || !plainSpaceStep()) && !jbdecode::kMaybeSpace[input_[pos_]]) return;
  } else if (length_ - pos_ >= 16 && !plainSpaceStep() && !jbdecode::kMaybeSpace[input_[pos_]]) {
    return;
  }
  skipWhitespaceSlow();
}

__attribute__((always_inline)) inline bool JBTokenReader::nextToken() {
  // The scan position in a register until a token is found: writes to the document's memory
  // could otherwise be the members' own, and each look would load them again.
  const std::uint8_t* const in = input_;
  const std::size_t end = length_;
  std::size_t at = pos_;
  if (at < end) {
    // The one space of pretty-printed text after a ':' (or a ',').
    if (in[at] == ' ' && end - at > 1 && in[at + 1] > ' ') ++at;
    const Token t = jbdecode::kFirstByteTokens[in[at]];
    if (t != Token::None) {
      tokenStart_ = at;
      if (t == Token::String || t == Token::Number) {
        pos_ = at;
        token_ = Token::None;
        if (!(t == Token::String ? parseString() : parseShortNumber() || parseNumber())) {
          recordError(jbdecode::kUnexpectedToken);
          return false;
        }
      } else if (t >= Token::True) {
        // The whole word, and a byte after it; anything else is for the general reader to judge.
        const std::size_t n = t == Token::False ? 5 : 4;
        if (end - at <= n || jbdecode::loadWord4(in + at + n - 4) !=
                                 jbdecode::kWordTails[static_cast<int>(t) - static_cast<int>(Token::True)]) {
          pos_ = at;
          return nextTokenSlow();
        }
        pos_ = at + n;
      } else {
        pos_ = at + 1;
      }
      token_ = t;
      return true;
    }
    pos_ = at;
  }
  return nextTokenSlow();
}

inline void JBTokenReader::finishString(const char* bytes, std::size_t n, const std::uint8_t* closingQuote) {
  value_.bytes = bytes;
  value_.length = n;
  value_.kind = JBValueKind::String;
  // Only strings the cache keeps need their hash.
  // The hash is made when something asks for it (tokenHash()).
  value_.hash = 0;
  hashed_ = false;
  openText_ = nullptr;
  pos_ = static_cast<std::size_t>(closingQuote + 1 - input_);
}

// Most strings are short (keys above all): their closing quote is in the first 48 bytes with
// nothing special before it, and they are taken where they stand. The look for those is made where
// each token is read, so that the processor learns what to expect at each place.
__attribute__((always_inline)) inline bool JBTokenReader::parseString() {
  checkAhead();
#if defined(__SSE2__)
  const std::uint8_t* const begin = input_ + pos_ + 1;
  const auto room = static_cast<std::size_t>(input_ + length_ - begin);
  // Non-ASCII bytes need a look of their own unless the text's UTF-8 is known good (as far as
  // kCheckedAhead bytes past the string's start).
  const bool plain = plainText_;
  for (std::size_t at = 0; at < 48 && room - at >= 16; at += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + at));
    const __m128i control = plain ? _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v)
                                  : _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
    const __m128i special = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))), control);
    if (const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(special))) {
      const std::uint8_t* q = begin + at + __builtin_ctz(m);
      if (*q != '"') break;
      finishString(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(q - begin), q);
      return true;
    }
  }
#endif
  return parseLongerString();
}

#if defined(__SSE2__)
// Numbers of up to 15 digits, with up to 15 more after a point (19 in all) and no exponent, and
// integers of up to 19 digits (identifiers), well inside the text: the usual ones. Answers false,
// having changed nothing, for every other number.
inline bool JBTokenReader::parseShortNumber() {
  const std::uint8_t* q = input_ + pos_;
  if (length_ - pos_ < 32) return false;
  const bool negative = *q == '-';
  const std::uint8_t* const digits = q + (negative ? 1 : 0);
  unsigned n = static_cast<unsigned>(__builtin_ctz(jbdecode::nonDigits16(digits)));
  // A leading zero stands alone; what follows it is for the general path to judge.
  if (n == 0 || (digits[0] == '0' && n > 1)) return false;
  std::uint64_t mantissa;
  if (n < 16) {
    mantissa = jbdecode::longDigitsValue(digits, n);
  } else {
    // Integers only: a point after so many digits is for the general path.
    if (length_ - pos_ < 48) return false;
    n += static_cast<unsigned>(__builtin_ctz(jbdecode::nonDigits16(digits + 16)));
    if (n > 19 || digits[n] == '.') return false;
    mantissa = jbdecode::wideDigitsValue(digits, n);
  }
  const std::uint8_t* after = digits + n;
  if (*after == '.') {
    const std::uint8_t* const fraction = after + 1;
    if (input_ + length_ - fraction < 16) return false;
    const unsigned m = static_cast<unsigned>(__builtin_ctz(jbdecode::nonDigits16(fraction)));
    if (m == 0 || m > 15 || n + m > 19) return false;
    after = fraction + m;
    if (*after == 'e' || *after == 'E') return false;
    mantissa = mantissa * jbdecode::kTens[m] + jbdecode::longDigitsValue(fraction, m);
    double d;
    if (mantissa <= (std::uint64_t{1} << 53)) {
      // Both exact: one correctly rounded division.
      d = static_cast<double>(mantissa) / jbdecode::kTenPowers[m];
      if (negative) d = -d;
    } else if (!json::decimalToDouble(mantissa, -static_cast<std::int64_t>(m), negative, d)) {
      return false;
    }
    value_.kind = JBValueKind::Double;
    value_.number.d = d;
  } else if (*after == 'e' || *after == 'E' || (negative && mantissa == 0)) {
    return false;  // "-0" is a double
  } else if (negative) {
    if (mantissa > (std::uint64_t{1} << 63)) return false;
    value_.kind = JBValueKind::SignedInt;
    value_.number.u = 0 - mantissa;
  } else {
    value_.kind = JBValueKind::UnsignedInt;
    value_.number.u = mantissa;
  }
  pos_ = static_cast<std::size_t>(after - input_);
  value_.bytes = reinterpret_cast<const char*>(&value_.number);
  value_.length = 8;
  hashed_ = false;
  return true;
}
#else
inline bool JBTokenReader::parseShortNumber() { return false; }
#endif

}  // namespace kavro
