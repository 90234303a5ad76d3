#include "platform/crypto/Uuid.h"

#include "platform/crypto/Random.h"

namespace platform {

Uuid Uuid::create() {
  std::array<std::uint8_t, 16> b;
  randomBytes(b);
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // variant 10xx
  return Uuid(b);
}

std::string Uuid::string() const {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(digits[bytes_[i] >> 4]);
    out.push_back(digits[bytes_[i] & 0x0F]);
  }
  return out;
}

std::string createUuidString() { return Uuid::create().string(); }

}  // namespace platform
