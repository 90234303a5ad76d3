// Set-Cookie headers and cookie dates come from any server: every header gives a cookie that the
// URL that set it would carry back, or nothing; no date text crashes the date reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/net/HTTPCookie.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(bytes), size);
  platform::parseCookieDate(text);
  static const auto url = *platform::URL::parse("https://www.example.co.uk/dir/page");
  double now = 1'700'000'000;
  auto cookies = platform::HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, url, now);
  for (const auto& cookie : cookies) {
    if (cookie.name().empty() || cookie.domain().empty()) std::abort();
    // A cookie never reaches a public suffix.
    if (platform::HTTPCookie::isPublicSuffix(cookie.domain())) std::abort();
    cookie.matchesURL(url);
  }
  return 0;
}
