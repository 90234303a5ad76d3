#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavro {

// How many times each text value is held. The values sit in one dense list and a flat table of
// slots (a value's hash bits and its place in the list) finds them: a look-up reads one or two
// slots and, only when the hash bits match, the value itself, so its cost stays the same as the
// count of values grows past the processor's caches. Not thread-safe.
class ValueCounts {
 public:
  // Counts the value once more.
  void add(std::string value);
  // Counts the value once if it is not held; false (nothing changed) when it is.
  bool addNew(std::string value);
  bool contains(std::string_view value) const;
  // Counts the value once less, forgetting it at zero; false when it is not held.
  bool remove(std::string_view value);
  std::size_t size() const { return entries_.size(); }
  // Room for this many values without growing (grown at least twofold when it grows).
  void reserve(std::size_t values);
  void clear();

 private:
  struct Entry {
    std::string value;
    std::uint32_t count;
    std::uint32_t tag;
  };
  // A slot: the low bits of the value's hash (its home is tag & mask_) and its entry's index plus
  // one; zero is an empty slot.
  struct Slot {
    std::uint32_t tag;
    std::uint32_t entry;
  };
  static std::uint32_t tagOf(std::string_view value);
  // The slot holding the value, or the empty slot where it would go.
  std::size_t find(std::string_view value, std::uint32_t tag) const;
  void insert(std::string value, std::uint32_t tag, std::size_t slot);
  void rehash(std::size_t slots);

  std::vector<Entry> entries_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

}  // namespace kavro
