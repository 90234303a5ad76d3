#include "platform/foundation/KeyedArchiver.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>

#include "platform/foundation/Array.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiveFormat.h"

namespace platform {

namespace {

constexpr std::size_t kMaxLength = std::numeric_limits<std::uint32_t>::max();

}  // namespace

void KeyedArchiver::Buffer::grow(std::size_t n) {
  bytes_.resize(std::max({used_ + n, 2 * bytes_.size(), std::size_t{256}}));
}

void KeyedArchiver::Buffer::put(const void* bytes, std::size_t n) {
  if (bytes_.size() - used_ < n) [[unlikely]]
    grow(n);
  if (n) std::memcpy(bytes_.data() + used_, bytes, n);
  used_ += n;
}

void KeyedArchiver::Buffer::putU32(std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  put(b, sizeof b);
}

void KeyedArchiver::Buffer::putU64(std::uint64_t v) {
  std::uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  put(b, sizeof b);
}

bool KeyedArchiver::Buffer::putBytes(const void* bytes, std::size_t n) {
  if (n > kMaxLength) return false;
  putU32(static_cast<std::uint32_t>(n));
  put(bytes, n);
  return true;
}

Data KeyedArchiver::Buffer::take() {
  bytes_.resize(used_);
  used_ = 0;
  return std::move(bytes_);
}

Data KeyedArchiver::archivedDataWithRootObject(const Value& root) {
  State state;
  KeyedArchiver top(state, 0);
  Buffer out;
  out.put(archive::kMagic, sizeof archive::kMagic);
  const std::uint8_t version[2] = {static_cast<std::uint8_t>(archive::kVersion),
                                   static_cast<std::uint8_t>(archive::kVersion >> 8)};
  out.put(version, sizeof version);
  top.writeValue(out, root, 0);
  if (state.failed) return {};
  return out.take();
}

void KeyedArchiver::writeValue(Buffer& out, const Value& value, int depth) {
  if (state_.failed) return;
  switch (value.kind()) {
    case Value::Kind::Null:
      out.putU8(archive::kNull);
      return;
    case Value::Kind::Bool:
      out.putU8(value.boolValue() ? archive::kTrue : archive::kFalse);
      return;
    case Value::Kind::Int:
      out.putU8(archive::kInt);
      out.putU64(static_cast<std::uint64_t>(value.intValue()));
      return;
    case Value::Kind::UInt:
      out.putU8(archive::kUInt);
      out.putU64(value.uintValue());
      return;
    case Value::Kind::Double:
      out.putU8(archive::kDouble);
      out.putU64(std::bit_cast<std::uint64_t>(value.doubleValue()));
      return;
    case Value::Kind::String: {
      out.putU8(archive::kString);
      // A view: text kept in a store is not made into a string of its own.
      const std::string_view text = value.stringView();
      if (!out.putBytes(text.data(), text.size())) state_.failed = true;
      return;
    }
    case Value::Kind::Bytes:
      out.putU8(archive::kBytes);
      if (!out.putBytes(value.bytesValue().data(), value.bytesValue().size())) state_.failed = true;
      return;
    case Value::Kind::Object:
      break;
  }

  const Object* object = value.objectPointer();
  if (depth >= archive::kMaxDepth ||
      std::find(state_.open.begin(), state_.open.end(), object) != state_.open.end()) {
    state_.failed = true;
    return;
  }
  state_.open.push_back(object);
  if (auto* coding = dynamic_cast<const Coding*>(object)) {
    out.putU8(archive::kObject);
    const std::string name = coding->classForCoder();
    if (!out.putBytes(name.data(), name.size())) state_.failed = true;
    KeyedArchiver child(state_, depth + 1);
    try {
      coding->encodeWithCoder(child);
    } catch (const std::exception&) {
      state_.failed = true;
    }
    child.writeFrame(out);
  } else if (auto* dict = dynamic_cast<const Dictionary*>(object)) {
    out.putU8(archive::kDictionary);
    if (dict->count() > kMaxLength) state_.failed = true;
    out.putU32(static_cast<std::uint32_t>(dict->count()));
    dict->enumerate([&](const std::string& key, const Value& v) {
      if (!out.putBytes(key.data(), key.size())) state_.failed = true;
      writeValue(out, v, depth + 1);
      return !state_.failed;
    });
  } else if (auto* array = dynamic_cast<const Array*>(object)) {
    out.putU8(archive::kArray);
    std::size_t n = array->count();
    if (n > kMaxLength) state_.failed = true;
    out.putU32(static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n && !state_.failed; ++i) writeValue(out, array->objectAtIndex(i), depth + 1);
  } else {
    state_.failed = true;
  }
  state_.open.pop_back();
}

std::string_view KeyedArchiver::keyAt(const KeyedPlace& place) const {
  return {reinterpret_cast<const char*>(keyedBytes_.data()) + place.begin + 4, place.keyLength};
}

void KeyedArchiver::writeFrame(Buffer& out) const {
  if (state_.failed) return;
  out.putU32(static_cast<std::uint32_t>(keyed_.size()));
  for (const KeyedPlace& place : keyed_) out.put(keyedBytes_.data() + place.begin, place.end - place.begin);
  out.putU32(static_cast<std::uint32_t>(unkeyedCount_));
  out.put(unkeyedBytes_.data(), unkeyedBytes_.size());
}

bool KeyedArchiver::beginKeyed(std::string_view key, std::size_t& begin) {
  if (state_.failed) return false;
  if (key.size() > kMaxLength || keyed_.size() >= kMaxLength) {
    state_.failed = true;
    return false;
  }
  begin = keyedBytes_.size();
  keyedBytes_.putBytes(key.data(), key.size());
  return true;
}

void KeyedArchiver::endKeyed(std::size_t begin, std::string_view key) {
  // The key and its value lie side by side; a key encoded again keeps its first place with the new
  // value.
  const KeyedPlace place{begin, key.size(), keyedBytes_.size()};
  for (KeyedPlace& entry : keyed_) {
    if (keyAt(entry) == key) {
      entry = place;
      return;
    }
  }
  keyed_.push_back(place);
}

void KeyedArchiver::encodeObject(const Value& value, std::string_view key) {
  std::size_t begin;
  if (!beginKeyed(key, begin)) return;
  writeValue(keyedBytes_, value, depth_);
  endKeyed(begin, key);
}

void KeyedArchiver::encodeInt(std::int64_t value, std::string_view key) {
  encodeObject(Value(static_cast<long long>(value)), key);
}
void KeyedArchiver::encodeBool(bool value, std::string_view key) { encodeObject(Value(value), key); }
void KeyedArchiver::encodeDouble(double value, std::string_view key) { encodeObject(Value(value), key); }

// Text and bytes are written from where they are, without a value of their own.
void KeyedArchiver::encodeString(std::string_view value, std::string_view key) {
  encodeRaw(archive::kString, value.data(), value.size(), key);
}
void KeyedArchiver::encodeBytes(const Data& value, std::string_view key) {
  encodeRaw(archive::kBytes, value.data(), value.size(), key);
}
void KeyedArchiver::encodeRaw(std::uint8_t tag, const void* bytes, std::size_t n, std::string_view key) {
  std::size_t begin;
  if (!beginKeyed(key, begin)) return;
  keyedBytes_.putU8(tag);
  if (!keyedBytes_.putBytes(bytes, n)) state_.failed = true;
  endKeyed(begin, key);
}

void KeyedArchiver::encodeObject(const Value& value) {
  if (state_.failed) return;
  if (unkeyedCount_ >= kMaxLength) {
    state_.failed = true;
    return;
  }
  writeValue(unkeyedBytes_, value, depth_);
  ++unkeyedCount_;
}

}  // namespace platform
