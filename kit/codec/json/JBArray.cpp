#include "kit/codec/json/JBArray.h"

#include <iterator>
#include <string>
#include <typeinfo>

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBNodeAllocator.h"
#include "platform/foundation/Error.h"

namespace kavro {

JBArray::JBArray(platform::Value* objects, std::size_t count, std::pmr::memory_resource* storage,
                 bool isMutable)
    : items_(std::make_move_iterator(objects), std::make_move_iterator(objects + count), storage),
      mutable_(isMutable) {
  if (isMutable) return;
  for (const platform::Value& v : items_)
    if (v.ownsSomething()) return;
  ownsNothing_ = true;
}

JBArray::JBArray(JBArena& arena, platform::Value* objects, std::size_t count)
    : items_(std::make_move_iterator(objects), std::make_move_iterator(objects + count), arena.storage()),
      arena_(&arena),
      mutable_(false),
      ownsNothing_(true) {}

JBArray* JBArray::createIn(JBArena& arena, platform::Value* objects, std::size_t count) {
  return new (arena.carveNode(sizeof(JBArray), alignof(JBArray))) JBArray(arena, objects, count);
}

namespace {

const platform::Object* objectIn(const platform::Value& v) { return v.objectPointer(); }

const JBDictionary* decodedDictionary(const platform::Object* o) {
  return o && typeid(*o) == typeid(JBDictionary) ? static_cast<const JBDictionary*>(o) : nullptr;
}

}  // namespace

void JBArray::prefetchForReading(std::size_t index, int stage) const {
  if (index >= items_.size()) return;
  const platform::Object* o = objectIn(items_[index]);
  if (stage == 0)
    prefetchNode(o);
  else if (const JBDictionary* d = decodedDictionary(o))
    d->prefetchForReading();
}

JBArray::~JBArray() {
  if (ownsNothing_) {
    if (items_.data()) items_.get_allocator().deallocate(items_.data(), items_.capacity());
    return;
  }
  // A long list of records, freed long after it was made, is no longer in the cache, and each
  // record is reached through pointers: fetch the memory of the records ahead in stages (the
  // node, then its pairs, then its containers) so that freeing does not wait on every step.
  constexpr std::size_t kAhead = 8;
  const std::size_t n = items_.size();
  if (n > 16 * kAhead) {
    for (std::size_t i = 0; i < n; ++i) {
      if (i + 3 * kAhead < n) prefetchNode(objectIn(items_[i + 3 * kAhead]));
      if (i + 2 * kAhead < n)
        if (const JBDictionary* d = decodedDictionary(objectIn(items_[i + 2 * kAhead])))
          d->prefetchOwnedPairs();
      if (i + kAhead < n)
        if (const JBDictionary* d = decodedDictionary(objectIn(items_[i + kAhead])))
          d->prefetchOwnedObjects();
      items_[i].~Value();
      new (&items_[i]) platform::Value();
    }
  }
  items_.~vector();
}

std::shared_ptr<JBArray> JBArray::create(platform::Value* objects, std::size_t count,
                                         std::pmr::memory_resource* nodes, std::pmr::memory_resource* storage,
                                         bool isMutable) {
  return std::allocate_shared<JBArray>(JBNodeAllocator<JBArray>(nodes), objects, count, storage, isMutable);
}

void JBArray::checkMutable(const char* selector) const {
  if (!mutable_)
    throw platform::InternalInconsistencyException(std::string("*** -[JBArray ") + selector +
                                                   "]: mutating method sent to immutable object");
}

void JBArray::raiseBeyondBounds(const char* selector, std::size_t index, std::size_t bound) const {
  throw platform::RangeException(std::string("*** -[JBArray ") + selector + "]: index (" +
                                 std::to_string(index) + ") beyond bounds (" + std::to_string(bound) + ")");
}

const platform::Value& JBArray::objectAtIndex(std::size_t index) const {
  if (index >= items_.size()) raiseBeyondBounds("objectAtIndex:", index, items_.size());
  return items_[index];
}

void JBArray::addObject(platform::Value v) { insertObject(std::move(v), count()); }

void JBArray::insertObject(platform::Value v, std::size_t index) {
  checkMutable("insertObject:atIndex:");
  if (index > items_.size()) raiseBeyondBounds("insertObject:atIndex:", index, items_.size() + 1);
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(v));
}

void JBArray::removeObjectAtIndex(std::size_t index) {
  checkMutable("removeObjectAtIndex:");
  if (index >= items_.size()) raiseBeyondBounds("removeObjectAtIndex:", index, items_.size());
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void JBArray::replaceObjectAtIndex(std::size_t index, platform::Value v) {
  checkMutable("replaceObjectAtIndex:withObject:");
  if (index >= items_.size()) raiseBeyondBounds("replaceObjectAtIndex:withObject:", index, items_.size());
  items_[index] = std::move(v);
}

void JBArray::removeAllObjects() {
  checkMutable("removeObjectAtIndex:");
  items_.clear();
}

void JBArray::removeLastObject() {
  checkMutable("removeObjectAtIndex:");
  if (!items_.empty()) items_.pop_back();
}

std::shared_ptr<platform::Array> JBArray::copy() const {
  if (arena_) return std::shared_ptr<platform::Array>(arena_->owner().lock(), const_cast<JBArray*>(this));
  if (!mutable_)
    return std::static_pointer_cast<platform::Array>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  std::vector<platform::Value> values(items_.begin(), items_.end());
  auto* heap = std::pmr::new_delete_resource();
  return create(values.data(), values.size(), heap, heap, false);
}

std::shared_ptr<platform::MutableArray> JBArray::mutableCopy() const {
  return platform::MutableArray::create(std::vector<platform::Value>(items_.begin(), items_.end()));
}

}  // namespace kavro
