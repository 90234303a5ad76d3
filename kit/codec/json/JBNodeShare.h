#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/json/JBRepeatWatch.h"
#include "platform/foundation/Value.h"

namespace kavro {

// The small immutable containers of one document by their contents, so that one met again (the
// same area of a venue in every performance, the same two ids) is the node made before rather than
// a new one: such documents are mostly repeats, and a node costs several times its text. Members
// match when they are the same scalar (numbers of the same kind, bit for bit), equal short texts,
// or the very same container (equal children are already one node). Containers with longer texts
// are left out: their texts seldom repeat, and comparing them would cost more than it saves.
// Dictionaries match by their keys (the same key objects, none repeated) and values in order,
// which makes their tables, and so their order, the same. One thread; emptied for each document.
class JBNodeShare {
 public:
  static constexpr std::size_t kMaxMembers = 8;
  static constexpr std::size_t kMaxText = 16;

  // A word standing for a member, or 0 when it keeps its container from being shared. Equal
  // members give equal words; unequal ones seldom do, and sameMember() tells them apart. Members
  // other than texts are the same when their bits are (numbers of one kind, the very same
  // container): that needs no look at their kind, which varies from member to member.
  static std::uint64_t memberWord(const platform::Value& v) {
    if (v.isString()) {
      const std::string_view t = v.stringView();
      if (t.size() > kMaxText) return 0;
      std::uint64_t a = 0, b = 0;
      if (!t.empty()) std::memcpy(&a, t.data(), t.size() < 8 ? t.size() : 8);
      if (t.size() > 8) std::memcpy(&b, t.data() + 8, t.size() - 8);
      return (a ^ (b * 0xD6E8FEB86659FD93ull) ^ (t.size() << 56)) + 0x4000;
    }
    return v.isBytes() ? 0 : v.bitsWord();
  }
  // The hash of a container from its members' words, each weighed by its place: the products are
  // independent of one another, so they are worked out side by side rather than one after the
  // other. 0 when a member keeps the container from being shared.
  template <class WordAt>
  static std::uint64_t hashOf(std::size_t count, std::uint64_t seed, WordAt&& wordAt) {
    static constexpr std::uint64_t kPlaces[kMaxMembers] = {
        0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0xD6E8FEB86659FD93ull,
        0xFF51AFD7ED558CCDull, 0xC4CEB9FE1A85EC53ull, 0xBF58476D1CE4E5B9ull, 0x94D049BB133111EBull};
    std::uint64_t sum = seed + count;
    bool shared = true;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t w = wordAt(i);
      shared &= w != 0;
      sum += w * kPlaces[i];
    }
    return shared ? mix(sum) | 1 : 0;
  }
  static bool sameMember(const platform::Value& a, const platform::Value& b) {
    if (a.isString()) return b.isString() && a.stringView() == b.stringView();
    return a.sameBits(b);
  }
  static std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return x;
  }

  // Whether the next container is worth looking for: where few of them repeat (a long list of
  // coordinates), the looks pause for a while.
  bool worthLooking() { return watch_.worthLooking(); }
  void noteLook(bool found) { watch_.noteLook(found); }

  // The node kept under the hash that equal() accepts, or nullptr.
  template <class Equal>
  void* find(std::uint64_t hash, Equal&& equal) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.node == nullptr) return nullptr;
      if (s.hash == hash && equal(s.node)) return s.node;
    }
  }
  void add(std::uint64_t hash, void* node) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].node != nullptr) i = (i + 1) & mask;
    slots_[i] = Slot{hash, node};
    ++count_;
  }
  // A new document: nothing of the last one is shared. A large table is let go, and one that the
  // last document filled little is made small again: emptying costs its whole size, and a small
  // answer after a large one must not pay for the large one's table each time.
  void clear() {
    if (slots_.size() > kKeptSlots)
      std::vector<Slot>().swap(slots_);
    else if (slots_.size() > kFirstSlots && count_ * 8 < slots_.size())
      std::vector<Slot>(std::max(kFirstSlots, std::bit_ceil(count_ * 4))).swap(slots_);
    else if (count_ != 0)
      std::fill(slots_.begin(), slots_.end(), Slot());
    count_ = 0;
    watch_.reset();
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    void* node = nullptr;
  };
  static constexpr std::size_t kKeptSlots = 4096;
  static constexpr std::size_t kFirstSlots = 64;
  void grow() {
    std::vector<Slot> old(slots_.empty() ? kFirstSlots : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.node == nullptr) continue;
      std::size_t i = s.hash & mask;
      while (slots_[i].node != nullptr) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
  JBRepeatWatch watch_;
};

}  // namespace kavro
