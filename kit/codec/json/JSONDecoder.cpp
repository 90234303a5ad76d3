#include "kit/codec/json/JSONDecoder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDecimal.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBKeyPool.h"
#include "kit/codec/json/JBLayouts.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {

// Outside the anonymous namespace: JBParseState, which has linkage, holds a token, and a unity
// build refuses a file-local type there.
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

}  // namespace jbdecode

namespace {

using jbdecode::Token;
using json::ConversionResult;

inline bool isValueToken(Token t) {
  return t == Token::Number || t == Token::String || t == Token::ObjectBegin || t == Token::ArrayBegin ||
         t == Token::True || t == Token::False || t == Token::Null;
}

// What a container accepts next.
enum : unsigned { kAcceptValue = 1, kAcceptComma = 2, kAcceptEnd = 4 };

enum : std::uint8_t { kPlain = 0, kQuote, kBackslash, kControl, kHigh };

constexpr std::array<std::uint8_t, 256> makeStringClasses() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    if (c < 0x20)
      t[c] = kControl;
    else if (c >= 0x80)
      t[c] = kHigh;
    else if (c == '"')
      t[c] = kQuote;
    else if (c == '\\')
      t[c] = kBackslash;
    else
      t[c] = kPlain;
  }
  return t;
}
constexpr std::array<std::uint8_t, 256> kStringClass = makeStringClasses();

// Bytes that may start white space, a line break or a comment.
constexpr std::array<bool, 256> makeMaybeSpace() {
  std::array<bool, 256> t{};
  for (int c : {0x20, 0x09, 0x0A, 0x0D, 0x2F, 0xC2, 0xE2}) t[static_cast<std::size_t>(c)] = true;
  return t;
}
constexpr std::array<bool, 256> kMaybeSpace = makeMaybeSpace();

inline int hexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

using json::kSimpleEscapes;

// U+FFFD, what lenient decoding puts for what it cannot read.
constexpr std::uint8_t kReplacement[3] = {0xEF, 0xBF, 0xBD};

std::string hex2(unsigned v) {
  static const char* digits = "0123456789abcdef";
  return std::string{digits[(v >> 4) & 15], digits[v & 15]};
}

const char* const kUnexpectedToken =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";

// True when an out-of-range decimal text is too large (rather than too small) for a double.
bool exceedsAbove(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  long long magnitude = 0;
  bool found = false;
  long long intDigits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (found)
      ++intDigits;
    else if (text[i] != '0')
      found = true;
    ++i;
  }
  if (found) magnitude = intDigits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    long long zeros = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (!found) {
        if (text[i] != '0') {
          found = true;
          magnitude = -(zeros + 1);
        } else {
          ++zeros;
        }
      }
      ++i;
    }
  }
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (negative) exponent = -exponent;
  }
  return magnitude + exponent >= 0;
}

}  // namespace

// The state of one decoder: options, the text being read, the current token, the stacks that
// hold a container's members until it is complete, and the value cache.
struct JBParseState {
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
  // Short keys come from a pool kept across parses; the arena holds the pools its document used.
  JBKeyPool* keyPool = nullptr;
  JBKeyPool* heldPool = nullptr;
  std::uint64_t keyPoolNumber = 0;  // counts the pools made, so that a later one never passes for an earlier
  const std::string* pooledKey(std::string_view text, std::size_t& keyHash);
  platform::Value makeDictionary(JBDictionary::Pair* pairs, std::size_t count);
  // The same, with the table of a layout learnt before when its keys came in its order, else
  // learning them; missed tells which.
  platform::Value makeLearntDictionary(JBDictionary::Pair* pairs, std::size_t count, bool& missed);
  // Whether layouts are learnt at all (off: every dictionary is read by the general loop).
  bool learnLayouts = true;

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
  // The same, first trying the key found last at this position, then the current layout's keys.
  bool predictedDocumentKey(const std::string*& key, std::size_t& keyHash, std::size_t position);
  // What is learnt of the dictionaries read, to read the next ones by layout.
  JBLayouts layouts;
  using Layout = JBLayouts::Layout;
  using PredictedKey = JBLayouts::PredictedKey;
  static constexpr std::size_t kMaxLayoutKeys = JBLayouts::kMaxKeys;
  static constexpr std::size_t kFewKeys = 8;
  static constexpr std::size_t kKeysOfFewOrders = 3;
  static_assert(1 * 2 * 3 <= JBLayouts::kWays, "the orders of three keys fit the layouts of a depth");
  // Whether the dictionary starting at the current depth is read by layout.
  bool layoutsWorthTrying() {
    return learnLayouts && depth < JBLayouts::kDepths && layouts.worthTrying(depth);
  }
  // The keys last found at each position of a dictionary at the current depth, when a decoder for
  // one parse predicts keys; nullptr otherwise.
  PredictedKey* predictedRow() { return useCache ? nullptr : layouts.predictedRow(depth); }
  bool predictedKeyAhead(const PredictedKey& p, const std::string*& key, std::size_t& keyHash);
  // When the text at the scan position is one of the layout's keys, written plainly and followed by
  // ':', takes both at once; its place in the layout's keys, or kMaxLayoutKeys.
  std::size_t layoutKeyAhead(Layout& layout, std::size_t position, const std::string*& key,
                             std::size_t& keyHash);
  // Predicts key (text, with words w) at this position of dictionaries at the current depth.
  void rememberKey(std::size_t position, const std::string* key, std::size_t keyHash, std::string_view text,
                   const JBTokenCache::Words& w) {
    layouts.rememberKey(depth, position, keyPoolNumber, key, keyHash, text, w);
  }
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
  // The same where the dictionaries before at this depth had a layout worth following.
  bool parseDictionaryByLayout(platform::Value& out);
  bool parseContainer(Token kind, platform::Value& out) {
    return kind == Token::ArrayBegin ? parseArray(out) : parseDictionary(out);
  }
};

void JBParseState::recordError(std::string message) {
  if (error) return;
  auto info = platform::MutableDictionary::create();
  info->setObject(platform::Value(static_cast<unsigned long long>(pos)), JBAtIndexKey);
  info->setObject(platform::Value(static_cast<unsigned long long>(lineAtPos())), JBLineNumberKey);
  error = platform::Error{std::string(JBErrorDomain), -1, std::move(message), std::move(info), nullptr};
}

std::size_t JBParseState::lineAtPos() const {
  if (countLines) return line;
  std::size_t breaks = 0;
  // A carriage return and a line feed after it are one break.
  for (std::size_t i = 0; i < pos; ++i)
    breaks += input[i] == '\r' || (input[i] == '\n' && (i == 0 || input[i - 1] != '\r'));
  return breaks + 1;
}

void JBParseState::recordExpectation(unsigned accepted, const char* valueText, const char* endText) {
  if (error) return;
  std::vector<std::string> items;
  if (accepted & kAcceptValue) items.emplace_back(valueText);
  if (accepted & kAcceptComma) items.emplace_back("a comma");
  if (accepted & kAcceptEnd) items.emplace_back(endText);
  const std::string text(reinterpret_cast<const char*>(input) + tokenStart, pos - tokenStart);
  std::string message;
  if (items.size() == 1)
    message = "Expected " + items[0] + ", not '" + text + "'";
  else if (items.size() == 2)
    message = "Expected " + items[0] + " or " + items[1] + ", not '" + text + "'";
  else
    message = "Expected " + items[0] + ", " + items[1] + ", or " + items[2] + ", not '" + text;
  recordError(std::move(message));
}

// Length of the line break at the offset, or 0.
inline std::size_t JBParseState::newlineAt(std::size_t at) const {
  const std::uint8_t c = input[at];
  if (c == '\n') return 1;
  if (c == '\r') return at + 1 < length && input[at + 1] == '\n' ? 2 : 1;
  if (has(options, JBParseOptionUnicodeLineBreaks)) {
    if (c == 0xE2 && at + 2 < length && input[at + 1] == 0x80 &&
        (input[at + 2] == 0xA8 || input[at + 2] == 0xA9))
      return 3;
    if (c == 0xC2 && at + 1 < length && input[at + 1] == 0x85) return 2;
  }
  return 0;
}

// Spaces, tabs and line feeds in the 16 bytes at pos (readable): the indentation of pretty-printed
// text. Passes them, counting the lines passed; answers whether all 16 were such bytes.
__attribute__((always_inline)) inline bool JBParseState::plainSpaceStep() {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(input + pos));
  const __m128i feed = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
  const __m128i space = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))), feed);
  const unsigned other = static_cast<unsigned>(_mm_movemask_epi8(space)) ^ 0xFFFFu;
  const unsigned n = other ? static_cast<unsigned>(__builtin_ctz(other)) : 16u;
  if (countLines) {
    // Usually one: a loop costs less than a call for the count of bits.
    for (unsigned f = static_cast<unsigned>(_mm_movemask_epi8(feed)) & ((1u << n) - 1); f != 0; f &= f - 1)
      ++line;
  }
  pos += n;
  return n == 16;
#else
  return false;
#endif
}

// Stops at anything but spaces, tabs and line feeds (a carriage return or comment is left to
// skipWhitespace's own loop).
inline void JBParseState::skipPlainSpace() {
  while (length - pos >= 16 && plainSpaceStep()) {
  }
}

// Pretty-printed text puts a line break and an indentation of fewer than 16 spaces between most
// tokens: those are passed with one comparison where they are met, the rest by the general loop.
__attribute__((always_inline)) inline void JBParseState::skipWhitespace() {
  if (length - pos >= 16 && !plainSpaceStep() && !kMaybeSpace[input[pos]]) return;
  skipWhitespaceSlow();
}

void JBParseState::skipWhitespaceSlow() {
  while (pos < length) {
    skipPlainSpace();
    if (pos >= length) break;
    const std::uint8_t c = input[pos];
    if (c == ' ' || c == '\t') {
      ++pos;
      continue;
    }
    if (std::size_t n = newlineAt(pos)) {
      pos += n;
      if (countLines) ++line;
      continue;
    }
    if (has(options, JBParseOptionAllowComments) && c == '/' && pos + 1 < length) {
      if (input[pos + 1] == '/') {
        pos += 2;
        while (pos < length) {
          if (std::size_t n = newlineAt(pos)) {
            pos += n;
            if (countLines) ++line;
            break;
          }
          ++pos;
        }
        continue;
      }
      if (input[pos + 1] == '*') {
        ++pos;  // the search for "*/" starts at the star of "/*"
        while (pos < length) {
          if (input[pos] == '*' && pos + 1 < length && input[pos + 1] == '/') {
            pos += 2;
            break;
          }
          if (std::size_t n = newlineAt(pos)) {
            pos += n;
            if (countLines) ++line;
          } else {
            ++pos;
          }
        }
        continue;
      }
    }
    break;
  }
}

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

__attribute__((always_inline)) inline bool JBParseState::nextToken() {
  // The scan position in a register until a token is found: writes to the document's memory
  // could otherwise be the members' own, and each look would load them again.
  const std::uint8_t* const in = input;
  const std::size_t end = length;
  std::size_t at = pos;
  if (at < end) {
    // The one space of pretty-printed text after a ':' (or a ',').
    if (in[at] == ' ' && end - at > 1 && in[at + 1] > ' ') ++at;
    const Token t = kFirstByteTokens[in[at]];
    if (t != Token::None) {
      tokenStart = at;
      if (t == Token::String || t == Token::Number) {
        pos = at;
        token = Token::None;
        if (!(t == Token::String ? parseString() : parseShortNumber() || parseNumber())) {
          recordError(kUnexpectedToken);
          return false;
        }
      } else if (t >= Token::True) {
        // The whole word, and a byte after it; anything else is for the general reader to judge.
        const std::size_t n = t == Token::False ? 5 : 4;
        if (end - at <= n ||
            loadWord4(in + at + n - 4) != kWordTails[static_cast<int>(t) - static_cast<int>(Token::True)]) {
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

bool JBParseState::nextTokenSlow() {
  if (pos >= length || kMaybeSpace[input[pos]]) skipWhitespace();
  tokenStart = pos;
  token = Token::None;
  if (pos >= length) {
    recordError(kUnexpectedToken);
    return false;
  }
  const std::uint8_t c = input[pos];
  bool ok = true;
  auto word = [&](const char* text, std::size_t n, Token kind) {
    if (length - pos > n && std::memcmp(input + pos, text, n) == 0) {
      token = kind;
      pos += n;
      return true;
    }
    return false;
  };
  if (const Token t = kSingleTokens[c]; t != Token::None) {
    token = t;
    ++pos;
  } else {
    switch (c) {
      case 't':
        ok = word("true", 4, Token::True);
        break;
      case 'f':
        ok = word("false", 5, Token::False);
        break;
      case 'n':
        ok = word("null", 4, Token::Null);
        break;
      case '"':
        ok = parseString();
        if (ok) token = Token::String;
        break;
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        ok = parseNumber();
        if (ok) token = Token::Number;
        break;
      default:
        ok = false;
        break;
    }
  }
  if (!ok) {
    recordError(kUnexpectedToken);
    return false;
  }
  return true;
}

// Checks the text in pieces from checkedTo until kCheckedAhead bytes after the offset at are
// checked, or the whole text, or a piece is not plain.
void JBParseState::checkMore(std::size_t at) {
  while (plainText && checkedTo < length && checkedTo < at + kCheckedAhead) {
    std::size_t to = length - checkedTo > kCheckPiece ? checkedTo + kCheckPiece : length;
    // A piece ends before a byte that no valid sequence continues into: a leading byte or ASCII.
    // Plain text has no three continuation bytes in a row.
    for (int back = 0; back < 3 && to < length && (input[to] & 0xC0) == 0x80; ++back) --to;
    if ((to < length && (input[to] & 0xC0) == 0x80) || !json::isLegalUTF8(input + checkedTo, input + to))
      plainText = false;
    else
      checkedTo = to;
  }
  checkBelow = !plainText || checkedTo == length ? SIZE_MAX : checkedTo - kCheckedAhead;
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

bool JBParseState::parseLongerString() {
  const std::uint8_t* const begin = input + pos + 1;
  if (plainText) return parseStringInPlace(begin);
  const std::uint8_t* const end = input + length;
  const std::uint8_t* p = json::scanPlainText(begin, end);
  if (p >= end) {
    recordError("Invalid string.");
    return false;
  }
  switch (kStringClass[*p]) {
    case kQuote:
      finishString(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(p - begin), p);
      return true;
    case kControl:
      recordError("Invalid character < 0x20 found in string: 0x" + hex2(*p) + ".");
      return false;
    default:
      return parseStringSlow(begin, p);
  }
}

bool JBParseState::readHex4(const std::uint8_t*& p, char32_t& out) {
  const std::uint8_t* const end = input + length;
  char32_t v = 0;
  for (int i = 0; i < 4; ++i, ++p) {
    if (p >= end) {
      recordError("Invalid string.");
      return false;
    }
    const int d = hexValue(*p);
    if (d < 0) {
      // Only printable ASCII goes into the message as it is, so that it stays valid text.
      const std::string found =
          *p >= 0x20 && *p < 0x7F ? std::string(1, static_cast<char>(*p)) : "\xEF\xBF\xBD";
      recordError("Unexpected character found in \\u Unicode escape sequence.  Found '" + found +
                  "', expected [0-9a-fA-F].");
      return false;
    }
    v = (v << 4) | static_cast<char32_t>(d);
  }
  out = v;
  return true;
}

bool JBParseState::parseStringSlow(const std::uint8_t* begin, const std::uint8_t* p) {
  const std::uint8_t* const end = input + length;
  const bool lenient = has(options, JBParseOptionLenientUnicode);
  std::string& buf = tokenBuffer;
  buf.assign(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(p - begin));
  auto put = [&](const std::uint8_t* from, std::size_t n) {
    buf.append(reinterpret_cast<const char*>(from), n);
  };
  for (;;) {
    if (p >= end) {
      recordError("Invalid string.");
      return false;
    }
    const std::uint8_t c = *p;
    const std::uint8_t cls = kStringClass[c];
    if (cls == kPlain || cls == kHigh) {
      const std::uint8_t* q = json::scanPlainText(p, end);
      if (q != p) {
        put(p, static_cast<std::size_t>(q - p));
        p = q;
        continue;
      }
    }
    if (cls == kQuote) {
      finishString(buf.data(), buf.size(), p);
      return true;
    }
    if (cls == kControl) {
      recordError("Invalid character < 0x20 found in string: 0x" + hex2(c) + ".");
      return false;
    }
    if (cls == kHigh) {
      const std::uint8_t* next;
      char32_t cp;
      switch (json::convertSingleCodePointInUTF8(p, end, &next, &cp)) {
        case ConversionResult::ok:
          put(p, static_cast<std::size_t>(next - p));
          break;
        case ConversionResult::sourceExhausted:
          recordError("End of buffer reached while parsing UTF8 in \"\" string.");
          return false;
        case ConversionResult::sourceIllegal:
          if (!lenient) {
            recordError("Illegal UTF8 sequence found in \"\" string.");
            return false;
          }
          put(kReplacement, 3);
          break;
      }
      p = next;
      continue;
    }
    // A backslash.
    std::uint8_t decoded[4];
    const int n = readEscape(p, decoded);
    if (n < 0) return false;
    put(decoded, static_cast<std::size_t>(n));
  }
}

// The escape at p, a backslash: its UTF-8 bytes go to out (room for 4), p moves past it. Answers
// how many bytes, or -1 when the escape is bad (recorded). A lone high surrogate that leniency
// lets pass gives U+FFFD and leaves p after it.
int JBParseState::readEscape(const std::uint8_t*& p, std::uint8_t* out) {
  const std::uint8_t* const end = input + length;
  const bool lenient = has(options, JBParseOptionLenientUnicode);
  if (++p >= end) {
    recordError("Invalid string.");
    return -1;
  }
  const std::uint8_t e = *p++;
  if (kSimpleEscapes[e] != 0) {
    out[0] = kSimpleEscapes[e];
    return 1;
  }
  if (e != 'u') {
    recordError("Invalid escape sequence found in \"\" string.");
    return -1;
  }
  char32_t cp;
  if (!readHex4(p, cp)) return -1;
  bool illegal = false;
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    if (p >= end || (*p == '\\' && p + 1 >= end)) {
      recordError("Invalid string.");
      return -1;
    }
    if (*p != '\\' || p[1] != 'u') {
      if (!lenient) {
        recordError(
            "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape "
            "sequence.");
        return -1;
      }
      std::memcpy(out, kReplacement, 3);
      return 3;  // what follows is read again as plain text
    }
    p += 2;
    char32_t low;
    if (!readHex4(p, low)) return -1;
    if (low >= 0xDC00 && low <= 0xDFFF)
      cp = (cp << 10) + low - 0x35FDC00;
    else
      illegal = true;
  }
  if (illegal || json::isIllegalCodePoint(cp)) {
    if (!lenient) {
      recordError("Illegal \\u Unicode escape sequence.");
      return -1;
    }
    cp = 0xFFFD;
  }
  return static_cast<int>(json::encodeUTF8(cp, out));
}

// A string of text whose UTF-8 is known good, decoded straight into the arena: runs of plain bytes
// are copied as they are looked at, so that the text is read once.
bool JBParseState::parseStringInPlace(const std::uint8_t* p) {
  const std::uint8_t* const end = input + length;
  char* first = arena->openText();
  char* out = first;
  char* limit = arena->textLimit();
  for (;;) {
    // Room for a wide copy step or an escape.
    if (limit - out < 32) {
      const auto written = static_cast<std::size_t>(out - first);
      first = arena->widenText(first, written, std::max<std::size_t>(written, 4096));
      out = first + written;
      limit = arena->textLimit();
    }
    // Only checked text is taken as it is.
    const std::uint8_t* const checkedEnd = input + checkedTo;
    p = copyRun(p, checkedEnd, out, limit);
    if (p >= checkedEnd) {
      if (p >= end) {
        recordError("Invalid string.");
        return false;
      }
      checkMore(static_cast<std::size_t>(p - input));
      // The text is not plain after all: the string is read again with its own checks (what was
      // written of it is left behind).
      if (!plainText) return parseLongerString();
      continue;
    }
    const std::uint8_t c = *p;
    if (c == '"') {
      finishString(first, static_cast<std::size_t>(out - first), p);
      openText = first;
      return true;
    }
    if (c < 0x20) {
      recordError("Invalid character < 0x20 found in string: 0x" + hex2(c) + ".");
      return false;
    }
    // Out of room, maybe just before an escape: the room is widened first.
    if (c != '\\' || limit - out < 4) continue;
    if (p + 1 < end && kSimpleEscapes[p[1]] != 0) {
      *out++ = static_cast<char>(kSimpleEscapes[p[1]]);
      p += 2;
      continue;
    }
    const int n = readEscape(p, reinterpret_cast<std::uint8_t*>(out));
    if (n < 0) return false;
    out += n;
  }
}

#if defined(__SSE2__)
namespace {

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

}  // namespace

// Numbers of up to 15 digits, with up to 15 more after a point (19 in all) and no exponent, and
// integers of up to 19 digits (identifiers), well inside the text: the usual ones. Answers false,
// having changed nothing, for every other number.
inline bool JBParseState::parseShortNumber() {
  const std::uint8_t* q = input + pos;
  if (length - pos < 32) return false;
  const bool negative = *q == '-';
  const std::uint8_t* const digits = q + (negative ? 1 : 0);
  unsigned n = static_cast<unsigned>(__builtin_ctz(nonDigits16(digits)));
  // A leading zero stands alone; what follows it is for the general path to judge.
  if (n == 0 || (digits[0] == '0' && n > 1)) return false;
  std::uint64_t mantissa;
  if (n < 16) {
    mantissa = longDigitsValue(digits, n);
  } else {
    // Integers only: a point after so many digits is for the general path.
    if (length - pos < 48) return false;
    n += static_cast<unsigned>(__builtin_ctz(nonDigits16(digits + 16)));
    if (n > 19 || digits[n] == '.') return false;
    mantissa = wideDigitsValue(digits, n);
  }
  const std::uint8_t* after = digits + n;
  if (*after == '.') {
    const std::uint8_t* const fraction = after + 1;
    if (input + length - fraction < 16) return false;
    const unsigned m = static_cast<unsigned>(__builtin_ctz(nonDigits16(fraction)));
    if (m == 0 || m > 15 || n + m > 19) return false;
    after = fraction + m;
    if (*after == 'e' || *after == 'E') return false;
    mantissa = mantissa * kTens[m] + longDigitsValue(fraction, m);
    double d;
    if (mantissa <= (std::uint64_t{1} << 53)) {
      // Both exact: one correctly rounded division.
      d = static_cast<double>(mantissa) / kTenPowers[m];
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

bool JBParseState::parseNumber() {
  if (parseShortNumber()) return true;
  const std::size_t start = pos;
  const std::uint8_t* const end = input + length;
  const std::uint8_t* q = input + pos;
  bool floating = false;
  // The digits read so far as one integer, while it is exact (19 digits always fit); and the
  // exponent they need.
  std::uint64_t mantissa = 0;
  int room = 19;
  bool exact = true;
  int fractionDigits = 0;
  long long exponent = 0;
  auto isDigit = [](std::uint8_t c) { return static_cast<unsigned>(c - '0') < 10; };
  // Digits from q on, into the mantissa while there is room; answers how many.
  auto takeDigits = [&] {
    const std::uint8_t* const from = q;
    while (q < end && isDigit(*q) && room > 0) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
      ++q;
      --room;
    }
    while (q < end && isDigit(*q)) {
      exact = false;
      ++q;
    }
    return static_cast<int>(q - from);
  };
  auto invalid = [&] {
    recordError("Invalid number.");
    return false;
  };
  const bool negative = *q == '-';
  if (negative) ++q;
  if (q >= end) return invalid();
  if (*q == '0') {
    ++q;
  } else if (isDigit(*q)) {
    takeDigits();
  } else {
    return invalid();
  }
  if (q < end && *q == '.') {
    floating = true;
    ++q;
    if (q >= end || !isDigit(*q)) return invalid();
    fractionDigits = takeDigits();
  }
  if (q < end && (*q == 'e' || *q == 'E')) {
    floating = true;
    ++q;
    bool negativeExponent = false;
    if (q < end && (*q == '+' || *q == '-')) negativeExponent = *q++ == '-';
    if (q >= end || !isDigit(*q)) return invalid();
    for (; q < end && isDigit(*q); ++q)
      if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
    if (negativeExponent) exponent = -exponent;
  }
  // A number is complete only when a byte follows it.
  if (q >= end) return invalid();
  const std::size_t p = static_cast<std::size_t>(q - input);
  pos = p;
  value.bytes = reinterpret_cast<const char*>(&value.number);
  value.length = 8;

  // Exact integers, and decimals whose digits and power of ten are exact doubles (one correctly
  // rounded operation gives the nearest double), need no general conversion.
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const std::size_t textLength = p - start;
  if (!floating && !(negative && textLength == 2 && input[start + 1] == '0')) {
    if (exact && !negative) {
      value.kind = JBValueKind::UnsignedInt;
      value.number.u = mantissa;
      hashed = false;
      return true;
    }
    if (exact && mantissa <= (std::uint64_t{1} << 63)) {
      value.kind = JBValueKind::SignedInt;
      value.number.u = 0 - mantissa;
      hashed = false;
      return true;
    }
  } else if (exact && mantissa <= (std::uint64_t{1} << 53)) {
    const long long power = exponent - fractionDigits;
    if (power >= -22 && power <= 22) {
      double d = static_cast<double>(mantissa);
      d = power < 0 ? d / kPowersOfTen[-power] : d * kPowersOfTen[power];
      value.kind = JBValueKind::Double;
      value.number.d = negative ? -d : d;
      hashed = false;
      return true;
    }
  }
  if (floating && exact &&
      json::decimalToDouble(mantissa, exponent - fractionDigits, negative, value.number.d)) {
    value.kind = JBValueKind::Double;
    hashed = false;
    return true;
  }

  const char* first = reinterpret_cast<const char*>(input + start);
  const char* last = reinterpret_cast<const char*>(input + p);
  const std::string_view text(first, static_cast<std::size_t>(last - first));
  std::from_chars_result r{};
  if (floating || text == "-0") {
    value.kind = JBValueKind::Double;
    r = std::from_chars(first, last, value.number.d);
    if (r.ec == std::errc::result_out_of_range) {
      recordError("The value '" + std::string(text) + "' could not be represented as a 'double' due to " +
                  (exceedsAbove(text) ? "overflow" : "underflow") + ".");
      return invalid();
    }
  } else if (text[0] == '-') {
    value.kind = JBValueKind::SignedInt;
    r = std::from_chars(first, last, value.number.i, 10);
    if (r.ec == std::errc::result_out_of_range) {
      recordError("The value '" + std::string(text) +
                  "' exceeded the minimum value that could be represented: -9223372036854775808.");
      return invalid();
    }
  } else {
    value.kind = JBValueKind::UnsignedInt;
    r = std::from_chars(first, last, value.number.u, 10);
    if (r.ec == std::errc::result_out_of_range) {
      recordError("The value '" + std::string(text) +
                  "' exceeded the maximum value that could be represented: 18446744073709551615.");
      return invalid();
    }
  }
  if (r.ec != std::errc()) return invalid();
  if (r.ptr != last) {
    recordError("The conversion function did not consume all of the number tokens characters.");
    return invalid();
  }
  hashed = false;
  return true;
}

// Looks the current string or number token up in the value cache, when the decoder keeps one.
bool JBParseState::touchCacheSlow() {
  tokenHash();
  if (cache.cachedObject(value)) return true;
  recordError("Internal error: Unknown token value type. JSONDecoder.cpp line #1");
  return false;
}

// The document's copy of the current string token.
// A copy is cheaper than looking for an equal string the document has already.
const platform::TextStore::Block* JBParseState::documentText() {
  if (value.length <= JBTokenCache::kMaxCachedStringLength && !touchCache()) return nullptr;
  if (openText) {
    const platform::TextStore::Block* text = arena->closeText(openText, value.length);
    openText = nullptr;
    return text;
  }
  if (value.length == 0) {
    if (!emptyText) emptyText = arena->text(value.bytes, 0);
    return emptyText;
  }
  return arena->text(value.bytes, value.length);
}

// The document's key for the current string token, and its hash.
const std::string* JBParseState::pooledKey(std::string_view text, std::size_t& keyHash) {
  for (;;) {
    if (!keyPool) {
      keyPool = JBKeyPool::create();
      ++keyPoolNumber;
    }
    if (heldPool != keyPool) {
      arena->hold(keyPool);
      heldPool = keyPool;
    }
    if (const std::string* k = keyPool->key(text, tokenHash(), keyHash)) return k;
    // Full: later keys go to a new pool; this one lives on with the documents using it.
    keyPool->release();
    keyPool = nullptr;
  }
}

bool JBParseState::documentKey(const std::string*& key, std::size_t& keyHash) {
  // The keys' homes are carved from the arena too.
  closeOpenText();
  const std::string_view text(value.bytes, value.length);
  if (value.length <= JBTokenCache::kMaxCachedStringLength && !touchCache()) return false;
  if (value.length > JBKeyPool::kMaxKeyLength || value.length == 0) {
    key = arena->key(text);
    keyHash = JBDictionary::hashKey(text);
    return true;
  }
  key = pooledKey(text, keyHash);
  return true;
}

bool JBParseState::predictedDocumentKey(const std::string*& key, std::size_t& keyHash, std::size_t position) {
  if (useCache || value.length == 0 || value.length > JBKeyPool::kMaxKeyLength)
    return documentKey(key, keyHash);
  closeOpenText();
  const std::string_view text(value.bytes, value.length);
  {
    const PredictedKey& p = layouts.predictedRow(depth)[position % JBLayouts::kPredictedPositions];
    const JBTokenCache::Words w = JBTokenCache::wordsOf(value.bytes, value.length);
    if (p.poolNumber == keyPoolNumber && keyPool && p.length == value.length && p.words.a == w.a &&
        p.words.b == w.b && JBKeyPool::sameLongKey(*p.key, value.bytes)) {
      holdKeyPool();
      key = p.key;
      keyHash = p.keyHash;
      return true;
    }
    // One of the keys of the dictionary before at this depth, in an order of its own.
    if (keyPool && layouts.current(depth)) {
      Layout& l = *layouts.current(depth);
      if (l.poolNumber == keyPoolNumber) {
        const std::size_t place = l.placeOfText(value.bytes, value.length, w);
        if (place != kMaxLayoutKeys) {
          holdKeyPool();
          key = l.keys[place];
          keyHash = l.details[place].keyHash;
          if (place == position) rememberKey(position, key, keyHash, text, w);
          return true;
        }
      }
    }
    key = pooledKey(text, keyHash);
    rememberKey(position, key, keyHash, text, w);
    return true;
  }
}

std::size_t JBParseState::layoutKeyAhead(Layout& layout, std::size_t position, const std::string*& key,
                                         std::size_t& keyHash) {
#if defined(__SSE2__)
  if (layout.poolNumber != keyPoolNumber || !keyPool || length - pos < 16 ||
      !(layout.indexed || layout.worthIndexing))
    return kMaxLayoutKeys;
  const std::uint8_t* const at = input + pos;
  const auto quotes = static_cast<std::uint32_t>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi8('"'))));
  // A key of up to 13 bytes, with its closing quotation mark and the ':' in these 16 bytes.
  if ((quotes & 1) == 0 || (quotes & 0x7FFE) == 0) return kMaxLayoutKeys;
  const std::size_t n = static_cast<std::size_t>(__builtin_ctz(quotes & ~1u)) - 1;
  if (at[n + 2] != ':') return kMaxLayoutKeys;
  const char* const text = reinterpret_cast<const char*>(at + 1);
  const JBTokenCache::Words w = JBTokenCache::wordsOf(text, n);
  const std::size_t place = layout.placeOfText(text, n, w);
  // The text holds no quotation mark; equal to a plain key, it holds no escape either.
  if (place == kMaxLayoutKeys || !layout.details[place].plain) return kMaxLayoutKeys;
  holdKeyPool();
  key = layout.keys[place];
  keyHash = layout.details[place].keyHash;
  if (place == position) rememberKey(position, key, keyHash, std::string_view(text, n), w);
  // As though the ':' had just been read (the value's token comes next).
  pos += n + 3;
  return place;
#else
  (void)layout;
  (void)position;
  (void)key;
  (void)keyHash;
  return kMaxLayoutKeys;
#endif
}

// When the text at the scan position is the key found last at this place, written plainly and
// followed by ':' (records of one answer write their keys alike), takes both at once.
inline bool JBParseState::predictedKeyAhead(const PredictedKey& p, const std::string*& key,
                                            std::size_t& keyHash) {
  const std::size_t n = p.length;
  if (p.poolNumber != keyPoolNumber || !keyPool) return false;
  const std::uint8_t* const at = input + pos;
#if defined(__SSE2__)
  if (p.patternMask != 0 && length - pos >= 16) {
    if (!JBLayouts::writtenAt(p, at)) return false;
  } else
#endif
  {
    if (!p.plain || length - pos < n + 3) return false;
    if (at[0] != '"' || at[n + 1] != '"' || at[n + 2] != ':') return false;
    const JBTokenCache::Words w = JBTokenCache::wordsOf(reinterpret_cast<const char*>(at + 1), n);
    if (w.a != p.words.a || w.b != p.words.b) return false;
    if (!JBKeyPool::sameLongKey(*p.key, reinterpret_cast<const char*>(at + 1))) return false;
  }
  if (heldPool != keyPool) {
    arena->hold(keyPool);
    heldPool = keyPool;
  }
  key = p.key;
  keyHash = p.keyHash;
  // As though the ':' had just been read (the value's token comes next).
  pos += n + 3;
  return true;
}

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

bool JBParseState::scalarValue(platform::Value& out) {
  // out holds nothing: the value is made in its place (a temporary moved in would cost a stall
  // on reading back what was just written).
  auto make = [&out](auto&&... args) { new (&out) platform::Value(std::forward<decltype(args)>(args)...); };
  switch (token) {
    case Token::String: {
      const platform::TextStore::Block* text = documentText();
      if (!text) return false;
      new (&out) platform::Value(platform::Value::borrowingText(*arena, *text));
      return true;
    }
    case Token::Number:
      if (!touchCache()) return false;
      switch (value.kind) {
        case JBValueKind::SignedInt:
          make(static_cast<long long>(value.number.i));
          break;
        case JBValueKind::UnsignedInt:
          if (value.number.u < (std::uint64_t{1} << 63))
            make(static_cast<long long>(value.number.u));
          else
            make(static_cast<unsigned long long>(value.number.u));
          break;
        default:
          make(value.number.d);
          break;
      }
      return true;
    case Token::True:
      make(true);
      return true;
    case Token::False:
      make(false);
      return true;
    case Token::Null:
      make();
      return true;
    default:
      recordError("Internal error: Unknown token type. JSONDecoder.cpp line #2");
      return false;
  }
}

bool JBParseState::parseArray(platform::Value& out) {
  if (++depth > JBMaximumNestingDepth) {
    --depth;
    recordError("Arrays and dictionaries are nested deeper than 512 levels.");
    return false;
  }
  const std::size_t start = objectStack.size();
  unsigned accepted = kAcceptValue | kAcceptEnd;
  for (;;) {
    if (pos >= length || !nextToken()) break;
    if (isValueToken(token)) {
      if (!(accepted & kAcceptValue)) {
        recordError("Unexpected value.");
        break;
      }
      if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
        platform::Value child;
        if (!parseContainer(token, child)) break;
        objectStack.push_back(std::move(child));
      } else if (!tokenValue(objectStack.emplace_back())) {
        break;
      }
      // A comma just after a value needs no token of its own.
      if (pos < length && input[pos] == ',') {
        ++pos;
        accepted = kAcceptValue;
        continue;
      }
      accepted = kAcceptComma | kAcceptEnd;
    } else if (token == Token::ArrayEnd) {
      if (!(accepted & kAcceptEnd)) {
        recordError("Unexpected ']'.");
        break;
      }
      if (mutableCollections)
        out = JBArray::create(objectStack.data() + start, objectStack.size() - start, nodes, storage, true);
      else  // out is null: the value is made in its place
        new (&out) platform::Value(platform::Value::borrowingObject(
            *owner, JBArray::createIn(*arena, objectStack.data() + start, objectStack.size() - start)));
      objectStack.resize(start);
      --depth;
      return true;
    } else if (token == Token::Comma) {
      if (!(accepted & kAcceptComma)) {
        recordError("Unexpected ','.");
        break;
      }
      accepted = kAcceptValue;
    } else {
      recordExpectation(accepted, "a value", "a ']'");
      break;
    }
  }
  objectStack.resize(start);
  --depth;
  return false;
}

bool JBParseState::parseDictionary(platform::Value& out) {
  if (++depth > JBMaximumNestingDepth) {
    --depth;
    recordError("Arrays and dictionaries are nested deeper than 512 levels.");
    return false;
  }
  if (layoutsWorthTrying()) return parseDictionaryByLayout(out);
  const std::size_t start = pairStack.size();
  unsigned accepted = kAcceptValue | kAcceptEnd;
  for (;;) {
    if (pos >= length || !nextToken()) break;
    if (token == Token::String) {
      if (!(accepted & kAcceptValue)) {
        recordError("Unexpected string.");
        break;
      }
      const std::string* key;
      std::size_t keyHash;
      if (!documentKey(key, keyHash) || !nextToken()) break;
      if (token != Token::Separator) {
        recordError("Expected ':'.");
        break;
      }
      if (!nextToken() || !isValueToken(token)) {
        recordExpectation(accepted, "a value", "a '}'");
        break;
      }
      if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
        platform::Value child;
        if (!parseContainer(token, child)) break;
        pairStack.push_back(JBDictionary::Pair{key, std::move(child), keyHash});
      } else {
        JBDictionary::Pair& pair = pairStack.emplace_back();
        pair.key = key;
        pair.keyHash = keyHash;
        if (!tokenValue(pair.object)) break;
      }
      // A comma just after a value needs no token of its own.
      if (pos < length && input[pos] == ',') {
        ++pos;
        accepted = kAcceptValue;
        continue;
      }
      accepted = kAcceptComma | kAcceptEnd;
    } else if (token == Token::ObjectEnd) {
      if (!(accepted & kAcceptEnd)) {
        recordError("Unexpected '}'.");
        break;
      }
      // out is null: the value is made in its place.
      new (&out) platform::Value(makeDictionary(pairStack.data() + start, pairStack.size() - start));
      pairStack.resize(start);
      --depth;
      return true;
    } else if (token == Token::Comma) {
      if (!(accepted & kAcceptComma)) {
        recordError("Unexpected ','.");
        break;
      }
      accepted = kAcceptValue;
    } else {
      recordExpectation(accepted, "a \"STRING\"", "a '}'");
      break;
    }
  }
  pairStack.resize(start);
  --depth;
  return false;
}

bool JBParseState::parseDictionaryByLayout(platform::Value& out) {
  const std::size_t start = pairStack.size();
  // When the dictionary before at this depth had a table, this one is likely to have the same keys
  // in the same order: its pairs go straight into the document's memory, as many as that one had,
  // and move to the stack when a key differs.
  JBDictionary::Pair* direct = nullptr;
  std::size_t directCount = 0;
  std::size_t directTaken = 0;
  Layout* layout = nullptr;
  const std::string* const* layoutKeys = nullptr;
  // Whether a key came out of the layout's order, and then the places of the keys taken and the
  // table of the pairs taken.
  bool permuted = false;
  std::uint64_t takenKeys = 0;
  std::uint32_t* permutedSlots = nullptr;
  auto placeInPermutedSlots = [&](std::size_t pair, std::size_t place) {
    const std::size_t capacity = layout->slots.size();
    std::size_t i = layout->details[place].home;
    while (permutedSlots[i] != 0)
      if (++i == capacity) i = 0;
    permutedSlots[i] = static_cast<std::uint32_t>(pair + 1);
  };
  const PredictedKey* const predictions = predictedRow();
  // The layout is chosen by the first key's text.
  if (pos < length && kMaybeSpace[input[pos]]) {
    skipWhitespace();
    // What the general loop's token reader would say of white space to the end.
    if (pos >= length) {
      recordError(kUnexpectedToken);
      --depth;
      return false;
    }
  }
  Layout* const chosen = layouts.choose(depth, keyPool ? keyPoolNumber : 0, input + pos, length - pos);
  if (!mutableCollections && chosen) {
    // Its keys are told by their addresses: the pool must outlive the document.
    holdKeyPool();
    layout = chosen;
    layoutKeys = chosen->keys.data();
    directCount = chosen->keys.size();
    direct = static_cast<JBDictionary::Pair*>(
        arena->carveNode(directCount * sizeof(JBDictionary::Pair), alignof(JBDictionary::Pair)));
  }
  auto spill = [&] {
    // Values of an immutable document own nothing: moving them leaves nothing to destroy.
    pairStack.resize(start + directTaken);
    for (std::size_t i = 0; i < directTaken; ++i) pairStack[start + i] = std::move(direct[i]);
    direct = nullptr;
  };
  unsigned accepted = kAcceptValue | kAcceptEnd;
  // A record written as the one before: while each key stands where that record had it, written
  // alike (one comparison of its pattern), its pairs are taken without the general loop's checks,
  // which take over at the first thing that differs. False when the text is bad (recorded).
  auto takePairsLikeBefore = [this, direct, directCount, layout, &directTaken, &accepted]() -> bool {
#if defined(__SSE2__)
    if (heldPool != keyPool) {
      arena->hold(keyPool);
      heldPool = keyPool;
    }
    // The count kept where the compiler may hold it in a register, and handed back at the end.
    std::size_t taken = directTaken;
    struct HandBack {
      std::size_t& to;
      const std::size_t& from;
      ~HandBack() { to = from; }
    } handBack{directTaken, taken};
    while (taken < directCount) {
      Layout::Pattern& p = layout->pattern(taken);
      if (JBLayouts::writtenAt(p.led, input + pos, length - pos)) {
        pos += p.led.length;
        if (countLines) line += p.led.lines;
      } else {
        const std::size_t from = pos;
        if (pos < length && kMaybeSpace[input[pos]]) {
          skipWhitespace();
          if (pos >= length) {
            recordError(kUnexpectedToken);
            return false;
          }
        }
        if (!JBLayouts::writtenAt(p, input + pos, length - pos)) return true;
        JBLayouts::learnLead(p, input + from, input + pos, input + length);
        pos += p.length + 3;
      }
      if (!nextToken() || !isValueToken(token)) {
        recordExpectation(accepted, "a value", "a '}'");
        return false;
      }
      // The pair's value is made in its place: a container's is assigned, so it starts null.
      JBDictionary::Pair* const pair = direct + taken++;
      pair->key = p.key;
      pair->keyHash = p.keyHash;
      if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
        if (!parseContainer(token, *new (&pair->object) platform::Value())) return false;
      } else if (!tokenValue(pair->object)) {
        return false;
      }
      if (pos < length && input[pos] == ',') {
        ++pos;
        accepted = kAcceptValue;
        continue;
      }
      accepted = kAcceptComma | kAcceptEnd;
      return true;
    }
#endif
    return true;
  };
  // The general loop; it does not start when the pairs taken above end in bad text.
  for (const bool good = !(direct && predictions) || takePairsLikeBefore(); good;) {
    if (pos >= length) break;
    const std::string* key;
    std::size_t keyHash;
    const std::size_t position = direct ? directTaken : pairStack.size() - start;
    // Pretty-printed text: the key is looked for past the line's indentation.
    if (predictions && kMaybeSpace[input[pos]]) skipWhitespace();
    std::size_t place = kMaxLayoutKeys;  // the key's place in the layout's keys, when known
    bool predicted = false;
    if ((accepted & kAcceptValue) && predictions) {
      predicted = predictedKeyAhead(predictions[position % JBLayouts::kPredictedPositions], key, keyHash);
      if (!predicted && layout) {
        place = layoutKeyAhead(*layout, position, key, keyHash);
        predicted = place != kMaxLayoutKeys;
      }
    }
    if (!predicted && !nextToken()) break;
    if (predicted || token == Token::String) {
      if (!predicted) {
        if (!(accepted & kAcceptValue)) {
          recordError("Unexpected string.");
          break;
        }
        if (!predictedDocumentKey(key, keyHash, position)) break;
        if (!nextToken()) break;
        if (token != Token::Separator) {
          recordError("Expected ':'.");
          break;
        }
      }
      if (direct && (directTaken == directCount || permuted || layoutKeys[directTaken] != key)) {
        // The layout's keys in another order still go straight in, each once, their table made as
        // they come (before the value is read: its text may lie open in the document's memory).
        if (directTaken < directCount && place == kMaxLayoutKeys) place = layout->placeOf(key);
        // Taken already (before the order changed, the first directTaken places are): a repeated key.
        if (place == kMaxLayoutKeys || (permuted ? (takenKeys >> place & 1) != 0 : place < directTaken)) {
          spill();
        } else {
          if (!permuted) {
            permuted = true;
            const std::size_t capacity = layout->slots.size();
            permutedSlots = static_cast<std::uint32_t*>(
                arena->carveNode(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
            std::fill(permutedSlots, permutedSlots + capacity, 0);
            for (std::size_t n = 0; n < directTaken; ++n) placeInPermutedSlots(n, n);
            takenKeys = (std::uint64_t{1} << directTaken) - 1;  // below 64: one key is still to come
          }
          takenKeys |= std::uint64_t{1} << place;
          placeInPermutedSlots(directTaken, place);
        }
      }
      if (!nextToken() || !isValueToken(token)) {
        recordExpectation(accepted, "a value", "a '}'");
        break;
      }
      if (direct) {
        // The document's memory stays put while a child is read into it.
        auto* pair = new (direct + directTaken++) JBDictionary::Pair{key, platform::Value(), keyHash};
        if (!(token == Token::ArrayBegin || token == Token::ObjectBegin ? parseContainer(token, pair->object)
                                                                        : tokenValue(pair->object)))
          break;
      } else if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
        platform::Value child;
        if (!parseContainer(token, child)) break;
        pairStack.push_back(JBDictionary::Pair{key, std::move(child), keyHash});
      } else {
        JBDictionary::Pair& pair = pairStack.emplace_back();
        pair.key = key;
        pair.keyHash = keyHash;
        if (!tokenValue(pair.object)) break;
      }
      // A comma just after a value needs no token of its own.
      if (pos < length && input[pos] == ',') {
        ++pos;
        accepted = kAcceptValue;
        continue;
      }
      accepted = kAcceptComma | kAcceptEnd;
    } else if (token == Token::ObjectEnd) {
      if (!(accepted & kAcceptEnd)) {
        recordError("Unexpected '}'.");
        break;
      }
      // out is null: the value is made in its place.
      // Up to three keys have no more orders than a depth keeps layouts: each order is learnt as a
      // layout of its own, so that the next dictionary in it is read in order.
      if (direct && directTaken == directCount && (!permuted || directCount > kKeysOfFewOrders)) {
        // Its pairs never went to the stack.
        new (&out) platform::Value(platform::Value::borrowingObject(
            *owner, JBDictionary::adoptLikeIn(*arena, direct, directCount,
                                              permuted ? permutedSlots : layouts.sharedSlots(*layout, *arena),
                                              layout->slots.size())));
        // A few keys out of the layout's order are read no faster than by the general loop.
        layouts.noteOutcome(depth, permuted && directCount < kFewKeys);
      } else {
        if (direct) spill();
        bool missed = false;
        new (&out)
            platform::Value(makeLearntDictionary(pairStack.data() + start, pairStack.size() - start, missed));
        pairStack.resize(start);
        layouts.noteOutcome(depth, missed);
      }
      --depth;
      return true;
    } else if (token == Token::Comma) {
      if (!(accepted & kAcceptComma)) {
        recordError("Unexpected ','.");
        break;
      }
      accepted = kAcceptValue;
    } else {
      recordExpectation(accepted, "a \"STRING\"", "a '}'");
      break;
    }
  }
  pairStack.resize(start);
  --depth;
  return false;
}

platform::Value JBParseState::makeDictionary(JBDictionary::Pair* pairs, std::size_t count) {
  if (mutableCollections) return JBDictionary::create(pairs, count, nodes, storage, true, true);
  return platform::Value::borrowingObject(*owner, JBDictionary::createIn(*arena, pairs, count));
}

platform::Value JBParseState::makeLearntDictionary(JBDictionary::Pair* pairs, std::size_t count,
                                                   bool& missed) {
  if (mutableCollections) return makeDictionary(pairs, count);
  auto borrowed = [this](JBDictionary* d) { return platform::Value::borrowingObject(*owner, d); };
  // Only depths with a table of their own learn one: a dictionary being read at a depth reads its
  // table (parseDictionaryByLayout) until it ends, and no dictionary nested in it is at that depth.
  missed = true;
  if (count == 0 || count > kMaxLayoutKeys || !keyPool)
    return borrowed(JBDictionary::createIn(*arena, pairs, count));
  if (const Layout* l = layouts.matching(depth, keyPoolNumber, pairs, count)) {
    missed = false;
    return borrowed(JBDictionary::createLikeIn(*arena, pairs, count, l->slots.data(), l->slots.size()));
  }
  JBDictionary* d = JBDictionary::createIn(*arena, pairs, count);
  if (d->count_ == count) {
    bool pooled = true;
    for (std::size_t i = 0; i < count && pooled; ++i) pooled = keyPool->holds(d->pairs_[i].key);
    if (pooled) missed = layouts.learn(depth, keyPoolNumber, *d);
  }
  return borrowed(d);
}

platform::Value JBParseState::parse(const std::uint8_t* bytes, std::size_t len, bool mutableResult,
                                    platform::Error* errorOut) {
  input = bytes;
  length = len;
  pos = 0;
  line = 1;
  countLines = has(options, JBParseOptionUnicodeLineBreaks);
  error.reset();
  mutableCollections = mutableResult;
  depth = 0;
  arena = JBArena::create();
  emptyText = nullptr;
  openText = nullptr;
  plainText = true;
  checkedTo = 0;
  checkBelow = 0;
  heldPool = nullptr;
  layouts.startDocument();
  struct ReleaseArena {
    JBParseState& state;
    ~ReleaseArena() {
      state.arena->release();
      state.arena = nullptr;
      state.nodes = state.storage = nullptr;
      state.owner = nullptr;
    }
  } releaseArena{*this};
  nodes = arena->nodes();
  // Mutable containers grow, so their storage comes from the heap.
  storage = mutableResult ? std::pmr::new_delete_resource() : arena->storage();
  // Immutable containers live by one count, the arena's: the document goes at once.
  platform::ObjectPtr documentOwner;
  if (!mutableResult) {
    documentOwner = arena->makeOwner();
    owner = &arena->owner();
  }

  platform::Value root;
  if (pos < length && nextToken()) {
    if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
      if (!parseContainer(token, root)) root = platform::Value();
    } else {
      recordError("Expected either '[' or '{'.");
    }
  }
  // The caller's root holds the count.
  if (!mutableResult && !root.isNull()) root = platform::Value(root);
  if (!root.isNull()) {
    // The root remembers how much text it came from: an encoder sizes its output by it.
    platform::Object* rootObject = root.objectPointer();
    if (typeid(*rootObject) == typeid(JBDictionary))
      static_cast<JBDictionary*>(rootObject)->decodedLength_ = pos;
    else if (typeid(*rootObject) == typeid(JBArray))
      static_cast<JBArray*>(rootObject)->decodedLength_ = pos;
    if (pos < length) {
      skipWhitespace();
      if (!has(options, JBParseOptionAllowTrailingText) && pos < length) {
        recordError(
            "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
        root = platform::Value();
      }
    }
  } else {
    if (pos == length) recordError("Reached the end of the buffer.");
    recordError("Unable to parse JSON.");
  }
  if (error && errorOut) *errorOut = std::move(*error);

  error.reset();
  objectStack.clear();
  pairStack.clear();
  if (tokenBuffer.capacity() > 64 * 1024) std::string().swap(tokenBuffer);
  // A decoder kept for later parses does not hold on to what one large document needed.
  if (objectStack.capacity() > 64 * 1024) std::vector<platform::Value>().swap(objectStack);
  if (pairStack.capacity() > 16 * 1024) std::vector<JBDictionary::Pair>().swap(pairStack);
  input = nullptr;
  length = pos = 0;
  line = 1;
  value = JBTokenValue();
  return root;
}

// ---- JSONDecoder ----

namespace {
// The parse state of the last decoder that ended on this thread, emptied, for the next one: most
// decoders live for one parse, and making the stacks and the cache table afresh each time would
// cost more than many a parse.
thread_local std::unique_ptr<JBParseState> spareState;
}  // namespace

JSONDecoder::JSONDecoder(Token, JBParseOptions parseOptions) : options_(parseOptions) {
  if ((static_cast<unsigned>(parseOptions) & ~static_cast<unsigned>(JBParseOptionValidFlags)) != 0)
    throw platform::InvalidArgumentException("Invalid parse options.");
  if (spareState) {
    state_ = std::move(spareState);
    state_->options = parseOptions;
    state_->useCache = true;
    state_->learnLayouts = true;
  } else {
    state_ = std::make_unique<JBParseState>(parseOptions);
  }
}

JSONDecoder::~JSONDecoder() {
  if (!state_ || spareState) return;
  state_->cache.reset();
  // A spare keeps only what a usual answer needs.
  if (state_->objectStack.capacity() > 4096) std::vector<platform::Value>().swap(state_->objectStack);
  if (state_->pairStack.capacity() > 2048) std::vector<JBDictionary::Pair>().swap(state_->pairStack);
  if (state_->tokenBuffer.capacity() > 16 * 1024) std::string().swap(state_->tokenBuffer);
  spareState = std::move(state_);
}

std::shared_ptr<JSONDecoder> JSONDecoder::decoderWithParseOptions(JBParseOptions parseOptions) {
  return std::make_shared<JSONDecoder>(Token(), parseOptions);
}

platform::Value JSONDecoder::parse(const char* bytes, std::size_t length, bool mutableCollections,
                                   platform::Error* error) {
  if (!bytes && length != 0) throw platform::InvalidArgumentException("The string argument is NULL.");
  static const std::uint8_t kNothing = 0;
  const auto* input = bytes ? reinterpret_cast<const std::uint8_t*>(bytes) : &kNothing;
  return state_->parse(input, length, mutableCollections, error);
}

platform::Value JSONDecoder::parseOnce(const char* bytes, std::size_t length, JBParseOptions parseOptions,
                                       bool mutableCollections, platform::Error* error,
                                       JBLayoutLearning learning) {
  JSONDecoder decoder(Token(), parseOptions);
  decoder.state_->useCache = false;
  decoder.setLayoutLearning(learning);
  return decoder.parse(bytes, length, mutableCollections, error);
}

platform::Value JSONDecoder::objectWithUTF8String(const char* bytes, std::size_t length,
                                                  platform::Error* error) {
  return parse(bytes, length, false, error);
}

platform::Value JSONDecoder::mutableObjectWithUTF8String(const char* bytes, std::size_t length,
                                                         platform::Error* error) {
  return parse(bytes, length, true, error);
}

platform::Value JSONDecoder::objectWithData(const platform::Data& data, platform::Error* error) {
  return parse(reinterpret_cast<const char*>(data.data()), data.size(), false, error);
}

platform::Value JSONDecoder::mutableObjectWithData(const platform::Data& data, platform::Error* error) {
  return parse(reinterpret_cast<const char*>(data.data()), data.size(), true, error);
}

void JSONDecoder::setLayoutLearning(JBLayoutLearning learning) {
  state_->learnLayouts = learning == JBLayoutLearning::On;
}

void JSONDecoder::clearCache() { state_->cache.clear(); }

const JBTokenCache& JSONDecoder::tokenCache() const { return state_->cache; }

}  // namespace kavro
