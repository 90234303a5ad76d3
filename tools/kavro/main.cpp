// kavro: the headless runner of the recruitment client.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/foundation/Environment.h"
#include "platform/foundation/URL.h"
#include "tools/kavro/MapCommands.h"
#include "tools/kavro/Runner.h"

namespace {

namespace fs = std::filesystem;
using kavro::runner::Outcome;

constexpr const char* kVersion = "0.2.0";

void usage(std::FILE* to) {
  std::fprintf(
      to,
      "kavro %s: headless runner of the Kavro recruitment client\n"
      "\n"
      "usage: kavro [OPTIONS]                    start at the home screen and read commands\n"
      "       kavro [OPTIONS] --script FILE|-    run the commands of a file ('-': standard input)\n"
      "       kavro [OPTIONS] tour [DIR]         walk the built screens, one PNG per screen in DIR\n"
      "       kavro [OPTIONS] COMMAND [ARGS...]  one command, then quit\n"
      "\n"
      "options:\n"
      "  --api URL     the API host (default: a demo server on 127.0.0.1 answering from the\n"
      "                sample answers shipped beside the binary)\n"
      "  --home DIR    the client's files (default $KAVRO_HOME, else ~/.kavro)\n"
      "  --out DIR     where snapshots with a relative path go (default: the current folder)\n"
      "\n"
      "commands:\n"
      "  show                       the screen as an indented tree (#ID class frame <controller> texts)\n"
      "  tap #ID | @X,Y | TEXT      tap a view by id, a point on screen, or its text, label or class\n"
      "  type TEXT                  type into the focused field\n"
      "  return                     the keyboard's return key\n"
      "  swipe left|right|up|down [TARGET]\n"
      "  scroll DY [TARGET]         drag a scroll view by DY points\n"
      "  back                       the navigation bar's back button\n"
      "  alert INDEX                answer the alert on top with its button INDEX\n"
      "  wait [SECONDS]             until the run loop and the network are idle, then SECONDS more\n"
      "  snap FILE                  write a PNG of the screen\n"
      "  search [KEYWORDS] [--area CODE] [--page N]   a job search, printing the parsed rows\n"
      "  job JOBID                  one job's detail record\n"
      "\n"
      "A script holds one command a line; '#' starts a comment; \"if TARGET\" ... \"end\" runs its\n"
      "lines only when TARGET is on screen. A script stops at the first failed command (exit 1).\n",
      kVersion);
}

std::string exeDir() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

int die(int code, const std::string& message) {
  std::fprintf(stderr, "kavro: %s\n", message.c_str());
  return code;
}

// An http or https URL with a host.
bool isApiUrl(const std::string& text) {
  auto url = platform::URL::parse(text);
  return url && (url->scheme() == "http" || url->scheme() == "https") && !url->host().empty();
}

// The databases live in the data folder under the home root; a home that cannot hold it ends the
// start before anything else is tried.
std::string homeProblem() {
  fs::path data = fs::path(platform::Environment::documentsPath()) / "kavro_client_data";
  std::error_code ec;
  fs::create_directories(data, ec);
  if (ec || !fs::is_directory(data))
    return "cannot use the home folder " + platform::Environment::homeRoot() + ": cannot make " +
           data.string() + (ec ? ": " + ec.message() : "");
  fs::path probe = data / ".kavro-write-check";
  {
    std::ofstream out(probe);
    if (!out || !(out << "x") || !out.flush())
      return "cannot use the home folder " + platform::Environment::homeRoot() + ": " + data.string() +
             " is not writable";
  }
  fs::remove(probe, ec);
  return "";
}

// A script file that can be read, or why not.
std::string scriptProblem(const std::string& path) {
  std::error_code ec;
  auto status = fs::status(path, ec);
  if (ec) return "cannot read the script " + path + ": " + ec.message();
  if (fs::is_directory(status)) return "cannot read the script " + path + ": it is a folder";
  std::ifstream in(path);
  if (!in) return "cannot read the script " + path + ": " + std::strerror(errno);
  return "";
}

int exitCode(Outcome o) { return o == Outcome::Done ? 0 : o == Outcome::Usage ? 2 : 1; }

}  // namespace

int main(int argc, char** argv) {
  std::string api, script, out = ".";
  std::vector<std::string> command;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (command.empty() && a == "--version") {
      std::printf("kavro %s\n", kVersion);
      return 0;
    }
    if (command.empty() && (a == "--help" || a == "-h")) {
      usage(stdout);
      return 0;
    }
    if (command.empty() && (a == "--api" || a == "--home" || a == "--script" || a == "--out")) {
      if (i + 1 >= argc) return die(2, a + " needs a value (kavro --help)");
      std::string v = argv[++i];
      if (a == "--api")
        api = v;
      else if (a == "--home")
        platform::Environment::setHomeRoot(v);
      else if (a == "--out")
        out = v;
      else
        script = v;
      continue;
    }
    if (command.empty() && a.size() > 1 && a[0] == '-')
      return die(2, "unknown option " + a + " (kavro --help)");
    command.push_back(a);
  }
  if (!api.empty() && !isApiUrl(api))
    return die(2, "bad --api URL \"" + api + "\": expected http://HOST[:PORT]");
  if (!script.empty() && !command.empty()) return die(2, "--script and a command do not go together");
  if (!script.empty() && script != "-") {
    if (auto problem = scriptProblem(script); !problem.empty()) return die(2, problem);
  }
  const bool tour = !command.empty() && command[0] == "tour";
  if (tour) {
    if (command.size() > 2) return die(2, "usage: kavro tour [DIR]");
    out = command.size() == 2 ? command[1] : "tour";
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec || !fs::is_directory(out)) return die(1, "cannot make the tour folder " + out);
  }
  if (auto problem = homeProblem(); !problem.empty()) return die(1, problem);

  kavro::runner::Options options;
  options.apiUrl = api;
  options.demoRoot = exeDir() + "/demo/api";
  options.snapshotDir = out;
  kavro::runner::registerMapCommands();
  kavro::runner::Runner runner(options, std::cout, std::cerr);
  if (!runner.start()) return 1;

  Outcome outcome = Outcome::Done;
  if (tour) {
    std::string file = exeDir() + "/tour.txt";
    if (auto problem = scriptProblem(file); !problem.empty()) return die(1, problem);
    std::ifstream in(file);
    outcome = runner.runScript(in, "tour.txt");
  } else if (script == "-") {
    outcome = runner.runScript(std::cin, "-");
  } else if (!script.empty()) {
    std::ifstream in(script);
    outcome = runner.runScript(in, script);
  } else if (!command.empty()) {
    std::string line;
    for (const auto& word : command) line += (line.empty() ? "" : " ") + word;
    outcome = runner.execute(line);
  } else {
    runner.interact(std::cin, isatty(0) != 0);
  }
  std::cout.flush();
  return exitCode(outcome);
}
