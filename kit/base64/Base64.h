#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

// Base64 text, and the Triple-DES protection of stored credentials (base64 ciphertext).
// Stateless; safe on any thread. Every failure gives none.
namespace kavro {

inline constexpr std::string_view Base64StandardAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Maps each byte to its 6-bit value, or to Base64InvalidMark when it is not in the alphabet.
using Base64DecodeTable = std::array<std::uint8_t, 256>;
inline constexpr std::uint8_t Base64InvalidMark = 0xFF;

constexpr Base64DecodeTable makeBase64DecodeTable(std::string_view alphabet) {
  Base64DecodeTable table{};
  table.fill(Base64InvalidMark);
  for (std::size_t i = 0; i < alphabet.size() && i < 64; ++i) {
    table[static_cast<std::uint8_t>(alphabet[i])] = static_cast<std::uint8_t>(i);
  }
  return table;
}

inline constexpr Base64DecodeTable Base64StandardDecodeTable = makeBase64DecodeTable(Base64StandardAlphabet);

// The encoding over a 64-character alphabet, with "=" padding when pad is set. None when the input
// is empty or the alphabet is not 64 characters long.
std::optional<platform::Data> base64EncodeBytes(const std::uint8_t* bytes, std::size_t length,
                                                std::string_view alphabet, bool pad);

// Decodes over the table. A zero byte ends the input; tab, LF, VT, FF, CR, space, 160 and 255 are
// skipped wherever they stand; "=" starts the padding. None on any error or when nothing was decoded.
std::optional<platform::Data> base64DecodeBytes(const std::uint8_t* bytes, std::size_t length,
                                                const Base64DecodeTable& table, bool requirePadding);

// Standard alphabet, padded, as ASCII text. None for empty input.
std::optional<std::string> base64EncodeData(std::span<const std::uint8_t> data);
// Standard alphabet, padding required.
std::optional<platform::Data> base64DecodeData(std::span<const std::uint8_t> data);
// As base64DecodeData over the text's bytes; none when the text is not ASCII.
std::optional<platform::Data> base64DecodeString(std::string_view text);

// Triple-DES (CBC, PKCS#7) under the first 24 bytes of the key text's UTF-8 (zero-padded when
// shorter), as base64 text. "" for an empty plain text; none when the cipher fails.
std::optional<std::string> encryptStringWith3DES(std::string_view plainText, std::string_view key);
// The reverse. "" for an empty cipher text; none when the base64 is invalid, the cipher fails
// (wrong key or padding) or the plain bytes are not valid UTF-8.
std::optional<std::string> decryptStringWith3DES(std::string_view cipherText, std::string_view key);

}  // namespace kavro
