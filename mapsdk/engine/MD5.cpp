#include "mapsdk/engine/MD5.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "platform/crypto/Digest.h"

namespace gmengine {

int MD5::HexDigest(char* output, const void* data, int length) {
  if (!output) return 0;
  output[0] = '\0';
  if (length < 0 || (!data && length > 0)) return 0;
  std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data),
                                      static_cast<std::size_t>(length));
  std::string hex = platform::hexString(platform::md5(bytes));
  std::memcpy(output, hex.c_str(), hex.size() + 1);
  return static_cast<int>(hex.size());
}

}  // namespace gmengine
