// kavro: the headless runner of the recruitment client.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/foundation/Environment.h"
#include "tools/kavro/Runner.h"

namespace {
constexpr const char* kVersion = "0.1.0";

void usage(std::FILE* to) {
  std::fprintf(to,
               "kavro %s: headless runner of the Kavro recruitment client\n"
               "\n"
               "usage: kavro [--api URL] [--home DIR] COMMAND [ARGS...]\n"
               "       kavro [--api URL] [--home DIR] --script FILE|-\n"
               "\n"
               "commands:\n"
               "  search [KEYWORDS] [--area CODE] [--page N]   search jobs and list the parsed rows\n"
               "  job JOBID                                    show one job's detail record\n"
               "\n"
               "Without --api a demo server on 127.0.0.1 answers from the shipped sample answers.\n"
               "--home keeps the client's databases and settings in DIR (default $KAVRO_HOME or\n"
               "~/.kavro). A script holds one command a line; '#' starts a comment.\n",
               kVersion);
}

std::string exeDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}
}  // namespace

int main(int argc, char** argv) {
  std::string api, script;
  std::vector<std::string> command;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--version") {
      std::printf("kavro %s\n", kVersion);
      return 0;
    }
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    }
    if ((a == "--api" || a == "--home" || a == "--script") && command.empty()) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kavro: %s needs a value\n", a.c_str());
        return 2;
      }
      std::string v = argv[++i];
      if (a == "--api") api = v;
      else if (a == "--home") platform::Environment::setHomeRoot(v);
      else script = v;
      continue;
    }
    command.push_back(a);
  }
  if (command.empty() && script.empty()) {
    usage(stderr);
    return 2;
  }
  kavro::runner::Runner runner(api, exeDir() + "/demo/api", std::cout);
  bool ok;
  if (!script.empty()) {
    if (script == "-") {
      ok = runner.runScript(std::cin);
    } else {
      std::ifstream in(script);
      if (!in) {
        std::fprintf(stderr, "kavro: cannot read %s\n", script.c_str());
        return 2;
      }
      ok = runner.runScript(in);
    }
  } else {
    ok = runner.run(command);
  }
  return ok ? 0 : 1;
}
