#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace mapsdk {

// A table keyed by address, for maps that hold thousands of pins and take them off one at a time:
// open, probed linearly, a power of two in size and at most three quarters full, so that a lookup
// reads one slot or its neighbours and follows no node, and a removal frees nothing. Erasing moves
// later slots back: an erase or an insertion invalidates every iterator. The order of iteration is
// the table's own.
template <typename Key, typename Value>
class PointerTable {
  using Slot = std::pair<const Key*, Value>;  // a null key: a free slot

 public:
  template <typename S>
  class Iterator {
   public:
    Iterator(S* at, S* end) : at_(at), end_(end) { skipFree(); }
    S& operator*() const { return *at_; }
    S* operator->() const { return at_; }
    Iterator& operator++() {
      ++at_;
      skipFree();
      return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    friend class PointerTable;
    void skipFree() {
      while (at_ != end_ && !at_->first) ++at_;
    }
    S* at_;
    S* end_;
  };
  using iterator = Iterator<Slot>;
  using const_iterator = Iterator<const Slot>;

  iterator begin() { return {slots_.data(), slots_.data() + slots_.size()}; }
  iterator end() { return {slots_.data() + slots_.size(), slots_.data() + slots_.size()}; }
  const_iterator begin() const { return {slots_.data(), slots_.data() + slots_.size()}; }
  const_iterator end() const { return {slots_.data() + slots_.size(), slots_.data() + slots_.size()}; }
  std::size_t size() const { return used_; }

  iterator find(const Key* key) {
    if (slots_.empty()) return end();
    Slot* s = &slots_[place(key)];
    return s->first ? iterator(s, slots_.data() + slots_.size()) : end();
  }
  const_iterator find(const Key* key) const {
    if (slots_.empty()) return end();
    const Slot* s = &slots_[place(key)];
    return s->first ? const_iterator(s, slots_.data() + slots_.size()) : end();
  }

  // The key's value, a default one added when it had none.
  Value& operator[](const Key* key) {
    if ((used_ + 1) * 4 > slots_.size() * 3) grow();
    Slot& s = slots_[place(key)];
    if (!s.first) {
      s.first = key;
      ++used_;
    }
    return s.second;
  }

  void erase(iterator it) {
    // The slots after it that a lookup would no longer reach past a free one move back into it.
    const std::size_t mask = slots_.size() - 1;
    std::size_t free = static_cast<std::size_t>(it.at_ - slots_.data());
    for (std::size_t next = (free + 1) & mask; slots_[next].first; next = (next + 1) & mask) {
      if (((next - home(slots_[next].first)) & mask) >= ((next - free) & mask)) {
        slots_[free] = std::move(slots_[next]);
        free = next;
      }
    }
    slots_[free] = Slot(nullptr, Value());
    --used_;
  }

 private:
  std::size_t home(const Key* key) const {
    // Fibonacci hashing: the top bits of the product spread addresses that differ only low down.
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  // The key's slot, or the free one where it would go.
  std::size_t place(const Key* key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = home(key);
    while (slots_[i].first && slots_[i].first != key) i = (i + 1) & mask;
    return i;
  }
  void grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(slots_.size()));
    for (Slot& s : old) {
      if (s.first) slots_[place(s.first)] = std::move(s);
    }
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  unsigned shift_ = 0;  // 64 less the bits of a slot's number, once there are slots
};

}  // namespace mapsdk
