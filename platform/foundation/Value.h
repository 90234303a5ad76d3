#pragma once
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/TextStore.h"

namespace platform {

class Array;
class Dictionary;

// What an object-typed slot held: nothing, a boolean, a number, text, bytes or an object.
// Reads never throw: the wrong kind reads as "", 0 or false (numbers convert between numeric kinds).
class Value {
 public:
  enum class Kind { Null, Bool, Int, UInt, Double, String, Bytes, Object };

  Value() noexcept : tag_(Tag::Null) {}
  Value(std::nullptr_t) noexcept : Value() {}
  Value(bool b) noexcept : Value() { set(Tag::Bool).b = b; }
  Value(int i) noexcept : Value() { set(Tag::Int).i = i; }
  Value(long i) noexcept : Value() { set(Tag::Int).i = i; }
  Value(long long i) noexcept : Value() { set(Tag::Int).i = i; }
  Value(unsigned u) noexcept : Value() { set(Tag::UInt).u = u; }
  Value(unsigned long u) noexcept : Value() { set(Tag::UInt).u = u; }
  Value(unsigned long long u) noexcept : Value() { set(Tag::UInt).u = u; }
  Value(double d) noexcept : Value() { set(Tag::Double).d = d; }
  Value(const char* s) : Value(std::string_view(s ? s : "")) {}
  Value(std::string s) : tag_(Tag::String) { u_.s = new OwnedString(std::move(s)); }
  Value(std::string_view s) : tag_(Tag::String) { u_.s = new OwnedString(s); }
  Value(Data d) : tag_(Tag::Bytes) { u_.data = new OwnedData(std::move(d)); }
  template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Value(std::shared_ptr<T> o) noexcept : Value() {
    if (o) {
      new (&u_.o) ObjectPtr(std::static_pointer_cast<Object>(std::move(o)));
      tag_ = Tag::Object;
    }
  }
  // A string value over block's bytes in store that takes no reference on the store. Only for
  // values kept inside something that holds the store for them (the containers of a decoded
  // document); every copy made of it holds its own reference.
  static Value borrowingText(TextStore& store, const TextStore::Block& block) noexcept {
    Value v;
    v.tag_ = Tag::BorrowedText;
    v.u_.t = {&store, &block};
    return v;
  }
  // An object value over o that takes no reference: owner's count keeps o alive (o lives in
  // memory that owner's count governs, as with the containers of a decoded document). Only for
  // values kept inside something that holds a count on owner for them; owner itself must outlive
  // the value. Every copy made of it shares owner's count, as std::shared_ptr's aliasing
  // constructor would.
  static Value borrowingObject(const std::weak_ptr<Object>& owner, Object* o) noexcept {
    Value v;
    v.tag_ = Tag::BorrowedObject;
    v.u_.bo = {o, &owner};
    return v;
  }

  Value(const Value& other) { copyFrom(other); }
  Value(Value&& other) noexcept { moveFrom(other); }
  Value& operator=(const Value& other) {
    if (plain() && this != &other) {
      copyFrom(other);
      return *this;
    }
    return assignSlow(other);
  }
  Value& operator=(Value&& other) noexcept {
    if (plain() && this != &other) {
      moveFrom(other);
      return *this;
    }
    return assignSlow(std::move(other));
  }
  ~Value() { destroy(); }

  Kind kind() const { return kKinds[static_cast<std::size_t>(tag_)]; }
  bool isNull() const { return kind() == Kind::Null; }
  bool isString() const { return kind() == Kind::String; }
  bool isNumber() const { return kind() >= Kind::Int && kind() <= Kind::Double; }
  bool isBool() const { return kind() == Kind::Bool; }
  bool isObject() const { return kind() == Kind::Object; }
  bool isBytes() const { return kind() == Kind::Bytes; }

  // Each read of its own kind inline (the decoder's hot loops compare numbers); the conversions
  // between kinds out of line.
  bool boolValue() const { return tag_ == Tag::Bool ? u_.b : boolConverted(); }
  std::int64_t intValue() const { return tag_ == Tag::Int ? u_.i : intConverted(); }
  std::uint64_t uintValue() const { return tag_ == Tag::UInt ? u_.u : uintConverted(); }
  double doubleValue() const { return tag_ == Tag::Double ? u_.d : doubleConverted(); }
  // Whether both have one representation and the same payload bit for bit: the same number, the
  // same object, the same stored text (equal texts stored apart are not the same).
  bool sameBits(const Value& other) const {
    return tag_ == other.tag_ && std::memcmp(u_.raw, other.u_.raw, sizeof u_.raw) == 0;
  }
  // A word of the representation and payload, equal for values that sameBits() finds the same.
  std::uint64_t bitsWord() const {
    std::uint64_t a, b;
    std::memcpy(&a, u_.raw, 8);
    std::memcpy(&b, u_.raw + 8, 8);
    return a ^ (b * 0xD6E8FEB86659FD93ull) ^ ((static_cast<std::uint64_t>(tag_) + 1) * 0x9E3779B97F4A7C15ull);
  }
  // The text of a string value; "" for every other kind.
  const std::string& stringValue() const;
  // The same without making a std::string for text kept in a store.
  std::string_view stringView() const {
    if (tag_ == Tag::String) return u_.s->item;
    return tag_ == Tag::Text || tag_ == Tag::BorrowedText ? u_.t.block->view() : std::string_view();
  }
  // The bytes of a bytes value; empty for every other kind.
  const Data& bytesValue() const;
  // A counted pointer to the object of an object value; null for every other kind.
  ObjectPtr objectValue() const;
  // The same without taking a count: valid as long as the value is.
  Object* objectPointer() const {
    return tag_ == Tag::Object ? u_.o.get() : tag_ == Tag::BorrowedObject ? u_.bo.object : nullptr;
  }
  template <class T>
  std::shared_ptr<T> as() const {
    T* t = dynamic_cast<T*>(objectPointer());
    if (!t) return nullptr;
    if (tag_ == Tag::Object) return std::shared_ptr<T>(u_.o, t);
    return std::shared_ptr<T>(u_.bo.owner->lock(), t);
  }
  std::shared_ptr<Array> arrayValue() const;
  std::shared_ptr<Dictionary> dictionaryValue() const;

  // A readable rendering of any kind (numbers in shortest round-trip form, "1"/"0" for booleans).
  std::string description() const;

  // Whether destroying the value releases anything. A value that owns nothing may simply be
  // dropped with the memory holding it.
  bool ownsSomething() const { return !plain(); }

  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }
  std::size_t hash() const;

 private:
  // Tags up to BorrowedText need no work to move or destroy (copies of borrowed text and borrowed
  // objects become counted Text and Object); all but Object move by copying their payload.
  enum class Tag : std::uint8_t {
    Null,
    Bool,
    Int,
    UInt,
    Double,
    BorrowedObject,
    BorrowedText,
    String,
    Bytes,
    Object,
    Text
  };
  static constexpr Kind kKinds[] = {Kind::Null,   Kind::Bool,   Kind::Int,    Kind::UInt,
                                    Kind::Double, Kind::Object, Kind::String, Kind::String,
                                    Kind::Bytes,  Kind::Object, Kind::String};
  // Text or bytes that values own, shared by their copies: a value is 16 bytes of payload and a
  // tag, and copying one bumps a count instead of copying what it holds. The item never changes
  // once made; the count is atomic as values cross threads.
  template <class T>
  struct Owned {
    template <class A>
    explicit Owned(A&& a) : item(std::forward<A>(a)) {}
    std::atomic<std::size_t> refs{1};
    const T item;
  };
  using OwnedString = Owned<std::string>;
  using OwnedData = Owned<Data>;
  template <class T>
  static void retain(Owned<T>* o) noexcept {
    o->refs.fetch_add(1, std::memory_order_relaxed);
  }
  template <class T>
  static void release(Owned<T>* o) noexcept {
    // A count of one is this value's own: no other can copy from it meanwhile, so it needs no
    // atomic change (the acquire pairs with the release of the drops before).
    if (o->refs.load(std::memory_order_acquire) == 1 || o->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete o;
  }

  struct SharedText {
    TextStore* store;
    const TextStore::Block* block;
  };
  struct BorrowedObject {
    Object* object;
    const std::weak_ptr<Object>* owner;
  };
  static_assert(sizeof(BorrowedObject) <= sizeof(SharedText));
  union Payload {
    // Zeroed, so that a value of no payload (null) is copied as bytes like any other.
    Payload() noexcept : raw{} {}
    ~Payload() {}
    bool b;
    std::int64_t i;
    std::uint64_t u;
    double d;
    SharedText t;
    BorrowedObject bo;
    OwnedString* s;
    OwnedData* data;
    ObjectPtr o;
    unsigned char raw[sizeof(SharedText)];
  };
  static_assert(sizeof(Payload) == sizeof(SharedText) && sizeof(ObjectPtr) <= sizeof(SharedText));

  Payload& set(Tag tag) {
    tag_ = tag;
    return u_;
  }
  bool plain() const { return tag_ <= Tag::BorrowedText; }
  // The payload of a plain or text value: every such member is plain data, so the whole payload
  // is copied as bytes (a copy by the tag's member would branch on the tag at each move).
  void copyPayload(const Value& other) { std::memcpy(u_.raw, other.u_.raw, sizeof u_.raw); }
  void copyFrom(const Value& other) {
    tag_ = other.tag_;
    if (tag_ < Tag::BorrowedObject) {
      copyPayload(other);
    } else if (tag_ == Tag::BorrowedText) {
      u_.t = other.u_.t;
      u_.t.store->retain();
      tag_ = Tag::Text;
    } else if (tag_ == Tag::String) {
      u_.s = other.u_.s;
      retain(u_.s);
    } else {
      copySlow(other);
    }
  }
  // Leaves other null.
  void moveFrom(Value& other) noexcept {
    tag_ = other.tag_;
    if (tag_ != Tag::Object) {
      copyPayload(other);
    } else {
      new (&u_.o) ObjectPtr(std::move(other.u_.o));
      other.u_.o.~ObjectPtr();
    }
    other.tag_ = Tag::Null;
  }
  void destroy() noexcept {
    if (tag_ == Tag::String)
      release(u_.s);
    else if (!plain())
      destroySlow();
  }
  bool boolConverted() const;
  std::int64_t intConverted() const;
  std::uint64_t uintConverted() const;
  double doubleConverted() const;
  Value& assignSlow(const Value& other);
  Value& assignSlow(Value&& other) noexcept;
  void copySlow(const Value& other);
  void destroySlow() noexcept;

  Payload u_;
  Tag tag_;
};

}  // namespace platform
