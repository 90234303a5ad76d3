#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/Value.h"

namespace gmengine {

// The map engine's string: UTF-16 code units (char16_t), counted and indexed in units. Char text
// handed to the constructors and to Format is UTF-8 (the literals of our sources); text in the
// engine's double-byte code page goes through MultiByteToWideChar (VCodePage.h). A value type;
// one object belongs to one thread at a time.
class CVString {
 public:
  CVString() = default;
  CVString(const char* utf8);      // NOLINT(google-explicit-constructor): the engine builds from literals
  CVString(const char16_t* text);  // NOLINT(google-explicit-constructor)
  CVString(const char16_t* text, int length);
  explicit CVString(std::u16string text) : s_(std::move(text)) {}
  explicit CVString(std::u16string_view text) : s_(text) {}

  // UTF-8 both ways; invalid UTF-8 bytes become U+FFFD, lone surrogates likewise.
  static CVString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  CVString& operator=(const char* utf8);
  CVString& operator=(const char16_t* text);

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  // Zero-terminated units; valid until the string changes.
  const char16_t* GetBuffer() const { return s_.c_str(); }
  // The unit at index; 0 outside the string.
  char16_t GetAt(int index) const;
  char16_t operator[](int index) const { return GetAt(index); }
  const std::u16string& str() const { return s_; }

  // Unit by unit, as wcscmp: negative, 0 or positive.
  int Compare(const CVString& other) const;
  int Compare(const char16_t* other) const;

  // The first position of text at or after start; -1 when absent.
  int Find(const CVString& text, int start = 0) const;
  // Up to count units from start (clamped to the string).
  CVString Mid(int start, int count = -1) const;

  CVString& operator+=(const CVString& other) {
    s_ += other.s_;
    return *this;
  }
  CVString& operator+=(char16_t unit) {
    s_ += unit;
    return *this;
  }
  friend CVString operator+(CVString a, const CVString& b) { return a += b; }
  bool operator==(const CVString& other) const { return s_ == other.s_; }
  bool operator<(const CVString& other) const { return s_ < other.s_; }

  // printf-style formatting with the engine's conversions (%d %i %u %x %X %o %c %s %f %e %g %%,
  // flags, width, precision; see platform/foundation/Format.h): integers, doubles, CVString,
  // char16_t text and UTF-8 char text. The format comes from code, never from data; a mismatch
  // between format and arguments renders safely. The decimal point is always ".". Returns the
  // new length.
  template <class... Args>
  int Format(std::u16string_view fmt, const Args&... args) {
    const platform::Value values[] = {FormatArg(args)..., platform::Value()};
    return FormatValues(fmt, values, sizeof...(Args));
  }
  template <class... Args>
  int Format(const char16_t* fmt, const Args&... args) {
    return Format(std::u16string_view(fmt ? fmt : u""), args...);
  }
  template <class... Args>
  int Format(const char* fmt, const Args&... args) {
    return Format(std::u16string_view(FromUtf8(fmt ? fmt : "").s_), args...);
  }

 private:
  template <class T>
  static platform::Value FormatArg(const T& v) {
    if constexpr (std::is_same_v<T, CVString>) {
      return platform::Value(v.ToUtf8());
    } else if constexpr (std::is_same_v<T, char16_t>) {
      return platform::Value(static_cast<unsigned>(v));
    } else if constexpr (std::is_same_v<T, bool>) {
      return platform::Value(static_cast<long long>(v ? 1 : 0));
    } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
      return platform::Value(static_cast<unsigned long long>(v));
    } else if constexpr (std::is_integral_v<T>) {
      return platform::Value(static_cast<long long>(v));
    } else if constexpr (std::is_floating_point_v<T>) {
      return platform::Value(static_cast<double>(v));
    } else if constexpr (std::is_convertible_v<const T&, const char16_t*>) {
      const char16_t* p = v;
      return platform::Value(CVString(p).ToUtf8());
    } else if constexpr (std::is_convertible_v<const T&, const char*>) {
      const char* p = v;
      return platform::Value(p ? p : "");
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
      return platform::Value(std::string_view(v));
    } else {
      static_assert(sizeof(T) == 0, "CVString::Format: unsupported argument type");
    }
  }
  int FormatValues(std::u16string_view fmt, const platform::Value* values, std::size_t count);

  std::u16string s_;
};

struct CVStringHash {
  std::size_t operator()(const CVString& s) const { return std::hash<std::u16string>()(s.str()); }
};

}  // namespace gmengine
