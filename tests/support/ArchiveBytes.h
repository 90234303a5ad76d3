#pragma once
#include <cstdint>
#include <string_view>

#include "platform/foundation/Data.h"

namespace kavro::test {

// The bytes of a keyed archive, spelled out value by value, for tests that pin the stored form
// (caches and histories on disk are read back from it): the header, then what the calls add.
struct ArchiveBytes {
  platform::Data bytes{'K', 'V', 'A', 'R', 1, 0};

  ArchiveBytes& u8(std::uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  ArchiveBytes& u32(std::uint32_t v) { return little(v, 4); }
  ArchiveBytes& u64(std::uint64_t v) { return little(v, 8); }
  // A length and the bytes.
  ArchiveBytes& text(std::string_view s) {
    u32(static_cast<std::uint32_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  ArchiveBytes& raw(const platform::Data& d) {
    bytes.insert(bytes.end(), d.begin(), d.end());
    return *this;
  }

 private:
  ArchiveBytes& little(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) u8(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
};

}  // namespace kavro::test
