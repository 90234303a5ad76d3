#pragma once
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace gmengine {

// The engine's growable array. Indexes are ints; operations given an index outside the array do
// nothing (reads answer a default element), since nothing in the engine throws. Element
// addresses change when the array grows. One thread at a time.
template <class TYPE, class ARG_TYPE = const TYPE&>
class CVArray {
 public:
  CVArray() = default;

  int GetSize() const { return static_cast<int>(items_.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return items_.empty(); }
  int GetUpperBound() const { return GetSize() - 1; }
  TYPE* GetData() { return items_.empty() ? nullptr : items_.data(); }
  const TYPE* GetData() const { return items_.empty() ? nullptr : items_.data(); }

  // Grows (default elements) or shrinks to newSize; 0 or less empties. growBy is the allocation
  // step of the original and is not needed here.
  void SetSize(int newSize, int growBy = -1) {
    (void)growBy;
    if (newSize <= 0) {
      items_.clear();
    } else {
      items_.resize(static_cast<std::size_t>(newSize));
    }
  }
  void RemoveAll() { items_.clear(); }

  // Access outside the array is a caller's bug; it reaches a fresh scratch element (per thread)
  // instead of memory that is not ours.
  TYPE& operator[](int index) { return InRange(index) ? items_[static_cast<std::size_t>(index)] : Scratch(); }
  const TYPE& operator[](int index) const {
    return InRange(index) ? items_[static_cast<std::size_t>(index)] : Scratch();
  }
  TYPE& ElementAt(int index) { return (*this)[index]; }
  TYPE GetAt(int index) const { return InRange(index) ? items_[static_cast<std::size_t>(index)] : TYPE(); }
  void SetAt(int index, ARG_TYPE element) {
    if (InRange(index)) items_[static_cast<std::size_t>(index)] = element;
  }
  // Index = size appends; beyond it the array grows with default elements first.
  void SetAtGrow(int index, ARG_TYPE element) {
    if (index < 0) return;
    if (static_cast<std::size_t>(index) >= items_.size()) items_.resize(static_cast<std::size_t>(index) + 1);
    items_[static_cast<std::size_t>(index)] = element;
  }
  int Add(ARG_TYPE element) {
    items_.push_back(element);
    return GetSize() - 1;
  }
  // count copies of element before index (index = size appends, beyond it grows first).
  void InsertAt(int index, ARG_TYPE element, int count = 1) {
    if (index < 0 || count <= 0) return;
    if (static_cast<std::size_t>(index) > items_.size()) items_.resize(static_cast<std::size_t>(index));
    items_.insert(items_.begin() + index, static_cast<std::size_t>(count), element);
  }
  // count elements from index, clamped to the array.
  void RemoveAt(int index, int count = 1) {
    if (!InRange(index) || count <= 0) return;
    std::size_t end =
        std::min(items_.size(), static_cast<std::size_t>(index) + static_cast<std::size_t>(count));
    items_.erase(items_.begin() + index, items_.begin() + static_cast<std::ptrdiff_t>(end));
  }
  void Copy(const CVArray& other) {
    if (&other != this) items_ = other.items_;
  }
  // Appends other's elements; answers the index of the first appended one.
  int Append(const CVArray& other) {
    int first = GetSize();
    std::vector<TYPE> copy = other.items_;  // other may be this array
    items_.insert(items_.end(), copy.begin(), copy.end());
    return first;
  }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  bool InRange(int index) const { return index >= 0 && static_cast<std::size_t>(index) < items_.size(); }
  static TYPE& Scratch() {
    thread_local TYPE scratch;
    scratch = TYPE();
    return scratch;
  }

  std::vector<TYPE> items_;
};

}  // namespace gmengine
