#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/json/JBNodeShare.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {

class JBArena;
class JBStores;
template <class>
class JBNodeAllocator;

// The dictionary the JSON decoder builds, over its own open-addressing hash table (linear
// probing, capacities from a fixed table of primes). Pairs come out in slot order, which follows
// the keys' hashes and the capacity, not the document's order. Immutable unless the caller asked
// for mutable results; changing an immutable one raises an internal-inconsistency exception.
// One thread at a time while it can change; immutable ones may be read from several threads.
class JBDictionary final : public platform::MutableDictionary {
 public:
  // A pair while the decoder builds the dictionary. The key lives in the document's memory; a
  // dictionary that owns its keys keeps copies.
  struct Pair {
    const std::string* key = nullptr;
    platform::Value object;
    std::size_t keyHash = 0;
  };
  // A pair as the dictionary keeps it. The key's hash is not kept: a lookup hashes the key it is
  // given anyway, and only changes to a mutable dictionary need the hashes of the keys it holds.
  struct Entry {
    const std::string* key = nullptr;
    platform::Value object;
  };

  // The hash the table stores for a key.
  static std::size_t hashKey(std::string_view key) { return std::hash<std::string_view>()(key); }
  // Slots for n pairs: the first capacity of the table not below floor(n * 1.33). Raises a memory
  // exception beyond the largest one.
  static std::size_t capacityForCount(std::size_t n);

  JBDictionary(const JBDictionary&) = delete;
  JBDictionary& operator=(const JBDictionary&) = delete;
  ~JBDictionary() override;

  std::size_t count() const override { return count_; }
  std::size_t capacity() const { return capacity_; }
  bool isMutable() const { return mutations_ != 0; }
  // For a document's immutable root: the length of the text it was decoded from (0 otherwise), a
  // close guess at its compact encoding's length.
  std::size_t decodedLength() const;
  const platform::Value* objectForKey(std::string_view key) const override;
  // Raises when fn changes the dictionary.
  void enumerate(
      const std::function<bool(const std::string& key, const platform::Value& value)>& fn) const override;

  // enumerate() without the cost of a std::function, for callers that know the class.
  template <class Fn>
  void forEach(Fn&& fn) const {
    for (std::size_t i = 0; i < capacity_; ++i) {
      const std::uint32_t s = slots_[i];
      if (s == 0) continue;
      const std::uint64_t before = mutations_;
      const Entry& p = pairs_[s - 1];
      if (!fn(*p.key, p.object)) return;
      if (mutations_ != before) raiseMutatedWhileEnumerating();
    }
  }

  // Ahead of reading every pair: fetch the slots and the pairs into the cache.
  void prefetchForReading() const;

  void setObject(platform::Value value, std::string_view key) override;
  void removeObjectForKey(std::string_view key) override;
  void removeAllObjects() override;

  // An immutable dictionary is its own copy; a mutable one copies into a new immutable one.
  std::shared_ptr<platform::Dictionary> copy() const;
  // Always a new platform mutable dictionary with the same pairs, in this one's order.
  std::shared_ptr<platform::MutableDictionary> mutableCopy() const;

 private:
  friend class JBStores;
  friend class JBLayouts;
  friend class JBLayoutReader;
  template <class>
  friend class JBNodeAllocator;
  // Moves count pairs out of pairs into storage from the resource; a later pair with an equal key
  // replaces the earlier one. With copyKeys (always for a mutable dictionary) the dictionary keeps
  // copies of the keys; otherwise they must outlive it.
  JBDictionary(Pair* pairs, std::size_t count, std::pmr::memory_resource* storage, bool isMutable,
               bool copyKeys);
  // The node comes from nodes, its pairs' and slots' storage from storage.
  static std::shared_ptr<JBDictionary> create(Pair* pairs, std::size_t count,
                                              std::pmr::memory_resource* nodes,
                                              std::pmr::memory_resource* storage, bool isMutable,
                                              bool copyKeys);
  // Immutable dictionaries carved from the arena, never destroyed: they live by the arena's owner
  // count, their values must own nothing and their keys outlive the arena. createLikeIn() is for
  // keys that, in order, are those of an earlier dictionary (the same key objects, no two equal)
  // with the table slots of capacity: that table is copied rather than built again.
  static JBDictionary* createIn(JBArena& arena, Pair* pairs, std::size_t count);
  static JBDictionary* createLikeIn(JBArena& arena, Pair* pairs, std::size_t count,
                                    const std::uint32_t* slots, std::size_t capacity);
  // The same over entries and slots already carved from the arena, which the dictionary takes as
  // they are; the slots may be shared by dictionaries with the same keys.
  static JBDictionary* adoptLikeIn(JBArena& arena, Entry* entries, std::size_t count,
                                   const std::uint32_t* slots, std::size_t capacity);
  explicit JBDictionary(JBArena& arena);  // empty, without storage
  // Whether it holds count pairs with the very same keys, in this order, and the same members
  // (JBNodeShare::sameMember()): the test of a dictionary made before standing in for new pairs.
  template <class P>
  bool holdsSamePairs(const P* pairs, std::size_t count) const {
    if (count_ != count) return false;
    for (std::size_t i = 0; i < count; ++i)
      if (pairs_[i].key != pairs[i].key || !JBNodeShare::sameMember(pairs_[i].object, pairs[i].object))
        return false;
    return true;
  }

  static constexpr std::size_t kNotFound = SIZE_MAX;
  std::size_t findSlot(std::size_t hash, std::string_view key) const;
  // Needs a free slot and room for a pair more.
  void add(Pair&& pair);
  void dropKey(const std::string* key) {
    if (ownsKeys_) delete key;
  }
  // Adds the pairs (whose values own nothing) to an empty table with room for them; answers whether
  // a key repeated. Unless one did, placed[n] (when given) is the slot of the nth pair kept (the
  // table then has at most 256 slots).
  bool fill(Pair* pairs, std::size_t count, std::uint8_t* placed);
  void placeIndex(std::uint32_t index, std::size_t hash);
  void removeSlot(std::size_t slot);
  // A table of capacity slots, and room for as many pairs (a table is never fuller).
  void rebuild(std::size_t capacity);
  std::uint32_t* allocateSlots(std::size_t capacity);
  void checkMutable(const char* selector) const;
  [[noreturn]] static void raiseMutatedWhileEnumerating();
  void mutated();
  JBArena* arena() const;
  // hash % capacity_, by a multiplication with the capacity's reciprocal instead of a division.
  std::size_t home(std::size_t hash) const {
    const std::uint64_t h = hash;
    const auto q = static_cast<std::uint64_t>((static_cast<unsigned __int128>(h) * reciprocal_) >> 64);
    std::uint64_t r = h - q * capacity_;
    while (r >= capacity_) r -= capacity_;
    return static_cast<std::size_t>(r);
  }
  static std::uint64_t reciprocalOf(std::size_t capacity);
  void setCapacity(std::size_t capacity) {
    capacity_ = static_cast<std::uint32_t>(capacity);
    reciprocal_ = reciprocalOf(capacity);
  }

  // A document holds many small dictionaries: the node keeps only what reading needs.
  // The arena's resource for a dictionary carved from one (its pairs and slots are the arena's
  // too); otherwise the resource that the pairs and slots come from, room for capacity_ pairs.
  std::pmr::memory_resource* resource_;
  Entry* pairs_ = nullptr;          // count_ pairs
  std::uint32_t* slots_ = nullptr;  // index into pairs_ plus one; 0 marks an empty slot
  std::uint64_t reciprocal_ = 0;    // floor((2^64 - 1) / capacity_)
  std::uint32_t count_ = 0;
  std::uint32_t capacity_ = 0;
  std::uint32_t mutations_;  // 0 marks an immutable dictionary
  bool ownsKeys_;
  bool inArena_ = false;
};

}  // namespace kavro
