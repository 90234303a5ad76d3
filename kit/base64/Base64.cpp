#include "kit/base64/Base64.h"

#include "platform/crypto/TripleDes.h"
#include "platform/foundation/Text.h"

namespace kavro {

namespace {

bool isSkipped(std::uint8_t b) {
  switch (b) {
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 32:
    case 160:
    case 255:
      return true;
    default:
      return false;
  }
}

std::span<const std::uint8_t> bytesOf(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The fixed initialisation vector: the first 8 bytes of this text.
constexpr std::string_view CipherIvText = "Cipher starting block for the mobile client";

// The first 24 bytes of the key text; a shorter key is padded with zero bytes.
struct CipherKey {
  std::array<std::uint8_t, platform::TripleDesKeyLength> bytes{};
  explicit CipherKey(std::string_view key) {
    for (std::size_t i = 0; i < bytes.size() && i < key.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>(key[i]);
  }
};

std::span<const std::uint8_t> cipherIv() {
  return bytesOf(CipherIvText.substr(0, platform::TripleDesIvLength));
}

}  // namespace

std::optional<platform::Data> base64EncodeBytes(const std::uint8_t* bytes, std::size_t length,
                                                std::string_view alphabet, bool pad) {
  if (bytes == nullptr || length == 0 || alphabet.size() != 64) return std::nullopt;
  platform::Data out;
  out.reserve(pad ? (length + 2) / 3 * 4 : (length * 8 + 5) / 6);
  auto put = [&](std::uint32_t sixBits) {
    out.push_back(static_cast<std::uint8_t>(alphabet[sixBits & 0x3F]));
  };
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    put(group >> 18);
    put(group >> 12);
    put(group >> 6);
    put(group);
  }
  const std::size_t rest = length - i;
  if (rest == 1) {
    const std::uint32_t group = std::uint32_t{bytes[i]} << 16;
    put(group >> 18);
    put(group >> 12);
    if (pad) out.insert(out.end(), {'=', '='});
  } else if (rest == 2) {
    const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8);
    put(group >> 18);
    put(group >> 12);
    put(group >> 6);
    if (pad) out.push_back('=');
  }
  return out;
}

std::optional<platform::Data> base64DecodeBytes(const std::uint8_t* bytes, std::size_t length,
                                                const Base64DecodeTable& table, bool requirePadding) {
  if (bytes == nullptr || length == 0) return std::nullopt;
  platform::Data out;
  out.reserve((length + 3) / 4 * 3);

  std::uint32_t bits = 0;   // the current group's characters, 6 bits each
  std::size_t inGroup = 0;  // characters in the current group of 4
  bool padded = false;
  std::size_t i = 0;
  for (; i < length; ++i) {
    const std::uint8_t b = bytes[i];
    if (b == 0) break;
    if (isSkipped(b)) continue;
    if (b == '=') {
      padded = true;
      ++i;
      break;
    }
    const std::uint8_t value = table[b];
    if (value > 63) return std::nullopt;
    bits = (bits << 6) | value;
    if (++inGroup == 4) {
      out.push_back(static_cast<std::uint8_t>(bits >> 16));
      out.push_back(static_cast<std::uint8_t>(bits >> 8));
      out.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
      inGroup = 0;
    }
  }

  if (padded) {
    if (inGroup < 2) return std::nullopt;
    if (inGroup == 2) {
      // "xx" must be followed by "==".
      bool second = false;
      for (; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == 0) break;
        if (isSkipped(b)) continue;
        if (b != '=') return std::nullopt;
        second = true;
        ++i;
        break;
      }
      if (!second) return std::nullopt;
    }
    for (; i < length; ++i) {
      const std::uint8_t b = bytes[i];
      if (b == 0) break;
      if (!isSkipped(b)) return std::nullopt;
    }
  } else if (inGroup != 0 && (requirePadding || inGroup == 1)) {
    return std::nullopt;
  }

  // The bits of the partial last byte must be zero, so each text has one meaning.
  if (inGroup == 2) {
    if ((bits & 0x0F) != 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(bits >> 4));
  } else if (inGroup == 3) {
    if ((bits & 0x03) != 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(bits >> 10));
    out.push_back(static_cast<std::uint8_t>(bits >> 2));
  }
  if (out.empty()) return std::nullopt;
  return out;
}

std::optional<std::string> base64EncodeData(std::span<const std::uint8_t> data) {
  auto encoded = base64EncodeBytes(data.data(), data.size(), Base64StandardAlphabet, true);
  if (!encoded) return std::nullopt;
  return platform::stringFromData(*encoded);
}

std::optional<platform::Data> base64DecodeData(std::span<const std::uint8_t> data) {
  return base64DecodeBytes(data.data(), data.size(), Base64StandardDecodeTable, true);
}

std::optional<platform::Data> base64DecodeString(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 0x7F) return std::nullopt;
  }
  return base64DecodeData(bytesOf(text));
}

std::optional<std::string> encryptStringWith3DES(std::string_view plainText, std::string_view key) {
  if (plainText.empty()) return std::string();
  const CipherKey cipherKey(key);
  auto cipher = platform::tripleDesEncrypt(cipherKey.bytes, cipherIv(), bytesOf(plainText));
  if (!cipher) return std::nullopt;
  return base64EncodeData(*cipher);
}

std::optional<std::string> decryptStringWith3DES(std::string_view cipherText, std::string_view key) {
  if (cipherText.empty()) return std::string();
  auto cipher = base64DecodeData(bytesOf(cipherText));
  if (!cipher) return std::nullopt;
  const CipherKey cipherKey(key);
  auto plain = platform::tripleDesDecrypt(cipherKey.bytes, cipherIv(), *cipher);
  if (!plain) return std::nullopt;
  std::string text = platform::stringFromData(*plain);
  if (!platform::isValidUtf8(text)) return std::nullopt;
  return text;
}

}  // namespace kavro
