#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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
  // Bytes written into a buffer grown ahead of need, so that each write is one copy: an archive is
  // mostly short lengths, tags and keys.
  class Buffer {
   public:
    void put(const void* bytes, std::size_t n);
    void putU8(std::uint8_t v) { put(&v, 1); }
    void putU32(std::uint32_t v);
    void putU64(std::uint64_t v);
    // False when the length does not fit the format.
    bool putBytes(const void* bytes, std::size_t n);
    std::size_t size() const { return used_; }
    const std::uint8_t* data() const { return bytes_.data(); }
    // The bytes written, the buffer left empty.
    Data take();

   private:
    void grow(std::size_t n);
    Data bytes_;  // its size is its room; used_ of it is written
    std::size_t used_ = 0;
  };
  struct State {
    bool failed = false;
    // The objects being written, outermost first, to refuse cycles.
    std::vector<const void*> open;
  };
  // A keyed value's bytes in keyedBytes_: the key, then the value.
  struct KeyedPlace {
    std::size_t begin;
    std::size_t keyLength;
    std::size_t end;
  };
  KeyedArchiver(State& state, int depth) : state_(state), depth_(depth) {}

  void writeValue(Buffer& out, const Value& value, int depth);
  void writeFrame(Buffer& out) const;
  std::string_view keyAt(const KeyedPlace& place) const;
  // A keyed value: its key written (false, and nothing written, when it cannot be), then the value
  // written into keyedBytes_, then its place taken.
  bool beginKeyed(std::string_view key, std::size_t& begin);
  void endKeyed(std::size_t begin, std::string_view key);
  void encodeRaw(std::uint8_t tag, const void* bytes, std::size_t n, std::string_view key);

  State& state_;
  int depth_;
  Buffer keyedBytes_;
  std::vector<KeyedPlace> keyed_;
  Buffer unkeyedBytes_;
  std::size_t unkeyedCount_ = 0;
};

}  // namespace platform
