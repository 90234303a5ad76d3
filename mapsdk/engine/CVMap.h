#pragma once
#include <cstddef>
#include <memory>
#include <unordered_map>

namespace gmengine {

// An iteration position in an engine map: null when there is nothing more.
struct __POSITION;
using POSITION = __POSITION*;

// The engine's hash maps from a key to a pointer (not owned). Iteration runs in insertion order
// (a key set again keeps its place), so what is built from a map is deterministic. blockSize and
// the hash-table size are allocation hints of the original. One thread at a time.
template <class KEY, class HASH = std::hash<KEY>>
class CVMapToPtr {
 public:
  explicit CVMapToPtr(int blockSize = 10) { (void)blockSize; }
  ~CVMapToPtr() { RemoveAll(); }
  CVMapToPtr(const CVMapToPtr&) = delete;
  CVMapToPtr& operator=(const CVMapToPtr&) = delete;

  // Sizes the table for about hashSize entries; allocNow is accepted for the original's sake.
  void InitHashTable(unsigned hashSize, int allocNow = 1) {
    (void)allocNow;
    index_.reserve(hashSize);
  }
  int GetCount() const { return static_cast<int>(index_.size()); }
  int GetSize() const { return GetCount(); }
  bool IsEmpty() const { return index_.empty(); }

  // 1 and the value when the key is there, else 0 (value untouched).
  int Lookup(const KEY& key, void*& value) const {
    auto it = index_.find(key);
    if (it == index_.end()) return 0;
    value = it->second->value;
    return 1;
  }
  void SetAt(const KEY& key, void* value) { Slot(key) = value; }
  // The value slot of key, made (null) when missing.
  void*& operator[](const KEY& key) { return Slot(key); }
  // 1 when the key was there.
  int RemoveKey(const KEY& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return 0;
    Node* node = it->second.get();
    (node->prev ? node->prev->next : head_) = node->next;
    (node->next ? node->next->prev : tail_) = node->prev;
    index_.erase(it);
    return 1;
  }
  void RemoveAll() {
    index_.clear();
    head_ = tail_ = nullptr;
  }

  POSITION GetStartPosition() const { return reinterpret_cast<POSITION>(head_); }
  // Fills key and value of the entry at position and moves position on (null after the last).
  // Removing the entry just read is allowed before the next call.
  void GetNextAssoc(POSITION& position, KEY& key, void*& value) const {
    auto* node = reinterpret_cast<Node*>(position);
    if (!node) return;
    key = node->key;
    value = node->value;
    position = reinterpret_cast<POSITION>(node->next);
  }

 private:
  struct Node {
    KEY key;
    void* value = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
  };

  void*& Slot(const KEY& key) {
    auto it = index_.find(key);
    if (it != index_.end()) return it->second->value;
    auto node = std::make_unique<Node>();
    node->key = key;
    node->prev = tail_;
    Node* raw = node.get();
    (tail_ ? tail_->next : head_) = raw;
    tail_ = raw;
    index_.emplace(key, std::move(node));
    return raw->value;
  }

  std::unordered_map<KEY, std::unique_ptr<Node>, HASH> index_;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
};

}  // namespace gmengine
