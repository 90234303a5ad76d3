// URLs come from answers, redirects and configuration: parsing and resolving any text gives a URL
// whose text parses again, or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/URL.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  static const auto base = *platform::URL::parse("http://www.example.com/a/b/c?q=1#f");
  if (auto url = platform::URL::parse(text)) {
    url->host();
    url->path();
    url->port();
    url->query();
    if (!url->host().empty() && !platform::URL::parse(url->absoluteString())) std::abort();
  }
  // Only a URL with a host is sure to read back: without one, a path that begins "//" reads as an
  // authority.
  if (auto resolved = platform::URL::resolve(base, text); resolved && !resolved->host().empty()) {
    if (!platform::URL::parse(resolved->absoluteString())) std::abort();
  }
  return 0;
}
