#include "kit/codec/json/JBTokenCache.h"

#include <string_view>

#include "kit/codec/json/JBDictionary.h"

namespace kavro {

namespace {
const platform::Value kEmptyString{std::string()};
constexpr std::size_t kMask = JBTokenCache::kSlotCount - 1;
constexpr int kProbes = 4;
}  // namespace

JBTokenCache::JBTokenCache() { entries_.reserve(64); }

platform::Value JBTokenCache::makeObject(const JBTokenValue& value) {
  switch (value.kind) {
    case JBValueKind::String:
      return platform::Value(std::string(value.bytes, value.length));
    case JBValueKind::SignedInt:
      return platform::Value(static_cast<long long>(value.number.i));
    case JBValueKind::UnsignedInt:
      if (value.number.u < (std::uint64_t{1} << 63))
        return platform::Value(static_cast<long long>(value.number.u));
      return platform::Value(static_cast<unsigned long long>(value.number.u));
    case JBValueKind::Double:
      return platform::Value(value.number.d);
    case JBValueKind::None:
      break;
  }
  return platform::Value();
}

void JBTokenCache::age() {
  for (int round = 0; round < 2; ++round) {
    const bool out = shift_ & 1;
    shift_ = (shift_ >> 1) ^ (out ? 0x80200003u : 0u);
    slots_[shift_ & kMask].age >>= 1;
  }
}

const platform::Value* JBTokenCache::lookUp(JBTokenValue& value) {
  value.cacheSlot = -1;
  Words words;
  switch (value.kind) {
    case JBValueKind::String:
      if (value.length == 0) return &kEmptyString;
      if (value.length > kMaxCachedStringLength) {
        uncached_ = makeObject(value);
        return &uncached_;
      }
      words = wordsOf(value.bytes, value.length);
      break;
    case JBValueKind::SignedInt:
    case JBValueKind::UnsignedInt:
    case JBValueKind::Double:
      words = {value.number.u, 0};
      break;
    default:
      return nullptr;
  }

  const std::uint32_t hash = value.hash;
  const std::uint8_t tag = tagOf(value);
  const std::size_t step = value.length + static_cast<std::size_t>(value.kind) + 3;
  std::size_t slot = hash & kMask;
  int chosen = -1;
  for (int x = 0; x < kProbes; ++x) {
    Slot& s = slots_[slot];
    if (s.entry == 0) {
      chosen = static_cast<int>(slot);
      break;
    }
    if (s.hash == hash && s.tag == tag) {
      Entry& e = entries_[s.entry - 1];
      if (e.words.a == words.a && e.words.b == words.b) {
        value.cacheSlot = static_cast<int>(slot);
        if (s.age != 0xFF) ++s.age;
        return &e.object;
      }
    }
    if (chosen < 0) {
      if (s.age == 0) {
        chosen = static_cast<int>(slot);
      } else {
        s.age >>= 1;
        age();
      }
    }
    slot = (hash + step * static_cast<std::size_t>(x + 1)) & kMask;
  }

  if (chosen < 0) {
    uncached_ = makeObject(value);
    return &uncached_;
  }
  Slot& s = slots_[static_cast<std::size_t>(chosen)];
  if (s.entry == 0) {
    entries_.emplace_back();
    s.entry = static_cast<std::uint16_t>(entries_.size());
    entries_.back().slot = static_cast<std::uint16_t>(chosen);
  }
  Entry& e = entries_[s.entry - 1];
  e.object = makeObject(value);
  e.words = words;
  e.keyHash = 0;
  e.hasKeyHash = false;
  s.hash = hash;
  s.tag = tag;
  s.age = 0;
  value.cacheSlot = chosen;
  return &e.object;
}

std::size_t JBTokenCache::keyHash(int slot) {
  Entry& e = entries_[slots_[static_cast<std::size_t>(slot)].entry - 1];
  if (!e.hasKeyHash) {
    e.keyHash = JBDictionary::hashKey(e.object.stringView());
    e.hasKeyHash = true;
  }
  return e.keyHash;
}

void JBTokenCache::clear() {
  // Only occupied slots hold anything (an empty slot's age is always 0).
  for (const Entry& e : entries_) slots_[e.slot] = Slot();
  entries_.clear();
}

std::size_t JBTokenCache::occupiedSlots() const { return entries_.size(); }

const platform::Value* JBTokenCache::objectAtSlot(std::size_t slot) const {
  const std::uint16_t index = slots_[slot].entry;
  return index == 0 ? nullptr : &entries_[index - 1].object;
}

}  // namespace kavro
