#include "platform/crypto/Md4.h"

#include <array>
#include <cstring>

namespace platform {

namespace {

inline std::uint32_t rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

void md4Block(std::array<std::uint32_t, 4>& h, const std::uint8_t* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = static_cast<std::uint32_t>(block[i * 4]) | static_cast<std::uint32_t>(block[i * 4 + 1]) << 8 |
           static_cast<std::uint32_t>(block[i * 4 + 2]) << 16 |
           static_cast<std::uint32_t>(block[i * 4 + 3]) << 24;
  std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  auto f = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); };
  auto g = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (x & z) | (y & z); };
  auto hh = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; };
  static const int r1[4] = {3, 7, 11, 19}, r2[4] = {3, 5, 9, 13}, r3[4] = {3, 9, 11, 15};
  for (int i = 0; i < 16; ++i) {
    std::uint32_t t = rotl(a + f(b, c, d) + x[i], r1[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  static const int o2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
  for (int i = 0; i < 16; ++i) {
    std::uint32_t t = rotl(a + g(b, c, d) + x[o2[i]] + 0x5A827999u, r2[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  static const int o3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (int i = 0; i < 16; ++i) {
    std::uint32_t t = rotl(a + hh(b, c, d) + x[o3[i]] + 0x6ED9EBA1u, r3[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  h[0] += a, h[1] += b, h[2] += c, h[3] += d;
}

}  // namespace

Data md4(std::span<const std::uint8_t> bytes) {
  std::array<std::uint32_t, 4> h = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
  std::size_t full = bytes.size() / 64;
  for (std::size_t i = 0; i < full; ++i) md4Block(h, bytes.data() + i * 64);
  std::uint8_t tail[128] = {};
  std::size_t rest = bytes.size() - full * 64;
  if (rest) std::memcpy(tail, bytes.data() + full * 64, rest);
  tail[rest] = 0x80;
  std::size_t tailBlocks = rest < 56 ? 1 : 2;
  std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) tail[tailBlocks * 64 - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  for (std::size_t i = 0; i < tailBlocks; ++i) md4Block(h, tail + i * 64);
  Data out(16);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out[i * 4 + j] = static_cast<std::uint8_t>(h[i] >> (8 * j));
  return out;
}

}  // namespace platform
