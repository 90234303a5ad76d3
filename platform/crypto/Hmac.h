#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Data.h"

// Keyed-hash message authentication codes (RFC 2104) over MD5, SHA-1 or SHA-256. Any thread.
namespace platform {

// The code is digestLength(algorithm) bytes long. Keys of any length are accepted: longer than the
// hash's block they are hashed first, as the RFC says.
Data hmac(DigestAlgorithm algorithm, std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);
Data hmac(DigestAlgorithm algorithm, std::string_view key, std::string_view data);

}  // namespace platform
