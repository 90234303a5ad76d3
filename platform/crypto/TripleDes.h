#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/foundation/Data.h"

// Triple-DES (three keys, encrypt-decrypt-encrypt) in CBC mode with PKCS#7 padding. Any thread.
namespace platform {

inline constexpr std::size_t TripleDesKeyLength = 24;
inline constexpr std::size_t TripleDesIvLength = 8;
inline constexpr std::size_t TripleDesBlockSize = 8;

// The ciphertext is the plaintext padded to the next whole block (a full padding block when it is
// already whole). None when the key is not 24 bytes, the IV not 8 bytes, or the cipher fails.
std::optional<Data> tripleDesEncrypt(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                                     std::span<const std::uint8_t> plain);

// None as for tripleDesEncrypt, and when the ciphertext is not a positive whole number of blocks or
// its padding is wrong (which is what a wrong key usually gives).
std::optional<Data> tripleDesDecrypt(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                                     std::span<const std::uint8_t> cipher);

}  // namespace platform
