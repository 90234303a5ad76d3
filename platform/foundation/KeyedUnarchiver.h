#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace platform {

class KeyedUnarchiver;

// Rebuilds an archived object from what its encodeWithCoder() wrote; nullptr when it cannot.
using CodingFactory = std::function<ObjectPtr(KeyedUnarchiver& coder)>;

// Reads what KeyedArchiver wrote. Arrays come back as MutableArray and dictionaries as
// MutableDictionary (order kept); an object comes back through the factory registered for its
// class name, and an object whose class has none (or whose factory gives nothing) decodes to
// nothing: it is left out of the array or dictionary holding it and reads as null under its key.
// Input is untrusted: every length is checked against the bytes left, nesting is bounded, and a
// truncated, corrupt or foreign archive decodes to nothing.
class KeyedUnarchiver {
 public:
  // The root value; nothing for data that is not a whole archive or whose root decodes to nothing.
  static std::optional<Value> unarchiveObjectWithData(const Data& data);

  // Registers the factory for objects archived under className, process-wide (thread-safe).
  // An empty factory removes the registration.
  static void setClass(CodingFactory factory, std::string_view className);

  // Reads for a factory. A missing key, or a value of another kind, gives the default.
  bool containsValueForKey(std::string_view key) const;
  Value decodeObjectForKey(std::string_view key) const;
  std::int64_t decodeIntForKey(std::string_view key, std::int64_t defaultValue = 0) const;
  bool decodeBoolForKey(std::string_view key, bool defaultValue = false) const;
  double decodeDoubleForKey(std::string_view key, double defaultValue = 0) const;
  std::string decodeStringForKey(std::string_view key, std::string_view defaultValue = "") const;
  Data decodeBytesForKey(std::string_view key, const Data& defaultValue = {}) const;
  // The next value written without a key; null once they are used up.
  Value decodeObject();

  KeyedUnarchiver(const KeyedUnarchiver&) = delete;
  KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

 private:
  friend class KeyedArchiveReader;
  KeyedUnarchiver() = default;
  const Value* find(std::string_view key) const;

  std::vector<std::pair<std::string, Value>> keyed_;
  std::vector<Value> unkeyed_;
  std::size_t next_ = 0;
};

}  // namespace platform
