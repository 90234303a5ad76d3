#pragma once
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Memory that string values share: a decoded document keeps its long strings here, side by side,
// instead of in a heap block each. A value holding such text keeps the whole store alive. The
// std::string that a reader asks for (Value::stringValue) is made on first use, once, and lives as
// long as the store. Stores are built on one thread; references may be taken and dropped on any.
class TextStore {
 public:
  // The header in front of a string's bytes, which follow it in the store's memory.
  class Block {
   public:
    explicit Block(std::size_t length) : length_(length) {}
    char* bytes() { return reinterpret_cast<char*>(this + 1); }
    std::string_view view() const { return {reinterpret_cast<const char*>(this + 1), length_}; }

   private:
    friend class TextStore;
    std::size_t length_;
    mutable std::atomic<const std::string*> string_{nullptr};
  };

  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;

  void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) destroy();
  }
  // The std::string for a block of this store, made on first use.
  const std::string& stringFor(const Block& block);

 protected:
  // One reference, the builder's.
  TextStore() = default;
  virtual ~TextStore();
  // Ends the store's life; called when the last reference goes.
  virtual void destroy() noexcept = 0;
  // A reference taken by the builder while no other thread can reach the store.
  void retainUnshared() noexcept {
    refs_.store(refs_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }

 private:
  struct Made {
    std::string string;
    Made* next;
  };

  std::atomic<std::size_t> refs_{1};
  std::atomic<Made*> made_{nullptr};
};

}  // namespace platform
