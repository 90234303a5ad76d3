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

JBArray::JBArray(platform::Value* objects, std::size_t count, std::pmr::memory_resource* storage,
                 bool isMutable)
    : resource_(storage), mutable_(isMutable) {
  if (count > UINT32_MAX) throw platform::MallocException("Unable to resize objects array.");
  if (count != 0) {
    values_ = static_cast<platform::Value*>(
        storage->allocate(count * sizeof(platform::Value), alignof(platform::Value)));
    std::uninitialized_move_n(objects, count, values_);
  }
  count_ = capacity_ = static_cast<std::uint32_t>(count);
  if (isMutable) return;
  for (std::size_t i = 0; i < count; ++i)
    if (values_[i].ownsSomething()) return;
  ownsNothing_ = true;
}

JBArray::JBArray(JBArena& arena, platform::Value* objects, std::size_t count)
    : resource_(arena.nodes()), mutable_(false), ownsNothing_(true), inArena_(true) {
  if (count > UINT32_MAX) throw platform::MallocException("Unable to resize objects array.");
  if (count != 0) {
    values_ = static_cast<platform::Value*>(
        arena.carveNode(count * sizeof(platform::Value), alignof(platform::Value)));
    std::uninitialized_move_n(objects, count, values_);
  }
  count_ = capacity_ = static_cast<std::uint32_t>(count);
}

JBArray* JBArray::createIn(JBArena& arena, platform::Value* objects, std::size_t count) {
  return new (arena.carveNode(sizeof(JBArray), alignof(JBArray))) JBArray(arena, objects, count);
}

JBArena* JBArray::arena() const { return inArena_ ? static_cast<JBArena*>(resource_) : nullptr; }

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
  const platform::Object* o = objectIn(values_[index]);
  if (stage == 0)
    prefetchNode(o);
  else if (const JBDictionary* d = decodedDictionary(o))
    d->prefetchForReading();
}

JBArray::~JBArray() {
  if (inArena_) return;  // never destroyed: see createIn()
  if (!ownsNothing_) std::destroy_n(values_, count_);
  if (values_) resource_->deallocate(values_, capacity_ * sizeof(platform::Value), alignof(platform::Value));
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
  if (index >= count_) raiseBeyondBounds("objectAtIndex:", index, count_);
  return values_[index];
}

void JBArray::reserveOneMore() {
  if (count_ < capacity_) return;
  // Grows by 16 values at a time.
  const std::size_t capacity = std::size_t{capacity_} + 16;
  if (capacity > UINT32_MAX) throw platform::MallocException("Unable to resize objects array.");
  auto* fresh = static_cast<platform::Value*>(
      resource_->allocate(capacity * sizeof(platform::Value), alignof(platform::Value)));
  std::uninitialized_move_n(values_, count_, fresh);
  std::destroy_n(values_, count_);
  if (values_) resource_->deallocate(values_, capacity_ * sizeof(platform::Value), alignof(platform::Value));
  values_ = fresh;
  capacity_ = static_cast<std::uint32_t>(capacity);
}

void JBArray::addObject(platform::Value v) { insertObject(std::move(v), count()); }

void JBArray::insertObject(platform::Value v, std::size_t index) {
  checkMutable("insertObject:atIndex:");
  if (index > count_) raiseBeyondBounds("insertObject:atIndex:", index, std::size_t{count_} + 1);
  reserveOneMore();
  // The last value moves into new room, the rest one place up.
  if (index == count_) {
    new (&values_[count_]) platform::Value(std::move(v));
  } else {
    new (&values_[count_]) platform::Value(std::move(values_[count_ - 1]));
    std::move_backward(values_ + index, values_ + count_ - 1, values_ + count_);
    values_[index] = std::move(v);
  }
  ++count_;
}

void JBArray::removeObjectAtIndex(std::size_t index) {
  checkMutable("removeObjectAtIndex:");
  if (index >= count_) raiseBeyondBounds("removeObjectAtIndex:", index, count_);
  std::move(values_ + index + 1, values_ + count_, values_ + index);
  values_[--count_].~Value();
}

void JBArray::replaceObjectAtIndex(std::size_t index, platform::Value v) {
  checkMutable("replaceObjectAtIndex:withObject:");
  if (index >= count_) raiseBeyondBounds("replaceObjectAtIndex:withObject:", index, count_);
  values_[index] = std::move(v);
}

void JBArray::removeAllObjects() {
  checkMutable("removeObjectAtIndex:");
  std::destroy_n(values_, count_);
  count_ = 0;
}

void JBArray::removeLastObject() {
  checkMutable("removeObjectAtIndex:");
  if (count_ != 0) values_[--count_].~Value();
}

std::shared_ptr<platform::Array> JBArray::copy() const {
  if (const JBArena* a = arena())
    return std::shared_ptr<platform::Array>(a->owner().lock(), const_cast<JBArray*>(this));
  if (!mutable_)
    return std::static_pointer_cast<platform::Array>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  std::vector<platform::Value> values(values_, values_ + count_);
  auto* heap = std::pmr::new_delete_resource();
  return create(values.data(), values.size(), heap, heap, false);
}

std::shared_ptr<platform::MutableArray> JBArray::mutableCopy() const {
  return platform::MutableArray::create(std::vector<platform::Value>(values_, values_ + count_));
}

}  // namespace kavro
