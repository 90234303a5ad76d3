// Compressed answers through the request engine's inflating path, in the pieces the network gives:
// any bytes inflate to at most the limit, or fail with an error; never more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequestErrors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  std::size_t step = 1 + bytes[0] * 13;
  ++bytes, --size;
  constexpr std::uint64_t limit = 1 << 20;
  auto decompressor = kavro::NetDataDecompressor::decompressor();
  if (!decompressor) return 0;
  decompressor->setOutputLimit(limit);
  std::uint64_t total = 0;
  for (std::size_t at = 0; at < size;) {
    std::size_t n = std::min(step, size - at);
    platform::Error error;
    auto piece = decompressor->uncompressBytes(bytes + at, n, &error);
    at += n;
    if (!piece) {
      if (error.localizedDescription.empty()) std::abort();
      break;
    }
    total += piece->size();
    if (total > limit) std::abort();
  }
  platform::Data whole(bytes, bytes + size);
  if (auto all = kavro::NetDataDecompressor::uncompressData(whole, nullptr, limit);
      all && all->size() > limit)
    std::abort();
  return 0;
}
