// What every benchmark program shares: best-of figures across repetitions, and the lines that
// ./bench.sh gathers into its summary table (see bench/README.md).
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::bench {

// One row of the summary: the hot path, our figure and the peer's as text (units included), the
// ratio ours / peer (higher is better) and the goal. ./bench.sh keeps the lines starting "RATIO|".
// A row shown for what it tells, a designed worst case, has no goal (printed "-").
inline void reportRatio(std::string_view hotPath, std::string_view ours, std::string_view peer, double ratio,
                        std::optional<double> goal) {
  char goalText[32] = "-";
  if (goal) std::snprintf(goalText, sizeof goalText, "%.2f", *goal);
  std::printf("RATIO|%.*s|%.*s|%.*s|%.2f|%s\n", static_cast<int>(hotPath.size()), hotPath.data(),
              static_cast<int>(ours.size()), ours.data(), static_cast<int>(peer.size()), peer.data(), ratio,
              goalText);
  std::fflush(stdout);
}

// A number as short text with its unit: "812.4 MB/s", "3.21 ms".
inline std::string figure(double value, std::string_view unit) {
  char buf[64];
  std::snprintf(buf, sizeof buf,
                value >= 100  ? "%.0f %.*s"
                : value >= 10 ? "%.1f %.*s"
                              : "%.2f %.*s",
                value, static_cast<int>(unit.size()), unit.data());
  return buf;
}

// Prints as usual and keeps, per benchmark, the best of its repetitions: the shortest real time
// per iteration (ns) and the highest value of every counter (bytes_per_second, items_per_second
// and user counters). Other programs share the machine, so the best run is the one least disturbed.
class BestOfReporter : public ::benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations <= 0 || run.error_occurred) continue;
      // Kept under the name with its arguments only ("BM_Decode/1024"), whatever the options.
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      const double ns = run.GetAdjustedRealTime() * multiplier(run.time_unit);
      auto [t, fresh] = timeNs_.try_emplace(name, ns);
      if (!fresh) t->second = std::min(t->second, ns);
      for (const auto& [counter, value] : run.counters) {
        double& best = counters_[name][counter];
        best = std::max(best, value.value);
      }
    }
  }

  bool has(const std::string& name) const { return timeNs_.count(name) != 0; }
  // Best real time per iteration in nanoseconds; 0 when the benchmark did not run.
  double timeNs(const std::string& name) const {
    auto it = timeNs_.find(name);
    return it == timeNs_.end() ? 0 : it->second;
  }
  // Best value of a counter; 0 when missing.
  double counter(const std::string& name, const std::string& counterName) const {
    auto it = counters_.find(name);
    if (it == counters_.end()) return 0;
    auto c = it->second.find(counterName);
    return c == it->second.end() ? 0 : c->second;
  }
  // Peer time / our time: the speed ratio from times, 0 when either is missing.
  double timeRatio(const std::string& ours, const std::string& peer) const {
    const double o = timeNs(ours), p = timeNs(peer);
    return o > 0 && p > 0 ? p / o : 0;
  }

 private:
  static double multiplier(::benchmark::TimeUnit unit) {
    switch (unit) {
      case ::benchmark::kSecond:
        return 1e9;
      case ::benchmark::kMillisecond:
        return 1e6;
      case ::benchmark::kMicrosecond:
        return 1e3;
      default:
        return 1;
    }
  }
  std::map<std::string, double> timeNs_;
  std::map<std::string, std::map<std::string, double>> counters_;
};

// How the repetitions of the registered benchmarks follow each other.
enum class Order {
  // Each benchmark's repetitions back to back.
  Registered,
  // All repetitions shuffled, so that ours and each peer are timed across the same spells of a busy
  // machine rather than one after the other.
  Shuffled,
};

// Runs the registered benchmarks with the reporter; at least `repetitions` repetitions and the
// given order unless the command line names its own.
inline void runBestOf(int& argc, char** argv, BestOfReporter& reporter, int repetitions,
                      Order order = Order::Registered) {
  std::vector<char*> args(argv, argv + argc);
  auto given = [&](std::string_view flag) {
    return std::any_of(argv + 1, argv + argc,
                       [&](const char* a) { return std::string_view(a).rfind(flag, 0) == 0; });
  };
  std::string reps = "--benchmark_repetitions=" + std::to_string(repetitions);
  if (!given("--benchmark_repetitions")) args.push_back(reps.data());
  std::string shuffled = "--benchmark_enable_random_interleaving=true";
  if (order == Order::Shuffled && !given("--benchmark_enable_random_interleaving"))
    args.push_back(shuffled.data());
  int n = static_cast<int>(args.size());
  args.push_back(nullptr);
  ::benchmark::Initialize(&n, args.data());
  ::benchmark::RunSpecifiedBenchmarks(&reporter);
  ::benchmark::Shutdown();
}

}  // namespace kavro::bench
