#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>

#include "platform/foundation/TextStore.h"
#include "platform/foundation/Value.h"

namespace kavro {

class JBKeyPool;
template <class>
struct OwnerAllocator;

// The memory of one decoded document. Containers (nodes()), their element storage (storage()) and
// long strings (text()) are carved from a few large blocks with a bump pointer, and the blocks go
// back together when the builder has released the arena and the last node and string value made
// from it are gone. Freeing a single allocation returns nothing early, so only storage that never
// grows belongs here. Allocation happens on the building thread only; nodes and values may be
// freed on any thread.
class JBArena final : public platform::TextStore, public std::pmr::memory_resource {
 public:
  // A new arena, referenced once by its builder (release() drops that reference).
  static JBArena* create();

  // A copy of the bytes, for string values that borrow it (Value::borrowingText) inside this
  // arena's containers.
  __attribute__((always_inline)) const TextStore::Block* text(const char* bytes, std::size_t length) {
    void* memory = carve(sizeof(TextStore::Block) + length, alignof(TextStore::Block));
    auto* block = new (memory) TextStore::Block(length);
    copyBytes(block->bytes(), bytes, length);
    return block;
  }
  // A string written in place while it is decoded: openText() answers where its bytes go and
  // textLimit() how far they may go; widenText() moves the bytes written so far to where at least
  // `room` more fit; closeText() makes the block of them. Nothing else may be carved from the arena
  // while a text is open; a text never closed is simply left behind.
  char* openText() {
    auto* block = static_cast<TextStore::Block*>(carve(sizeof(TextStore::Block), alignof(TextStore::Block)));
    next_ = reinterpret_cast<char*>(block);  // the header is written when the text is closed
    return block->bytes();
  }
  char* textLimit() const { return end_; }
  char* widenText(char* bytes, std::size_t written, std::size_t room);
  const TextStore::Block* closeText(char* bytes, std::size_t length) {
    auto* block = new (bytes - sizeof(TextStore::Block)) TextStore::Block(length);
    next_ = bytes + length;
    return block;
  }
  // A dictionary key that lives as long as the arena.
  const std::string* key(std::string_view text);
  // Keeps the pool (whose keys this arena's dictionaries use) alive as long as the arena.
  void hold(JBKeyPool* pool);

  // The count that the immutable containers carved here live by: a shared pointer to one of them
  // is an alias of it, and the arena goes when the last such pointer and string value is gone.
  // Made once, by the builder; the builder drops the reference it gets when the document is built.
  platform::ObjectPtr makeOwner();
  // That count, for the values borrowing it (Value::borrowingObject) and for counted pointers to
  // the containers (lock() it while one of them is held).
  const std::weak_ptr<platform::Object>& owner() const { return owner_; }
  // The document's root and the length of the text it was decoded from: a close guess at its
  // compact encoding's length, which only the root knows.
  void setRoot(const platform::Object* root, std::size_t length) {
    root_ = root;
    rootLength_ = length;
  }
  std::size_t rootLength(const platform::Object* node) const { return node == root_ ? rootLength_ : 0; }
  // Memory for a node that lives as long as the arena and is never destroyed.
  void* carveNode(std::size_t bytes, std::size_t alignment) { return carve(bytes, alignment); }
  // Where carving stands, so that what is carved from here on can be given back (rewind()) when it
  // turns out not to be needed, unless something carved meanwhile is kept (keep()).
  struct Mark {
    char* next;
    const char* end;
    std::uint64_t kept;
  };
  Mark mark() const { return Mark{next_, end_, kept_}; }
  // Says that what was carved last is referred to from elsewhere for as long as the arena lives.
  void keep() { ++kept_; }
  // Gives back what was carved since the mark, unless a block was started or something was kept
  // since: nothing carved since may be used any more.
  void rewind(const Mark& m) {
    if (m.end == end_ && m.kept == kept_) next_ = m.next;
  }

  // Counted allocations: each one keeps the arena alive until it is freed.
  std::pmr::memory_resource* nodes() { return this; }
  // Uncounted allocations, for storage owned by a node of this arena (freed with the node).
  std::pmr::memory_resource* storage() { return &storage_; }

 private:
  template <class>
  friend struct OwnerAllocator;
  struct HeldPool {
    JBKeyPool* pool;
    HeldPool* next;
  };
  struct OwnedKey {
    std::string key;
    OwnedKey* next;
  };
  struct Chunk {
    Chunk* next;
    std::size_t size;
  };
  class Storage final : public std::pmr::memory_resource {
   public:
    explicit Storage(JBArena& arena) : arena_(arena) {}

   private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
      return arena_.carve(bytes, alignment);
    }
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
      return this == &other;
    }
    JBArena& arena_;
  };

  JBArena() : storage_(*this) {}
  ~JBArena() override;
  void destroy() noexcept override;
  void* carve(std::size_t bytes, std::size_t alignment) {
    char* p =
        reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(next_) + alignment - 1) & ~(alignment - 1));
    if (p > end_ || static_cast<std::size_t>(end_ - p) < bytes) return carveSlow(bytes, alignment);
    next_ = p + bytes;
    return p;
  }
  void* carveSlow(std::size_t bytes, std::size_t alignment);
  void* carveFromNewBlock(std::size_t bytes, std::size_t alignment);
  // memcpy, without a call for the short texts most strings are.
  static void copyBytes(char* to, const char* from, std::size_t n) {
    auto copy = [&](auto word) {
      const std::size_t w = sizeof(word);
      decltype(word) head, tail;
      std::memcpy(&head, from, w);
      std::memcpy(&tail, from + n - w, w);
      std::memcpy(to, &head, w);
      std::memcpy(to + n - w, &tail, w);
    };
    if (n >= 8) {
      if (n <= 16) return copy(std::uint64_t{});
      struct Sixteen {
        std::uint64_t a, b;
      };
      if (n <= 32) return copy(Sixteen{});
      std::memcpy(to, from, n);
    } else if (n >= 4) {
      copy(std::uint32_t{});
    } else {
      for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }
  }

  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    retainUnshared();
    return carve(bytes, alignment);
  }
  void do_deallocate(void*, std::size_t, std::size_t) override { release(); }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  char* next_ = nullptr;
  char* end_ = nullptr;
  std::uint64_t kept_ = 0;
  Chunk* chunks_ = nullptr;
  OwnedKey* ownedKeys_ = nullptr;  // destroyed with the arena
  HeldPool* heldPools_ = nullptr;
  const platform::Object* root_ = nullptr;
  std::size_t rootLength_ = 0;
  Storage storage_;
  // The count made by makeOwner(), without holding it: it is let go when the count runs out, so that
  // the count's memory, carved here, can go and release the arena.
  std::weak_ptr<platform::Object> owner_;
};

}  // namespace kavro
