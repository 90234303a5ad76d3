#include "platform/crypto/TripleDes.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace platform {

namespace {

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

std::optional<Data> run(bool encrypt, std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                        std::span<const std::uint8_t> input) {
  if (key.size() != TripleDesKeyLength || iv.size() != TripleDesIvLength) return std::nullopt;
  // Lengths go to the library as int; keep room for the padding block.
  if (input.size() > static_cast<std::size_t>(INT_MAX) - TripleDesBlockSize) return std::nullopt;
  if (!encrypt && (input.empty() || input.size() % TripleDesBlockSize != 0)) return std::nullopt;

  std::unique_ptr<EVP_CIPHER_CTX, ContextFree> context(EVP_CIPHER_CTX_new());
  if (!context) return std::nullopt;
  // Three-key DES-EDE3-CBC lives in OpenSSL 3's default provider (single DES does not).
  if (EVP_CipherInit_ex(context.get(), EVP_des_ede3_cbc(), nullptr, key.data(), iv.data(), encrypt ? 1 : 0) !=
          1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 1) != 1) {
    return std::nullopt;
  }
  Data out(input.size() + TripleDesBlockSize);
  int written = 0;
  if (!input.empty() && EVP_CipherUpdate(context.get(), out.data(), &written, input.data(),
                                         static_cast<int>(input.size())) != 1) {
    return std::nullopt;
  }
  int last = 0;
  if (EVP_CipherFinal_ex(context.get(), out.data() + written, &last) != 1) return std::nullopt;
  out.resize(static_cast<std::size_t>(written) + static_cast<std::size_t>(last));
  return out;
}

}  // namespace

std::optional<Data> tripleDesEncrypt(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                                     std::span<const std::uint8_t> plain) {
  return run(true, key, iv, plain);
}

std::optional<Data> tripleDesDecrypt(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                                     std::span<const std::uint8_t> cipher) {
  return run(false, key, iv, cipher);
}

}  // namespace platform
