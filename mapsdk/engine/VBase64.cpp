#include "mapsdk/engine/VBase64.h"

#include <cstddef>
#include <cstring>

namespace gmengine {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

int Base64Encode(char* output, int outputSize, const char* text) {
  if (!output || outputSize <= 0) return 0;
  output[0] = '\0';
  if (!text) return 0;
  std::size_t n = std::strlen(text);
  std::size_t needed = (n + 2) / 3 * 4 + 1;
  if (needed > static_cast<std::size_t>(outputSize)) return 0;
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  std::size_t o = 0;
  for (std::size_t i = 0; i < n; i += 3) {
    unsigned v = static_cast<unsigned>(in[i]) << 16;
    if (i + 1 < n) v |= static_cast<unsigned>(in[i + 1]) << 8;
    if (i + 2 < n) v |= in[i + 2];
    output[o++] = kAlphabet[(v >> 18) & 63];
    output[o++] = kAlphabet[(v >> 12) & 63];
    output[o++] = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
    output[o++] = i + 2 < n ? kAlphabet[v & 63] : '=';
  }
  output[o] = '\0';
  return static_cast<int>(o);
}

int Base64Decode(unsigned char* output, int outputSize, const char* text) {
  if (!output || outputSize <= 0 || !text) return 0;
  int written = 0;
  unsigned bits = 0;
  int bitCount = 0;
  for (const char* p = text; *p; ++p) {
    int v = valueOf(*p);
    if (v < 0) break;  // "=" or a foreign character ends the text
    bits = (bits << 6) | static_cast<unsigned>(v);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      if (written == outputSize) break;
      output[written++] = static_cast<unsigned char>((bits >> bitCount) & 0xFF);
      bits &= (1u << bitCount) - 1;
    }
  }
  return written;
}

}  // namespace gmengine
