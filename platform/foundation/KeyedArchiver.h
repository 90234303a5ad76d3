#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace platform {

// Writes values into a versioned binary archive that KeyedUnarchiver reads back: null, booleans,
// numbers, text, bytes, arrays, dictionaries (their order kept) and objects implementing Coding.
// An object that is none of these, a container that contains itself, or nesting deeper than the
// format allows makes the whole archive fail. One archiver per call; not shared between threads.
class KeyedArchiver {
 public:
  // The archive of root, or empty Data when something in it cannot be archived.
  static Data archivedDataWithRootObject(const Value& root);

  // What an object's encodeWithCoder() writes. Encoding a key again replaces its value.
  void encodeObject(const Value& value, std::string_view key);
  void encodeInt(std::int64_t value, std::string_view key);
  void encodeBool(bool value, std::string_view key);
  void encodeDouble(double value, std::string_view key);
  void encodeString(std::string_view value, std::string_view key);
  void encodeBytes(const Data& value, std::string_view key);
  // Values without a key, read back in the same order.
  void encodeObject(const Value& value);

  KeyedArchiver(const KeyedArchiver&) = delete;
  KeyedArchiver& operator=(const KeyedArchiver&) = delete;

 private:
  struct State {
    bool failed = false;
    // Objects being written, to refuse cycles.
    std::unordered_set<const void*> open;
  };
  KeyedArchiver(State& state, int depth) : state_(state), depth_(depth) {}

  void writeValue(Data& out, const Value& value, int depth);
  void writeFrame(Data& out) const;

  State& state_;
  int depth_;
  std::vector<std::pair<std::string, Data>> keyed_;
  std::vector<Data> unkeyed_;
};

}  // namespace platform
