#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
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

  JBTokenCache();

  // The object for the token value; value.cacheSlot tells where it is cached (-1: not cached).
  // nullptr for an unknown kind. The pointer is valid until the next call.
  const platform::Value* cachedObject(JBTokenValue& value);
  // The dictionary hash of the string cached in slot, computed on first use.
  std::size_t keyHash(int slot);
  void clear();

  // Inspection.
  std::size_t occupiedSlots() const;
  const platform::Value* objectAtSlot(std::size_t slot) const;
  std::uint8_t ageAtSlot(std::size_t slot) const { return ages_[slot]; }
  std::uint32_t shiftRegister() const { return shift_; }

 private:
  struct Entry {
    platform::Value object;
    std::uint64_t numberBits = 0;
    std::size_t keyHash = 0;
    std::uint32_t hash = 0;
    std::size_t size = 0;
    JBValueKind kind = JBValueKind::None;
    bool hasKeyHash = false;
  };

  void age();
  static platform::Value makeObject(const JBTokenValue& value);

  std::array<std::uint16_t, kSlotCount> index_{};  // entry index plus one; 0 marks an empty slot
  std::array<std::uint8_t, kSlotCount> ages_{};
  std::vector<Entry> entries_;
  std::uint32_t shift_ = 1;
  platform::Value uncached_;
};

}  // namespace kavro
