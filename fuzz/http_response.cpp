// Response bytes come from any server: the header parser and the body framing must take any bytes
// to a message, a body or a clear failure, and never take more than they were given.
#include <cstdint>
#include <cstdlib>

#include "platform/net/HTTPBodyDecoder.h"
#include "platform/net/HTTPMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the request method and how the bytes are cut into reads.
  const char* methods[] = {"GET", "HEAD", "POST", "CONNECT"};
  const char* method = methods[bytes[0] & 3];
  std::size_t step = 1 + (bytes[0] >> 2) * 7;
  ++bytes, --size;

  auto response = platform::HTTPMessage::emptyResponse();
  std::size_t at = 0;
  while (at < size && !response.isHeaderComplete()) {
    std::size_t n = std::min(step, size - at);
    auto taken = response.appendHeaderBytes(bytes + at, n);
    if (!taken) {
      if (response.parseError().empty()) std::abort();
      return 0;
    }
    if (*taken > n) std::abort();
    at += *taken;
    if (*taken < n && !response.isHeaderComplete()) std::abort();
  }
  if (!response.isHeaderComplete()) return 0;
  response.serializedHeader();

  auto decoder = platform::HTTPBodyDecoder::forResponse(response, method);
  platform::Data body;
  while (at < size && !decoder.isComplete() && !decoder.hasFailed()) {
    std::size_t n = std::min(step, size - at);
    std::size_t taken = decoder.decode(bytes + at, n, body);
    if (taken > n) std::abort();
    at += taken;
    if (taken < n && !decoder.isComplete() && !decoder.hasFailed()) std::abort();
  }
  if (!decoder.isComplete() && !decoder.hasFailed()) decoder.peerClosed();
  if (!decoder.isComplete() && !decoder.hasFailed()) std::abort();
  if (decoder.hasFailed() && decoder.errorMessage().empty()) std::abort();
  if (decoder.bodyBytes() != body.size()) std::abort();
  if (auto length = decoder.expectedLength(); length && decoder.isComplete() && *length != body.size())
    std::abort();
  return 0;
}
