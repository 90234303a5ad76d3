// Text that the map engine puts into request URLs (keywords, city names, route ends): its
// encoding keeps only unreserved characters and escapes, decodes back to the same bytes, and the
// URL built from it parses.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/VUrlEncode.h"
#include "platform/foundation/URL.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(bytes), size);
  std::string encoded = gmengine::UrlEncode(text);
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    char c = encoded[i];
    if (c == '%') {
      if (i + 2 >= encoded.size()) std::abort();
      int hi = hexValue(encoded[i + 1]), lo = hexValue(encoded[i + 2]);
      if (hi < 0 || lo < 0) std::abort();
      decoded += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~') {
      decoded += c;
    } else {
      std::abort();
    }
  }
  if (decoded != text) std::abort();
  if (!platform::URL::parse("http://map.example/?wd=" + encoded + "&ie=utf-8")) std::abort();
  // The engine's own string takes the text and gives back UTF-8 that encodes alike.
  gmengine::CVString wide = gmengine::CVString::FromUtf8(text);
  gmengine::UrlEncode(wide.ToUtf8());
  return 0;
}
