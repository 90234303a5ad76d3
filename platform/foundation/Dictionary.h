#pragma once
#include <cstddef>
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

  // A pair as the map keeps it; a removed one stays in its place, not live, until the map is
  // compacted.
  struct Entry {
    std::string key;
    Value value;
    bool live = true;
  };
  // The pairs as kept, in order, for a reader that walks them all without a call per pair (the
  // class's own enumerate() walks these). Valid until the map changes.
  std::span<const Entry> entries() const;

  // Replacing a value keeps the key's place.
  virtual void setObject(Value value, std::string_view key);
  virtual void removeObjectForKey(std::string_view key);
  virtual void removeAllObjects();

 private:
  // Made on the first insertion, so that an empty dictionary, and a subclass that keeps its pairs
  // its own way, carries no table.
  struct Storage;

  std::unique_ptr<Storage> storage_;
};

}  // namespace platform
