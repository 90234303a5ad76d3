#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// UTF-8 checks shared by the JSON decoder and encoder.
namespace kavro::json {

enum class ConversionResult { ok, sourceExhausted, sourceIllegal };

// Reads the multi-byte sequence at src (src < end). A well-formed sequence gives its code point
// and ok, except U+0000, U+FDD0-U+FDEF and code points ending in FFFE or FFFF, which give U+FFFD
// and sourceIllegal. An ill-formed one skips its lead byte and the continuation bytes after it (at
// most up to the length its lead byte declares) and gives U+FFFD with sourceIllegal, or with
// sourceExhausted when a valid lead byte's sequence is cut off by the end of the input.
ConversionResult convertSingleCodePointInUTF8(const std::uint8_t* src, const std::uint8_t* end,
                                              const std::uint8_t** next, char32_t* codePoint);

// Length of the multi-byte sequence at p (*p >= 0x80) when the conversion above would answer ok
// for it; 0 otherwise.
inline std::size_t legalSequenceLength(const std::uint8_t* p, const std::uint8_t* end) {
  const std::uint8_t b = p[0];
  const std::size_t available = static_cast<std::size_t>(end - p);
  // The common case first: three bytes led by E1-EC (most CJK text), with nothing else to check.
  if (b >= 0xE1 && b <= 0xEC && available >= 3)
    return (((p[1] & 0xC0) == 0x80) & ((p[2] & 0xC0) == 0x80)) ? 3 : 0;
  if (b >= 0xC2 && b <= 0xDF) return available >= 2 && (p[1] & 0xC0) == 0x80 ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    if (available < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return 0;
    if (b == 0xE0 && p[1] < 0xA0) return 0;  // overlong
    if (b == 0xED && p[1] > 0x9F) return 0;  // surrogates
    if (b == 0xEF) {
      const char32_t c = 0xF000u | (static_cast<char32_t>(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
      if ((c >= 0xFDD0 && c <= 0xFDEF) || c >= 0xFFFE) return 0;  // non-characters
    }
    return 3;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    if (available < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) return 0;
    if (b == 0xF0 && p[1] < 0x90) return 0;  // overlong
    if (b == 0xF4 && p[1] > 0x8F) return 0;  // above U+10FFFF
    if ((p[2] & 0x3F) == 0x3F && (p[3] & 0x3E) == 0x3E && (p[1] & 0x0F) == 0x0F)
      return 0;  // ends in FFFE/FFFF
    return 4;
  }
  return 0;
}

// End of the run from p of bytes that JSON text carries as they are inside a string: ASCII other
// than controls, the quotation mark and the backslash, and the sequences legalSequenceLength
// accepts. Looks at many bytes at a time.
const std::uint8_t* scanPlainText(const std::uint8_t* p, const std::uint8_t* end);
// The same with the instructions every processor of the target has (what scanPlainText falls
// back to where wider ones are missing).
const std::uint8_t* scanPlainTextBaseline(const std::uint8_t* p, const std::uint8_t* end);

// True when every non-ASCII byte in [p, end) belongs to a sequence that legalSequenceLength
// accepts, with nothing else to decide: no sequences of four bytes and none led by EF B7 or EF BF
// (where the non-characters are), which answer false though most are legal. Looks at many bytes
// at a time; a text it passes needs no more UTF-8 checks in its strings.
bool isPlainUTF8(const std::uint8_t* p, const std::uint8_t* end);
// True when every non-ASCII byte in [p, end) belongs to a sequence that legalSequenceLength
// accepts: what isPlainUTF8 passes and also the four-byte sequences and the legal ones led by
// EF B7 or EF BF. Looks at many bytes at a time, in one pass where the processor has the
// instructions for it. A text it passes needs no more UTF-8 checks in its strings.
bool isLegalUTF8(const std::uint8_t* p, const std::uint8_t* end);
// What each one-character escape stands for (the byte after the backslash); 0 for the rest.
constexpr std::array<std::uint8_t, 256> makeSimpleEscapes() {
  std::array<std::uint8_t, 256> t{};
  t['"'] = '"';
  t['\\'] = '\\';
  t['/'] = '/';
  t['b'] = 0x08;
  t['f'] = 0x0C;
  t['n'] = 0x0A;
  t['r'] = 0x0D;
  t['t'] = 0x09;
  return t;
}
inline constexpr std::array<std::uint8_t, 256> kSimpleEscapes = makeSimpleEscapes();

// For text that isPlainUTF8 passed: copies the text of a string from p to out, the escapes of one
// character (kSimpleEscapes) as the byte they stand for, up to the first quotation mark, control
// character, backslash of another escape (or of one cut by end), or end, or as much as fits below
// limit; answers where it stopped, with out moved past what it wrote. May write past that, never
// at limit or past.
const std::uint8_t* copyStringRun(const std::uint8_t* p, const std::uint8_t* end, char*& out, char* limit);
// The form of copyStringRun best for this processor, for callers that use it often.
using CopyStringRun = const std::uint8_t* (*)(const std::uint8_t* p, const std::uint8_t* end, char*& out,
                                              char* limit);
CopyStringRun copyStringRunFunction();
// The same two with the instructions every processor of the target has.
const std::uint8_t* copyStringRunBaseline(const std::uint8_t* p, const std::uint8_t* end, char*& out,
                                          char* limit);
bool isPlainUTF8Baseline(const std::uint8_t* p, const std::uint8_t* end);
bool isLegalUTF8Baseline(const std::uint8_t* p, const std::uint8_t* end);
// True when [p, end) is well-formed UTF-8 (non-characters and U+0000 allowed).
bool isWellFormedUTF8(const std::uint8_t* p, const std::uint8_t* end);

// Appends the UTF-8 form of c (at most U+10FFFF) at out; answers the number of bytes written.
inline std::size_t encodeUTF8(char32_t c, std::uint8_t* out) {
  if (c < 0x80) {
    out[0] = static_cast<std::uint8_t>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<std::uint8_t>(0xC0 | (c >> 6));
    out[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<std::uint8_t>(0xE0 | (c >> 12));
    out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
  out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  return 4;
}

// Code points that JSON text may not carry here, raw or escaped.
inline bool isIllegalCodePoint(char32_t c) {
  return c == 0 || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE ||
         c > 0x10FFFF;
}

}  // namespace kavro::json
