#pragma once
#include <array>
#include <cstdint>
#include <string>

// Universally unique identifiers. Any thread.
namespace platform {

class Uuid {
 public:
  // A new random identifier (version 4, RFC 4122 variant) from the secure generator.
  static Uuid create();

  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
  // Canonical upper-case text, 36 characters: "8-4-4-4-12" hexadecimal digits.
  std::string string() const;

  bool operator==(const Uuid&) const = default;

 private:
  explicit Uuid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}
  std::array<std::uint8_t, 16> bytes_;
};

// Uuid::create().string().
std::string createUuidString();

}  // namespace platform
