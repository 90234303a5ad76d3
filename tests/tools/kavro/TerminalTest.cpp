// The runner as a person uses it at a terminal: started on a pseudo-terminal, typed at, its screen
// read back.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "tests/support/TempDir.h"

namespace {

// Real seconds the runner gets to answer a line, generous for a busy machine.
constexpr int AnswerPatience = 60;

class Terminal {
 public:
  // The runner on a terminal of its own, in the locale a user's terminal has.
  Terminal(const std::string& home, const char* lang) {
    pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      ::unsetenv("LC_ALL");
      ::unsetenv("LC_CTYPE");
      ::setenv("LANG", lang, 1);
      ::setenv("TERM", "xterm", 1);
      ::execl(KAVRO_BINARY, "kavro", "--home", home.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  bool started() const { return pid_ > 0; }

  // Reads the screen until it shows text after what was read before; false when the runner ends
  // or stays silent too long.
  bool waitFor(const std::string& text) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(AnswerPatience);
    while (screen_.find(text, mark_) == std::string::npos) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      int ready = ::poll(&p, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
      char buffer[4096];
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      screen_.append(buffer, static_cast<std::size_t>(n));
    }
    mark_ = screen_.find(text, mark_) + text.size();
    return true;
  }
  // A line typed and its return key, then the runner's answer up to its next prompt.
  bool type(const std::string& line) {
    std::string keys = line + "\r";
    if (::write(fd_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) return false;
    return waitFor("kavro> ");
  }
  const std::string& screen() const { return screen_; }
  // What the screen showed since the last but one wait.
  std::string since(std::size_t from) const { return screen_.substr(from); }
  std::size_t mark() const { return mark_; }

 private:
  int fd_ = -1;
  pid_t pid_ = -1;
  std::string screen_;
  std::size_t mark_ = 0;
};

TEST(TerminalTest, ChineseTypedAtThePromptReachesTheCommands) {
  kavro::test::TempDir home;
  for (const char* lang : {"C.UTF-8", "C"}) {
    SCOPED_TRACE(lang);
    Terminal terminal(home.path(), lang);
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();

    std::size_t from = terminal.mark();
    ASSERT_TRUE(terminal.type("tap 职位搜索")) << terminal.screen();
    ASSERT_TRUE(terminal.type("tap SearchBar")) << terminal.screen();
    ASSERT_TRUE(terminal.type("type 上海")) << terminal.screen();
    ASSERT_TRUE(terminal.type("show")) << terminal.screen();
    std::string answer = terminal.since(from);
    EXPECT_EQ(answer.find("usage:"), std::string::npos) << answer;
    EXPECT_NE(answer.find("<JobSearchController>"), std::string::npos) << answer;
    EXPECT_NE(answer.find("text=\"上海\""), std::string::npos) << answer;

    // Pasted: several lines arrive at once.
    from = terminal.mark();
    ASSERT_TRUE(terminal.type("expect 上海\rexpect \"工作地点\"")) << terminal.screen();
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    answer = terminal.since(from);
    EXPECT_EQ(answer.find("kavro: "), std::string::npos) << answer;
  }
}

}  // namespace
