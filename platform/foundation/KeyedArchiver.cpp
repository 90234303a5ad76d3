#include "platform/foundation/KeyedArchiver.h"

#include <bit>
#include <exception>
#include <limits>

#include "platform/foundation/Array.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiveFormat.h"

namespace platform {

namespace {

void putU8(Data& out, std::uint8_t v) { out.push_back(v); }

void putU16(Data& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(Data& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putU64(Data& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

constexpr std::size_t kMaxLength = std::numeric_limits<std::uint32_t>::max();

// False when the length does not fit the format.
bool putBytes(Data& out, const std::uint8_t* p, std::size_t n) {
  if (n > kMaxLength) return false;
  putU32(out, static_cast<std::uint32_t>(n));
  out.insert(out.end(), p, p + n);
  return true;
}

bool putString(Data& out, std::string_view s) {
  return putBytes(out, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

}  // namespace

Data KeyedArchiver::archivedDataWithRootObject(const Value& root) {
  State state;
  KeyedArchiver top(state, 0);
  Data out(std::begin(archive::kMagic), std::end(archive::kMagic));
  putU16(out, archive::kVersion);
  top.writeValue(out, root, 0);
  if (state.failed) return {};
  return out;
}

void KeyedArchiver::writeValue(Data& out, const Value& value, int depth) {
  if (state_.failed) return;
  switch (value.kind()) {
    case Value::Kind::Null:
      putU8(out, archive::kNull);
      return;
    case Value::Kind::Bool:
      putU8(out, value.boolValue() ? archive::kTrue : archive::kFalse);
      return;
    case Value::Kind::Int:
      putU8(out, archive::kInt);
      putU64(out, static_cast<std::uint64_t>(value.intValue()));
      return;
    case Value::Kind::UInt:
      putU8(out, archive::kUInt);
      putU64(out, value.uintValue());
      return;
    case Value::Kind::Double:
      putU8(out, archive::kDouble);
      putU64(out, std::bit_cast<std::uint64_t>(value.doubleValue()));
      return;
    case Value::Kind::String:
      putU8(out, archive::kString);
      if (!putString(out, value.stringValue())) state_.failed = true;
      return;
    case Value::Kind::Bytes:
      putU8(out, archive::kBytes);
      if (!putBytes(out, value.bytesValue().data(), value.bytesValue().size())) state_.failed = true;
      return;
    case Value::Kind::Object:
      break;
  }

  const Object* object = value.objectValue().get();
  if (depth >= archive::kMaxDepth || !state_.open.insert(object).second) {
    state_.failed = true;
    return;
  }
  if (auto* coding = dynamic_cast<const Coding*>(object)) {
    putU8(out, archive::kObject);
    if (!putString(out, coding->classForCoder())) state_.failed = true;
    KeyedArchiver child(state_, depth + 1);
    try {
      coding->encodeWithCoder(child);
    } catch (const std::exception&) {
      state_.failed = true;
    }
    child.writeFrame(out);
  } else if (auto* dict = dynamic_cast<const Dictionary*>(object)) {
    putU8(out, archive::kDictionary);
    if (dict->count() > kMaxLength) state_.failed = true;
    putU32(out, static_cast<std::uint32_t>(dict->count()));
    dict->enumerate([&](const std::string& key, const Value& v) {
      if (!putString(out, key)) state_.failed = true;
      writeValue(out, v, depth + 1);
      return !state_.failed;
    });
  } else if (auto* array = dynamic_cast<const Array*>(object)) {
    putU8(out, archive::kArray);
    std::size_t n = array->count();
    if (n > kMaxLength) state_.failed = true;
    putU32(out, static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n && !state_.failed; ++i) writeValue(out, array->objectAtIndex(i), depth + 1);
  } else {
    state_.failed = true;
  }
  state_.open.erase(object);
}

void KeyedArchiver::writeFrame(Data& out) const {
  if (state_.failed) return;
  putU32(out, static_cast<std::uint32_t>(keyed_.size()));
  for (const auto& [key, bytes] : keyed_) {
    putString(out, key);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  putU32(out, static_cast<std::uint32_t>(unkeyed_.size()));
  for (const auto& bytes : unkeyed_) out.insert(out.end(), bytes.begin(), bytes.end());
}

void KeyedArchiver::encodeObject(const Value& value, std::string_view key) {
  if (state_.failed) return;
  if (key.size() > kMaxLength || keyed_.size() >= kMaxLength) {
    state_.failed = true;
    return;
  }
  Data bytes;
  writeValue(bytes, value, depth_);
  for (auto& entry : keyed_) {
    if (entry.first == key) {
      entry.second = std::move(bytes);
      return;
    }
  }
  keyed_.emplace_back(std::string(key), std::move(bytes));
}

void KeyedArchiver::encodeInt(std::int64_t value, std::string_view key) {
  encodeObject(Value(static_cast<long long>(value)), key);
}
void KeyedArchiver::encodeBool(bool value, std::string_view key) { encodeObject(Value(value), key); }
void KeyedArchiver::encodeDouble(double value, std::string_view key) { encodeObject(Value(value), key); }
void KeyedArchiver::encodeString(std::string_view value, std::string_view key) {
  encodeObject(Value(value), key);
}
void KeyedArchiver::encodeBytes(const Data& value, std::string_view key) { encodeObject(Value(value), key); }

void KeyedArchiver::encodeObject(const Value& value) {
  if (state_.failed) return;
  if (unkeyed_.size() >= kMaxLength) {
    state_.failed = true;
    return;
  }
  Data bytes;
  writeValue(bytes, value, depth_);
  unkeyed_.push_back(std::move(bytes));
}

}  // namespace platform
