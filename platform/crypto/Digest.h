#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

// Message digests (MD5, SHA-1, SHA-256). Stateless functions are safe on any thread; one Digest
// object belongs to one thread at a time.
namespace platform {

enum class DigestAlgorithm { MD5, SHA1, SHA256 };

// Bytes in a digest of the algorithm: 16, 20 or 32.
std::size_t digestLength(DigestAlgorithm algorithm);

Data digest(DigestAlgorithm algorithm, std::span<const std::uint8_t> bytes);
Data digest(DigestAlgorithm algorithm, std::string_view bytes);

inline Data md5(std::span<const std::uint8_t> bytes) { return digest(DigestAlgorithm::MD5, bytes); }
inline Data md5(std::string_view bytes) { return digest(DigestAlgorithm::MD5, bytes); }
inline Data sha1(std::span<const std::uint8_t> bytes) { return digest(DigestAlgorithm::SHA1, bytes); }
inline Data sha1(std::string_view bytes) { return digest(DigestAlgorithm::SHA1, bytes); }
inline Data sha256(std::span<const std::uint8_t> bytes) { return digest(DigestAlgorithm::SHA256, bytes); }
inline Data sha256(std::string_view bytes) { return digest(DigestAlgorithm::SHA256, bytes); }

// Two hexadecimal digits per byte ("%02x", or "%02X" when upperCase).
std::string hexString(std::span<const std::uint8_t> bytes, bool upperCase = false);

// A digest fed in pieces. finish() returns the digest and starts over, so the object can be reused.
// A moved-from Digest may only be destroyed or assigned to.
class Digest {
 public:
  explicit Digest(DigestAlgorithm algorithm = DigestAlgorithm::MD5);
  ~Digest();
  Digest(Digest&&) noexcept;
  Digest& operator=(Digest&&) noexcept;
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  DigestAlgorithm algorithm() const { return algorithm_; }
  void update(std::span<const std::uint8_t> bytes);
  void update(std::string_view bytes);
  Data finish();

 private:
  struct State;
  DigestAlgorithm algorithm_;
  std::unique_ptr<State> state_;
};

}  // namespace platform
