// 10,000 kept-alive GETs of a 2 KB body from the loopback server: through URLConnection, and
// through libcurl doing the same, side by side; prints requests per second and the ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

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
    srv->setHandler([](const kavro::test::RecordedRequest&) { return kavro::test::ScriptedResponse::ok(Body); });
    return srv;
  }();
  return *s;
}

std::map<std::string, double> rates;  // requests per second by benchmark

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
    auto start = std::chrono::steady_clock::now();
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
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rates["URLConnection"] = Requests / seconds;
  }
  state.counters["req/s"] = rates["URLConnection"];
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
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Requests; ++i) {
      total = 0;
      if (curl_easy_perform(curl) != CURLE_OK || total != Body.size()) {
        state.SkipWithError("a request failed");
        curl_easy_cleanup(curl);
        return;
      }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rates["libcurl"] = Requests / seconds;
  }
  state.counters["req/s"] = rates["libcurl"];
  curl_easy_cleanup(curl);
}

BENCHMARK(BM_URLConnection)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_libcurl)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (rates.count("URLConnection") && rates.count("libcurl")) {
    std::printf("%d kept-alive GETs of 2 KB: URLConnection %.0f req/s, libcurl %.0f req/s, ratio %.2f (goal >= 0.8)\n",
                Requests, rates["URLConnection"], rates["libcurl"], rates["URLConnection"] / rates["libcurl"]);
  }
  curl_global_cleanup();
  return 0;
}
