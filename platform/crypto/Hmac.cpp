#include "platform/crypto/Hmac.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace platform {

Data hmac(DigestAlgorithm algorithm, std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
  const EVP_MD* md = algorithm == DigestAlgorithm::SHA256 ? EVP_sha256()
                     : algorithm == DigestAlgorithm::SHA1 ? EVP_sha1()
                                                          : EVP_md5();
  // The library takes the key length as an int. A key that long is hashed first by HMAC itself,
  // so hashing it here gives the same code.
  Data hashedKey;
  if (key.size() > static_cast<std::size_t>(INT_MAX)) {
    hashedKey = digest(algorithm, key);
    key = hashedKey;
  }
  // The library wants real pointers even for empty input.
  static const std::uint8_t none = 0;
  Data out(digestLength(algorithm));
  unsigned int length = 0;
  if (HMAC(md, key.empty() ? &none : key.data(), static_cast<int>(key.size()),
           data.empty() ? &none : data.data(), data.size(), out.data(), &length) == nullptr ||
      length != out.size()) {
    // Cannot happen with these digests; never hand out a wrong code as a right one.
    std::fputs("platform::hmac: the cryptography library failed\n", stderr);
    std::abort();
  }
  return out;
}

Data hmac(DigestAlgorithm algorithm, std::string_view key, std::string_view data) {
  return hmac(algorithm, std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()),
              std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

}  // namespace platform
