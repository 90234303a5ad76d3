// Runner scripts as the runner reads them, line by line: commands, quoting, numbers, comments and
// if/end blocks, on a runner whose application was never started (no screen, no network, no
// files). Lines whose commands reach outside the process (snap, search, job, wait, map) are
// dropped first. A script ends Done or Failed, never otherwise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "tools/kavro/Runner.h"

namespace {

bool reachesOutside(std::string_view line) {
  std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  std::string_view rest = line.substr(start);
  std::string_view word = rest.substr(0, rest.find_first_of(" \t"));
  for (std::string_view outside : {"snap", "search", "job", "wait", "map"})
    if (word == outside) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 16 * 1024) return 0;
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  std::string script;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t nl = text.find('\n', at);
    std::string_view line = text.substr(at, nl == std::string_view::npos ? std::string_view::npos : nl - at);
    if (!reachesOutside(line)) {
      script.append(line);
      script.push_back('\n');
    }
    if (nl == std::string_view::npos) break;
    at = nl + 1;
  }
  std::ostringstream out, err;
  kavro::runner::Options options;
  options.apiUrl = "http://127.0.0.1:1";
  kavro::runner::Runner runner(options, out, err);
  std::istringstream in(script);
  auto outcome = runner.runScript(in, "fuzz");
  if (outcome != kavro::runner::Outcome::Done && outcome != kavro::runner::Outcome::Failed) std::abort();
  return 0;
}
