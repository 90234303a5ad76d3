#include "platform/foundation/Value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/DictionaryIndex.h"
#include "platform/foundation/Error.h"

namespace platform {

namespace {
const std::string kEmptyString;
const Data kEmptyData;
const Value kNullValue;

std::string formatDouble(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}
}  // namespace

std::string Object::description() const {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, reinterpret_cast<std::uintptr_t>(this), 16);
  return "<Object 0x" + std::string(buf, r.ptr) + ">";
}

Value& Value::assignSlow(const Value& other) {
  if (this != &other) {
    Value copy(other);  // other may live inside what this value holds
    destroy();
    moveFrom(copy);
  }
  return *this;
}

Value& Value::assignSlow(Value&& other) noexcept {
  if (this != &other) {
    Value moved(std::move(other));
    destroy();
    moveFrom(moved);
  }
  return *this;
}

void Value::copySlow(const Value& other) {
  switch (tag_) {
    case Tag::String:
      u_.s = other.u_.s;
      retain(u_.s);
      break;
    case Tag::Bytes:
      u_.data = other.u_.data;
      retain(u_.data);
      break;
    case Tag::BorrowedObject:
      tag_ = Tag::Object;
      new (&u_.o) ObjectPtr(other.u_.bo.owner->lock(), other.u_.bo.object);
      break;
    case Tag::Object:
      new (&u_.o) ObjectPtr(other.u_.o);
      break;
    case Tag::Text:
      u_.t = other.u_.t;
      u_.t.store->retain();
      break;
    default:
      copyPayload(other);
      break;
  }
}

void Value::destroySlow() noexcept {
  switch (tag_) {
    case Tag::String:
      release(u_.s);
      break;
    case Tag::Bytes:
      release(u_.data);
      break;
    case Tag::Object:
      u_.o.~ObjectPtr();
      break;
    case Tag::Text:
      u_.t.store->release();
      break;
    default:
      break;
  }
}

bool Value::boolConverted() const {
  switch (tag_) {
    case Tag::Bool:
      return u_.b;
    case Tag::Int:
      return u_.i != 0;
    case Tag::UInt:
      return u_.u != 0;
    case Tag::Double:
      return u_.d != 0.0;
    default:
      return false;
  }
}

std::int64_t Value::intConverted() const {
  switch (tag_) {
    case Tag::Bool:
      return u_.b ? 1 : 0;
    case Tag::Int:
      return u_.i;
    case Tag::UInt:
      return static_cast<std::int64_t>(u_.u);
    case Tag::Double: {
      const double d = u_.d;
      if (std::isnan(d)) return 0;
      if (d >= 9.2233720368547758e18) return INT64_MAX;
      if (d <= -9.2233720368547758e18) return INT64_MIN;
      return static_cast<std::int64_t>(d);
    }
    default:
      return 0;
  }
}

std::uint64_t Value::uintConverted() const {
  switch (tag_) {
    case Tag::UInt:
      return u_.u;
    case Tag::Double: {
      const double d = u_.d;
      if (std::isnan(d) || d <= 0) return d <= -1 ? static_cast<std::uint64_t>(intValue()) : 0;
      if (d >= 1.8446744073709552e19) return UINT64_MAX;
      return static_cast<std::uint64_t>(d);
    }
    default:
      return static_cast<std::uint64_t>(intValue());
  }
}

double Value::doubleConverted() const {
  switch (tag_) {
    case Tag::Bool:
      return u_.b ? 1.0 : 0.0;
    case Tag::Int:
      return static_cast<double>(u_.i);
    case Tag::UInt:
      return static_cast<double>(u_.u);
    case Tag::Double:
      return u_.d;
    default:
      return 0.0;
  }
}

const std::string& Value::stringValue() const {
  switch (tag_) {
    case Tag::String:
      return u_.s->item;
    case Tag::Text:
    case Tag::BorrowedText:
      return u_.t.store->stringFor(*u_.t.block);
    default:
      return kEmptyString;
  }
}

const Data& Value::bytesValue() const { return tag_ == Tag::Bytes ? u_.data->item : kEmptyData; }

ObjectPtr Value::objectValue() const {
  if (tag_ == Tag::Object) return u_.o;
  if (tag_ == Tag::BorrowedObject) return ObjectPtr(u_.bo.owner->lock(), u_.bo.object);
  return nullptr;
}

std::shared_ptr<Array> Value::arrayValue() const { return as<Array>(); }
std::shared_ptr<Dictionary> Value::dictionaryValue() const { return as<Dictionary>(); }

std::string Value::description() const {
  switch (kind()) {
    case Kind::Null:
      return "";
    case Kind::Bool:
      return u_.b ? "1" : "0";
    case Kind::Int:
      return std::to_string(u_.i);
    case Kind::UInt:
      return std::to_string(u_.u);
    case Kind::Double:
      return formatDouble(u_.d);
    case Kind::String:
      return std::string(stringView());
    case Kind::Bytes: {
      static const char* hex = "0123456789abcdef";
      const Data& d = u_.data->item;
      std::string out = "<";
      for (std::size_t i = 0; i < d.size(); ++i) {
        if (i && i % 4 == 0) out += ' ';
        out += hex[d[i] >> 4];
        out += hex[d[i] & 15];
      }
      return out + ">";
    }
    case Kind::Object:
      return objectPointer()->description();
  }
  return "";
}

bool Value::operator==(const Value& other) const {
  if (isNumber() && other.isNumber()) {
    if (kind() == Kind::Double || other.kind() == Kind::Double) return doubleValue() == other.doubleValue();
    if (kind() == Kind::Int && other.kind() == Kind::Int) return intValue() == other.intValue();
    if (kind() == Kind::UInt && other.kind() == Kind::UInt) return uintValue() == other.uintValue();
    const Value& s = kind() == Kind::Int ? *this : other;
    const Value& u = kind() == Kind::Int ? other : *this;
    return s.intValue() >= 0 && static_cast<std::uint64_t>(s.intValue()) == u.uintValue();
  }
  if (kind() != other.kind()) return false;
  switch (kind()) {
    case Kind::Null:
      return true;
    case Kind::Bool:
      return u_.b == other.u_.b;
    case Kind::String:
      return stringView() == other.stringView();
    case Kind::Bytes:
      return u_.data == other.u_.data || u_.data->item == other.u_.data->item;
    case Kind::Object:
      return objectPointer() == other.objectPointer() || objectPointer()->isEqual(*other.objectPointer());
    default:
      return false;
  }
}

std::size_t Value::hash() const {
  switch (kind()) {
    case Kind::Null:
      return 0;
    case Kind::Bool:
    case Kind::Int:
    case Kind::UInt:
    case Kind::Double: {
      double d = doubleValue();
      if (d == std::floor(d) && std::fabs(d) < 9e18)
        return std::hash<std::int64_t>()(static_cast<std::int64_t>(d));
      return std::hash<double>()(d);
    }
    case Kind::String:
      return std::hash<std::string_view>()(stringView());
    case Kind::Bytes:
      return std::hash<std::string_view>()(viewOfData(u_.data->item));
    case Kind::Object:
      return objectPointer()->hash();
  }
  return 0;
}

// ---- Array ----

bool Array::containsObject(const Value& v) const {
  for (std::size_t i = 0, n = count(); i < n; ++i)
    if (objectAtIndex(i) == v) return true;
  return false;
}

std::vector<Value> Array::toVector() const {
  std::vector<Value> out;
  out.reserve(count());
  for (std::size_t i = 0, n = count(); i < n; ++i) out.push_back(objectAtIndex(i));
  return out;
}

std::string Array::description() const {
  std::string out = "(";
  for (std::size_t i = 0, n = count(); i < n; ++i) {
    out += i ? ", " : "";
    out += objectAtIndex(i).description();
  }
  return out + ")";
}

bool Array::isEqual(const Object& other) const {
  auto* a = dynamic_cast<const Array*>(&other);
  if (!a) return false;
  if (a == this) return true;
  if (a->count() != count()) return false;
  for (std::size_t i = 0, n = count(); i < n; ++i)
    if (objectAtIndex(i) != a->objectAtIndex(i)) return false;
  return true;
}

std::size_t Array::hash() const { return count(); }

const Value& MutableArray::objectAtIndex(std::size_t index) const {
  const std::size_t n = count();
  if (index >= n)
    throw RangeException("index " + std::to_string(index) + " beyond bounds [0 .. " + std::to_string(n) +
                         ")");
  return (*items_)[index];
}

void MutableArray::insertObject(Value v, std::size_t index) {
  if (index > count()) throw RangeException("index " + std::to_string(index) + " beyond bounds");
  std::vector<Value>& items = own();
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), std::move(v));
}

void MutableArray::removeObjectAtIndex(std::size_t index) {
  if (index >= count()) throw RangeException("index " + std::to_string(index) + " beyond bounds");
  items_->erase(items_->begin() + static_cast<std::ptrdiff_t>(index));
}

void MutableArray::replaceObjectAtIndex(std::size_t index, Value v) {
  if (index >= count()) throw RangeException("index " + std::to_string(index) + " beyond bounds");
  (*items_)[index] = std::move(v);
}

// ---- Dictionary ----

const Value& Dictionary::valueForKey(std::string_view key) const {
  const Value* v = objectForKey(key);
  return v ? *v : kNullValue;
}

std::vector<std::string> Dictionary::allKeys() const {
  std::vector<std::string> keys;
  keys.reserve(count());
  enumerate([&](const std::string& k, const Value&) {
    keys.push_back(k);
    return true;
  });
  return keys;
}

std::string Dictionary::description() const {
  std::string out = "{";
  bool first = true;
  enumerate([&](const std::string& k, const Value& v) {
    out += first ? "" : "; ";
    first = false;
    out += k + " = " + v.description();
    return true;
  });
  return out + "}";
}

bool Dictionary::isEqual(const Object& other) const {
  auto* d = dynamic_cast<const Dictionary*>(&other);
  if (!d) return false;
  if (d == this) return true;
  if (d->count() != count()) return false;
  bool same = true;
  enumerate([&](const std::string& k, const Value& v) {
    const Value* o = d->objectForKey(k);
    same = o && *o == v;
    return same;
  });
  return same;
}

std::size_t Dictionary::hash() const { return count(); }

// The pairs in insertion order, each key held once. Most maps hold a handful of pairs and are
// searched in place; a longer one gains an index of places by hash.
struct MutableDictionary::Extra {
  DictionaryIndex index;
  std::vector<bool> removed;  // by place, while some pair is removed; places past its end are live
};

namespace {
constexpr std::size_t kMissing = DictionaryIndex::Missing;
constexpr std::size_t kSearchedInPlace = 8;
constexpr std::size_t kFirstCapacity = 4;
}  // namespace

MutableDictionary::Table* MutableDictionary::makeTable(std::size_t capacity) {
  if (capacity > UINT32_MAX) throw std::length_error("dictionary too large");
  auto* raw = static_cast<std::byte*>(::operator new(sizeof(Table) + capacity * sizeof(Entry)));
  Table* t = new (raw) Table;
  t->entries = reinterpret_cast<Entry*>(raw + sizeof(Table));
  t->capacity = static_cast<std::uint32_t>(capacity);
  return t;
}

void MutableDictionary::freeTable(Table* t) noexcept {
  if (!t) return;
  std::destroy_n(t->entries, t->count);
  delete t->extra;
  t->~Table();
  ::operator delete(static_cast<void*>(t));
}

MutableDictionary::Table* MutableDictionary::copyTable(const Table& from) {
  Table* t = makeTable(from.capacity);
  try {
    if (from.extra) t->extra = new Extra(*from.extra);
    for (; t->count < from.count; ++t->count) new (t->entries + t->count) Entry(from.entries[t->count]);
  } catch (...) {
    freeTable(t);
    throw;
  }
  t->erased = from.erased;
  t->shapes = from.shapes;
  return t;
}

bool MutableDictionary::liveAt(std::size_t place) const {
  const Extra* x = table_->extra;
  return !x || place >= x->removed.size() || !x->removed[place];
}

// The place of key, or kMissing; hash is the key's hash when the map is indexed (it is then reused
// when the key is added).
std::size_t MutableDictionary::find(std::string_view key, std::size_t& hash) const {
  hash = 0;
  if (!table_) return kMissing;
  const Table& t = *table_;
  if (t.extra && !t.extra->index.empty()) {
    hash = DictionaryIndex::hashOf(key);
    return t.extra->index.find(hash, [&](std::size_t i) { return t.entries[i].key == key && isLive(i); });
  }
  if (!(t.shapes & DictionaryIndex::shapeOf(key))) return kMissing;
  for (std::size_t i = 0; i < t.count; ++i)
    if (t.entries[i].key == key && isLive(i)) return i;
  return kMissing;
}

void MutableDictionary::reindex() {
  Table& t = *table_;
  if (!t.extra) t.extra = new Extra;
  t.extra->index.rebuild(t.count,
                         [this](std::size_t i) { return isLive(i) ? &table_->entries[i].key : nullptr; });
}

void MutableDictionary::add(std::string_view key, Value&& value, std::size_t hash) {
  // Made before the pairs may move: key may be one of theirs.
  Entry entry{std::string(key), std::move(value)};
  if (!table_ || table_->count == table_->capacity) {
    Table* grown = makeTable(table_ ? 2 * std::size_t{table_->capacity} : kFirstCapacity);
    if (Table* old = table_) {
      std::uninitialized_move_n(old->entries, old->count, grown->entries);
      grown->count = old->count;
      grown->erased = old->erased;
      grown->shapes = old->shapes;
      grown->extra = std::exchange(old->extra, nullptr);
      freeTable(old);
    }
    table_ = grown;
  }
  Table& t = *table_;
  new (t.entries + t.count) Entry(std::move(entry));
  ++t.count;
  t.shapes |= DictionaryIndex::shapeOf(t.entries[t.count - 1].key);
  if (t.extra && !t.extra->index.empty())
    t.extra->index.added(t.count - 1, hash, t.count,
                         [this](std::size_t i) { return isLive(i) ? &table_->entries[i].key : nullptr; });
  else if (t.count > kSearchedInPlace)
    reindex();
}

void MutableDictionary::compact() {
  Table* old = table_;
  Table* kept = makeTable(std::max<std::size_t>(old->count - old->erased, kFirstCapacity));
  for (std::size_t i = 0; i < old->count; ++i)
    if (isLive(i)) new (kept->entries + kept->count++) Entry(std::move(old->entries[i]));
  kept->shapes = old->shapes;
  table_ = kept;
  freeTable(old);
  if (kept->count > kSearchedInPlace) reindex();
}

MutableDictionary::MutableDictionary(const MutableDictionary& other)
    : Dictionary(other), table_(other.table_ ? copyTable(*other.table_) : nullptr) {}

MutableDictionary& MutableDictionary::operator=(const MutableDictionary& other) {
  if (this != &other) {
    Table* copy = other.table_ ? copyTable(*other.table_) : nullptr;
    freeTable(std::exchange(table_, copy));
  }
  return *this;
}

MutableDictionary::MutableDictionary(MutableDictionary&& other) noexcept
    : Dictionary(other), table_(std::exchange(other.table_, nullptr)) {}

MutableDictionary& MutableDictionary::operator=(MutableDictionary&& other) noexcept {
  if (this != &other) freeTable(std::exchange(table_, std::exchange(other.table_, nullptr)));
  return *this;
}

MutableDictionary::MutableDictionary() = default;
MutableDictionary::~MutableDictionary() { freeTable(table_); }

std::size_t MutableDictionary::count() const { return table_ ? table_->count - table_->erased : 0; }

const Value* MutableDictionary::objectForKey(std::string_view key) const {
  std::size_t hash;
  const std::size_t i = find(key, hash);
  return i == kMissing ? nullptr : &table_->entries[i].value;
}

void MutableDictionary::enumerate(const std::function<bool(const std::string&, const Value&)>& fn) const {
  // The table and its size are read afresh: fn may change the map.
  for (std::size_t i = 0; table_ && i < table_->count; ++i) {
    if (!isLive(i)) continue;
    const Entry& e = table_->entries[i];
    if (!fn(e.key, e.value)) return;
  }
}

void MutableDictionary::setObject(Value value, std::string_view key) {
  std::size_t hash;
  if (const std::size_t i = find(key, hash); i != kMissing) {
    table_->entries[i].value = std::move(value);
    return;
  }
  add(key, std::move(value), hash);
}

void MutableDictionary::removeObjectForKey(std::string_view key) {
  std::size_t hash;
  const std::size_t i = find(key, hash);
  if (i == kMissing) return;
  // The pair stays, not live, in its place (and in the index) until the map is compacted.
  Table& t = *table_;
  if (!t.extra) t.extra = new Extra;
  if (t.extra->removed.size() < t.count) t.extra->removed.resize(t.count);
  t.extra->removed[i] = true;
  t.entries[i].value = Value();
  ++t.erased;
  if (t.erased > 16 && t.erased * 2 > t.count) compact();
}

void MutableDictionary::removeAllObjects() {
  if (!table_) return;
  // Emptied rather than freed: an enumeration may be under way.
  Table& t = *table_;
  std::destroy_n(t.entries, t.count);
  t.count = 0;
  t.erased = 0;
  t.shapes = 0;
  if (t.extra) {
    t.extra->index.clear();
    t.extra->removed.clear();
  }
}

// ---- Error ----

std::string Error::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
}

Exception::Exception(std::string name, std::string reason, std::shared_ptr<const Dictionary> userInfo)
    : std::runtime_error(name + ": " + reason),
      name_(std::move(name)),
      reason_(std::move(reason)),
      userInfo_(std::move(userInfo)) {}

}  // namespace platform
