// Compressed answers as the request engine takes them: the decompressor in the pieces the network
// gives, then a whole answer through a request to a loopback server. Any bytes inflate to at most
// the limit or fail with an error; never more, and a request always ends.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/SystemProxySettings.h"
#include "demo/LoopbackHttpServer.h"

namespace {

constexpr std::uint64_t limit = 1 << 20;

void throughTheDecompressor(const std::uint8_t* bytes, std::size_t size, std::size_t step) {
  auto decompressor = kavro::NetDataDecompressor::decompressor();
  if (!decompressor) return;
  decompressor->setOutputLimit(limit);
  std::uint64_t total = 0;
  for (std::size_t at = 0; at < size;) {
    std::size_t n = std::min(step, size - at);
    platform::Error error;
    auto piece = decompressor->uncompressBytes(bytes + at, n, &error);
    at += n;
    if (!piece) {
      if (error.localizedDescription.empty()) std::abort();
      break;
    }
    total += piece->size();
    if (total > limit) std::abort();
  }
}

kavro::test::LoopbackHttpServer& server() {
  static auto* s = [] {
    auto home = std::filesystem::temp_directory_path() / ("kavro-fuzz-gzip-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    platform::Environment::setHomeRoot(home.string());
    platform::SystemProxySettings::setOverride(platform::SystemProxySettings{});
    return new kavro::test::LoopbackHttpServer();
  }();
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  std::size_t step = 1 + bytes[0] * 13;
  bool waits = bytes[0] & 1;
  ++bytes, --size;
  throughTheDecompressor(bytes, size, step);

  std::string body(reinterpret_cast<const char*>(bytes), size);
  server().enqueue(kavro::test::ScriptedResponse::ok(body, {{"Content-Encoding", "gzip"}}));
  auto request = kavro::NetHTTPRequest::requestWithURL(*platform::URL::parse(server().url("/answer")));
  request->setMaxResponseSize(limit);
  request->setShouldWaitToInflateCompressedResponses(waits);
  request->setTimeOutSeconds(10);
  request->startSynchronous();
  if (auto error = request->error()) {
    if (error->localizedDescription.empty()) std::abort();
  } else if (auto data = request->responseData(); data && data->size() > limit) {
    std::abort();
  }
  return 0;
}
