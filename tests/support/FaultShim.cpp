#include "tests/support/FaultShim.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kavro::test {

namespace {

using ArmFn = void (*)(const char*, unsigned, long, long, int, int);
using DisarmFn = void (*)();
using CountFn = long (*)();

template <typename Fn>
Fn shimFunction(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

// The sanitizer runtime this program has loaded, "" for none.
std::string sanitizerRuntime() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const auto at = line.find('/');
    if (at != std::string::npos && line.find("/libasan.so", at) != std::string::npos) return line.substr(at);
  }
  return {};
}

}  // namespace

bool FaultShim::loaded() { return shimFunction<ArmFn>("kavro_fault_arm") != nullptr; }

bool FaultShim::rerunWithShim(const std::string& shimPath) {
  if (loaded()) return true;
  // Once only: a program the preload did not reach must not run itself again and again.
  if (std::getenv("KAVRO_FAULT_SHIM_RERUN")) return false;
  std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
  std::stringstream all;
  all << cmdline.rdbuf();
  const std::string text = all.str();
  std::vector<std::string> args;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\0', start);
    args.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (args.empty()) return false;
  std::string preload = sanitizerRuntime();
  if (!preload.empty()) preload += ':';
  preload += shimPath;
  if (const char* earlier = std::getenv("LD_PRELOAD"); earlier && *earlier)
    preload += std::string(":") + earlier;
  setenv("LD_PRELOAD", preload.c_str(), 1);
  setenv("KAVRO_FAULT_SHIM_RERUN", "1", 1);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv("/proc/self/exe", argv.data());
  return false;
}

void FaultShim::arm(const Fault& fault) {
  if (auto fn = shimFunction<ArmFn>("kavro_fault_arm"))
    fn(fault.path.c_str(), fault.calls, fault.skip, fault.times, fault.error, fault.kill ? 1 : 0);
}

void FaultShim::disarm() {
  if (auto fn = shimFunction<DisarmFn>("kavro_fault_disarm")) fn();
}

long FaultShim::matched() {
  auto fn = shimFunction<CountFn>("kavro_fault_matched");
  return fn ? fn() : 0;
}

long FaultShim::failed() {
  auto fn = shimFunction<CountFn>("kavro_fault_failed");
  return fn ? fn() : 0;
}

}  // namespace kavro::test
