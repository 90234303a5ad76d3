#include "kit/codec/json/JBTokenReader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDecimal.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Value.h"

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

// The powers of ten that are exact doubles.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

void JBTokenReader::start(const std::uint8_t* bytes, std::size_t length, JBArena* arena) {
  input_ = bytes;
  length_ = length;
  pos_ = 0;
  line_ = 1;
  countLines_ = has(options_, JBParseOptionUnicodeLineBreaks);
  error_.reset();
  arena_ = arena;
  openText_ = nullptr;
  plainText_ = true;
  checkedTo_ = 0;
  checkBelow_ = 0;
}

std::optional<platform::Error> JBTokenReader::finish() {
  std::optional<platform::Error> error = std::move(error_);
  error_.reset();
  // A decoder kept for later parses does not hold on to what one large string needed.
  trimBuffer(64 * 1024);
  input_ = nullptr;
  length_ = pos_ = 0;
  line_ = 1;
  value_ = JBTokenValue();
  arena_ = nullptr;
  openText_ = nullptr;
  return error;
}

void JBTokenReader::recordError(std::string message) {
  if (error_) return;
  auto info = platform::MutableDictionary::create();
  info->setObject(platform::Value(static_cast<unsigned long long>(pos_)), JBAtIndexKey);
  info->setObject(platform::Value(static_cast<unsigned long long>(lineAtPos())), JBLineNumberKey);
  error_ = platform::Error{std::string(JBErrorDomain), -1, std::move(message), std::move(info), nullptr};
}

std::size_t JBTokenReader::lineAtPos() const {
  if (countLines_) return line_;
  std::size_t breaks = 0;
  // A carriage return and a line feed after it are one break.
  for (std::size_t i = 0; i < pos_; ++i)
    breaks += input_[i] == '\r' || (input_[i] == '\n' && (i == 0 || input_[i - 1] != '\r'));
  return breaks + 1;
}

void JBTokenReader::recordExpectation(unsigned accepted, const char* valueText, const char* endText) {
  if (error_) return;
  std::vector<std::string> items;
  if (accepted & kAcceptValue) items.emplace_back(valueText);
  if (accepted & kAcceptComma) items.emplace_back("a comma");
  if (accepted & kAcceptEnd) items.emplace_back(endText);
  const std::string text(reinterpret_cast<const char*>(input_) + tokenStart_, pos_ - tokenStart_);
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
inline std::size_t JBTokenReader::newlineAt(std::size_t at) const {
  const std::uint8_t c = input_[at];
  if (c == '\n') return 1;
  if (c == '\r') return at + 1 < length_ && input_[at + 1] == '\n' ? 2 : 1;
  if (has(options_, JBParseOptionUnicodeLineBreaks)) {
    if (c == 0xE2 && at + 2 < length_ && input_[at + 1] == 0x80 &&
        (input_[at + 2] == 0xA8 || input_[at + 2] == 0xA9))
      return 3;
    if (c == 0xC2 && at + 1 < length_ && input_[at + 1] == 0x85) return 2;
  }
  return 0;
}

// Stops at anything but spaces, tabs and line feeds (a carriage return or comment is left to
// skipWhitespace's own loop).
inline void JBTokenReader::skipPlainSpace() {
  while (length_ - pos_ >= 16 && plainSpaceStep()) {
  }
}

void JBTokenReader::skipWhitespaceSlow() {
#if defined(__SSE2__)
  // An indentation longer than one step: the position and the line count in registers, and
  // written back once, rather than stored and loaded again at every step.
  {
    const std::uint8_t* const in = input_;
    const std::size_t end = length_;
    std::size_t at = pos_;
    std::size_t feeds = 0;
    while (end - at >= 16) {
      unsigned lineFeeds;
      const unsigned n = plainSpaceRun(in + at, lineFeeds);
      for (; lineFeeds != 0; lineFeeds &= lineFeeds - 1) ++feeds;
      at += n;
      if (n != 16) break;
    }
    pos_ = at;
    if (countLines_) line_ += feeds;
    // Stopped at a token: the loop below is for carriage returns, comments, other line breaks and
    // the last few bytes.
    if (end - at >= 16 && !kMaybeSpace[in[at]]) return;
  }
#endif
  while (pos_ < length_) {
    skipPlainSpace();
    if (pos_ >= length_) break;
    const std::uint8_t c = input_[pos_];
    if (c == ' ' || c == '\t') {
      ++pos_;
      continue;
    }
    if (std::size_t n = newlineAt(pos_)) {
      pos_ += n;
      if (countLines_) ++line_;
      continue;
    }
    if (has(options_, JBParseOptionAllowComments) && c == '/' && pos_ + 1 < length_) {
      if (input_[pos_ + 1] == '/') {
        pos_ += 2;
        while (pos_ < length_) {
          if (std::size_t n = newlineAt(pos_)) {
            pos_ += n;
            if (countLines_) ++line_;
            break;
          }
          ++pos_;
        }
        continue;
      }
      if (input_[pos_ + 1] == '*') {
        ++pos_;  // the search for "*/" starts at the star of "/*"
        while (pos_ < length_) {
          if (input_[pos_] == '*' && pos_ + 1 < length_ && input_[pos_ + 1] == '/') {
            pos_ += 2;
            break;
          }
          if (std::size_t n = newlineAt(pos_)) {
            pos_ += n;
            if (countLines_) ++line_;
          } else {
            ++pos_;
          }
        }
        continue;
      }
    }
    break;
  }
}

bool JBTokenReader::nextTokenSlow() {
  if (pos_ >= length_ || kMaybeSpace[input_[pos_]]) skipWhitespace();
  tokenStart_ = pos_;
  token_ = Token::None;
  if (pos_ >= length_) {
    recordError(kUnexpectedToken);
    return false;
  }
  const std::uint8_t c = input_[pos_];
  bool ok = true;
  auto word = [&](const char* text, std::size_t n, Token kind) {
    if (length_ - pos_ > n && std::memcmp(input_ + pos_, text, n) == 0) {
      token_ = kind;
      pos_ += n;
      return true;
    }
    return false;
  };
  if (const Token t = kSingleTokens[c]; t != Token::None) {
    token_ = t;
    ++pos_;
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
        if (ok) token_ = Token::String;
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
        if (ok) token_ = Token::Number;
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
void JBTokenReader::checkMore(std::size_t at) {
  while (plainText_ && checkedTo_ < length_ && checkedTo_ < at + kCheckedAhead) {
    std::size_t to = length_ - checkedTo_ > kCheckPiece ? checkedTo_ + kCheckPiece : length_;
    // A piece ends before a byte that no valid sequence continues into: a leading byte or ASCII.
    // Plain text has no three continuation bytes in a row.
    for (int back = 0; back < 3 && to < length_ && (input_[to] & 0xC0) == 0x80; ++back) --to;
    if ((to < length_ && (input_[to] & 0xC0) == 0x80) || !json::isLegalUTF8(input_ + checkedTo_, input_ + to))
      plainText_ = false;
    else
      checkedTo_ = to;
  }
  checkBelow_ = !plainText_ || checkedTo_ == length_ ? SIZE_MAX : checkedTo_ - kCheckedAhead;
}

bool JBTokenReader::parseLongerString() {
  const std::uint8_t* const begin = input_ + pos_ + 1;
  if (plainText_) return parseStringInPlace(begin);
  const std::uint8_t* const end = input_ + length_;
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

bool JBTokenReader::readHex4(const std::uint8_t*& p, char32_t& out) {
  const std::uint8_t* const end = input_ + length_;
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

bool JBTokenReader::parseStringSlow(const std::uint8_t* begin, const std::uint8_t* p) {
  const std::uint8_t* const end = input_ + length_;
  const bool lenient = has(options_, JBParseOptionLenientUnicode);
  std::string& buf = tokenBuffer_;
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
int JBTokenReader::readEscape(const std::uint8_t*& p, std::uint8_t* out) {
  const std::uint8_t* const end = input_ + length_;
  const bool lenient = has(options_, JBParseOptionLenientUnicode);
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
bool JBTokenReader::parseStringInPlace(const std::uint8_t* p) {
  const std::uint8_t* const end = input_ + length_;
  char* first = arena_->openText();
  char* out = first;
  char* limit = arena_->textLimit();
  for (;;) {
    // Room for a wide copy step or an escape.
    if (limit - out < 32) {
      const auto written = static_cast<std::size_t>(out - first);
      first = arena_->widenText(first, written, std::max<std::size_t>(written, 4096));
      out = first + written;
      limit = arena_->textLimit();
    }
    // Only checked text is taken as it is.
    const std::uint8_t* const checkedEnd = input_ + checkedTo_;
    p = copyRun_(p, checkedEnd, out, limit);
    if (p >= checkedEnd) {
      if (p >= end) {
        recordError("Invalid string.");
        return false;
      }
      checkMore(static_cast<std::size_t>(p - input_));
      // The text is not plain after all: the string is read again with its own checks (what was
      // written of it is left behind).
      if (!plainText_) return parseLongerString();
      continue;
    }
    const std::uint8_t c = *p;
    if (c == '"') {
      finishString(first, static_cast<std::size_t>(out - first), p);
      openText_ = first;
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

bool JBTokenReader::parseNumber() {
  if (parseShortNumber()) return true;
  const std::size_t start = pos_;
  const std::uint8_t* const end = input_ + length_;
  const std::uint8_t* q = input_ + pos_;
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
  const std::size_t p = static_cast<std::size_t>(q - input_);
  pos_ = p;
  value_.bytes = reinterpret_cast<const char*>(&value_.number);
  value_.length = 8;

  // Exact integers, and decimals whose digits and power of ten are exact doubles (one correctly
  // rounded operation gives the nearest double), need no general conversion.
  const std::size_t textLength = p - start;
  if (!floating && !(negative && textLength == 2 && input_[start + 1] == '0')) {
    if (exact && !negative) {
      value_.kind = JBValueKind::UnsignedInt;
      value_.number.u = mantissa;
      hashed_ = false;
      return true;
    }
    if (exact && mantissa <= (std::uint64_t{1} << 63)) {
      value_.kind = JBValueKind::SignedInt;
      value_.number.u = 0 - mantissa;
      hashed_ = false;
      return true;
    }
  } else if (exact && mantissa <= (std::uint64_t{1} << 53)) {
    const long long power = exponent - fractionDigits;
    if (power >= -22 && power <= 22) {
      double d = static_cast<double>(mantissa);
      d = power < 0 ? d / kPowersOfTen[-power] : d * kPowersOfTen[power];
      value_.kind = JBValueKind::Double;
      value_.number.d = negative ? -d : d;
      hashed_ = false;
      return true;
    }
  }
  if (floating && exact &&
      json::decimalToDouble(mantissa, exponent - fractionDigits, negative, value_.number.d)) {
    value_.kind = JBValueKind::Double;
    hashed_ = false;
    return true;
  }

  return convertNumberText(start, p, floating);
}

// The number between the offsets by the general conversions, which also tell a number out of range.
bool JBTokenReader::convertNumberText(std::size_t start, std::size_t p, bool floating) {
  auto invalid = [&] {
    recordError("Invalid number.");
    return false;
  };
  const char* first = reinterpret_cast<const char*>(input_ + start);
  const char* last = reinterpret_cast<const char*>(input_ + p);
  const std::string_view text(first, static_cast<std::size_t>(last - first));
  std::from_chars_result r{};
  if (floating || text == "-0") {
    value_.kind = JBValueKind::Double;
    r = std::from_chars(first, last, value_.number.d);
    if (r.ec == std::errc::result_out_of_range) {
      recordError("The value '" + std::string(text) + "' could not be represented as a 'double' due to " +
                  (exceedsAbove(text) ? "overflow" : "underflow") + ".");
      return invalid();
    }
  } else if (text[0] == '-') {
    value_.kind = JBValueKind::SignedInt;
    r = std::from_chars(first, last, value_.number.i, 10);
    if (r.ec == std::errc::result_out_of_range) {
      recordError("The value '" + std::string(text) +
                  "' exceeded the minimum value that could be represented: -9223372036854775808.");
      return invalid();
    }
  } else {
    value_.kind = JBValueKind::UnsignedInt;
    r = std::from_chars(first, last, value_.number.u, 10);
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
  hashed_ = false;
  return true;
}

}  // namespace kavro
