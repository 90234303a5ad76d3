#include "platform/crypto/Random.h"

#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace platform {

void randomBytes(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t chunk = std::min<std::size_t>(out.size(), INT_MAX);
    if (RAND_bytes(out.data(), static_cast<int>(chunk)) != 1) {
      std::fputs("platform::randomBytes: the system's random generator failed\n", stderr);
      std::abort();
    }
    out = out.subspan(chunk);
  }
}

Data randomData(std::size_t count) {
  Data out(count);
  randomBytes(out);
  return out;
}

std::uint32_t randomUInt32() {
  std::uint8_t b[4];
  randomBytes(b);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

}  // namespace platform
