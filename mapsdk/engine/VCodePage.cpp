#include "mapsdk/engine/VCodePage.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "mapsdk/engine/VMemory.h"

namespace gmengine {

namespace {

bool isGbk(unsigned codePage) { return codePage == CP_ACP || codePage == CP_GBK; }

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

// One strict GBK converter per thread (converters are not shareable between threads).
UConverter* gbkConverter() {
  thread_local std::unique_ptr<UConverter, ConverterCloser> converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open("GBK", &status);
    if (U_FAILURE(status)) return std::unique_ptr<UConverter, ConverterCloser>();
    ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
      ucnv_close(c);
      return std::unique_ptr<UConverter, ConverterCloser>();
    }
    return std::unique_ptr<UConverter, ConverterCloser>(c);
  }();
  return converter.get();
}

bool decode(unsigned codePage, std::string_view bytes, std::u16string& out) {
  out.clear();
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX / 2) return false;
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  if (codePage == CP_UTF8) {
    u_strFromUTF8(nullptr, 0, &needed, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return false;
    out.resize(static_cast<std::size_t>(needed));
    status = U_ZERO_ERROR;
    u_strFromUTF8(out.data(), needed, &needed, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  } else if (isGbk(codePage)) {
    UConverter* c = gbkConverter();
    if (!c) return false;
    needed = ucnv_toUChars(c, nullptr, 0, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return false;
    out.resize(static_cast<std::size_t>(needed));
    status = U_ZERO_ERROR;
    needed = ucnv_toUChars(c, out.data(), needed, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  } else {
    return false;
  }
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return false;
  out.resize(static_cast<std::size_t>(needed));
  return true;
}

bool encode(unsigned codePage, std::u16string_view text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX / 4) return false;
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  if (codePage == CP_UTF8) {
    u_strToUTF8(nullptr, 0, &needed, text.data(), static_cast<int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return false;
    out.resize(static_cast<std::size_t>(needed));
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), needed, &needed, text.data(), static_cast<int32_t>(text.size()), &status);
  } else if (isGbk(codePage)) {
    UConverter* c = gbkConverter();
    if (!c) return false;
    needed = ucnv_fromUChars(c, nullptr, 0, text.data(), static_cast<int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return false;
    out.resize(static_cast<std::size_t>(needed));
    status = U_ZERO_ERROR;
    needed = ucnv_fromUChars(c, out.data(), needed, text.data(), static_cast<int32_t>(text.size()), &status);
  } else {
    return false;
  }
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return false;
  out.resize(static_cast<std::size_t>(needed));
  return true;
}

// Bytes of the character that starts with lead in the (valid) output of encode().
std::size_t charLength(unsigned codePage, unsigned char lead) {
  if (codePage == CP_UTF8) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
  }
  return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
}

std::string_view sourceBytes(const char* src, int length) {
  if (!src) return {};
  return length < 0 ? std::string_view(src) : std::string_view(src, static_cast<std::size_t>(length));
}

std::u16string_view sourceUnits(const char16_t* src, int length) {
  if (!src) return {};
  return length < 0 ? std::u16string_view(src) : std::u16string_view(src, static_cast<std::size_t>(length));
}

}  // namespace

int MultiByteToWideChar(unsigned codePage, const char* src, int srcLength, char16_t* output, int outputSize) {
  if (!src) return 0;
  std::u16string units;
  if (!decode(codePage, sourceBytes(src, srcLength), units)) return 0;
  if (units.size() > INT_MAX) return 0;
  if (!output || outputSize <= 0) return static_cast<int>(units.size());
  std::size_t n = std::min(units.size(), static_cast<std::size_t>(outputSize));
  if (n < units.size() && n > 0 && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) --n;
  std::memcpy(output, units.data(), n * sizeof(char16_t));
  return static_cast<int>(n);
}

int WideCharToMultiByte(unsigned codePage, const char16_t* src, int srcLength, char* output, int outputSize,
                        const char*, int*) {
  if (!src) return 0;
  std::string bytes;
  if (!encode(codePage, sourceUnits(src, srcLength), bytes)) return 0;
  if (bytes.size() > INT_MAX) return 0;
  if (!output || outputSize <= 0) return static_cast<int>(bytes.size());
  std::size_t n = 0;
  while (n < bytes.size()) {
    std::size_t next = n + charLength(codePage, static_cast<unsigned char>(bytes[n]));
    if (next > static_cast<std::size_t>(outputSize)) break;
    n = next;
  }
  std::memcpy(output, bytes.data(), n);
  return static_cast<int>(n);
}

char* Utf8ToGbk(const char* utf8, int length, int* outLength) {
  if (outLength) *outLength = 0;
  if (!utf8) return nullptr;
  std::u16string units;
  std::string bytes;
  if (!decode(CP_UTF8, sourceBytes(utf8, length), units) || !encode(CP_ACP, units, bytes)) return nullptr;
  auto* out = static_cast<char*>(VMalloc(bytes.size() + 1));
  if (!out) return nullptr;
  std::memcpy(out, bytes.data(), bytes.size());
  out[bytes.size()] = '\0';
  if (outLength) *outLength = static_cast<int>(bytes.size());
  return out;
}

CVString MultiByteToCVString(unsigned codePage, const char* src, int srcLength) {
  std::u16string units;
  if (!src || !decode(codePage, sourceBytes(src, srcLength), units)) return CVString();
  return CVString(std::move(units));
}

std::string CVStringToMultiByte(unsigned codePage, const CVString& text) {
  std::string bytes;
  if (!encode(codePage, text.str(), bytes)) return std::string();
  return bytes;
}

int vwtoi(const char16_t* text) {
  if (!text) return 0;
  bool negative = false;
  if (*text == u'-') {
    negative = true;
    ++text;
  }
  long long value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    value = value * 10 + (*text - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

}  // namespace gmengine
