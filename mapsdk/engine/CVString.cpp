#include "mapsdk/engine/CVString.h"

#include <span>

#include "platform/foundation/Format.h"
#include "platform/foundation/Text.h"

namespace gmengine {

CVString::CVString(const char* utf8) : s_(platform::toUtf16(utf8 ? utf8 : "")) {}

CVString::CVString(const char16_t* text) : s_(text ? text : u"") {}

CVString::CVString(const char16_t* text, int length) {
  if (text && length > 0) s_.assign(text, static_cast<std::size_t>(length));
}

CVString CVString::FromUtf8(std::string_view utf8) { return CVString(platform::toUtf16(utf8)); }

std::string CVString::ToUtf8() const { return platform::toUtf8(s_); }

CVString& CVString::operator=(const char* utf8) {
  s_ = platform::toUtf16(utf8 ? utf8 : "");
  return *this;
}

CVString& CVString::operator=(const char16_t* text) {
  s_ = text ? text : u"";
  return *this;
}

char16_t CVString::GetAt(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= s_.size()) return 0;
  return s_[static_cast<std::size_t>(index)];
}

int CVString::Compare(const CVString& other) const {
  int c = s_.compare(other.s_);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CVString::Compare(const char16_t* other) const { return Compare(CVString(other)); }

int CVString::Find(const CVString& text, int start) const {
  if (start < 0) start = 0;
  if (static_cast<std::size_t>(start) > s_.size()) return -1;
  std::size_t at = s_.find(text.s_, static_cast<std::size_t>(start));
  return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

CVString CVString::Mid(int start, int count) const {
  if (start < 0) start = 0;
  if (static_cast<std::size_t>(start) >= s_.size()) return CVString();
  std::size_t n = count < 0 ? std::u16string::npos : static_cast<std::size_t>(count);
  return CVString(s_.substr(static_cast<std::size_t>(start), n));
}

int CVString::FormatValues(std::u16string_view fmt, const platform::Value* values, std::size_t count) {
  std::string out = platform::format(platform::toUtf8(fmt), std::span<const platform::Value>(values, count));
  s_ = platform::toUtf16(out);
  return GetLength();
}

}  // namespace gmengine
