#include "kit/codec/json/JBArray.h"

#include <string>

#include "platform/foundation/Error.h"

namespace kavro {

JBArray::JBArray(Private, std::vector<platform::Value> objects, bool isMutable)
    : platform::MutableArray(std::move(objects)), mutable_(isMutable) {}

std::shared_ptr<JBArray> JBArray::create(std::vector<platform::Value> objects, bool isMutable) {
  return std::make_shared<JBArray>(Private(), std::move(objects), isMutable);
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
  if (index >= count()) raiseBeyondBounds("objectAtIndex:", index, count());
  return items()[index];
}

void JBArray::addObject(platform::Value v) { insertObject(std::move(v), count()); }

void JBArray::insertObject(platform::Value v, std::size_t index) {
  checkMutable("insertObject:atIndex:");
  if (index > count()) raiseBeyondBounds("insertObject:atIndex:", index, count() + 1);
  platform::MutableArray::insertObject(std::move(v), index);
}

void JBArray::removeObjectAtIndex(std::size_t index) {
  checkMutable("removeObjectAtIndex:");
  if (index >= count()) raiseBeyondBounds("removeObjectAtIndex:", index, count());
  platform::MutableArray::removeObjectAtIndex(index);
}

void JBArray::replaceObjectAtIndex(std::size_t index, platform::Value v) {
  checkMutable("replaceObjectAtIndex:withObject:");
  if (index >= count()) raiseBeyondBounds("replaceObjectAtIndex:withObject:", index, count());
  platform::MutableArray::replaceObjectAtIndex(index, std::move(v));
}

void JBArray::removeAllObjects() {
  checkMutable("removeObjectAtIndex:");
  platform::MutableArray::removeAllObjects();
}

void JBArray::removeLastObject() {
  checkMutable("removeObjectAtIndex:");
  platform::MutableArray::removeLastObject();
}

std::shared_ptr<platform::Array> JBArray::copy() const {
  if (!mutable_)
    return std::static_pointer_cast<platform::Array>(
        std::const_pointer_cast<platform::Object>(shared_from_this()));
  return create(items(), false);
}

std::shared_ptr<platform::MutableArray> JBArray::mutableCopy() const {
  return platform::MutableArray::create(items());
}

}  // namespace kavro
