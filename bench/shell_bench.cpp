// Two roads of the application against the bare HTTP round trips of the same server answers on
// loopback (libcurl fetching what the client fetched), side by side; prints the times and the
// ratios client / round trips.
// - The start up to the home screen idle: it opens the three stores of a warm home (an earlier
//   start made them), runs the upgrade check, loads the skin, builds the window with the home
//   screen, and looks up the current area (one server call, as the device has a fix).
// - A tap on the search form's search button up to the first result row laid out: the result
//   screen is pushed, asks the server for the first page and lays out its rows.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/home/ios_kavroAppDelegate.h"
#include "bench/Ratio.h"
#include "kit/core/AppUtil.h"
#include "kit/ui/AppControllers.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/location/LocationManager.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/UIDriver.h"
#include "tests/support/ApiFixtureServer.h"

namespace {

namespace fs = std::filesystem;

constexpr int Starts = 50;
constexpr int Searches = 50;
// The start's own calls: the current area.
const char* const StartCalls[] = {"/api/util/get_location.php?longitude=121.5&latitude=31.2"};
// The calls one search made, as the server saw them (filled by the search benchmark).
std::vector<std::string> searchCalls;

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

// One start; false when it did not reach the home screen idle with its calls answered. Adds the
// time from the launch to the home screen idle to *elapsed (the teardown for the next start is
// not the start's).
bool startOnce(double* elapsed = nullptr) {
  const std::size_t calls = server().requestCount() + std::size(StartCalls);
  auto delegate = std::make_shared<kavro::ios_kavroAppDelegate>();
  auto& app = platform::Application::sharedApplication();
  app.setDelegate(delegate);
  auto start = std::chrono::steady_clock::now();
  if (!app.launch()) return false;
  bool idle = platform::RunLoop::main().runUntil(
      [&] { return server().requestCount() >= calls && homeIdle(*delegate); }, 30);
  if (elapsed) *elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  kavro::ios_kavroAppDelegate::destroySharedServices();
  return idle;
}

void setUpClient() {
  platform::Environment::setHomeRoot(home());
  // The repository's resources, beside its fixtures.
  platform::Environment::setResourceRoot(
      (fs::path(kavro::test::ApiFixtureServer::defaultFixtureRoot()) / ".." / ".." / ".." / "resources")
          .string());
  platform::Environment::setApiHostUrl(server().hostUrl());
  platform::LocationDevice::setCurrentLocation({31.2, 121.5, 10, platform::Clock::real()->now()});
}

void BM_StartToHomeIdle(benchmark::State& state) {
  setUpClient();
  if (!startOnce()) {  // the warm home
    state.SkipWithError("the start did not reach the home screen");
    return;
  }
  for (auto _ : state) {
    double total = 0;
    for (int i = 0; i < Starts; ++i) {
      if (!startOnce(&total)) {
        state.SkipWithError("the start did not reach the home screen");
        return;
      }
    }
    seconds["start"] = total / Starts;
  }
  state.counters["ms/start"] = seconds["start"] * 1000;
  platform::HTTPReadStream::closeIdleConnections();
}

std::shared_ptr<platform::TextField> firstTextField(const std::shared_ptr<platform::View>& v) {
  if (auto field = std::dynamic_pointer_cast<platform::TextField>(v)) return field;
  for (const auto& sub : v->subviews()) {
    if (auto field = firstTextField(sub)) return field;
  }
  return nullptr;
}

// The result screen on top, its first data row laid out (not the loading row).
bool firstRowLaidOut(const platform::NavigationController& nav) {
  auto top = nav.topViewController();
  if (!top || !top->isViewLoaded() || top->className() != "JobSearchResultController") return false;
  platform::Application::layoutWindows();
  for (const auto& sub : top->view()->subviews()) {
    auto* table = dynamic_cast<platform::TableView*>(sub.get());
    if (!table) continue;
    for (const auto& cell : table->visibleCells()) {
      if (cell->className() == "JobListSearchResultCell") return true;
    }
  }
  return false;
}

void BM_SearchTapToFirstRow(benchmark::State& state) {
  setUpClient();
  auto delegate = std::make_shared<kavro::ios_kavroAppDelegate>();
  auto& app = platform::Application::sharedApplication();
  app.setDelegate(delegate);
  auto& loop = platform::RunLoop::main();
  auto fail = [&](const char* why) {
    state.SkipWithError(why);
    kavro::ios_kavroAppDelegate::destroySharedServices();
  };
  if (!app.launch() || !loop.runUntil([&] { return homeIdle(*delegate); }, 30)) return fail("no home screen");
  // The form, opened from the home screen, with a keyword typed.
  using platform::UIDriver;
  if (!UIDriver::tap("JobSearchController") ||
      !loop.runUntil([] { return UIDriver::findView("搜索") != nullptr; }, 30))
    return fail("no search form");
  auto form = kavro::AppControllers::mostRecentController();
  auto nav = form ? form->navigationController() : nullptr;
  if (!nav) return fail("the form has no navigation");
  loop.runFor(0.5);
  auto field = firstTextField(form->view());
  if (!field || !UIDriver::tap(*field) || !UIDriver::type("java")) return fail("cannot type the keyword");
  // The search key of the keyboard starts the search; the field takes the focus again before the
  // clock starts.
  std::chrono::steady_clock::time_point tapped;
  auto search = [&] {
    if (!field->isFirstResponder() && !UIDriver::tap(*field)) return false;
    loop.runFor(0.1);
    tapped = std::chrono::steady_clock::now();
    return UIDriver::pressReturn() && loop.runUntil([&] { return firstRowLaidOut(*nav); }, 30);
  };
  // One search away from the clock: the first result screen shows its guide once, which a tap
  // takes away.
  auto backToForm = [&] {
    nav->popViewControllerAnimated(false);
    return loop.runUntil([&] { return nav->topViewController() == form && form->isViewVisible(); }, 30);
  };
  if (!search()) return fail("no result row");
  loop.runFor(1);
  UIDriver::tapAt({160, 240});
  loop.runFor(1);
  if (!backToForm()) return fail("not back at the form");
  for (auto _ : state) {
    double total = 0;
    for (int i = 0; i < Searches; ++i) {
      std::size_t before = server().requestCount();
      if (!search()) return fail("no result row");
      total += std::chrono::duration<double>(std::chrono::steady_clock::now() - tapped).count();
      if (i == 0) {
        auto requests = server().requests();
        for (std::size_t r = before; r < requests.size(); ++r) searchCalls.push_back(requests[r].target);
      }
      if (!backToForm()) return fail("not back at the form");
    }
    seconds["search"] = total / Searches;
  }
  state.counters["ms/search"] = seconds["search"] * 1000;
  kavro::ios_kavroAppDelegate::destroySharedServices();
  platform::HTTPReadStream::closeIdleConnections();
}

std::size_t discard(char*, std::size_t size, std::size_t n, void*) { return size * n; }

// The bare round trips of calls, each on its own connection, per round; false when one failed.
bool roundTrips(const std::vector<std::string>& calls, int rounds, double& perRound) {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 50L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);  // each round opens its own connection
  auto start = std::chrono::steady_clock::now();
  bool ok = true;
  for (int i = 0; i < rounds && ok; ++i) {
    for (const auto& call : calls) {
      std::string url = server().hostUrl() + call;
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      long status = 0;
      ok = curl_easy_perform(curl) == CURLE_OK &&
           curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
      if (!ok) break;
    }
  }
  perRound = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
  curl_easy_cleanup(curl);
  return ok;
}

void BM_BareRoundTrips(benchmark::State& state) {
  for (auto _ : state) {
    if (!roundTrips({std::begin(StartCalls), std::end(StartCalls)}, Starts, seconds["round trips"]))
      return state.SkipWithError("a round trip failed");
  }
  state.counters["ms/start"] = seconds["round trips"] * 1000;
}

void BM_BareSearchRoundTrips(benchmark::State& state) {
  if (searchCalls.empty()) return state.SkipWithError("the search benchmark recorded no calls");
  for (auto _ : state) {
    if (!roundTrips(searchCalls, Searches, seconds["search round trips"]))
      return state.SkipWithError("a round trip failed");
  }
  state.counters["ms/search"] = seconds["search round trips"] * 1000;
  state.counters["calls"] = static_cast<double>(searchCalls.size());
}

BENCHMARK(BM_StartToHomeIdle)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRoundTrips)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchTapToFirstRow)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSearchRoundTrips)->Iterations(1)->Unit(benchmark::kMillisecond);

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
  if (seconds.count("search") && seconds.count("search round trips")) {
    std::printf(
        "tap on search to the first result row laid out %.3f ms, bare round trips of its %zu calls %.3f ms, "
        "ratio %.1f\n",
        seconds["search"] * 1000, searchCalls.size(), seconds["search round trips"] * 1000,
        seconds["search"] / seconds["search round trips"]);
  }
  // For the summary, higher is better: round trip / client time, so the aim of "the client adds less
  // than 2x the round trip" is a goal of 0.5.
  using kavro::bench::figure;
  if (seconds.count("start") && seconds.count("round trips")) {
    kavro::bench::reportRatio("start to home screen idle", figure(seconds["start"] * 1000, "ms"),
                              "round trip " + figure(seconds["round trips"] * 1000, "ms"),
                              seconds["round trips"] / seconds["start"], 0.5);
  }
  if (seconds.count("search") && seconds.count("search round trips")) {
    kavro::bench::reportRatio("tap on search to first result row", figure(seconds["search"] * 1000, "ms"),
                              "round trips " + figure(seconds["search round trips"] * 1000, "ms"),
                              seconds["search round trips"] / seconds["search"], 0.5);
  }
  curl_global_cleanup();
  std::error_code ec;
  fs::remove_all(home(), ec);
  return 0;
}
