#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/support/TempDir.h"

namespace kavro {
namespace {

struct CommandLineAnswer {
  int status = -1;
  std::string output;
};

CommandLineAnswer answerOfKavro(const std::string& arguments) {
  CommandLineAnswer run;
  FILE* p = ::popen((std::string(KAVRO_BINARY) + " " + arguments + " 2>&1 </dev/null").c_str(), "r");
  if (!p) return run;
  std::array<char, 4096> buf;
  while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) run.output.append(buf.data(), n);
  const int raw = ::pclose(p);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// After "--" every word belongs to the command, the runner's own options too: "--version" there is
// a word of the command, not a question to the runner.
TEST(KavroCommandLine, WordsAfterTheDoubleDashAreTheCommandsOwn) {
  test::TempDir dir;
  const CommandLineAnswer asked = answerOfKavro("--version");
  ASSERT_NE(asked.output.find("kavro "), std::string::npos) << asked.output;
  const CommandLineAnswer word = answerOfKavro("--home " + dir.path() + "/home -- --version");
  EXPECT_EQ(word.output.find(asked.output), std::string::npos) << word.output;
  EXPECT_EQ(word.status, 2) << word.output;
  EXPECT_NE(word.output.find("unknown command \"--version\""), std::string::npos) << word.output;
}

}  // namespace
}  // namespace kavro
