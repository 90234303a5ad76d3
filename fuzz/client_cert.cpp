// Client certificate files (PEM text or a PKCS#12 archive) chosen by the user: any bytes open as
// an identity or fail with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/net/ClientIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  // The PEM case: certificates, then the key after the first "-----BEGIN" that names a key.
  std::size_t key = text.find("PRIVATE KEY-----");
  std::size_t split = key == std::string_view::npos ? text.size() : text.rfind("-----BEGIN", key);
  if (split == std::string_view::npos) split = text.size();
  platform::Error error;
  if (!platform::ClientIdentity::fromPEM(text.substr(0, split), text.substr(split), "pass", &error) &&
      error.localizedDescription.empty())
    std::abort();
  platform::Error p12Error;
  if (!platform::ClientIdentity::fromPKCS12(platform::Data(bytes, bytes + size), "pass", &p12Error) &&
      p12Error.localizedDescription.empty())
    std::abort();
  return 0;
}
