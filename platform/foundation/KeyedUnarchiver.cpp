#include "platform/foundation/KeyedUnarchiver.h"

#include <bit>
#include <cstring>
#include <exception>
#include <map>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiveFormat.h"
#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

platform::Mutex& registryLock() {
  static platform::Mutex m;
  return m;
}

std::map<std::string, CodingFactory, std::less<>>& registry() REQUIRES(registryLock()) {
  static std::map<std::string, CodingFactory, std::less<>> r;
  return r;
}

CodingFactory factoryFor(std::string_view className) {
  platform::MutexLock g(registryLock());
  auto it = registry().find(className);
  return it == registry().end() ? CodingFactory() : it->second;
}

// Smallest encodings, to bound counts by the bytes left before anything is reserved.
constexpr std::size_t kMinValue = 1;             // a tag
constexpr std::size_t kMinPair = 4 + kMinValue;  // an empty key and a tag

}  // namespace

// One pass over untrusted bytes. Every read checks what is left; the first failure sticks.
class KeyedArchiveReader {
 public:
  KeyedArchiveReader(const std::uint8_t* p, std::size_t n) : p_(p), left_(n) {}

  bool atEnd() const { return left_ == 0; }

  bool u8(std::uint8_t& v) {
    if (left_ < 1) return false;
    v = *p_;
    advance(1);
    return true;
  }

  bool u16(std::uint16_t& v) {
    if (left_ < 2) return false;
    v = static_cast<std::uint16_t>(p_[0] | (p_[1] << 8));
    advance(2);
    return true;
  }

  bool u32(std::uint32_t& v) {
    if (left_ < 4) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p_[i];
    advance(4);
    return true;
  }

  bool u64(std::uint64_t& v) {
    if (left_ < 8) return false;
    v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p_[i];
    advance(8);
    return true;
  }

  bool bytes(const std::uint8_t*& start, std::size_t& n) {
    std::uint32_t len;
    if (!u32(len) || len > left_) return false;
    start = p_;
    n = len;
    advance(len);
    return true;
  }

  bool string(std::string& s) {
    const std::uint8_t* start;
    std::size_t n;
    if (!bytes(start, n)) return false;
    s.assign(reinterpret_cast<const char*>(start), n);
    return true;
  }

  // A count of items each at least minSize bytes long, checked against the bytes left.
  bool count(std::uint32_t& n, std::size_t minSize) { return u32(n) && n <= left_ / minSize; }

  // Reads one value. present is false for an object that decoded to nothing; the result is false
  // only for a malformed archive.
  bool value(Value& out, bool& present, int depth) {
    present = true;
    std::uint8_t tag;
    if (!u8(tag)) return false;
    switch (tag) {
      case archive::kNull:
        out = Value();
        return true;
      case archive::kFalse:
        out = Value(false);
        return true;
      case archive::kTrue:
        out = Value(true);
        return true;
      case archive::kInt: {
        std::uint64_t v;
        if (!u64(v)) return false;
        out = Value(static_cast<long long>(static_cast<std::int64_t>(v)));
        return true;
      }
      case archive::kUInt: {
        std::uint64_t v;
        if (!u64(v)) return false;
        out = Value(static_cast<unsigned long long>(v));
        return true;
      }
      case archive::kDouble: {
        std::uint64_t v;
        if (!u64(v)) return false;
        out = Value(std::bit_cast<double>(v));
        return true;
      }
      case archive::kString: {
        std::string s;
        if (!string(s)) return false;
        out = Value(std::move(s));
        return true;
      }
      case archive::kBytes: {
        const std::uint8_t* start;
        std::size_t n;
        if (!bytes(start, n)) return false;
        out = Value(Data(start, start + n));
        return true;
      }
      case archive::kArray:
        return array(out, depth);
      case archive::kDictionary:
        return dictionary(out, depth);
      case archive::kObject:
        return object(out, present, depth);
      default:
        return false;
    }
  }

 private:
  void advance(std::size_t n) {
    p_ += n;
    left_ -= n;
  }

  bool array(Value& out, int depth) {
    std::uint32_t n;
    if (depth >= archive::kMaxDepth || !count(n, kMinValue)) return false;
    std::vector<Value> items;
    items.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      Value v;
      bool present;
      if (!value(v, present, depth + 1)) return false;
      if (present) items.push_back(std::move(v));
    }
    out = Value(MutableArray::create(std::move(items)));
    return true;
  }

  bool dictionary(Value& out, int depth) {
    std::uint32_t n;
    if (depth >= archive::kMaxDepth || !count(n, kMinPair)) return false;
    auto dict = MutableDictionary::create();
    for (std::uint32_t i = 0; i < n; ++i) {
      std::string key;
      Value v;
      bool present;
      if (!string(key) || !value(v, present, depth + 1)) return false;
      if (present) dict->setObject(std::move(v), key);
    }
    out = Value(std::move(dict));
    return true;
  }

  bool object(Value& out, bool& present, int depth) {
    std::string className;
    std::uint32_t n;
    if (depth >= archive::kMaxDepth || !string(className) || !count(n, kMinPair)) return false;
    KeyedUnarchiver coder;
    coder.keyed_.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      std::string key;
      Value v;
      bool here;
      if (!string(key) || !value(v, here, depth + 1)) return false;
      if (here) coder.keyed_.emplace_back(std::move(key), std::move(v));
    }
    if (!count(n, kMinValue)) return false;
    coder.unkeyed_.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      Value v;
      bool here;
      if (!value(v, here, depth + 1)) return false;
      coder.unkeyed_.push_back(here ? std::move(v) : Value());
    }
    // Whatever the factory makes of it, the bytes were well formed.
    ObjectPtr made;
    if (CodingFactory factory = factoryFor(className)) {
      try {
        made = factory(coder);
      } catch (const std::exception&) {
        made = nullptr;
      }
    }
    present = made != nullptr;
    out = present ? Value(std::move(made)) : Value();
    return true;
  }

  const std::uint8_t* p_;
  std::size_t left_;
};

std::optional<Value> KeyedUnarchiver::unarchiveObjectWithData(const Data& data) {
  if (data.size() < archive::kHeaderSize || std::memcmp(data.data(), archive::kMagic, 4) != 0)
    return std::nullopt;
  KeyedArchiveReader reader(data.data() + 4, data.size() - 4);
  std::uint16_t version;
  if (!reader.u16(version) || version != archive::kVersion) return std::nullopt;
  Value root;
  bool present;
  if (!reader.value(root, present, 0) || !present || !reader.atEnd()) return std::nullopt;
  return root;
}

void KeyedUnarchiver::setClass(CodingFactory factory, std::string_view className) {
  platform::MutexLock g(registryLock());
  if (factory)
    registry().insert_or_assign(std::string(className), std::move(factory));
  else if (auto it = registry().find(className); it != registry().end())
    registry().erase(it);
}

const Value* KeyedUnarchiver::find(std::string_view key) const {
  // The last write of a key wins, as when it was encoded.
  for (auto it = keyed_.rbegin(); it != keyed_.rend(); ++it)
    if (it->first == key) return &it->second;
  return nullptr;
}

bool KeyedUnarchiver::containsValueForKey(std::string_view key) const { return find(key) != nullptr; }

Value KeyedUnarchiver::decodeObjectForKey(std::string_view key) const {
  const Value* v = find(key);
  return v ? *v : Value();
}

std::int64_t KeyedUnarchiver::decodeIntForKey(std::string_view key, std::int64_t defaultValue) const {
  const Value* v = find(key);
  return v && (v->isNumber() || v->isBool()) ? v->intValue() : defaultValue;
}

bool KeyedUnarchiver::decodeBoolForKey(std::string_view key, bool defaultValue) const {
  const Value* v = find(key);
  return v && (v->isNumber() || v->isBool()) ? v->boolValue() : defaultValue;
}

double KeyedUnarchiver::decodeDoubleForKey(std::string_view key, double defaultValue) const {
  const Value* v = find(key);
  return v && (v->isNumber() || v->isBool()) ? v->doubleValue() : defaultValue;
}

std::string KeyedUnarchiver::decodeStringForKey(std::string_view key, std::string_view defaultValue) const {
  const Value* v = find(key);
  return v && v->isString() ? v->stringValue() : std::string(defaultValue);
}

Data KeyedUnarchiver::decodeBytesForKey(std::string_view key, const Data& defaultValue) const {
  const Value* v = find(key);
  return v && v->isBytes() ? v->bytesValue() : defaultValue;
}

Value KeyedUnarchiver::decodeObject() {
  if (next_ >= unkeyed_.size()) return Value();
  return unkeyed_[next_++];
}

}  // namespace platform
