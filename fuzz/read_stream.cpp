// The application's own HTTP path as a whole: a URL connection reading an answer of any bytes from
// a loopback server (the connection pool, framing and the delegate calls). Every request
// ends in exactly one finish or failure, after at most one response, with no data before it.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "demo/LoopbackHttpServer.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/URLConnection.h"

namespace {

struct Ends : platform::URLConnectionDelegate {
  int responses = 0;
  int ends = 0;
  std::size_t bytes = 0;
  void didReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse&) override {
    if (++responses > 1 || ends) std::abort();
  }
  void didReceiveData(platform::URLConnection&, const platform::Data& data) override {
    if (!responses || ends) std::abort();
    bytes += data.size();
  }
  void didFinishLoading(platform::URLConnection&) override {
    if (!responses) std::abort();
    ++ends;
  }
  void didFailWithError(platform::URLConnection&, const platform::Error& error) override {
    if (error.localizedDescription.empty()) std::abort();
    ++ends;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static auto* server = new kavro::test::LoopbackHttpServer();
  static auto loop = platform::RunLoop::create();
  if (size == 0 || size > 64 * 1024) return 0;
  // The first byte picks the method.
  kavro::test::ScriptedResponse answer;
  std::string raw(reinterpret_cast<const char*>(bytes + 1), size - 1);
  // No redirect: it could lead off this machine.
  for (std::size_t at = 0; at + 8 <= raw.size(); ++at)
    if (std::equal(raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at) + 8, "location",
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
      raw[at] = 'x';
  answer.raw = std::move(raw);
  // The server closes after the bytes, so an answer without framing ends; a framed one may leave
  // the client a pooled connection that the next run finds closed.
  answer.keepAlive = false;
  // Every request of this run, on a connection kept from an earlier run too, gets these bytes.
  server->setHandler([answer](const kavro::test::RecordedRequest&) { return answer; });
  platform::URLRequest request(*platform::URL::parse(server->url("/read")));
  const char* methods[] = {"GET", "HEAD", "POST", "PUT"};
  request.HTTPMethod = methods[bytes[0] & 3];
  if (request.HTTPMethod == "POST" || request.HTTPMethod == "PUT")
    request.HTTPBody = platform::dataFromString("a=1");
  request.timeoutInterval = 10;
  auto ends = std::make_shared<Ends>();
  auto connection = platform::URLConnection::create(request, ends, *loop);
  if (!loop->runUntil([&] { return ends->ends > 0; }, 60)) std::abort();
  loop->runFor(0);
  if (ends->ends != 1) std::abort();
  if (bytes[0] & 4) platform::HTTPReadStream::closeIdleConnections();
  return 0;
}
