#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <new>
#include <vector>

#include "platform/foundation/Array.h"

namespace kavro {

class JBArena;
class JBStores;
template <class>
class JBNodeAllocator;

// The array the JSON decoder builds: complete and at its final size when made, immutable unless
// the caller asked for mutable results. Changing an immutable one raises an internal-inconsistency
// exception. Only the decoder makes them (and copy() of a mutable one). One thread at a time
// while it can change; immutable ones may be read from several threads.
class JBArray final : public platform::MutableArray {
 public:
  JBArray(const JBArray&) = delete;
  JBArray& operator=(const JBArray&) = delete;
  ~JBArray() override;

  std::size_t count() const override { return count_; }
  const platform::Value& objectAtIndex(std::size_t index) const override;
  // The values, for a reader that knows the class.
  const platform::Value* values() const { return inArena_ ? inlineValues() : where_.values; }
  // For a document's immutable root: the length of the text it was decoded from (0 otherwise), a
  // close guess at its compact encoding's length.
  std::size_t decodedLength() const;
  // Ahead of reading the values one by one: fetch into the cache the dictionary at index (its
  // node when stage is 0; its slots and pairs when stage is 1, which wants stage 0 done earlier).
  void prefetchForReading(std::size_t index, int stage) const;

  // Raise for an immutable array or an index out of range, with the platform's texts.
  void addObject(platform::Value v) override;
  void insertObject(platform::Value v, std::size_t index) override;
  void removeObjectAtIndex(std::size_t index) override;
  void replaceObjectAtIndex(std::size_t index, platform::Value v) override;
  void removeAllObjects() override;
  void removeLastObject() override;

  // An immutable array is its own copy; a mutable one copies into a new immutable array.
  std::shared_ptr<platform::Array> copy() const;
  // Always a new platform mutable array with the same values.
  std::shared_ptr<platform::MutableArray> mutableCopy() const;

 private:
  friend class JBStores;
  template <class>
  friend class JBNodeAllocator;
  // Moves count values out of objects into storage of its own.
  JBArray(platform::Value* objects, std::size_t count, bool isMutable);
  // The node comes from nodes, its values from the heap.
  static std::shared_ptr<JBArray> create(platform::Value* objects, std::size_t count,
                                         std::pmr::memory_resource* nodes, bool isMutable);
  // An immutable array carved from the arena with its values right after the node, never
  // destroyed: it lives by the arena's owner count and its values must own nothing.
  static JBArray* createIn(JBArena& arena, platform::Value* objects, std::size_t count);
  explicit JBArray(JBArena& arena);
  void checkMutable(const char* selector) const;
  [[noreturn]] void raiseBeyondBounds(const char* selector, std::size_t index, std::size_t bound) const;

  JBArena* arena() const { return inArena_ ? where_.arena : nullptr; }
  platform::Value* inlineValues() const {
    return std::launder(reinterpret_cast<platform::Value*>(
        reinterpret_cast<char*>(const_cast<JBArray*>(this)) + sizeof(JBArray)));
  }
  platform::Value* heapValues() { return where_.values; }
  // Room for one more value; raises a memory exception when there is none to be had.
  void reserveOneMore();
  static constexpr std::size_t kMaxCapacity = (std::size_t{1} << 29) - 1;

  // A document holds many small arrays: the node keeps only what reading needs.
  union Where {
    platform::Value* values;  // a heap array's: count_ values in room for capacity_
    JBArena* arena;           // an arena array's, whose values follow the node
  };
  Where where_{nullptr};
  std::uint32_t count_ = 0;
  std::uint32_t capacity_ : 29 = 0;  // of a heap array
  std::uint32_t mutable_ : 1 = 0;
  // The values of an immutable array that own nothing need no destruction and go with their storage.
  std::uint32_t ownsNothing_ : 1 = 0;
  std::uint32_t inArena_ : 1 = 0;
};

}  // namespace kavro
