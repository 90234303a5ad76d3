#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/foundation/Value.h"

namespace kavro {

// What a string or number token decoded to. The codes enter the hash and the cache's probe step.
enum class JBValueKind : std::uint8_t { None = 0, String = 5, SignedInt = 7, UnsignedInt = 11, Double = 13 };

struct JBTokenValue {
  const char* bytes = nullptr;  // the decoded bytes (the number field's 8 bytes for numbers)
  std::size_t length = 0;
  JBValueKind kind = JBValueKind::None;
  std::uint32_t hash = 0;
  union {
    std::int64_t i;
    std::uint64_t u;
    double d;
  } number{};
  int cacheSlot = -1;  // the slot that produced the token's object, or -1
};

// The decoder's value cache: equal string and number tokens get one cached value (and a string
// key's hash is computed once), within a decoder's life. Strings longer than
// kMaxCachedStringLength pass by uncached. 1,024 slots probed at most 4 times; a
// slot holding another value is replaced when its age is 0, else its age is halved and two
// pseudo-random slots age too. Hits raise a slot's age, so often-used values stay. One thread.
class JBTokenCache {
 public:
  static constexpr std::size_t kSlotCount = 1024;
  // Longer strings are not kept: a copy handed out costs as much as making the string afresh, so
  // keeping them would only cost. Up to this length a string fits in its own storage.
  static constexpr std::size_t kMaxCachedStringLength = 15;

  // The token hashes the decoder gives: a string's (of at most kMaxCachedStringLength bytes, or a
  // longer key's, from its length and first and last eight bytes) and a number's by its kind and
  // bits.
  static std::uint32_t hashString(const char* bytes, std::size_t length);
  static std::uint32_t hashNumber(JBValueKind kind, std::uint64_t bits) {
    return mix(bits, 0, 8 | (std::uint64_t{static_cast<std::uint8_t>(kind)} << 8));
  }

  // The bytes of a string of at most 16 bytes as two words (overlapping loads), which with the
  // length tell it apart from every other string of that length.
  struct Words {
    std::uint64_t a, b;
  };
  static Words wordsOf(const char* p, std::size_t n) {
    if (n >= 8) {
      std::uint64_t a, b;
      std::memcpy(&a, p, 8);
      std::memcpy(&b, p + n - 8, 8);
      return {a, b};
    }
    if (n >= 4) {
      std::uint32_t a, b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + n - 4, 4);
      return {a, b};
    }
    if (n == 0) return {0, 0};
    const auto* u = reinterpret_cast<const std::uint8_t*>(p);
    return {std::uint64_t{u[0]} | std::uint64_t{u[n / 2]} << 8 | std::uint64_t{u[n - 1]} << 16, 0};
  }
  // hashString() of the string whose words (wordsOf) are w.
  static std::uint32_t hashOfWords(const Words& w, std::size_t length) {
    return mix(w.a, w.b, length | (std::uint64_t{static_cast<std::uint8_t>(JBValueKind::String)} << 8));
  }

  JBTokenCache();

  // The object for the token value; value.cacheSlot tells where it is cached (-1: not cached).
  // nullptr for an unknown kind. The pointer is valid until the next call.
  const platform::Value* cachedObject(JBTokenValue& value) {
    // Most tokens are found in their first slot.
    const bool string = value.kind == JBValueKind::String;
    if (string ? value.length - 1 < kMaxCachedStringLength : value.kind != JBValueKind::None) {
      const std::size_t at = value.hash & (kSlotCount - 1);
      Slot& s = slots_[at];
      if (s.entry != 0 && s.hash == value.hash && s.tag == tagOf(value)) {
        const Entry& e = entries_[s.entry - 1];
        const Words w = string ? wordsOf(value.bytes, value.length) : Words{value.number.u, 0};
        if (e.words.a == w.a && e.words.b == w.b) {
          value.cacheSlot = static_cast<int>(at);
          if (s.age != 0xFF) ++s.age;
          return &e.object;
        }
      }
    }
    return lookUp(value);
  }
  // The dictionary hash of the string cached in slot, computed on first use.
  std::size_t keyHash(int slot);
  void clear();
  // Empties the cache and restarts its ageing sequence, as in a new cache.
  void reset() {
    clear();
    shift_ = 1;
  }

  // Inspection.
  std::size_t occupiedSlots() const;
  const platform::Value* objectAtSlot(std::size_t slot) const;
  std::uint8_t ageAtSlot(std::size_t slot) const { return slots_[slot].age; }
  std::uint32_t shiftRegister() const { return shift_; }

 private:
  static std::uint32_t mix(std::uint64_t a, std::uint64_t b, std::uint64_t salt) {
    std::uint64_t h = (a ^ salt) * 0x9E3779B97F4A7C15ull;
    h ^= (b + salt) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
  }

  struct Slot {
    std::uint32_t hash = 0;
    std::uint16_t entry = 0;  // entry index plus one; 0 marks an empty slot
    std::uint8_t age = 0;
    std::uint8_t tag = 0;  // the kind and the length
  };
  struct Entry {
    platform::Value object;
    Words words{0, 0};
    std::size_t keyHash = 0;
    std::uint16_t slot = 0;
    bool hasKeyHash = false;
  };

  static std::uint8_t tagOf(const JBTokenValue& value) {
    return static_cast<std::uint8_t>((static_cast<unsigned>(value.kind) << 4) | (value.length & 15));
  }
  const platform::Value* lookUp(JBTokenValue& value);
  void age();
  static platform::Value makeObject(const JBTokenValue& value);

  std::array<Slot, kSlotCount> slots_{};
  std::vector<Entry> entries_;
  std::uint32_t shift_ = 1;
  platform::Value uncached_;
};

inline std::uint32_t JBTokenCache::hashString(const char* bytes, std::size_t length) {
  return hashOfWords(wordsOf(bytes, length), length);
}

}  // namespace kavro
