#pragma once
#include <cstdint>
#include <span>

#include "platform/foundation/Data.h"

// MD4 (RFC 1320), for NTLM's password hash only: it is broken as a general digest. Any thread.
namespace platform {

Data md4(std::span<const std::uint8_t> bytes);

}  // namespace platform
