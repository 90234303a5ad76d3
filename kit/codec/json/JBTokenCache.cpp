#include "kit/codec/json/JBTokenCache.h"

#include <cstring>
#include <string_view>

#include "kit/codec/json/JBDictionary.h"

namespace kavro {

namespace {
const platform::Value kEmptyString{std::string()};
constexpr std::size_t kMask = JBTokenCache::kSlotCount - 1;
constexpr int kProbes = 4;

// Cached strings are short: a plain loop beats a call to memcmp.
inline bool sameBytes(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}
}  // namespace

JBTokenCache::JBTokenCache() { entries_.reserve(32); }

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
    ages_[shift_ & kMask] >>= 1;
  }
}

const platform::Value* JBTokenCache::cachedObject(JBTokenValue& value) {
  value.cacheSlot = -1;
  if (value.kind == JBValueKind::String && value.length == 0) return &kEmptyString;
  if (value.kind != JBValueKind::String && value.kind != JBValueKind::SignedInt &&
      value.kind != JBValueKind::UnsignedInt && value.kind != JBValueKind::Double)
    return nullptr;
  if (value.kind == JBValueKind::String && value.length > kMaxCachedStringLength) {
    uncached_ = makeObject(value);
    return &uncached_;
  }

  const std::uint32_t hash = value.hash;
  const std::size_t step = value.length + static_cast<std::size_t>(value.kind) + 3;
  std::size_t slot = hash & kMask;
  int chosen = -1;
  for (int x = 0; x < kProbes; ++x) {
    const std::uint16_t index = index_[slot];
    if (index == 0) {
      chosen = static_cast<int>(slot);
      break;
    }
    Entry& e = entries_[index - 1];
    if (e.hash == hash && e.size == value.length && e.kind == value.kind &&
        (value.kind == JBValueKind::String
             ? sameBytes(e.object.stringValue().data(), value.bytes, value.length)
             : e.numberBits == value.number.u)) {
      value.cacheSlot = static_cast<int>(slot);
      if (ages_[slot] != 0xFF) ++ages_[slot];
      return &e.object;
    }
    if (chosen < 0) {
      if (ages_[slot] == 0) {
        chosen = static_cast<int>(slot);
      } else {
        ages_[slot] >>= 1;
        age();
      }
    }
    slot = (hash + step * static_cast<std::size_t>(x + 1)) & kMask;
  }

  if (chosen < 0) {
    uncached_ = makeObject(value);
    return &uncached_;
  }
  std::uint16_t& index = index_[static_cast<std::size_t>(chosen)];
  if (index == 0) {
    entries_.emplace_back();
    index = static_cast<std::uint16_t>(entries_.size());
  }
  Entry& e = entries_[index - 1];
  e.object = makeObject(value);
  e.numberBits = value.kind == JBValueKind::String ? 0 : value.number.u;
  e.keyHash = 0;
  e.hasKeyHash = false;
  e.hash = hash;
  e.size = value.length;
  e.kind = value.kind;
  ages_[static_cast<std::size_t>(chosen)] = 0;
  value.cacheSlot = chosen;
  return &e.object;
}

std::size_t JBTokenCache::keyHash(int slot) {
  Entry& e = entries_[index_[static_cast<std::size_t>(slot)] - 1];
  if (!e.hasKeyHash) {
    e.keyHash = JBDictionary::hashKey(e.object.stringValue());
    e.hasKeyHash = true;
  }
  return e.keyHash;
}

void JBTokenCache::clear() {
  index_.fill(0);
  ages_.fill(0);
  entries_.clear();
}

std::size_t JBTokenCache::occupiedSlots() const {
  std::size_t n = 0;
  for (std::uint16_t i : index_) n += i != 0;
  return n;
}

const platform::Value* JBTokenCache::objectAtSlot(std::size_t slot) const {
  const std::uint16_t index = index_[slot];
  return index == 0 ? nullptr : &entries_[index - 1].object;
}

}  // namespace kavro
