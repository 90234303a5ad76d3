#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

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

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : v_(b) {}
  Value(int i) : v_(static_cast<std::int64_t>(i)) {}
  Value(long i) : v_(static_cast<std::int64_t>(i)) {}
  Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
  Value(unsigned u) : v_(static_cast<std::uint64_t>(u)) {}
  Value(unsigned long u) : v_(static_cast<std::uint64_t>(u)) {}
  Value(unsigned long long u) : v_(static_cast<std::uint64_t>(u)) {}
  Value(double d) : v_(d) {}
  Value(const char* s) : v_(std::string(s ? s : "")) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(Data d) : v_(std::move(d)) {}
  template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Value(std::shared_ptr<T> o) {
    if (o) v_ = std::static_pointer_cast<Object>(std::move(o));
  }
  // A string value over block's bytes in store. It takes over one reference that the caller
  // holds on the store.
  static Value adoptingText(TextStore& store, const TextStore::Block& block) {
    Value v;
    v.v_.emplace<SharedText>(&store, &block);
    return v;
  }

  Kind kind() const {
    const std::size_t i = v_.index();
    return i == kSharedTextIndex ? Kind::String : static_cast<Kind>(i);
  }
  bool isNull() const { return kind() == Kind::Null; }
  bool isString() const { return kind() == Kind::String; }
  bool isNumber() const { return kind() >= Kind::Int && kind() <= Kind::Double; }
  bool isBool() const { return kind() == Kind::Bool; }
  bool isObject() const { return kind() == Kind::Object; }
  bool isBytes() const { return kind() == Kind::Bytes; }

  bool boolValue() const;
  std::int64_t intValue() const;
  std::uint64_t uintValue() const;
  double doubleValue() const;
  // The text of a string value; "" for every other kind.
  const std::string& stringValue() const;
  // The same without making a std::string for text kept in a store.
  std::string_view stringView() const;
  // The bytes of a bytes value; empty for every other kind.
  const Data& bytesValue() const;
  const ObjectPtr& objectValue() const;
  template <class T>
  std::shared_ptr<T> as() const {
    return std::dynamic_pointer_cast<T>(objectValue());
  }
  std::shared_ptr<Array> arrayValue() const;
  std::shared_ptr<Dictionary> dictionaryValue() const;

  // A readable rendering of any kind (numbers in shortest round-trip form, "1"/"0" for booleans).
  std::string description() const;

  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }
  std::size_t hash() const;

 private:
  // Text in a store, with one reference on it.
  class SharedText {
   public:
    SharedText(TextStore* store, const TextStore::Block* block) noexcept : store_(store), block_(block) {}
    SharedText(const SharedText& o) noexcept : store_(o.store_), block_(o.block_) {
      if (store_) store_->retain();
    }
    SharedText(SharedText&& o) noexcept : store_(o.store_), block_(o.block_) { o.store_ = nullptr; }
    SharedText& operator=(SharedText o) noexcept {
      std::swap(store_, o.store_);
      std::swap(block_, o.block_);
      return *this;
    }
    ~SharedText() {
      if (store_) store_->release();
    }
    std::string_view view() const { return store_ ? block_->view() : std::string_view(); }
    const std::string& string() const;

   private:
    TextStore* store_;
    const TextStore::Block* block_;
  };
  static constexpr std::size_t kSharedTextIndex = 8;

  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Data, ObjectPtr, SharedText>
      v_;
};

}  // namespace platform
