// What every benchmark program shares: best-of figures across repetitions, and the lines that
// ./bench.sh gathers into its summary table (see bench/README.md).
#pragma once
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::bench {

// The machine's load as the row is reported: the one-minute load average over the processors
// ("3.1/8"), so that a ratio measured on a busy machine shows as such.
inline std::string machineLoad() {
  double load = 0;
  if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f/%ld", load, ::sysconf(_SC_NPROCESSORS_ONLN));
  return text;
}

// One row of the summary: the hot path, our figure and the peer's as text (units included), the
// ratio ours / peer (higher is better), the goal and the machine's load. ./bench.sh keeps the lines
// starting "RATIO|". A row shown for what it tells, a designed worst case, has no goal (printed "-").
inline void reportRatio(std::string_view hotPath, std::string_view ours, std::string_view peer, double ratio,
                        std::optional<double> goal) {
  char goalText[32] = "-";
  if (goal) std::snprintf(goalText, sizeof goalText, "%.2f", *goal);
  std::printf("RATIO|%.*s|%.*s|%.*s|%.2f|%s|%s\n", static_cast<int>(hotPath.size()), hotPath.data(),
              static_cast<int>(ours.size()), ours.data(), static_cast<int>(peer.size()), peer.data(), ratio,
              goalText, machineLoad().c_str());
  std::fflush(stdout);
}

// Ends the program (exit status 1) saying what differs when a side's output is not its peer's: a
// row that does less than its peer must fail, not win. Checked before anything is timed.
inline void requireSameOutput(bool same, const std::string& what) {
  if (same) return;
  std::fprintf(stderr, "OUTPUT CHECK FAILED: %s\n", what.c_str());
  std::fflush(stdout);
  std::exit(1);
}

// Whether this is a quick look (--quick, which ./bench.sh passes on): each row runs once, briefly.
inline bool& quickRun() {
  static bool quick = false;
  return quick;
}

// Takes --quick off the command line (Google Benchmark would not know it) and remembers it.
inline void takeQuickFlag(int& argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--quick")
      quickRun() = true;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
}

// Repetitions for a benchmark that sets its own: one in a quick look.
inline int repetitions(int wanted) { return quickRun() ? 1 : wanted; }

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
// A quick look (--quick) runs each once, for a tenth of a second at most.
inline void runBestOf(int& argc, char** argv, BestOfReporter& reporter, int repetitions,
                      Order order = Order::Registered) {
  takeQuickFlag(argc, argv);
  if (quickRun()) repetitions = 1;
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
  std::string brief = "--benchmark_min_time=0.05";
  if (quickRun() && !given("--benchmark_min_time")) args.push_back(brief.data());
  int n = static_cast<int>(args.size());
  args.push_back(nullptr);
  ::benchmark::Initialize(&n, args.data());
  ::benchmark::RunSpecifiedBenchmarks(&reporter);
  ::benchmark::Shutdown();
}

}  // namespace kavro::bench
