#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace platform {

// A map from text keys to values. Enumeration follows the subclass's order; the ones here keep
// insertion order so that output is deterministic.
class Dictionary : public Object {
 public:
  virtual std::size_t count() const = 0;
  // nullptr when the key is absent.
  virtual const Value* objectForKey(std::string_view key) const = 0;
  // Calls fn for every pair in order; fn returns false to stop.
  virtual void enumerate(const std::function<bool(const std::string& key, const Value& value)>& fn) const = 0;

  bool empty() const { return count() == 0; }
  // The value under key, or a null value.
  const Value& valueForKey(std::string_view key) const;
  std::vector<std::string> allKeys() const;

  std::string description() const override;
  bool isEqual(const Object& other) const override;
  std::size_t hash() const override;
};

class MutableDictionary : public Dictionary {
 protected:
  // Only the class and its subclasses name it, so create() is the only way to a new empty map.
  struct Token {
    explicit Token() = default;
  };
  MutableDictionary();

 public:
  explicit MutableDictionary(Token) : MutableDictionary() {}
  MutableDictionary(const MutableDictionary& other);
  MutableDictionary& operator=(const MutableDictionary& other);
  MutableDictionary(MutableDictionary&& other) noexcept;
  MutableDictionary& operator=(MutableDictionary&& other) noexcept;
  ~MutableDictionary() override;
  static std::shared_ptr<MutableDictionary> create() { return std::make_shared<MutableDictionary>(Token()); }

  std::size_t count() const override;
  const Value* objectForKey(std::string_view key) const override;
  void enumerate(const std::function<bool(const std::string& key, const Value& value)>& fn) const override;

  // A pair as the map keeps it.
  struct Entry {
    std::string key;
    Value value;
  };
  // The pairs as kept, in order, for a reader that walks them all without a call per pair (the
  // class's own enumerate() walks these). A removed pair stays in its place, not live, until the
  // map is compacted. Valid until the map changes.
  std::span<const Entry> entries() const {
    return table_ ? std::span<const Entry>(table_->entries, table_->count) : std::span<const Entry>();
  }
  // Whether the pair at place in entries() is live.
  bool isLive(std::size_t place) const { return !table_ || table_->erased == 0 || liveAt(place); }

  // Replacing a value keeps the key's place.
  virtual void setObject(Value value, std::string_view key);
  virtual void removeObjectForKey(std::string_view key);
  virtual void removeAllObjects();

 private:
  // The index by hash and the places of removed pairs, made when first needed.
  struct Extra;
  // The pairs in one block after this header, so that a reader reaches them from the map in one
  // load. Made on the first insertion: an empty dictionary, and a subclass that keeps its pairs
  // its own way, carries none.
  struct Table {
    Entry* entries = nullptr;  // right after the header
    std::uint32_t count = 0;   // the pairs kept, removed ones included
    std::uint32_t capacity = 0;
    std::uint32_t erased = 0;
    std::uint64_t shapes = 0;  // of the keys added since the map was last emptied
    Extra* extra = nullptr;    // owned
  };
  static_assert(sizeof(Table) % alignof(Entry) == 0);
  static Table* makeTable(std::size_t capacity);
  static void freeTable(Table* t) noexcept;
  static Table* copyTable(const Table& t);
  bool liveAt(std::size_t place) const;
  std::size_t find(std::string_view key, std::size_t& hash) const;
  void add(std::string_view key, Value&& value, std::size_t hash);
  void reindex();
  void compact();

  Table* table_ = nullptr;
};

}  // namespace platform
