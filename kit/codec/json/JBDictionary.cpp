#include "kit/codec/json/JBDictionary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBNodeAllocator.h"
#include "platform/foundation/Error.h"

namespace kavro {

namespace {

constexpr std::size_t kCapacities[] = {
    0,       3,        7,        13,       23,       41,       71,        127,       191,       251,
    383,     631,      1087,     1723,     2803,     4523,     7351,      11959,     19447,     31231,
    50683,   81919,    132607,   214519,   346607,   561109,   907759,    1468927,   2376191,   3845119,
    6221311, 10066421, 16287743, 26354171, 42641881, 68996069, 111638519, 180634607, 292272623, 472907251};

// floor((2^64 - 1) / capacity) for each capacity: a division costs more than making a small table.
constexpr std::array<std::uint64_t, std::size(kCapacities)> makeReciprocals() {
  std::array<std::uint64_t, std::size(kCapacities)> r{};
  for (std::size_t i = 1; i < r.size(); ++i) r[i] = UINT64_MAX / kCapacities[i];
  return r;
}
constexpr std::array<std::uint64_t, std::size(kCapacities)> kReciprocals = makeReciprocals();

}  // namespace

std::uint64_t JBDictionary::reciprocalOf(std::size_t capacity) {
  // Mostly small tables, found in a few steps.
  for (std::size_t i = 0; i < std::size(kCapacities); ++i)
    if (kCapacities[i] == capacity) return kReciprocals[i];
  return capacity ? UINT64_MAX / capacity : 0;
}

std::size_t JBDictionary::capacityForCount(std::size_t n) {
  // floor(n * 1.33), exactly.
  const std::size_t wanted = n <= SIZE_MAX / 133 ? n * 133 / 100 : SIZE_MAX;
  for (std::size_t c : kCapacities)
    if (c >= wanted) return c;
  throw platform::MallocException("Unable to allocate memory for hash table.");
}

JBDictionary::JBDictionary(Pair* pairs, std::size_t count, std::pmr::memory_resource* storage, bool isMutable,
                           bool copyKeys)
    : resource_(storage), mutations_(isMutable ? 1 : 0), ownsKeys_(isMutable || copyKeys) {
  rebuild(capacityForCount(count));
  for (std::size_t i = 0; i < count; ++i) {
    if (ownsKeys_) pairs[i].key = new std::string(*pairs[i].key);
    add(std::move(pairs[i]));
  }
}

JBDictionary::~JBDictionary() {
  if (inArena_) return;  // never destroyed: see createIn()
  for (std::size_t i = 0; i < count_; ++i) {
    dropKey(pairs_[i].key);
    pairs_[i].~Entry();
  }
  if (pairs_) resource_->deallocate(pairs_, capacity_ * sizeof(Entry), alignof(Entry));
  if (slots_) resource_->deallocate(slots_, capacity_ * sizeof(std::uint32_t), alignof(std::uint32_t));
}

JBArena* JBDictionary::arena() const { return inArena_ ? static_cast<JBArena*>(resource_) : nullptr; }

std::size_t JBDictionary::decodedLength() const {
  const JBArena* a = arena();
  return a ? a->rootLength(this) : 0;
}

void JBDictionary::prefetchForReading() const {
  const char* slots = reinterpret_cast<const char*>(slots_);
  for (std::size_t at = 0; at < capacity_ * sizeof(std::uint32_t); at += 64)
    __builtin_prefetch(slots + at, 0);
  const char* pairs = reinterpret_cast<const char*>(pairs_);
  for (std::size_t at = 0; at < count_ * sizeof(Entry); at += 64) __builtin_prefetch(pairs + at, 0);
}

std::uint32_t* JBDictionary::allocateSlots(std::size_t capacity) {
  if (capacity == 0) return nullptr;
  auto* slots = static_cast<std::uint32_t*>(
      resource_->allocate(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
  std::fill(slots, slots + capacity, 0);
  return slots;
}

std::shared_ptr<JBDictionary> JBDictionary::create(Pair* pairs, std::size_t count,
                                                   std::pmr::memory_resource* nodes,
                                                   std::pmr::memory_resource* storage, bool isMutable,
                                                   bool copyKeys) {
  return std::allocate_shared<JBDictionary>(JBNodeAllocator<JBDictionary>(nodes), pairs, count, storage,
                                            isMutable, copyKeys);
}

namespace {

// The table of a dictionary being made is probed where it stays in the cache (on the stack) and
// then written to the document's memory, which is usually new to the cache: probing there, just
// after clearing it, would wait on every slot.
constexpr std::size_t kSlotsBuiltAside = 256;

}  // namespace

// The pairs own nothing (their values borrow from the arena, their keys outlive it): they move in
// as they are (borrowed values stay borrowed), and nothing is destroyed.
JBDictionary* JBDictionary::createIn(JBArena& arena, Pair* pairs, std::size_t count) {
  auto* d = new (arena.carveNode(sizeof(JBDictionary), alignof(JBDictionary))) JBDictionary(arena);
  const std::size_t capacity = capacityForCount(count);
  if (count == 0) return d;
  d->pairs_ = static_cast<Entry*>(arena.carveNode(count * sizeof(Entry), alignof(Entry)));
  auto* const slots =
      static_cast<std::uint32_t*>(arena.carveNode(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
  d->setCapacity(capacity);
  if (capacity > kSlotsBuiltAside) {
    std::fill(slots, slots + capacity, 0);
    d->slots_ = slots;
    d->fill(pairs, count, nullptr);
    return d;
  }
  // Cleared in pieces of a size known here, written in place: the probes that follow read them at
  // once, and could not while a call's wider writes are still on their way.
  alignas(16) std::uint32_t aside[kSlotsBuiltAside];
  for (std::size_t i = 0; i < capacity; i += 4) std::memset(aside + i, 0, 4 * sizeof(std::uint32_t));
  std::uint8_t placed[kSlotsBuiltAside];
  d->slots_ = aside;
  const bool repeated = d->fill(pairs, count, placed);
  d->slots_ = slots;
  if (repeated) {
    std::copy(aside, aside + capacity, slots);
  } else {
    // Only written: each pair's slot is known.
    std::fill(slots, slots + capacity, 0);
    for (std::uint32_t n = 0; n < d->count_; ++n) slots[placed[n]] = n + 1;
  }
  return d;
}

bool JBDictionary::fill(Pair* pairs, std::size_t count, std::uint8_t* placed) {
  bool repeated = false;
  const std::size_t capacity = capacity_;
  for (std::size_t n = 0; n < count; ++n) {
    Pair& pair = pairs[n];
    std::size_t i = home(pair.keyHash);
    for (;;) {
      const std::uint32_t s = slots_[i];
      if (s == 0) {
        new (&pairs_[count_]) Entry{pair.key, std::move(pair.object)};
        if (placed) placed[count_] = static_cast<std::uint8_t>(i);
        slots_[i] = ++count_;
        break;
      }
      const Entry& p = pairs_[s - 1];
      if (p.key == pair.key || *p.key == *pair.key) {
        removeSlot(i);
        repeated = true;
        continue;  // the slot may have been refilled by the run behind it
      }
      if (++i == capacity) i = 0;
    }
  }
  return repeated;
}

JBDictionary* JBDictionary::createLikeIn(JBArena& arena, Pair* pairs, std::size_t count,
                                         const std::uint32_t* slots, std::size_t capacity) {
  auto* entries = static_cast<Entry*>(arena.carveNode(count * sizeof(Entry), alignof(Entry)));
  for (std::size_t i = 0; i < count; ++i) new (&entries[i]) Entry{pairs[i].key, std::move(pairs[i].object)};
  auto* copiedSlots =
      static_cast<std::uint32_t*>(arena.carveNode(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
  std::memcpy(copiedSlots, slots, capacity * sizeof(std::uint32_t));
  return adoptLikeIn(arena, entries, count, copiedSlots, capacity);
}

JBDictionary* JBDictionary::adoptLikeIn(JBArena& arena, Entry* entries, std::size_t count,
                                        const std::uint32_t* slots, std::size_t capacity) {
  auto* d = new (arena.carveNode(sizeof(JBDictionary), alignof(JBDictionary))) JBDictionary(arena);
  d->pairs_ = entries;
  d->count_ = static_cast<std::uint32_t>(count);
  // Never written: the dictionary is immutable, and never destroyed.
  d->slots_ = const_cast<std::uint32_t*>(slots);
  d->setCapacity(capacity);
  return d;
}

JBDictionary::JBDictionary(JBArena& arena)
    : resource_(arena.nodes()), mutations_(0), ownsKeys_(false), inArena_(true) {}

std::size_t JBDictionary::findSlot(std::size_t hash, std::string_view key) const {
  const std::size_t capacity = capacity_;
  if (capacity == 0) return kNotFound;
  std::size_t i = home(hash);
  for (std::size_t probes = 0; probes < capacity; ++probes) {
    const std::uint32_t s = slots_[i];
    if (s == 0) return kNotFound;
    if (*pairs_[s - 1].key == key) return i;
    if (++i == capacity) i = 0;
  }
  return kNotFound;
}

void JBDictionary::placeIndex(std::uint32_t index, std::size_t hash) {
  const std::size_t capacity = capacity_;
  std::size_t i = home(hash);
  while (slots_[i] != 0)
    if (++i == capacity) i = 0;
  slots_[i] = index;
}

// A pair with an equal key is removed first, so the later pair wins.
void JBDictionary::add(Pair&& pair) {
  const std::size_t capacity = capacity_;
  std::size_t i = home(pair.keyHash);
  for (;;) {
    const std::uint32_t s = slots_[i];
    if (s == 0) {
      new (&pairs_[count_]) Entry{pair.key, std::move(pair.object)};
      slots_[i] = ++count_;
      return;
    }
    const Entry& p = pairs_[s - 1];
    if (p.key == pair.key || *p.key == *pair.key) {
      removeSlot(i);
      continue;  // the slot may have been refilled by the run behind it
    }
    if (++i == capacity) i = 0;
  }
}

void JBDictionary::removeSlot(std::size_t slot) {
  const std::size_t capacity = capacity_;
  const std::uint32_t removed = slots_[slot] - 1;
  slots_[slot] = 0;
  dropKey(pairs_[removed].key);
  pairs_[removed].key = nullptr;
  // Put the rest of the run back where probing from their homes finds them.
  std::size_t j = slot + 1 == capacity ? 0 : slot + 1;
  while (slots_[j] != 0) {
    const std::uint32_t s = slots_[j];
    slots_[j] = 0;
    placeIndex(s, hashKey(*pairs_[s - 1].key));
    if (++j == capacity) j = 0;
  }
  // Keep the pairs dense: the last one moves into the hole.
  const std::uint32_t last = count_ - 1;
  if (removed != last) {
    std::size_t k = home(hashKey(*pairs_[last].key));
    while (slots_[k] != last + 1)
      if (++k == capacity) k = 0;
    slots_[k] = removed + 1;
    pairs_[removed] = std::move(pairs_[last]);
  }
  pairs_[last].~Entry();
  --count_;
}

void JBDictionary::rebuild(std::size_t capacity) {
  std::uint32_t* const old = slots_;
  Entry* const oldPairs = pairs_;
  const std::size_t oldCapacity = capacity_;
  Entry* const fresh =
      capacity ? static_cast<Entry*>(resource_->allocate(capacity * sizeof(Entry), alignof(Entry))) : nullptr;
  for (std::size_t i = 0; i < count_; ++i) {
    new (&fresh[i]) Entry(std::move(oldPairs[i]));
    oldPairs[i].~Entry();
  }
  pairs_ = fresh;
  slots_ = allocateSlots(capacity);
  setCapacity(capacity);
  for (std::size_t i = 0; i < oldCapacity; ++i)
    if (old[i] != 0) placeIndex(old[i], hashKey(*pairs_[old[i] - 1].key));
  if (oldPairs) resource_->deallocate(oldPairs, oldCapacity * sizeof(Entry), alignof(Entry));
  if (old) resource_->deallocate(old, oldCapacity * sizeof(std::uint32_t), alignof(std::uint32_t));
}

const platform::Value* JBDictionary::objectForKey(std::string_view key) const {
  const std::size_t slot = findSlot(hashKey(key), key);
  return slot == kNotFound ? nullptr : &pairs_[slots_[slot] - 1].object;
}

void JBDictionary::enumerate(
    const std::function<bool(const std::string&, const platform::Value&)>& fn) const {
  forEach(fn);
}

void JBDictionary::raiseMutatedWhileEnumerating() {
  throw platform::Exception("NSGenericException",
                            "*** Collection <JBDictionary> was mutated while being enumerated.");
}

void JBDictionary::checkMutable(const char* selector) const {
  if (mutations_ == 0)
    throw platform::InternalInconsistencyException(std::string("*** -[JBDictionary ") + selector +
                                                   "]: mutating method sent to immutable object");
}

void JBDictionary::mutated() {
  if (++mutations_ == 0) mutations_ = 1;
}

void JBDictionary::setObject(platform::Value value, std::string_view key) {
  checkMutable("setObject:forKey:");
  const std::size_t wanted = capacityForCount(count_ + 1);
  if (wanted > capacity_) rebuild(wanted);
  add(Pair{new std::string(key), std::move(value), hashKey(key)});
  mutated();
}

void JBDictionary::removeObjectForKey(std::string_view key) {
  checkMutable("removeObjectForKey:");
  const std::size_t slot = findSlot(hashKey(key), key);
  if (slot == kNotFound) return;
  removeSlot(slot);
  mutated();
}

void JBDictionary::removeAllObjects() {
  checkMutable("removeObjectForKey:");
  for (std::size_t i = 0; i < count_; ++i) {
    dropKey(pairs_[i].key);
    pairs_[i].~Entry();
  }
  count_ = 0;
  std::fill(slots_, slots_ + capacity_, 0);
  mutated();
}

std::shared_ptr<platform::Dictionary> JBDictionary::copy() const {
  if (const JBArena* a = arena())
    return std::shared_ptr<platform::Dictionary>(a->owner().lock(), const_cast<JBDictionary*>(this));
  if (mutations_ == 0)
    return std::static_pointer_cast<platform::Dictionary>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  std::vector<Pair> pairs;
  pairs.reserve(count_);
  for (std::size_t i = 0; i < capacity_; ++i)
    if (slots_[i] != 0) {
      const Entry& e = pairs_[slots_[i] - 1];
      pairs.push_back(Pair{e.key, e.object, hashKey(*e.key)});
    }
  auto* heap = std::pmr::new_delete_resource();
  return create(pairs.data(), pairs.size(), heap, heap, false, true);
}

std::shared_ptr<platform::MutableDictionary> JBDictionary::mutableCopy() const {
  auto copy = platform::MutableDictionary::create();
  for (std::size_t i = 0; i < capacity_; ++i)
    if (slots_[i] != 0) copy->setObject(pairs_[slots_[i] - 1].object, *pairs_[slots_[i] - 1].key);
  return copy;
}

}  // namespace kavro
