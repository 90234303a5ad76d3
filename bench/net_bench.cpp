// Kept-alive GETs of a 2 KB body from the loopback server, 10,000 to an iteration: through
// URLConnection, and through libcurl doing the same, side by side. Each side runs for at least 2 s
// per repetition; prints the best of five repetitions in requests per second and the ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/Ratio.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/URLConnection.h"
#include "tests/support/LoopbackHttpServer.h"

namespace {

constexpr int Requests = 10000;
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

void BM_URLConnection(benchmark::State& state) {
  auto loop = platform::RunLoop::create();
  platform::URL url = *platform::URL::parse(server().url("/bench"));
  for (auto _ : state) {
    for (int i = 0; i < Requests; ++i) {
      auto collector = std::make_shared<Collector>();
      platform::URLRequest request(url);
      request.setValue("kavro-bench", "User-Agent");
      auto connection = platform::URLConnection::create(request, collector, *loop);
      while (!collector->done) loop->runOnce(1.0);
      if (collector->failed || collector->bytes != Body.size()) {
        state.SkipWithError("a request failed");
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * Requests);
  platform::HTTPReadStream::closeIdleConnections();
}

std::size_t discard(char*, std::size_t size, std::size_t n, void* total) {
  *static_cast<std::size_t*>(total) += size * n;
  return size * n;
}

void BM_libcurl(benchmark::State& state) {
  CURL* curl = curl_easy_init();
  std::string url = server().url("/bench");
  std::size_t total = 0;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "kavro-bench");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &total);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 50L);
  for (auto _ : state) {
    for (int i = 0; i < Requests; ++i) {
      total = 0;
      if (curl_easy_perform(curl) != CURLE_OK || total != Body.size()) {
        state.SkipWithError("a request failed");
        curl_easy_cleanup(curl);
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * Requests);
  curl_easy_cleanup(curl);
}

BENCHMARK(BM_URLConnection)->MinTime(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_libcurl)->MinTime(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5);
  // From real time: both sides mostly wait on the socket.
  auto rate = [&](const char* name) {
    const double ns = reporter.timeNs(name);
    return ns > 0 ? Requests / (ns / 1e9) : 0.0;
  };
  const double ours = rate("BM_URLConnection");
  const double peer = rate("BM_libcurl");
  if (ours > 0 && peer > 0) {
    std::printf("%d kept-alive GETs of 2 KB: URLConnection %.0f req/s, libcurl %.0f req/s, ratio %.2f\n",
                Requests, ours, peer, ours / peer);
    kavro::bench::reportRatio("HTTP kept-alive GET 2 KB", kavro::bench::figure(ours, "req/s"),
                              "libcurl " + kavro::bench::figure(peer, "req/s"), ours / peer, 0.8);
  }
  curl_global_cleanup();
  return 0;
}
