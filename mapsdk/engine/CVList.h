#pragma once
#include <list>

namespace gmengine {

// The engine's doubly linked list. blockSize is the node allocation step of the original and is
// not needed here. Removing from an empty list answers a default element. One thread at a time.
template <class TYPE, class ARG_TYPE = const TYPE&>
class CVList {
 public:
  explicit CVList(int blockSize = 10) { (void)blockSize; }

  int GetCount() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }

  void AddTail(ARG_TYPE element) { items_.push_back(element); }
  void AddHead(ARG_TYPE element) { items_.push_front(element); }
  TYPE RemoveHead() {
    if (items_.empty()) return TYPE();
    TYPE head = std::move(items_.front());
    items_.pop_front();
    return head;
  }
  TYPE RemoveTail() {
    if (items_.empty()) return TYPE();
    TYPE tail = std::move(items_.back());
    items_.pop_back();
    return tail;
  }
  TYPE GetHead() const { return items_.empty() ? TYPE() : items_.front(); }
  TYPE GetTail() const { return items_.empty() ? TYPE() : items_.back(); }
  void RemoveAll() { items_.clear(); }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::list<TYPE> items_;
};

}  // namespace gmengine
