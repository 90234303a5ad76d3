#include "platform/foundation/Format.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

#include "platform/foundation/AsciiChar.h"

namespace platform {

namespace {

// Widths and precisions beyond these are clamped: enough for any real layout, small enough that
// a "*" fed a huge number cannot exhaust memory.
constexpr int kMaxWidth = 4096;
constexpr int kMaxPrecision = 1024;

enum class Length { None, Char, Short, Long, LongLong, Size, Max, Ptrdiff, LongDouble };

struct Directive {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  std::optional<int> precision;
  Length length = Length::None;
  char conversion = 0;
};

using asciichar::isDigit;

// Reads a decimal number, saturating well above any cap.
int readNumber(std::string_view fmt, std::size_t& i) {
  long long n = 0;
  while (i < fmt.size() && isDigit(fmt[i])) {
    n = std::min<long long>(n * 10 + (fmt[i] - '0'), 1'000'000'000LL);
    ++i;
  }
  return static_cast<int>(n);
}

// Reads "N$" at i (N >= 1) and returns N, or 0 with i unchanged when there is none.
int readPosition(std::string_view fmt, std::size_t& i) {
  std::size_t j = i;
  if (j >= fmt.size() || !isDigit(fmt[j]) || fmt[j] == '0') return 0;
  int n = readNumber(fmt, j);
  if (j < fmt.size() && fmt[j] == '$') {
    i = j + 1;
    return n;
  }
  return 0;
}

class Arguments {
 public:
  explicit Arguments(std::span<const Value> args) : args_(args) {}
  // The argument at a 1-based position (0: the next one in sequence); nullptr when out of range.
  const Value* take(int position) {
    std::size_t index = position > 0 ? static_cast<std::size_t>(position - 1) : next_++;
    return index < args_.size() ? &args_[index] : nullptr;
  }

 private:
  std::span<const Value> args_;
  std::size_t next_ = 0;
};

// UTF-16 units of one UTF-8 sequence starting at i; advances i. A bad byte counts as one unit.
std::size_t nextUnits(std::string_view s, std::size_t& i) {
  UChar32 c;
  auto length = static_cast<int32_t>(s.size());
  auto pos = static_cast<int32_t>(i);
  U8_NEXT(s.data(), pos, length, c);
  i = static_cast<std::size_t>(pos);
  return c >= 0x10000 ? 2 : 1;
}

std::size_t units16(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) n += nextUnits(s, i);
  return n;
}

// The longest prefix of whole characters that fits in max UTF-16 units.
std::string_view prefix16(std::string_view s, std::size_t max) {
  std::size_t used = 0, i = 0;
  while (i < s.size()) {
    std::size_t j = i;
    std::size_t u = nextUnits(s, j);
    if (used + u > max) break;
    used += u;
    i = j;
  }
  return s.substr(0, i);
}

void pad(std::string& out, std::size_t n, char c) { out.append(n, c); }

// Text under a width: spaces on the left, or on the right with "-". "0" does not apply to text.
void emitText(std::string& out, std::string_view text, const Directive& dir) {
  if (dir.precision) text = prefix16(text, static_cast<std::size_t>(*dir.precision));
  std::size_t len = units16(text);
  std::size_t fill = static_cast<std::size_t>(dir.width) > len ? dir.width - len : 0;
  if (!dir.left) pad(out, fill, ' ');
  out.append(text);
  if (dir.left) pad(out, fill, ' ');
}

// A number's parts under a width: sign and prefix, then zeros when "0" pads, then digits.
void emitNumber(std::string& out, std::string_view sign, std::string_view digits, const Directive& dir,
                bool zeroPads) {
  std::size_t len = sign.size() + digits.size();
  std::size_t fill = static_cast<std::size_t>(dir.width) > len ? dir.width - len : 0;
  if (dir.left) {
    out.append(sign).append(digits);
    pad(out, fill, ' ');
  } else if (zeroPads) {
    out.append(sign);
    pad(out, fill, '0');
    out.append(digits);
  } else {
    pad(out, fill, ' ');
    out.append(sign).append(digits);
  }
}

std::string_view trimmed(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// A number written out whole in a text value ("42", "-7", "3.5"), as the value it spells.
std::optional<Value> numberInText(std::string_view text) {
  text = trimmed(text);
  std::string_view body = text;
  if (!body.empty() && body.front() == '+') body.remove_prefix(1);
  if (body.empty() || body.front() == '+') return std::nullopt;
  const char* end = body.data() + body.size();
  std::int64_t i;
  auto ri = std::from_chars(body.data(), end, i);
  if (ri.ec == std::errc() && ri.ptr == end) return Value(i);
  std::uint64_t u;
  auto ru = std::from_chars(body.data(), end, u);
  if (ru.ec == std::errc() && ru.ptr == end) return Value(u);
  double d;
  auto rd = std::from_chars(body.data(), end, d);
  if (rd.ec == std::errc() && rd.ptr == end) return Value(d);
  return std::nullopt;
}

// A negative integer read under %u %x %X %o as the unsigned number of the conversion's size.
std::uint64_t asUnsigned(std::int64_t v, Length length) {
  auto u = static_cast<std::uint64_t>(v);
  switch (length) {
    case Length::Char:
      if (v >= INT8_MIN) return u & 0xFFu;
      break;
    case Length::Short:
      if (v >= INT16_MIN) return u & 0xFFFFu;
      break;
    case Length::None:
      if (v >= INT32_MIN) return u & 0xFFFF'FFFFu;
      break;
    default:
      break;
  }
  return u;
}

void emitInteger(std::string& out, const Value& v, const Directive& dir) {
  char conv = dir.conversion;
  bool isSigned = conv == 'd' || conv == 'i';
  bool negative = false;
  std::uint64_t magnitude = 0;
  if (v.kind() == Value::Kind::UInt) {
    magnitude = v.uintValue();
  } else {
    std::int64_t i = v.intValue();
    if (i < 0 && isSigned) {
      negative = true;
      magnitude = static_cast<std::uint64_t>(-(i + 1)) + 1;
    } else if (i < 0) {
      magnitude = asUnsigned(i, dir.length);
    } else {
      magnitude = static_cast<std::uint64_t>(i);
    }
  }
  int base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X') ? 16 : 10;
  char buf[72];
  char* end = buf;
  if (!(dir.precision && *dir.precision == 0 && magnitude == 0)) {
    end = std::to_chars(buf, buf + sizeof buf, magnitude, base).ptr;
  }
  std::string digits(buf, end);
  if (conv == 'X')
    std::transform(digits.begin(), digits.end(), digits.begin(),
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
  if (dir.precision && digits.size() < static_cast<std::size_t>(*dir.precision))
    digits.insert(0, static_cast<std::size_t>(*dir.precision) - digits.size(), '0');
  if (dir.alt && conv == 'o' && (digits.empty() || digits.front() != '0')) digits.insert(0, 1, '0');
  std::string sign;
  if (negative)
    sign = "-";
  else if (isSigned && dir.plus)
    sign = "+";
  else if (isSigned && dir.space)
    sign = " ";
  if (dir.alt && magnitude != 0 && conv == 'x') sign += "0x";
  if (dir.alt && magnitude != 0 && conv == 'X') sign += "0X";
  emitNumber(out, sign, digits, dir, dir.zero && !dir.precision);
}

std::string toChars(double d, std::chars_format fmt, int precision) {
  // The widest fixed rendering of a double: 309 integer digits, the point and the precision.
  std::string buf(static_cast<std::size_t>(precision) + 330, '\0');
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), d, fmt, precision);
  buf.resize(static_cast<std::size_t>(r.ptr - buf.data()));
  return buf;
}

// %g: the shorter of fixed and scientific for P significant digits, as C chooses it.
std::string generalForm(double d, int precision, bool alt) {
  int p = precision == 0 ? 1 : precision;
  std::string sci = toChars(d, std::chars_format::scientific, p - 1);
  int exponent = 0;
  auto e = sci.find('e');
  std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
  std::string text;
  std::string suffix;
  if (exponent < p && exponent >= -4) {
    text = toChars(d, std::chars_format::fixed, p - 1 - exponent);
  } else {
    text = sci.substr(0, e);
    suffix = sci.substr(e);
  }
  if (alt) {
    if (text.find('.') == std::string::npos) text += '.';
  } else if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text + suffix;
}

void emitFloat(std::string& out, double d, const Directive& dir) {
  char conv = dir.conversion;
  bool upper = conv == 'F' || conv == 'E' || conv == 'G';
  bool negative = std::signbit(d);
  double magnitude = std::fabs(d);
  std::string sign = negative ? "-" : dir.plus ? "+" : dir.space ? " " : "";
  std::string digits;
  bool finite = std::isfinite(magnitude);
  if (!finite) {
    digits = std::isnan(magnitude) ? "nan" : "inf";
  } else {
    int precision = dir.precision.value_or(6);
    switch (conv) {
      case 'f':
      case 'F':
        digits = toChars(magnitude, std::chars_format::fixed, precision);
        if (dir.alt && precision == 0) digits += '.';
        break;
      case 'e':
      case 'E': {
        digits = toChars(magnitude, std::chars_format::scientific, precision);
        if (dir.alt && precision == 0) digits.insert(digits.find('e'), 1, '.');
        break;
      }
      default:
        digits = generalForm(magnitude, precision, dir.alt);
        break;
    }
  }
  if (upper)
    std::transform(digits.begin(), digits.end(), digits.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  emitNumber(out, sign, digits, dir, dir.zero && finite);
}

void appendCodePoint(std::string& out, std::uint64_t c) {
  if (c == 0) return;  // a NUL would end the text for every C reader downstream
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  char buf[4];
  int32_t n = 0;
  U8_APPEND_UNSAFE(buf, n, static_cast<UChar32>(c));
  out.append(buf, static_cast<std::size_t>(n));
}

void emitCharacter(std::string& out, const Value& v, const Directive& dir) {
  std::string text;
  if (v.isString()) {
    // A text given for a character: its first character.
    std::size_t i = 0;
    const std::string& s = v.stringValue();
    if (!s.empty()) {
      nextUnits(s, i);
      text = s.substr(0, i);
    }
  } else if (v.isNumber() || v.isBool()) {
    appendCodePoint(text, v.uintValue());
  } else {
    text = v.description();
  }
  Directive s = dir;
  s.precision.reset();
  emitText(out, text, s);
}

bool isIntegerConversion(char c) {
  return c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'o';
}
bool isFloatConversion(char c) {
  return c == 'f' || c == 'F' || c == 'e' || c == 'E' || c == 'g' || c == 'G';
}

void emitNumeric(std::string& out, const Value& arg, const Directive& dir) {
  const Value* v = &arg;
  std::optional<Value> parsed;
  if (v->isString()) {
    parsed = numberInText(v->stringValue());
    if (parsed) v = &*parsed;
  }
  if (!v->isNumber() && !v->isBool()) {
    // Not a number in any reading: show what it is rather than a made-up 0.
    Directive s = dir;
    s.precision.reset();
    emitText(out, v->description(), s);
    return;
  }
  if (isFloatConversion(dir.conversion))
    emitFloat(out, v->doubleValue(), dir);
  else
    emitInteger(out, *v, dir);
}

}  // namespace

std::string format(std::string_view fmt, std::span<const Value> args) {
  std::string out;
  out.reserve(fmt.size() + 16 * args.size());
  Arguments arguments(args);
  std::size_t i = 0;
  while (i < fmt.size()) {
    std::size_t percent = fmt.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(fmt.substr(i));
      break;
    }
    out.append(fmt.substr(i, percent - i));
    std::size_t start = percent;
    i = percent + 1;
    if (i < fmt.size() && fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }

    Directive dir;
    int position = readPosition(fmt, i);
    for (; i < fmt.size(); ++i) {
      char c = fmt[i];
      if (c == '-')
        dir.left = true;
      else if (c == '+')
        dir.plus = true;
      else if (c == ' ')
        dir.space = true;
      else if (c == '0')
        dir.zero = true;
      else if (c == '#')
        dir.alt = true;
      else
        break;
    }
    // "*" arguments are taken in the order they appear, before the converted value.
    std::optional<int> starWidth, starPrecision;
    bool missingStar = false;
    auto starValue = [&](std::optional<int>& into) {
      ++i;
      const Value* v = arguments.take(readPosition(fmt, i));
      if (!v) {
        missingStar = true;
        return;
      }
      std::int64_t n = v->intValue();
      into = static_cast<int>(std::clamp<std::int64_t>(n, -kMaxWidth * 4LL, kMaxWidth * 4LL));
    };
    if (i < fmt.size() && fmt[i] == '*') {
      starValue(starWidth);
      if (starWidth) {
        if (*starWidth < 0) dir.left = true;
        dir.width = std::abs(*starWidth);
      }
    } else {
      dir.width = readNumber(fmt, i);
    }
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      if (i < fmt.size() && fmt[i] == '*') {
        starValue(starPrecision);
        if (starPrecision && *starPrecision >= 0) dir.precision = *starPrecision;
      } else {
        dir.precision = readNumber(fmt, i);
      }
    }
    dir.width = std::min(dir.width, kMaxWidth);
    if (dir.precision) dir.precision = std::min(*dir.precision, kMaxPrecision);
    if (i < fmt.size()) {
      char c = fmt[i];
      if (c == 'h') {
        ++i;
        dir.length = Length::Short;
        if (i < fmt.size() && fmt[i] == 'h') ++i, dir.length = Length::Char;
      } else if (c == 'l') {
        ++i;
        dir.length = Length::Long;
        if (i < fmt.size() && fmt[i] == 'l') ++i, dir.length = Length::LongLong;
      } else if (c == 'q') {
        ++i, dir.length = Length::LongLong;
      } else if (c == 'z') {
        ++i, dir.length = Length::Size;
      } else if (c == 'j') {
        ++i, dir.length = Length::Max;
      } else if (c == 't') {
        ++i, dir.length = Length::Ptrdiff;
      } else if (c == 'L') {
        ++i, dir.length = Length::LongDouble;
      }
    }
    if (i >= fmt.size()) {
      // A conversion cut off by the end of the format is text.
      out.append(fmt.substr(start));
      break;
    }
    dir.conversion = fmt[i++];
    char conv = dir.conversion;
    bool known = conv == '@' || conv == 's' || conv == 'c' || conv == 'C' || isIntegerConversion(conv) ||
                 isFloatConversion(conv);
    if (!known) {
      out.append(fmt.substr(start, i - start));
      continue;
    }
    const Value* v = arguments.take(position);
    if (!v || missingStar) continue;
    if (conv == '@' || conv == 's') {
      emitText(out, v->isString() ? v->stringValue() : v->description(), dir);
    } else if (conv == 'c' || conv == 'C') {
      emitCharacter(out, *v, dir);
    } else if (v->isNull()) {
      continue;
    } else {
      emitNumeric(out, *v, dir);
    }
  }
  return out;
}

}  // namespace platform
