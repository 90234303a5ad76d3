#include "kit/codec/json/JBArray.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <typeinfo>

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBNodeAllocator.h"
#include "platform/foundation/Error.h"

namespace kavro {

namespace {

platform::Value* allocateValues(std::size_t count) {
  return static_cast<platform::Value*>(::operator new(count * sizeof(platform::Value)));
}

void freeValues(platform::Value* values) { ::operator delete(values); }

}  // namespace

JBArray::JBArray(platform::Value* objects, std::size_t count, bool isMutable) : mutable_(isMutable ? 1 : 0) {
  if (count > kMaxCapacity) throw platform::MallocException("Unable to resize objects array.");
  if (count != 0) {
    where_.values = allocateValues(count);
    std::uninitialized_move_n(objects, count, where_.values);
  }
  count_ = static_cast<std::uint32_t>(count);
  capacity_ = static_cast<std::uint32_t>(count) & kMaxCapacity;
  if (isMutable) return;
  for (std::size_t i = 0; i < count; ++i)
    if (where_.values[i].ownsSomething()) return;
  ownsNothing_ = 1;
}

JBArray::JBArray(JBArena& arena) : ownsNothing_(1), inArena_(1) { where_.arena = &arena; }

JBArray* JBArray::createIn(JBArena& arena, platform::Value* objects, std::size_t count) {
  static_assert(sizeof(JBArray) % alignof(platform::Value) == 0, "the values follow the node");
  if (count > UINT32_MAX) throw platform::MallocException("Unable to resize objects array.");
  void* memory = arena.carveNode(sizeof(JBArray) + count * sizeof(platform::Value), alignof(JBArray));
  auto* a = new (memory) JBArray(arena);
  std::uninitialized_move_n(objects, count, static_cast<platform::Value*>(static_cast<void*>(a + 1)));
  a->count_ = static_cast<std::uint32_t>(count);
  return a;
}

std::size_t JBArray::decodedLength() const {
  const JBArena* a = arena();
  return a ? a->rootLength(this) : 0;
}

namespace {

const platform::Object* objectIn(const platform::Value& v) { return v.objectPointer(); }

const JBDictionary* decodedDictionary(const platform::Object* o) {
  return o && typeid(*o) == typeid(JBDictionary) ? static_cast<const JBDictionary*>(o) : nullptr;
}

}  // namespace

void JBArray::prefetchForReading(std::size_t index, int stage) const {
  if (index >= count_) return;
  const platform::Object* o = objectIn(values()[index]);
  if (stage == 0)
    prefetchNode(o);
  else if (const JBDictionary* d = decodedDictionary(o))
    d->prefetchForReading();
}

JBArray::~JBArray() {
  if (inArena_) return;  // never destroyed: see createIn()
  if (!ownsNothing_) std::destroy_n(where_.values, count_);
  freeValues(where_.values);
}

std::shared_ptr<JBArray> JBArray::create(platform::Value* objects, std::size_t count,
                                         std::pmr::memory_resource* nodes, bool isMutable) {
  return std::allocate_shared<JBArray>(JBNodeAllocator<JBArray>(nodes), objects, count, isMutable);
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
  if (index >= count_) raiseBeyondBounds("objectAtIndex:", index, count_);
  return values()[index];
}

void JBArray::reserveOneMore() {
  if (count_ < capacity_) return;
  // Grows by 16 values at a time.
  const std::size_t capacity = std::size_t{capacity_} + 16;
  if (capacity > kMaxCapacity) throw platform::MallocException("Unable to resize objects array.");
  platform::Value* const old = where_.values;
  platform::Value* const fresh = allocateValues(capacity);
  std::uninitialized_move_n(old, count_, fresh);
  std::destroy_n(old, count_);
  freeValues(old);
  where_.values = fresh;
  capacity_ = static_cast<std::uint32_t>(capacity);
}

void JBArray::addObject(platform::Value v) { insertObject(std::move(v), count()); }

void JBArray::insertObject(platform::Value v, std::size_t index) {
  checkMutable("insertObject:atIndex:");
  if (index > count_) raiseBeyondBounds("insertObject:atIndex:", index, std::size_t{count_} + 1);
  reserveOneMore();
  platform::Value* const items = heapValues();
  // The last value moves into new room, the rest one place up.
  if (index == count_) {
    new (&items[count_]) platform::Value(std::move(v));
  } else {
    new (&items[count_]) platform::Value(std::move(items[count_ - 1]));
    std::move_backward(items + index, items + count_ - 1, items + count_);
    items[index] = std::move(v);
  }
  ++count_;
}

void JBArray::removeObjectAtIndex(std::size_t index) {
  checkMutable("removeObjectAtIndex:");
  if (index >= count_) raiseBeyondBounds("removeObjectAtIndex:", index, count_);
  platform::Value* const items = heapValues();
  std::move(items + index + 1, items + count_, items + index);
  items[--count_].~Value();
}

void JBArray::replaceObjectAtIndex(std::size_t index, platform::Value v) {
  checkMutable("replaceObjectAtIndex:withObject:");
  if (index >= count_) raiseBeyondBounds("replaceObjectAtIndex:withObject:", index, count_);
  heapValues()[index] = std::move(v);
}

void JBArray::removeAllObjects() {
  checkMutable("removeObjectAtIndex:");
  std::destroy_n(heapValues(), count_);
  count_ = 0;
}

void JBArray::removeLastObject() {
  checkMutable("removeObjectAtIndex:");
  if (count_ != 0) heapValues()[--count_].~Value();
}

std::shared_ptr<platform::Array> JBArray::copy() const {
  if (const JBArena* a = arena())
    return std::shared_ptr<platform::Array>(a->owner().lock(), const_cast<JBArray*>(this));
  if (!mutable_)
    return std::static_pointer_cast<platform::Array>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  std::vector<platform::Value> copied(values(), values() + count_);
  return create(copied.data(), copied.size(), std::pmr::new_delete_resource(), false);
}

std::shared_ptr<platform::MutableArray> JBArray::mutableCopy() const {
  return platform::MutableArray::create(std::vector<platform::Value>(values(), values() + count_));
}

}  // namespace kavro
