// The route socket's address dump is read straight from its buffer: no buffer reads outside itself,
// every address kept has a family the reader knows, and the count stays within the limit.
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kit/http/LinuxReachabilityProvider.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using Provider = kavro::LinuxReachabilityProvider;
  // Aligned as the kernel's buffer is, and no larger than the input, so that the sanitizer sees any
  // read past its end.
  std::vector<std::uint32_t> aligned((size + 3) / 4);
  if (size) std::memcpy(aligned.data(), bytes, size);
  std::vector<Provider::DumpedAddress> out;
  Provider::readAddressDump(aligned.data(), size, 1, out);
  if (out.size() > Provider::MaxAddresses) std::abort();
  for (const auto& d : out) {
    if (d.address.family != AF_INET && d.address.family != AF_INET6) std::abort();
    if (d.address.name.size() > 16) std::abort();
  }
  return 0;
}
