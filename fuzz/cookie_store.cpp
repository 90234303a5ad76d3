// The cookie and credential store files are read back on the next start: whatever a file holds
// (damage, hand edits, an older version's lines) must read as some entries or none, within bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/FileManager.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HTTPCookieStorage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const std::string file = "/tmp/kavro-fuzz-store-" + std::to_string(::getpid());
  platform::FileManager::createFileAtPath(file, platform::Data(bytes, bytes + size));
  {
    platform::HTTPCookieStorage cookies(file);
    auto all = cookies.cookies();
    if (all.size() > platform::HTTPCookieStorage::MaxCookies) std::abort();
    cookies.cookiesForURL(*platform::URL::parse("http://a.example/"));
  }
  {
    platform::CredentialStorage credentials(file);
    credentials.defaultCredentialForProtectionSpace(
        platform::ProtectionSpace::server("a.example", 80, "http", "r"));
    credentials.defaultCredentialForProtectionSpace(platform::ProtectionSpace::proxy("p", 3128, ""));
  }
  ::unlink(file.c_str());
  return 0;
}
