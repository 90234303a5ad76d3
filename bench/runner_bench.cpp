// The headless runner as a person starts it: the built kavro program, run to its end, its wall
// time beside the processor time it used (user and system, all its threads). Waiting costs wall
// time without processor time, so the two side by side show how much of a run is spent waiting
// (on the disk, on sockets, on sleeps) rather than working.
// - `kavro search java`: the start on a warm home, one search against the built-in demo server,
//   the rows printed.
// - `kavro tour DIR`: the whole tour on a fresh temporary home, one picture per screen.
// Each with the home on the disk and in memory (/dev/shm): see workFolder().
// Printed: wall and processor time per run and the ratio processor / wall (goal: 0.5 or more,
// that is the wall time at most twice the processor time).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/Ratio.h"

namespace {

namespace fs = std::filesystem;

// One run of the program: wall and processor seconds; false when it did not end well.
struct Run {
  double wall = 0;
  double cpu = 0;
  bool ok = false;
};

// The program of the same build: build/bench/bench/bench_runner beside build/bench/tools/kavro/kavro.
std::string kavroProgram() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "tools" / "kavro" / "kavro").string();
}

// temporaryFolder: the child's $TMPDIR, when given.
Run runKavro(const std::vector<std::string>& args, const std::string& temporaryFolder = "") {
  std::vector<char*> argv;
  std::string program = kavroProgram();
  argv.push_back(program.data());
  std::vector<std::string> copies(args);
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (!temporaryFolder.empty()) ::setenv("TMPDIR", temporaryFolder.c_str(), 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (pid < 0) return run;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

std::string makeFolder(const fs::path& parent) {
  std::string pattern = (parent / "kavro-runner-bench-XXXXXX").string();
  return ::mkdtemp(pattern.data()) ? pattern : "";
}

// Folders for the benchmark's homes and pictures, removed at the end.
const std::string& diskFolder() {
  static const std::string path = makeFolder(fs::temp_directory_path());
  return path;
}
const std::string& memoryFolder() {
  static const std::string path = fs::is_directory("/dev/shm") ? makeFolder("/dev/shm") : "";
  return path;
}

// Per benchmark, each repetition's wall and processor seconds in total.
std::map<std::string, std::vector<std::pair<double, double>>>& repetitions() {
  static std::map<std::string, std::vector<std::pair<double, double>>> all;
  return all;
}

// Wall time is the benchmark's time; processor time and the ratio are counters.
void measure(benchmark::State& state, const std::string& name, const std::vector<std::string>& args,
             const std::string& temporaryFolder = "") {
  double wall = 0, cpu = 0;
  for (auto _ : state) {
    Run run = runKavro(args, temporaryFolder);
    if (!run.ok) {
      state.SkipWithError("kavro did not end well");
      return;
    }
    state.SetIterationTime(run.wall);
    wall += run.wall;
    cpu += run.cpu;
  }
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1e3 / double(state.iterations()));
  state.counters["cpu_per_wall"] = benchmark::Counter(wall > 0 ? cpu / wall : 0);
  repetitions()[name].emplace_back(wall / double(state.iterations()), cpu / double(state.iterations()));
}

// The homes live on the disk (the temporary folder) or in memory (/dev/shm): a start writes one
// record to the store (the count of starts), which the disk makes durable at the cost of a few
// syncs; in memory the runner's own waiting is left.
std::string workFolder(bool inMemory) { return inMemory ? memoryFolder() : diskFolder(); }

void BM_SearchJava(benchmark::State& state) {
  const bool inMemory = state.range(0) == 1;
  if (workFolder(inMemory).empty()) {
    state.SkipWithError("no folder for the home");
    return;
  }
  const std::string home = workFolder(inMemory) + "/home";
  // A warm home, as a person has after the first start.
  if (!runKavro({"--home", home, "wait"}).ok) {
    state.SkipWithError("kavro does not start");
    return;
  }
  measure(state, inMemory ? "search/memory" : "search/disk", {"--home", home, "search", "java"});
}
BENCHMARK(BM_SearchJava)
    ->ArgName("home_in_memory")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// The tour makes its own fresh home in the temporary folder ($TMPDIR).
void BM_Tour(benchmark::State& state) {
  const bool inMemory = state.range(0) == 1;
  if (workFolder(inMemory).empty()) {
    state.SkipWithError("no folder for the home");
    return;
  }
  measure(state, inMemory ? "tour/memory" : "tour/disk", {"tour", workFolder(inMemory) + "/tour"},
          workFolder(inMemory));
}
BENCHMARK(BM_Tour)
    ->ArgName("home_in_memory")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 3);
  // The repetition least disturbed by the other programs on the machine: the best ratio.
  const std::pair<const char*, const char*> lines[] = {
      {"search/disk", "kavro search java, home on disk: wall (ours) / CPU (peer)"},
      {"search/memory", "kavro search java, home in memory: wall / CPU"},
      {"tour/disk", "kavro tour, home on disk: wall (ours) / CPU (peer)"},
      {"tour/memory", "kavro tour, home in memory: wall / CPU"}};
  for (const auto& [name, path] : lines) {
    auto it = repetitions().find(name);
    if (it == repetitions().end()) continue;
    std::pair<double, double> best{0, 0};
    for (const auto& rep : it->second)
      if (rep.first > 0 && (best.first == 0 || rep.second / rep.first > best.second / best.first)) best = rep;
    if (best.first <= 0 || best.second <= 0) continue;
    const double wallMs = best.first * 1e3, cpuMs = best.second * 1e3;
    std::printf("kavro %s: wall %.1f ms, CPU %.1f ms, wall / CPU %.2f\n", name, wallMs, cpuMs,
                wallMs / cpuMs);
    kavro::bench::reportRatio(path, kavro::bench::figure(wallMs, "ms"), kavro::bench::figure(cpuMs, "ms CPU"),
                              cpuMs / wallMs, 0.5);
  }
  std::error_code ec;
  for (const std::string& folder : {diskFolder(), memoryFolder()})
    if (!folder.empty()) fs::remove_all(folder, ec);
  return 0;
}
