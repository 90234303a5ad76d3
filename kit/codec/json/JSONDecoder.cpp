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

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDecimal.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBKeyPool.h"
#include "kit/codec/json/JBParseState.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {

namespace {

using namespace jbdecode;
using json::ConversionResult;

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

// Stops at anything but spaces, tabs and line feeds (a carriage return or comment is left to
// skipWhitespace's own loop).
inline void JBParseState::skipPlainSpace() {
  while (length - pos >= 16 && plainSpaceStep()) {
  }
}

void JBParseState::skipWhitespaceSlow() {
#if defined(__SSE2__)
  // An indentation longer than one step: the position and the line count in registers, and
  // written back once, rather than stored and loaded again at every step.
  {
    const std::uint8_t* const in = input;
    const std::size_t end = length;
    std::size_t at = pos;
    std::size_t feeds = 0;
    while (end - at >= 16) {
      unsigned lineFeeds;
      const unsigned n = plainSpaceRun(in + at, lineFeeds);
      for (; lineFeeds != 0; lineFeeds &= lineFeeds - 1) ++feeds;
      at += n;
      if (n != 16) break;
    }
    pos = at;
    if (countLines) line += feeds;
    // Stopped at a token: the loop below is for carriage returns, comments, other line breaks and
    // the last few bytes.
    if (end - at >= 16 && !kMaybeSpace[in[at]]) return;
  }
#endif
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
    if (!emptyText) {
      emptyText = arena->text(value.bytes, 0);
      arena->keep();
    }
    return emptyText;
  }
  return arena->text(value.bytes, value.length);
}

// A pool for the keys to come: the first, or a new one when the last is full (it lives on with the
// documents using it).
void JBParseState::newKeyPool() {
  if (keyPool) keyPool->release();
  keyPool = JBKeyPool::create();
  ++keyPoolNumber;
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
  // An empty list right after its '[', as most of a record's lists are: no token read for it.
  if (pos < length && input[pos] == ']') {
    tokenStart = pos++;
    token = Token::ArrayEnd;
    if (mutableCollections)
      out = JBArray::create(objectStack.data() + start, 0, nodes, true);
    else
      new (&out) platform::Value(platform::Value::borrowingObject(*owner, immutableArray(nullptr, 0)));
    --depth;
    return true;
  }
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
        out = JBArray::create(objectStack.data() + start, objectStack.size() - start, nodes, true);
      else  // out is null: the value is made in its place
        new (&out) platform::Value(platform::Value::borrowingObject(
            *owner, immutableArray(objectStack.data() + start, objectStack.size() - start)));
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
  // Records laid out as those before them are read by the layout reader, unless it declines.
  const JBLayoutReader::Outcome byLayout = layoutReader.readDictionary(*this, depth, out);
  if (byLayout != JBLayoutReader::Outcome::Declined) {
    --depth;
    return byLayout == JBLayoutReader::Outcome::Read;
  }
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

platform::Value JBParseState::makeDictionary(JBDictionary::Pair* pairs, std::size_t count) {
  if (mutableCollections) return JBDictionary::create(pairs, count, nodes, storage, true, true);
  if (count == 0) return platform::Value::borrowingObject(*owner, theEmptyDictionary());
  const std::uint64_t hash = pairsHash(pairs, count);
  JBDictionary* d = sameDictionary(hash, pairs, count);
  if (!d) {
    d = JBDictionary::createIn(*arena, pairs, count);
    shareDictionary(hash, d, count);
  }
  return platform::Value::borrowingObject(*owner, d);
}

JBDictionary* JBParseState::theEmptyDictionary() {
  if (!emptyDictionary) {
    emptyDictionary = JBDictionary::createIn(*arena, nullptr, 0);
    arena->keep();
  }
  return emptyDictionary;
}

JBArray* JBParseState::immutableArray(platform::Value* objects, std::size_t count) {
  if (count == 0) {
    if (!emptyArray) {
      emptyArray = JBArray::createIn(*arena, nullptr, 0);
      arena->keep();
    }
    return emptyArray;
  }
  std::uint64_t hash = 0;
  if (count <= JBNodeShare::kMaxMembers && sharedArrays.worthLooking()) {
    hash = JBNodeShare::hashOf(count, 0xBB67AE8584CAA73Bull,
                               [objects](std::size_t i) { return JBNodeShare::memberWord(objects[i]); });
  }
  if (hash == 0) return JBArray::createIn(*arena, objects, count);
  auto* same = static_cast<JBArray*>(sharedArrays.find(hash, [&](void* node) {
    const auto* a = static_cast<const JBArray*>(node);
    if (a->count_ != count) return false;
    for (std::size_t i = 0; i < count; ++i)
      if (!JBNodeShare::sameMember(a->values()[i], objects[i])) return false;
    return true;
  }));
  sharedArrays.noteLook(same != nullptr);
  if (same) return same;
  JBArray* a = JBArray::createIn(*arena, objects, count);
  sharedArrays.add(hash, a);
  arena->keep();
  return a;
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
  emptyArray = nullptr;
  emptyDictionary = nullptr;
  sharedArrays.clear();
  sharedDictionaries.clear();
  openText = nullptr;
  plainText = true;
  checkedTo = 0;
  checkBelow = 0;
  heldPool = nullptr;
  layoutReader.startDocument();
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
    if (!mutableResult) arena->setRoot(root.objectPointer(), pos);
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
  // Nothing of this document is shared with the next.
  sharedArrays.clear();
  sharedDictionaries.clear();
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
    state_->layoutReader.setOn(true);
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
  state_->layoutReader.setOn(learning == JBLayoutLearning::On);
}

void JSONDecoder::clearCache() { state_->cache.clear(); }

const JBTokenCache& JSONDecoder::tokenCache() const { return state_->cache; }

}  // namespace kavro
