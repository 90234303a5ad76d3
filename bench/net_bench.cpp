// Kept-alive GETs of a 2 KB body from the loopback server, 10,000 a side to an iteration: through
// URLConnection, and through libcurl doing the same, taking turns. Prints the best of five
// repetitions in requests per second and the ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/Ratio.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/URLConnection.h"
#include "demo/LoopbackHttpServer.h"

namespace {

constexpr int Requests = 10000;
constexpr int Batch = 500;
const std::string Body(2048, 'k');

kavro::test::LoopbackHttpServer& server() {
  static auto* s = [] {
    auto* srv = new kavro::test::LoopbackHttpServer();
    srv->setHandler(
        [](const kavro::test::RecordedRequest&) { return kavro::test::ScriptedResponse::ok(Body); });
    return srv;
  }();
  return *s;
}

class Collector : public platform::URLConnectionDelegate {
 public:
  std::size_t bytes = 0;
  bool done = false;
  bool failed = false;
  void didReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse&) override {}
  void didReceiveData(platform::URLConnection&, const platform::Data& d) override { bytes += d.size(); }
  void didFinishLoading(platform::URLConnection&) override { done = true; }
  void didFailWithError(platform::URLConnection&, const platform::Error&) override { done = failed = true; }
};

// Our side: one request through URLConnection on its own loop.
class Ours {
 public:
  Ours() : loop_(platform::RunLoop::create()), url_(*platform::URL::parse(server().url("/bench"))) {}
  ~Ours() { platform::HTTPReadStream::closeIdleConnections(); }
  bool get() {
    auto collector = std::make_shared<Collector>();
    platform::URLRequest request(url_);
    request.setValue("kavro-bench", "User-Agent");
    auto connection = platform::URLConnection::create(request, collector, *loop_);
    while (!collector->done) loop_->runOnce(1.0);
    return !collector->failed && collector->bytes == Body.size();
  }

 private:
  std::shared_ptr<platform::RunLoop> loop_;
  platform::URL url_;
};

std::size_t discard(char*, std::size_t size, std::size_t n, void* total) {
  *static_cast<std::size_t*>(total) += size * n;
  return size * n;
}

// The peer: the same request through one libcurl handle, which keeps its connection alive.
class Peer {
 public:
  Peer() : curl_(curl_easy_init()), url_(server().url("/bench")) {
    curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, "kavro-bench");
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &total_);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, 50L);
  }
  ~Peer() { curl_easy_cleanup(curl_); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  bool get() {
    total_ = 0;
    return curl_easy_perform(curl_) == CURLE_OK && total_ == Body.size();
  }

 private:
  CURL* curl_;
  std::string url_;
  std::size_t total_ = 0;
};

// The two sides take turns in batches of Batch requests, so that both meet the same load of the
// shared machine; each side's rate is its requests over its own time.
void BM_KeptAliveGets(benchmark::State& state) {
  Ours ours;
  Peer peer;
  if (!ours.get() || !peer.get()) {
    state.SkipWithError("the first requests failed");
    return;
  }
  double oursSeconds = 0, peerSeconds = 0;
  for (auto _ : state) {
    for (int done = 0; done < Requests; done += Batch) {
      auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < Batch; ++i)
        if (!ours.get()) return state.SkipWithError("a request failed");
      auto middle = std::chrono::steady_clock::now();
      for (int i = 0; i < Batch; ++i)
        if (!peer.get()) return state.SkipWithError("a request of the peer failed");
      auto end = std::chrono::steady_clock::now();
      oursSeconds += std::chrono::duration<double>(middle - start).count();
      peerSeconds += std::chrono::duration<double>(end - middle).count();
    }
  }
  const double requests = static_cast<double>(state.iterations()) * Requests;
  state.counters["ours req/s"] = requests / oursSeconds;
  state.counters["peer req/s"] = requests / peerSeconds;
}

BENCHMARK(BM_KeptAliveGets)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5);
  // From real time: both sides mostly wait on the socket.
  const double ours = reporter.counter("BM_KeptAliveGets", "ours req/s");
  const double peer = reporter.counter("BM_KeptAliveGets", "peer req/s");
  if (ours > 0 && peer > 0) {
    std::printf("%d kept-alive GETs of 2 KB: URLConnection %.0f req/s, libcurl %.0f req/s, ratio %.2f\n",
                Requests, ours, peer, ours / peer);
    kavro::bench::reportRatio("HTTP kept-alive GET 2 KB", kavro::bench::figure(ours, "req/s"),
                              "libcurl " + kavro::bench::figure(peer, "req/s"), ours / peer, 0.8);
  }
  curl_global_cleanup();
  return 0;
}
