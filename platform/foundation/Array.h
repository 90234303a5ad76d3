#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/foundation/Value.h"

namespace platform {

// An ordered list of values. Subclasses may store their elements as they like.
class Array : public Object {
 public:
  virtual std::size_t count() const = 0;
  // Raises RangeException for an index past the end.
  virtual const Value& objectAtIndex(std::size_t index) const = 0;

  bool empty() const { return count() == 0; }
  bool containsObject(const Value& v) const;
  std::vector<Value> toVector() const;

  std::string description() const override;
  bool isEqual(const Object& other) const override;
  std::size_t hash() const override;
};

class MutableArray : public Array {
 public:
  static std::shared_ptr<MutableArray> create(std::vector<Value> items = {}) {
    return std::shared_ptr<MutableArray>(new MutableArray(std::move(items)));
  }
  MutableArray(const MutableArray& other)
      : Array(other), items_(other.items_ ? std::make_unique<std::vector<Value>>(*other.items_) : nullptr) {}
  MutableArray& operator=(const MutableArray& other) {
    if (this != &other) items_ = other.items_ ? std::make_unique<std::vector<Value>>(*other.items_) : nullptr;
    return *this;
  }

  std::size_t count() const override { return items_ ? items_->size() : 0; }
  const Value& objectAtIndex(std::size_t index) const override;

  // The elements as this class keeps them, for a reader that walks them all without a call per
  // element (a subclass that keeps its elements its own way has none here). Valid until the array
  // changes.
  std::span<const Value> items() const {
    return items_ ? std::span<const Value>(*items_) : std::span<const Value>();
  }

  virtual void addObject(Value v) { own().push_back(std::move(v)); }
  // Index at most count(); raises RangeException otherwise.
  virtual void insertObject(Value v, std::size_t index);
  virtual void removeObjectAtIndex(std::size_t index);
  virtual void replaceObjectAtIndex(std::size_t index, Value v);
  virtual void removeAllObjects() {
    if (items_) items_->clear();
  }
  virtual void removeLastObject() {
    if (items_ && !items_->empty()) items_->pop_back();
  }

 private:
  std::vector<Value>& own() {
    if (!items_) items_ = std::make_unique<std::vector<Value>>();
    return *items_;
  }
  // Made on the first element: an empty array, and a subclass that keeps its elements its own way,
  // carries only the pointer.
  std::unique_ptr<std::vector<Value>> items_;

 protected:
  MutableArray() = default;
  explicit MutableArray(std::vector<Value> items)
      : items_(items.empty() ? nullptr : std::make_unique<std::vector<Value>>(std::move(items))) {}
};

}  // namespace platform
