#include "kit/codec/json/JBDictionary.h"

#include <algorithm>
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

}  // namespace

std::size_t JBDictionary::capacityForCount(std::size_t n) {
  // floor(n * 1.33), exactly.
  const std::size_t wanted = n <= SIZE_MAX / 133 ? n * 133 / 100 : SIZE_MAX;
  for (std::size_t c : kCapacities)
    if (c >= wanted) return c;
  throw platform::MallocException("Unable to allocate memory for hash table.");
}

JBDictionary::JBDictionary(Pair* pairs, std::size_t count, std::pmr::memory_resource* storage, bool isMutable,
                           bool copyKeys)
    : storage_(storage), mutations_(isMutable ? 1 : 0), ownsKeys_(isMutable || copyKeys) {
  const std::size_t capacity = capacityForCount(count);
  reservePairs(count);
  slots_ = allocateSlots(capacity);
  setCapacity(capacity);
  for (std::size_t i = 0; i < count; ++i) {
    if (ownsKeys_) pairs[i].key = new std::string(*pairs[i].key);
    add(std::move(pairs[i]));
  }
  if (!isMutable && count_ <= 64) {
    owningPairs_ = 0;
    for (std::size_t i = 0; i < count_; ++i)
      if (pairs_[i].object.ownsSomething()) owningPairs_ |= std::uint64_t{1} << i;
  }
}

JBDictionary::~JBDictionary() {
  if (ownsKeys_)
    for (std::size_t i = 0; i < count_; ++i) delete pairs_[i].key;
  if (mutations_ == 0 && count_ <= 64) {
    for (std::uint64_t m =
             owningPairs_ & (count_ == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count_) - 1);
         m; m &= m - 1)
      pairs_[__builtin_ctzll(m)].~Pair();
  } else {
    for (std::size_t i = 0; i < count_; ++i) pairs_[i].~Pair();
  }
  if (pairs_) storage_->deallocate(pairs_, pairCapacity_ * sizeof(Pair), alignof(Pair));
  if (slots_) storage_->deallocate(slots_, capacity_ * sizeof(std::uint32_t), alignof(std::uint32_t));
}

void JBDictionary::prefetchOwnedObjects() const {
  if (mutations_ != 0 || count_ > 64) return;
  for (std::uint64_t m = owningPairs_; m; m &= m - 1) {
    const platform::Value& v = pairs_[__builtin_ctzll(m)].object;
    prefetchNode(v.objectPointer());
  }
}

void JBDictionary::prefetchForReading() const {
  const char* slots = reinterpret_cast<const char*>(slots_);
  for (std::size_t at = 0; at < capacity_ * sizeof(std::uint32_t); at += 64)
    __builtin_prefetch(slots + at, 0);
  const char* pairs = reinterpret_cast<const char*>(pairs_);
  for (std::size_t at = 0; at < count_ * sizeof(Pair); at += 64) __builtin_prefetch(pairs + at, 0);
}

std::uint32_t* JBDictionary::allocateSlots(std::size_t capacity, const std::uint32_t* from) {
  if (capacity == 0) return nullptr;
  auto* slots = static_cast<std::uint32_t*>(
      storage_->allocate(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
  if (from)
    std::memcpy(slots, from, capacity * sizeof(std::uint32_t));
  else
    std::fill(slots, slots + capacity, 0);
  return slots;
}

// Room for n pairs; the pairs move to new storage when there is less.
void JBDictionary::reservePairs(std::size_t n) {
  if (n <= pairCapacity_) return;
  auto* fresh = static_cast<Pair*>(storage_->allocate(n * sizeof(Pair), alignof(Pair)));
  for (std::size_t i = 0; i < count_; ++i) {
    new (&fresh[i]) Pair(std::move(pairs_[i]));
    pairs_[i].~Pair();
  }
  if (pairs_) storage_->deallocate(pairs_, pairCapacity_ * sizeof(Pair), alignof(Pair));
  pairs_ = fresh;
  pairCapacity_ = n;
}

std::shared_ptr<JBDictionary> JBDictionary::create(Pair* pairs, std::size_t count,
                                                   std::pmr::memory_resource* nodes,
                                                   std::pmr::memory_resource* storage, bool isMutable,
                                                   bool copyKeys) {
  return std::allocate_shared<JBDictionary>(JBNodeAllocator<JBDictionary>(nodes), pairs, count, storage,
                                            isMutable, copyKeys);
}

// The pairs own nothing (their values borrow from the arena, their keys outlive it): they move in
// as they are (borrowed values stay borrowed), and nothing is destroyed.
JBDictionary* JBDictionary::createIn(JBArena& arena, Pair* pairs, std::size_t count) {
  auto* d = new (arena.carveNode(sizeof(JBDictionary), alignof(JBDictionary))) JBDictionary(arena);
  const std::size_t capacity = capacityForCount(count);
  if (count != 0) d->pairs_ = static_cast<Pair*>(arena.carveNode(count * sizeof(Pair), alignof(Pair)));
  d->pairCapacity_ = count;
  d->slots_ = d->allocateSlots(capacity);
  d->setCapacity(capacity);
  std::uint32_t* const slots = d->slots_;
  for (std::size_t n = 0; n < count; ++n) {
    Pair& pair = pairs[n];
    std::size_t i = d->home(pair.keyHash);
    for (;;) {
      const std::uint32_t s = slots[i];
      if (s == 0) {
        new (&d->pairs_[d->count_]) Pair(std::move(pair));
        slots[i] = static_cast<std::uint32_t>(++d->count_);
        break;
      }
      const Pair& p = d->pairs_[s - 1];
      if (p.keyHash == pair.keyHash && (p.key == pair.key || *p.key == *pair.key)) {
        d->removeSlot(i);
        continue;  // the slot may have been refilled by the run behind it
      }
      if (++i == capacity) i = 0;
    }
  }
  return d;
}

JBDictionary* JBDictionary::createLikeIn(JBArena& arena, Pair* pairs, std::size_t count,
                                         const std::uint32_t* slots, std::size_t capacity) {
  auto* copied = static_cast<Pair*>(arena.carveNode(count * sizeof(Pair), alignof(Pair)));
  for (std::size_t i = 0; i < count; ++i) new (&copied[i]) Pair(std::move(pairs[i]));
  auto* copiedSlots =
      static_cast<std::uint32_t*>(arena.carveNode(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
  std::memcpy(copiedSlots, slots, capacity * sizeof(std::uint32_t));
  return adoptLikeIn(arena, copied, count, copiedSlots, capacity);
}

JBDictionary* JBDictionary::adoptLikeIn(JBArena& arena, Pair* pairs, std::size_t count,
                                        const std::uint32_t* slots, std::size_t capacity) {
  auto* d = new (arena.carveNode(sizeof(JBDictionary), alignof(JBDictionary))) JBDictionary(arena);
  d->pairs_ = pairs;
  d->count_ = d->pairCapacity_ = count;
  // Never written: the dictionary is immutable, and never destroyed.
  d->slots_ = const_cast<std::uint32_t*>(slots);
  d->setCapacity(capacity);
  return d;
}

JBDictionary::JBDictionary(JBArena& arena)
    : storage_(arena.storage()), mutations_(0), arena_(&arena), ownsKeys_(false) {}

std::size_t JBDictionary::findSlot(std::size_t hash, std::string_view key) const {
  const std::size_t capacity = capacity_;
  if (capacity == 0) return kNotFound;
  std::size_t i = home(hash);
  for (std::size_t probes = 0; probes < capacity; ++probes) {
    const std::uint32_t s = slots_[i];
    if (s == 0) return kNotFound;
    const Pair& p = pairs_[s - 1];
    if (p.keyHash == hash && *p.key == key) return i;
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

// Needs a free slot. A pair with an equal key is removed first, so the later pair wins.
void JBDictionary::add(Pair&& pair) {
  const std::size_t capacity = capacity_;
  std::size_t i = home(pair.keyHash);
  for (;;) {
    const std::uint32_t s = slots_[i];
    if (s == 0) {
      new (&pairs_[count_]) Pair(std::move(pair));
      slots_[i] = static_cast<std::uint32_t>(++count_);
      return;
    }
    const Pair& p = pairs_[s - 1];
    if (p.keyHash == pair.keyHash && *p.key == *pair.key) {
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
    placeIndex(s, pairs_[s - 1].keyHash);
    if (++j == capacity) j = 0;
  }
  // Keep the pairs dense: the last one moves into the hole.
  const auto last = static_cast<std::uint32_t>(count_ - 1);
  if (removed != last) {
    std::size_t k = home(pairs_[last].keyHash);
    while (slots_[k] != last + 1)
      if (++k == capacity) k = 0;
    slots_[k] = removed + 1;
    pairs_[removed] = std::move(pairs_[last]);
  }
  pairs_[last].~Pair();
  --count_;
}

void JBDictionary::rebuild(std::size_t capacity) {
  std::uint32_t* const old = slots_;
  const std::size_t oldCapacity = capacity_;
  slots_ = allocateSlots(capacity);
  setCapacity(capacity);
  for (std::size_t i = 0; i < oldCapacity; ++i)
    if (old[i] != 0) placeIndex(old[i], pairs_[old[i] - 1].keyHash);
  if (old) storage_->deallocate(old, oldCapacity * sizeof(std::uint32_t), alignof(std::uint32_t));
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
  if (count_ == pairCapacity_) reservePairs(count_ < 8 ? 8 : count_ * 2);
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
    pairs_[i].~Pair();
  }
  count_ = 0;
  std::fill(slots_, slots_ + capacity_, 0);
  mutated();
}

std::shared_ptr<platform::Dictionary> JBDictionary::copy() const {
  if (arena_)
    return std::shared_ptr<platform::Dictionary>(arena_->owner().lock(), const_cast<JBDictionary*>(this));
  if (mutations_ == 0)
    return std::static_pointer_cast<platform::Dictionary>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  std::vector<Pair> pairs;
  pairs.reserve(count_);
  for (std::size_t i = 0; i < capacity_; ++i)
    if (slots_[i] != 0) pairs.push_back(pairs_[slots_[i] - 1]);
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
