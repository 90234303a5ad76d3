#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Value.h"

namespace kavro {

// A map that remembers the order in which its keys were last set: pickers and resume forms keep
// the user's choices in the order they were made. Main thread only.
class NSMutableSortedDictionary : public platform::Object {
  // Only the class names it, so dictionary() is the only way to a new map.
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit NSMutableSortedDictionary(Token);
  static std::shared_ptr<NSMutableSortedDictionary> dictionary() {
    return std::make_shared<NSMutableSortedDictionary>(Token());
  }

  // Moves the key to the end of the order. A null value stores nothing.
  void setObject(platform::Value value, std::string_view key);
  void setValue(platform::Value value, std::string_view key) { setObject(std::move(value), key); }
  // Null when absent.
  platform::Value objectForKey(std::string_view key) const;
  std::size_t count() const { return map_->count(); }

  void removeObjectForKey(std::string_view key);
  void removeObjectsForKeys(const std::vector<std::string>& keys);
  void removeAllObjects();
  // setObject() for each pair, in the other map's order.
  void addEntriesFromDictionary(const platform::Dictionary& dict);
  void setDictionary(const platform::Dictionary& dict);

  const std::vector<std::string>& allKeys() const { return keys_; }
  std::vector<platform::Value> allValues() const;
  const std::shared_ptr<platform::MutableDictionary>& getDictionary() const { return map_; }

  // Keys (or values) in order joined by the separator ("," when it is empty). An empty key, or a
  // value that is not non-empty text, adds nothing but keeps its separator, so positions hold.
  std::string joinAllKeysBySeparator(std::string_view separator) const;
  std::string joinAllValuesBySeparator(std::string_view separator) const;

 private:
  void forgetKey(std::string_view key);

  std::shared_ptr<platform::MutableDictionary> map_;
  std::vector<std::string> keys_;
};

}  // namespace kavro
