// Answers in other character sets: the charset a server names, and the body read in it. The first
// line is the charset name, the rest the body. Reading never crashes, and what it gives is UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kit/http/NetStringEncoding.h"

namespace {

bool validUTF8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 256 * 1024) return 0;
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  std::size_t nl = text.find('\n');
  std::string_view name = text.substr(0, nl);
  std::string_view rest = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
  platform::Data body(rest.begin(), rest.end());
  auto named = kavro::encodingForIANACharSetName(name);
  for (kavro::NetStringEncoding encoding :
       {named.value_or(kavro::NetUTF8StringEncoding), kavro::NetGB18030StringEncoding,
        kavro::NetBig5StringEncoding, kavro::NetShiftJISStringEncoding, kavro::NetISO2022JPStringEncoding,
        kavro::NetUTF16LittleEndianStringEncoding, kavro::NetUnicodeStringEncoding,
        kavro::NetWindowsCP1251StringEncoding, kavro::NetEUCKRStringEncoding}) {
    auto decoded = kavro::stringFromBytes(body, encoding);
    if (decoded && !validUTF8(*decoded)) std::abort();
  }
  return 0;
}
