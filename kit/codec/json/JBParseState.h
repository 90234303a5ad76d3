#pragma once
// The parser's state and its token reading, shared by the general loop (JSONDecoder.cpp) and the
// reading of dictionaries by layout (JBLayoutReader.cpp). Only those two include it: the token
// functions are here so that both inline them where each token is read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDecimal.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBKeyPool.h"
#include "kit/codec/json/JBLayoutReader.h"
#include "kit/codec/json/JBNodeShare.h"
#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JSONBox.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace kavro {

class JBArray;

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

inline bool isValueToken(Token t) {
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

// The state of one decoder: options, the text being read, the current token, the stacks that
// hold a container's members until it is complete, and the value cache.
struct JBParseState {
  using Token = jbdecode::Token;

  explicit JBParseState(JBParseOptions opts) : options(opts) {
    objectStack.reserve(256);
    pairStack.reserve(128);
  }
  ~JBParseState() {
    if (keyPool) keyPool->release();
  }
  JBParseState(const JBParseState&) = delete;
  JBParseState& operator=(const JBParseState&) = delete;

  JBParseOptions options;
  const std::uint8_t* input = nullptr;
  std::size_t length = 0;
  std::size_t pos = 0;
  // The line at pos, counted as white space is passed only where lines may also end in ways that
  // a look back cannot tell from the text of a string (JBParseOptionUnicodeLineBreaks); otherwise
  // an error counts the line breaks before it (lineAtPos()), which can only be white space or
  // comments: strings cannot hold them.
  bool countLines = false;
  std::size_t line = 1;
  std::size_t lineAtPos() const;

  Token token = Token::None;
  std::size_t tokenStart = 0;  // the current token ends at pos
  JBTokenValue value;
  bool hashed = false;  // whether value.hash is made
  // The current string (of at most JBKeyPool::kMaxKeyLength bytes) or number token's hash, made on
  // first use.
  std::uint32_t tokenHash() {
    if (!hashed) {
      value.hash = value.kind == JBValueKind::String ? JBTokenCache::hashString(value.bytes, value.length)
                                                     : JBTokenCache::hashNumber(value.kind, value.number.u);
      hashed = true;
    }
    return value.hash;
  }

  std::string tokenBuffer;
  std::vector<platform::Value> objectStack;
  std::vector<JBDictionary::Pair> pairStack;
  JBTokenCache cache;
  std::optional<platform::Error> error;
  bool mutableCollections = false;
  std::size_t depth = 0;
  // Where this parse's containers, their storage and their strings come from.
  JBArena* arena = nullptr;
  std::pmr::memory_resource* nodes = nullptr;
  std::pmr::memory_resource* storage = nullptr;
  const std::weak_ptr<platform::Object>* owner = nullptr;  // the count of this parse's immutable containers
  // Whether tokens go through the value cache: not for a decoder made for one parse, whose cache
  // nobody could look at.
  bool useCache = true;
  // One copy of "" per document.
  const platform::TextStore::Block* emptyText = nullptr;
  // One empty array and one empty dictionary per immutable document, and its small containers by
  // their contents (JBNodeShare).
  JBArray* emptyArray = nullptr;
  JBDictionary* emptyDictionary = nullptr;
  JBNodeShare sharedArrays;
  JBNodeShare sharedDictionaries;
  // The immutable array of the values, or an equal one made before.
  JBArray* immutableArray(platform::Value* objects, std::size_t count);
  // The share hash of pairs (Pair or Entry: a key and an object), 0 when they are not shared.
  template <class P>
  std::uint64_t pairsHash(const P* pairs, std::size_t count) {
    if (count > JBNodeShare::kMaxMembers || !sharedDictionaries.worthLooking()) return 0;
    return JBNodeShare::hashOf(count, 0x6A09E667F3BCC908ull, [pairs](std::size_t i) {
      const std::uint64_t w = JBNodeShare::memberWord(pairs[i].object);
      // The key weighs apart from the value: the same value under another key is another pair.
      return w == 0 ? 0 : w ^ (reinterpret_cast<std::uintptr_t>(pairs[i].key) * 0x9FB21C651E98DF25ull);
    });
  }
  // The dictionary made before with the same keys (the same key objects) and values in this order,
  // or nullptr.
  template <class P>
  JBDictionary* sameDictionary(std::uint64_t hash, const P* pairs, std::size_t count) {
    if (hash == 0) return nullptr;
    auto* same = static_cast<JBDictionary*>(sharedDictionaries.find(hash, [&](void* node) {
      return static_cast<const JBDictionary*>(node)->holdsSamePairs(pairs, count);
    }));
    sharedDictionaries.noteLook(same != nullptr);
    return same;
  }
  // Keeps d (made of count pairs with that hash) for the dictionaries to come, unless a key
  // repeated.
  void shareDictionary(std::uint64_t hash, JBDictionary* d, std::size_t count) {
    if (hash == 0 || d->count_ != count) return;
    sharedDictionaries.add(hash, d);
    arena->keep();
  }
  // The empty immutable dictionary of the document.
  JBDictionary* theEmptyDictionary();
  // Short keys come from a pool kept across parses; the arena holds the pools its document used.
  JBKeyPool* keyPool = nullptr;
  JBKeyPool* heldPool = nullptr;
  std::uint64_t keyPoolNumber = 0;  // counts the pools made, so that a later one never passes for an earlier
  // The pooled key with the text, and its dictionary hash.
  const std::string* pooledKey(std::string_view text, std::size_t& keyHash) {
    const JBTokenCache::Words w = JBTokenCache::wordsOf(text.data(), text.size());
    const std::uint32_t hash = JBTokenCache::hashOfWords(w, text.size());
    for (;;) {
      if (!keyPool) newKeyPool();
      holdKeyPool();
      if (const std::string* k = keyPool->key(text, w, hash, keyHash)) return k;
      newKeyPool();
    }
  }
  __attribute__((noinline)) void newKeyPool();
  platform::Value makeDictionary(JBDictionary::Pair* pairs, std::size_t count);
  // The fast path for dictionaries laid out as those before them; off, the general loop reads all.
  JBLayoutReader layoutReader;

  platform::Value parse(const std::uint8_t* bytes, std::size_t len, bool mutableResult,
                        platform::Error* errorOut);

  void recordError(std::string message);
  void recordExpectation(unsigned accepted, const char* valueText, const char* endText);

  std::size_t newlineAt(std::size_t at) const;
  void skipWhitespace();
  __attribute__((noinline)) void skipWhitespaceSlow();
  bool plainSpaceStep();
  void skipPlainSpace();
  bool nextToken();
  bool nextTokenSlow();
  bool parseString();
  __attribute__((noinline)) bool parseLongerString();
  // Whether the text is UTF-8 that needs no more checks (json::isLegalUTF8) as far as it is
  // checked: up to checkedTo. The text is checked a piece at a time a little ahead of the strings
  // read, so that it is still in the cache when they are read; plainText turns false for good at
  // the first piece that is not plain, and strings from there on check their own bytes.
  bool plainText = false;
  std::size_t checkedTo = 0;
  // A string starting below this offset has at least kCheckedAhead checked bytes after it, or the
  // whole text is checked (or plainText is false).
  std::size_t checkBelow = 0;
  static constexpr std::size_t kCheckedAhead = 64;
  static constexpr std::size_t kCheckPiece = 16 * 1024;
  void checkAhead() {
    if (pos >= checkBelow) checkMore(pos);
  }
  __attribute__((noinline)) void checkMore(std::size_t at);
  bool parseStringSlow(const std::uint8_t* begin, const std::uint8_t* p);
  bool parseStringInPlace(const std::uint8_t* p);
  int readEscape(const std::uint8_t*& p, std::uint8_t* out);
  // The bytes of the current string token when they are an open text of the arena
  // (parseStringInPlace): closed when the token is kept, or before anything else is carved.
  char* openText = nullptr;
  const json::CopyStringRun copyRun = json::copyStringRunFunction();
  void closeOpenText() {
    if (openText) arena->closeText(openText, value.length);
    openText = nullptr;
  }
  void finishString(const char* bytes, std::size_t n, const std::uint8_t* closingQuote);
  bool readHex4(const std::uint8_t*& p, char32_t& out);
  __attribute__((noinline)) bool parseNumber();
  __attribute__((always_inline)) bool parseShortNumber();
  bool touchCache() { return !useCache || touchCacheSlow(); }
  bool touchCacheSlow();
  const platform::TextStore::Block* documentText();
  bool documentKey(const std::string*& key, std::size_t& keyHash);
  void holdKeyPool() {
    if (heldPool != keyPool) {
      arena->hold(keyPool);
      heldPool = keyPool;
    }
  }
  bool tokenValue(platform::Value& out);
  bool scalarValue(platform::Value& out);
  // The container that starts at the current token, made in out (a null value).
  bool parseArray(platform::Value& out);
  bool parseDictionary(platform::Value& out);
  bool parseContainer(Token kind, platform::Value& out) {
    return kind == Token::ArrayBegin ? parseArray(out) : parseDictionary(out);
  }
};

// Spaces, tabs and line feeds in the 16 bytes at pos (readable): the indentation of pretty-printed
// text. Passes them, counting the lines passed; answers whether all 16 were such bytes.
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

__attribute__((always_inline)) inline bool JBParseState::plainSpaceStep() {
#if defined(__SSE2__)
  unsigned feeds;
  const unsigned n = plainSpaceRun(input + pos, feeds);
  if (countLines) {
    // Usually one: a loop costs less than a call for the count of bits.
    for (; feeds != 0; feeds &= feeds - 1) ++line;
  }
  pos += n;
  return n == 16;
#else
  return false;
#endif
}

// Pretty-printed text puts a line break and an indentation between most tokens: those of up to 31
// bytes are passed with one or two comparisons where they are met, the rest by the general loop.
__attribute__((always_inline)) inline void JBParseState::skipWhitespace() {
  if (length - pos >= 32) {
    // A line break and an indentation of up to 31 spaces (a record's members in a list).
    if ((!plainSpaceStep() || !plainSpaceStep()) && !jbdecode::kMaybeSpace[input[pos]]) return;
  } else if (length - pos >= 16 && !plainSpaceStep() && !jbdecode::kMaybeSpace[input[pos]]) {
    return;
  }
  skipWhitespaceSlow();
}

__attribute__((always_inline)) inline bool JBParseState::nextToken() {
  // The scan position in a register until a token is found: writes to the document's memory
  // could otherwise be the members' own, and each look would load them again.
  const std::uint8_t* const in = input;
  const std::size_t end = length;
  std::size_t at = pos;
  if (at < end) {
    // The one space of pretty-printed text after a ':' (or a ',').
    if (in[at] == ' ' && end - at > 1 && in[at + 1] > ' ') ++at;
    const Token t = jbdecode::kFirstByteTokens[in[at]];
    if (t != Token::None) {
      tokenStart = at;
      if (t == Token::String || t == Token::Number) {
        pos = at;
        token = Token::None;
        if (!(t == Token::String ? parseString() : parseShortNumber() || parseNumber())) {
          recordError(jbdecode::kUnexpectedToken);
          return false;
        }
      } else if (t >= Token::True) {
        // The whole word, and a byte after it; anything else is for the general reader to judge.
        const std::size_t n = t == Token::False ? 5 : 4;
        if (end - at <= n || jbdecode::loadWord4(in + at + n - 4) !=
                                 jbdecode::kWordTails[static_cast<int>(t) - static_cast<int>(Token::True)]) {
          pos = at;
          return nextTokenSlow();
        }
        pos = at + n;
      } else {
        pos = at + 1;
      }
      token = t;
      return true;
    }
    pos = at;
  }
  return nextTokenSlow();
}

inline void JBParseState::finishString(const char* bytes, std::size_t n, const std::uint8_t* closingQuote) {
  value.bytes = bytes;
  value.length = n;
  value.kind = JBValueKind::String;
  // Only strings the cache keeps need their hash.
  // The hash is made when something asks for it (tokenHash()).
  value.hash = 0;
  hashed = false;
  openText = nullptr;
  pos = static_cast<std::size_t>(closingQuote + 1 - input);
}

// Most strings are short (keys above all): their closing quote is in the first 48 bytes with
// nothing special before it, and they are taken where they stand. The look for those is made where
// each token is read, so that the processor learns what to expect at each place.
__attribute__((always_inline)) inline bool JBParseState::parseString() {
  checkAhead();
#if defined(__SSE2__)
  const std::uint8_t* const begin = input + pos + 1;
  const auto room = static_cast<std::size_t>(input + length - begin);
  // Non-ASCII bytes need a look of their own unless the text's UTF-8 is known good (as far as
  // kCheckedAhead bytes past the string's start).
  const bool plain = plainText;
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
inline bool JBParseState::parseShortNumber() {
  const std::uint8_t* q = input + pos;
  if (length - pos < 32) return false;
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
    if (length - pos < 48) return false;
    n += static_cast<unsigned>(__builtin_ctz(jbdecode::nonDigits16(digits + 16)));
    if (n > 19 || digits[n] == '.') return false;
    mantissa = jbdecode::wideDigitsValue(digits, n);
  }
  const std::uint8_t* after = digits + n;
  if (*after == '.') {
    const std::uint8_t* const fraction = after + 1;
    if (input + length - fraction < 16) return false;
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
    value.kind = JBValueKind::Double;
    value.number.d = d;
  } else if (*after == 'e' || *after == 'E' || (negative && mantissa == 0)) {
    return false;  // "-0" is a double
  } else if (negative) {
    if (mantissa > (std::uint64_t{1} << 63)) return false;
    value.kind = JBValueKind::SignedInt;
    value.number.u = 0 - mantissa;
  } else {
    value.kind = JBValueKind::UnsignedInt;
    value.number.u = mantissa;
  }
  pos = static_cast<std::size_t>(after - input);
  value.bytes = reinterpret_cast<const char*>(&value.number);
  value.length = 8;
  hashed = false;
  return true;
}
#else
inline bool JBParseState::parseShortNumber() { return false; }
#endif

// Makes the value of the current token, which is neither "[" nor "{", in out's place (memory for a
// value, or a null value: nothing there is destroyed). The usual cases are made where the token was
// read; the rest in scalarValue().
__attribute__((always_inline)) inline bool JBParseState::tokenValue(platform::Value& out) {
  if (!useCache) {
    if (token == Token::String && value.length != 0) {
      const platform::TextStore::Block* text =
          openText ? arena->closeText(openText, value.length) : arena->text(value.bytes, value.length);
      openText = nullptr;
      new (&out) platform::Value(platform::Value::borrowingText(*arena, *text));
      return true;
    }
    if (token == Token::Number) {
      if (value.kind == JBValueKind::Double)
        new (&out) platform::Value(value.number.d);
      else if (value.kind == JBValueKind::SignedInt)
        new (&out) platform::Value(static_cast<long long>(value.number.i));
      else if (value.number.u < (std::uint64_t{1} << 63))
        new (&out) platform::Value(static_cast<long long>(value.number.u));
      else
        new (&out) platform::Value(static_cast<unsigned long long>(value.number.u));
      return true;
    }
  }
  // The words, common in records, need no call.
  if (token == Token::Null) {
    new (&out) platform::Value();
    return true;
  }
  if (token == Token::True || token == Token::False) {
    new (&out) platform::Value(token == Token::True);
    return true;
  }
  return scalarValue(out);
}

}  // namespace kavro
