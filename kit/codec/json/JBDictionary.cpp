#include "kit/codec/json/JBDictionary.h"

#include <algorithm>
#include <cmath>
#include <iterator>

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

JBDictionary::JBDictionary(Private, Pair* pairs, std::size_t count, std::pmr::memory_resource* storage,
                           bool isMutable, bool copyKeys)
    : pairs_(storage), slots_(capacityForCount(count), 0, storage), mutations_(isMutable ? 1 : 0),
      ownsKeys_(isMutable || copyKeys) {
  setCapacity(slots_.size());
  pairs_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (ownsKeys_) pairs[i].key = new std::string(*pairs[i].key);
    add(std::move(pairs[i]));
  }
}

JBDictionary::~JBDictionary() {
  if (ownsKeys_)
    for (const Pair& p : pairs_) delete p.key;
}

std::shared_ptr<JBDictionary> JBDictionary::create(Pair* pairs, std::size_t count, std::pmr::memory_resource* nodes,
                                                   std::pmr::memory_resource* storage, bool isMutable,
                                                   bool copyKeys) {
  return std::allocate_shared<JBDictionary>(std::pmr::polymorphic_allocator<JBDictionary>(nodes), Private(), pairs,
                                            count, storage, isMutable, copyKeys);
}

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
      pairs_.push_back(std::move(pair));
      slots_[i] = static_cast<std::uint32_t>(pairs_.size());
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
  const auto last = static_cast<std::uint32_t>(pairs_.size() - 1);
  if (removed != last) {
    std::size_t k = home(pairs_[last].keyHash);
    while (slots_[k] != last + 1)
      if (++k == capacity) k = 0;
    slots_[k] = removed + 1;
    pairs_[removed] = std::move(pairs_[last]);
  }
  pairs_.pop_back();
}

void JBDictionary::rebuild(std::size_t capacity) {
  std::pmr::vector<std::uint32_t> old(capacity, 0, slots_.get_allocator());
  old.swap(slots_);
  setCapacity(capacity);
  for (std::uint32_t s : old)
    if (s != 0) placeIndex(s, pairs_[s - 1].keyHash);
}

const platform::Value* JBDictionary::objectForKey(std::string_view key) const {
  const std::size_t slot = findSlot(hashKey(key), key);
  return slot == kNotFound ? nullptr : &pairs_[slots_[slot] - 1].object;
}

void JBDictionary::enumerate(
    const std::function<bool(const std::string&, const platform::Value&)>& fn) const {
  for (std::size_t i = 0; i < capacity_; ++i) {
    const std::uint32_t s = slots_[i];
    if (s == 0) continue;
    const std::uint64_t before = mutations_;
    const Pair& p = pairs_[s - 1];
    if (!fn(*p.key, p.object)) return;
    if (mutations_ != before)
      throw platform::Exception("NSGenericException",
                                "*** Collection <JBDictionary> was mutated while being enumerated.");
  }
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
  const std::size_t wanted = capacityForCount(pairs_.size() + 1);
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
  for (const Pair& p : pairs_) dropKey(p.key);
  pairs_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
  mutated();
}

std::shared_ptr<platform::Dictionary> JBDictionary::copy() const {
  if (mutations_ == 0)
    return std::static_pointer_cast<platform::Dictionary>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  std::vector<Pair> pairs;
  pairs.reserve(pairs_.size());
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
