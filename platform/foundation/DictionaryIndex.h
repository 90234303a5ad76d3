#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace platform {

// The places of a map's entries by their keys' hash, for maps that keep their pairs in one list in
// insertion order and search a short list in place. Open addressing, at most half full (the slots
// of removed entries included, which stay until the owner rebuilds), so that a probe always meets
// an empty slot. Empty until the owner first rebuilds it.
class DictionaryIndex {
 public:
  static constexpr std::size_t Missing = SIZE_MAX;

  // Keys are mostly short names: hashed a word at a time, with no call.
  static std::size_t hashOf(std::string_view key) {
    const char* p = key.data();
    std::size_t n = key.size();
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    auto mix = [&h](std::uint64_t w) {
      h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
      h ^= h >> 31;
    };
    if (n >= 8) {
      for (; n > 8; p += 8, n -= 8) mix(load<std::uint64_t>(p));
      mix(load<std::uint64_t>(p + n - 8));  // the last eight bytes, overlapping the word before
    } else if (n >= 4) {
      mix(load<std::uint32_t>(p) | std::uint64_t{load<std::uint32_t>(p + n - 4)} << 32);
    } else if (n > 0) {
      mix(std::uint64_t{static_cast<unsigned char>(p[0])} |
          std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
          std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16);
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
  }

  // One of 64 bits by a key's length and last byte. A short map keeps the union of its keys' bits:
  // a key whose bit is not among them is not there, without a search (most keys a map is given
  // are new to it).
  static std::uint64_t shapeOf(std::string_view key) {
    const unsigned last = key.empty() ? 0 : static_cast<unsigned char>(key.back());
    return std::uint64_t{1} << ((key.size() * 7 + last) & 63);
  }

  bool empty() const { return slots_.empty(); }
  void clear() { slots_.clear(); }

  // The place among those indexed under hash for which isKey(place) holds, or Missing.
  template <class IsKey>
  std::size_t find(std::size_t hash, IsKey&& isKey) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
      const std::uint32_t at = slots_[s];
      if (at == 0) return Missing;
      if (isKey(at - 1)) return at - 1;
    }
  }

  // The entry just added at place: indexed under hash when the table has room for it, else the
  // table is remade for all count entries (keyAt as for rebuild()).
  template <class KeyAt>
  void added(std::size_t place, std::size_t hash, std::size_t count, KeyAt&& keyAt) {
    if (slots_.size() < 2 * count) return rebuild(count, keyAt);
    put(place, hash);
  }

  // Remade for entries 0 to count - 1; keyAt(i) gives entry i's key, or nullptr for a removed one.
  template <class KeyAt>
  void rebuild(std::size_t count, KeyAt&& keyAt) {
    std::size_t size = 32;
    while (size < 2 * count) size *= 2;
    slots_.assign(size, 0);
    for (std::size_t i = 0; i < count; ++i)
      if (const auto* key = keyAt(i)) put(i, hashOf(*key));
  }

 private:
  template <class T>
  static T load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  void put(std::size_t place, std::size_t hash) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = hash & mask;
    while (slots_[s] != 0) s = (s + 1) & mask;
    slots_[s] = static_cast<std::uint32_t>(place + 1);
  }

  std::vector<std::uint32_t> slots_;  // place + 1, 0 for an empty slot; a power of two long
};

}  // namespace platform
