#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/HostResolver.h"
#include "platform/net/NetError.h"
#include "platform/net/URLConnection.h"

namespace nettest {

inline platform::URL url(const std::string& s) { return *platform::URL::parse(s); }

// What one stream delivered, event by event.
struct StreamResult {
  std::string body;
  std::optional<platform::Error> error;
  std::shared_ptr<const platform::HTTPMessage> header;
  int bytesEvents = 0;
  int endEvents = 0;
  int errorEvents = 0;
  bool done() const { return endEvents + errorEvents > 0; }
};

// Opens stream on loop and runs the loop until it ends or fails.
inline StreamResult runStream(platform::RunLoop& loop,
                              const std::shared_ptr<platform::HTTPReadStream>& stream, double timeout = 20) {
  auto result = std::make_shared<StreamResult>();
  using S = platform::HTTPReadStream;
  stream->setClient(S::HasBytesAvailable | S::EndEncountered | S::ErrorOccurred, [result](S& s, S::Event e) {
    if (e == S::HasBytesAvailable) {
      ++result->bytesEvents;
      if (!result->header) result->header = s.responseHeader();
      std::uint8_t buf[4096];
      while (std::size_t n = s.read(buf, sizeof buf)) result->body.append(reinterpret_cast<char*>(buf), n);
    } else if (e == S::EndEncountered) {
      ++result->endEvents;
      if (!result->header) result->header = s.responseHeader();
    } else {
      ++result->errorEvents;
      result->error = s.error();
    }
  });
  if (!stream->isScheduled()) stream->schedule(loop);
  if (stream->status() == S::Status::NotOpen && !stream->open()) {
    result->error = stream->error();
    return *result;
  }
  loop.runUntil([&] { return result->done(); }, timeout);
  return *result;
}

inline std::shared_ptr<platform::HTTPReadStream> get(const std::string& u, const std::string& identity = "") {
  auto s = platform::HTTPReadStream::create(platform::HTTPMessage::request("GET", url(u)));
  s->setConnectionIdentity(identity);
  return s;
}

// Answers names from a table (anything else: not found), on the loop, never synchronously.
class FakeResolver : public platform::HostResolver {
 public:
  std::map<std::string, std::string> table;  // name -> IP literal
  int lookups = 0;
  void start(std::shared_ptr<platform::HostLookup> lookup) override {
    ++lookups;
    auto it = table.find(lookup->host());
    if (it == table.end()) {
      lookup->complete(
          {}, platform::makeURLError(platform::URLErrorCannotFindHost, "no such host: " + lookup->host()));
      return;
    }
    lookup->complete({*platform::SocketAddress::numeric(it->second, lookup->port())}, std::nullopt);
  }
};

// Installs a fake resolver for one test.
struct ScopedResolver {
  std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
  ScopedResolver() { platform::HostResolver::setShared(resolver); }
  ~ScopedResolver() { platform::HostResolver::setShared(nullptr); }
};

// Records a URL connection's callbacks.
class Recorder : public platform::URLConnectionDelegate {
 public:
  std::vector<std::string> calls;
  std::optional<platform::HTTPURLResponse> response;
  std::string body;
  std::optional<platform::Error> error;
  std::function<void(platform::URLConnection&, const std::string&)> hook;

  void didReceiveResponse(platform::URLConnection& c, const platform::HTTPURLResponse& r) override {
    calls.push_back("response");
    response = r;
    if (hook) hook(c, "response");
  }
  void didReceiveData(platform::URLConnection& c, const platform::Data& d) override {
    if (calls.empty() || calls.back() != "data") calls.push_back("data");
    body.append(d.begin(), d.end());
    if (hook) hook(c, "data");
  }
  void didFinishLoading(platform::URLConnection& c) override {
    calls.push_back("finish");
    if (hook) hook(c, "finish");
  }
  void didFailWithError(platform::URLConnection& c, const platform::Error& e) override {
    calls.push_back("fail");
    error = e;
    if (hook) hook(c, "fail");
  }
  bool done() const { return !calls.empty() && (calls.back() == "finish" || calls.back() == "fail"); }
};

}  // namespace nettest
