#include "platform/crypto/Digest.h"

#include <openssl/evp.h>
#include <openssl/md5.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// Fetched once: a digest named by the library's built-in handles is looked up again in the
// provider tables on every use, which costs more than hashing a short text.
const EVP_MD* fetched(const char* name, const EVP_MD* builtIn) {
  const EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  return md ? md : builtIn;
}

// Each fetched on its first use only.
const EVP_MD* evpOf(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::MD5: {
      static const EVP_MD* const md5 = fetched("MD5", EVP_md5());
      return md5;
    }
    case DigestAlgorithm::SHA1: {
      static const EVP_MD* const sha1 = fetched("SHA1", EVP_sha1());
      return sha1;
    }
    case DigestAlgorithm::SHA256: {
      static const EVP_MD* const sha256 = fetched("SHA256", EVP_sha256());
      return sha256;
    }
  }
  return evpOf(DigestAlgorithm::MD5);
}

// The digests are in the default provider and cannot fail on valid arguments; a failure means the
// library itself is broken, and a wrong digest must never be handed out as a right one.
[[noreturn]] void digestFailed() {
  std::fputs("platform::Digest: the cryptography library failed\n", stderr);
  std::abort();
}

std::span<const std::uint8_t> bytesOf(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

std::size_t digestLength(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::MD5:
      return 16;
    case DigestAlgorithm::SHA1:
      return 20;
    case DigestAlgorithm::SHA256:
      return 32;
  }
  return 0;
}

Data digest(DigestAlgorithm algorithm, std::span<const std::uint8_t> bytes) {
  Data out(digestLength(algorithm));
  unsigned int length = 0;
  static const std::uint8_t none = 0;
  const void* data = bytes.empty() ? &none : bytes.data();
  // MD5 (among others the device identifier's check value, read by the start's first request) needs
  // no provider: the first fetch of one loads the library's configuration and provider tables, most
  // of a millisecond of the start.
  if (algorithm == DigestAlgorithm::MD5) {
    // One of the library's older interfaces, kept by it; marked as such.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    MD5(static_cast<const unsigned char*>(data), bytes.size(), out.data());
#pragma GCC diagnostic pop
    return out;
  }
  if (EVP_Digest(data, bytes.size(), out.data(), &length, evpOf(algorithm), nullptr) != 1 ||
      length != out.size()) {
    digestFailed();
  }
  return out;
}

Data digest(DigestAlgorithm algorithm, std::string_view bytes) { return digest(algorithm, bytesOf(bytes)); }

std::string hexString(std::span<const std::uint8_t> bytes, bool upperCase) {
  const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0x0F]);
  }
  return out;
}

struct Digest::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  ~State() { EVP_MD_CTX_free(context); }
};

Digest::Digest(DigestAlgorithm algorithm) : algorithm_(algorithm), state_(std::make_unique<State>()) {
  if (state_->context == nullptr || EVP_DigestInit_ex(state_->context, evpOf(algorithm_), nullptr) != 1) {
    digestFailed();
  }
}

Digest::~Digest() = default;
Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;

void Digest::update(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  if (EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1) digestFailed();
}

void Digest::update(std::string_view bytes) { update(bytesOf(bytes)); }

Data Digest::finish() {
  Data out(digestLength(algorithm_));
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context, out.data(), &length) != 1 || length != out.size() ||
      EVP_DigestInit_ex(state_->context, evpOf(algorithm_), nullptr) != 1) {
    digestFailed();
  }
  return out;
}

}  // namespace platform
