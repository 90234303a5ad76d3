// The application's start up to the home screen idle, against the bare HTTP round trips of the
// same server answers on loopback (libcurl fetching what the start fetches), side by side; prints
// both times and the ratio client / round trips. The start opens the three stores of a warm home
// (an earlier start made them), runs the upgrade check, loads the skin, builds the window with
// the home screen, and looks up the current area (one server call, as the device has a fix).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/home/ios_kavroAppDelegate.h"
#include "kit/core/AppUtil.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/location/LocationManager.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "tests/support/ApiFixtureServer.h"

namespace {

namespace fs = std::filesystem;

constexpr int Starts = 50;
// The start's own calls: the current area.
const char* const StartCalls[] = {"/api/util/get_location.php?longitude=121.5&latitude=31.2"};

std::map<std::string, double> seconds;  // per start, by benchmark

kavro::test::ApiFixtureServer& server() {
  static auto* s = new kavro::test::ApiFixtureServer();
  return *s;
}

std::string home() {
  static std::string path = [] {
    auto dir = fs::temp_directory_path() / ("kavro-shell-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir.string();
  }();
  return path;
}

bool homeIdle(const kavro::ios_kavroAppDelegate& delegate) {
  auto window = delegate.window();
  if (!window || kavro::AppUtil::isNetworkIndicatorVisible()) return false;
  auto nav = std::dynamic_pointer_cast<platform::NavigationController>(window->rootViewController());
  return nav && nav->topViewController() && nav->topViewController()->isViewVisible();
}

// One start; false when it did not reach the home screen idle with its calls answered.
bool startOnce() {
  const std::size_t calls = server().requestCount() + std::size(StartCalls);
  auto delegate = std::make_shared<kavro::ios_kavroAppDelegate>();
  auto& app = platform::Application::sharedApplication();
  app.setDelegate(delegate);
  if (!app.launch()) return false;
  bool idle = platform::RunLoop::main().runUntil(
      [&] { return server().requestCount() >= calls && homeIdle(*delegate); }, 30);
  kavro::ios_kavroAppDelegate::destroySharedServices();
  return idle;
}

void BM_StartToHomeIdle(benchmark::State& state) {
  platform::Environment::setHomeRoot(home());
  // The repository's resources, beside its fixtures.
  platform::Environment::setResourceRoot(
      (fs::path(kavro::test::ApiFixtureServer::defaultFixtureRoot()) / ".." / ".." / ".." / "resources")
          .string());
  platform::Environment::setApiHostUrl(server().hostUrl());
  platform::LocationDevice::setCurrentLocation({31.2, 121.5, 10, platform::Clock::real()->now()});
  if (!startOnce()) {  // the warm home
    state.SkipWithError("the start did not reach the home screen");
    return;
  }
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Starts; ++i) {
      if (!startOnce()) {
        state.SkipWithError("the start did not reach the home screen");
        return;
      }
    }
    seconds["start"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / Starts;
  }
  state.counters["ms/start"] = seconds["start"] * 1000;
  platform::HTTPReadStream::closeIdleConnections();
}

std::size_t discard(char*, std::size_t size, std::size_t n, void*) { return size * n; }

void BM_BareRoundTrips(benchmark::State& state) {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 50L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);  // each start opens its own connection
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Starts; ++i) {
      for (const char* call : StartCalls) {
        std::string url = server().hostUrl() + call;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        long status = 0;
        if (curl_easy_perform(curl) != CURLE_OK ||
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
          state.SkipWithError("a round trip failed");
          curl_easy_cleanup(curl);
          return;
        }
      }
    }
    seconds["round trips"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / Starts;
  }
  state.counters["ms/start"] = seconds["round trips"] * 1000;
  curl_easy_cleanup(curl);
}

BENCHMARK(BM_StartToHomeIdle)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRoundTrips)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (seconds.count("start") && seconds.count("round trips")) {
    std::printf(
        "start to the home screen idle %.3f ms, bare round trips of its calls %.3f ms, ratio %.1f (aim < "
        "2)\n",
        seconds["start"] * 1000, seconds["round trips"] * 1000, seconds["start"] / seconds["round trips"]);
  }
  curl_global_cleanup();
  std::error_code ec;
  fs::remove_all(home(), ec);
  return 0;
}
