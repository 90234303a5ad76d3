// The runner as a person uses it at a terminal: started on a pseudo-terminal, typed at, its screen
// read back.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
  pid_t pid() const { return pid_; }

  // Keys as they are, without a return key.
  bool press(const std::string& keys) {
    return ::write(fd_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
  }
  // Reads the screen to the runner's end and answers its wait status; -1 when it does not end.
  int waitForExit() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(AnswerPatience);
    for (;;) {
      int status = 0;
      pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        drain();
        return status;
      }
      if (std::chrono::steady_clock::now() > giveUp) return -1;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0) {
        char buffer[4096];
        ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) screen_.append(buffer, static_cast<std::size_t>(n));
      }
    }
  }

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
    // The return key's new line first: the editor may draw the prompt again while a line is typed.
    return waitFor("\n") && waitFor("kavro> ");
  }
  // Whether keys go to the runner's editor as they are pressed, rather than to the terminal's own
  // line editing (a Ctrl-D there never reaches the editor as the end of input).
  bool keysGoToTheEditor() const {
    termios mode{};
    return ::tcgetattr(fd_, &mode) == 0 && !(mode.c_lflag & ICANON);
  }
  const std::string& screen() const { return screen_; }
  // What the screen showed since the last but one wait.
  std::string since(std::size_t from) const { return screen_.substr(from); }
  std::size_t mark() const { return mark_; }

 private:
  // What the runner wrote before it ended.
  void drain() {
    pollfd p{fd_, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0) {
      char buffer[4096];
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      screen_.append(buffer, static_cast<std::size_t>(n));
    }
  }

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

namespace {

// The history file's text, with the blanks that the line editor writes as \040 back as blanks.
std::string historyText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  for (std::size_t at; (at = text.find("\\040")) != std::string::npos;) text.replace(at, 4, " ");
  return text;
}

unsigned permissionsOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Where each line stands in the history file (npos when it is not there).
std::vector<std::size_t> placesIn(const std::string& history, const std::vector<std::string>& lines) {
  std::vector<std::size_t> at;
  for (const auto& line : lines) at.push_back(history.find(line));
  return at;
}

constexpr std::size_t Missing = std::string::npos;

// Ctrl-C at the prompt drops the line being typed and prompts again, as a shell does; every way
// out of the session (Ctrl-D, a hang-up, a termination) keeps the lines typed in the history, for
// the user alone, and leaves the shell's prompt at the start of a line.
TEST(TerminalTest, CtrlCDropsTheLineAndEveryWayOutKeepsTheHistory) {
  kavro::test::TempDir home;
  const std::string history = home.path() + "/kavro_history";
  {
    Terminal terminal(home.path(), "C.UTF-8");
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    ASSERT_TRUE(terminal.type("show")) << terminal.screen();
    // Half a line, then Ctrl-C: a new prompt, and the half line is gone.
    ASSERT_TRUE(terminal.press("tap Nowh"));
    ASSERT_TRUE(terminal.waitFor("tap Nowh")) << terminal.screen();
    ASSERT_TRUE(terminal.press("\x03"));
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    ASSERT_TRUE(terminal.press("\x03"));  // on an empty line too
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    std::size_t from = terminal.mark();
    ASSERT_TRUE(terminal.type("wait 1")) << terminal.screen();
    EXPECT_EQ(terminal.since(from).find("tap Nowh"), std::string::npos) << terminal.since(from);
    EXPECT_EQ(terminal.since(from).find("kavro: "), std::string::npos) << terminal.since(from);
    ASSERT_TRUE(terminal.type("中文 行")) << terminal.screen();  // a failing command is kept too
    // Ctrl-D, pressed as soon as the prompt shows, ends the session, and the shell's prompt starts
    // on a line of its own.
    EXPECT_TRUE(terminal.keysGoToTheEditor());
    from = terminal.mark();
    ASSERT_TRUE(terminal.press("\x04"));
    int status = terminal.waitForExit();
    ASSERT_TRUE(WIFEXITED(status)) << status << terminal.screen();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string last = terminal.since(from);
    EXPECT_TRUE(last.ends_with("\n")) << "[" << last << "]";
  }
  std::string kept = historyText(history);
  auto at = placesIn(kept, {"show", "wait 1", "中文"});
  EXPECT_NE(at[0], Missing) << kept;
  EXPECT_LT(at[0], at[1]) << kept;
  EXPECT_LT(at[1], at[2]) << kept;
  EXPECT_EQ(kept.find("Nowh"), Missing) << kept;
  EXPECT_EQ(permissionsOf(history), 0600u);

  // A signal that ends the process ends the session the same way; the process then ends as that
  // signal ends it, and the lines of this session follow those of the one before.
  for (int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const std::string line = signal == SIGTERM ? "wait 2" : "wait 3";
    Terminal terminal(home.path(), "C.UTF-8");
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    ASSERT_TRUE(terminal.type(line)) << terminal.screen();
    ASSERT_TRUE(terminal.press("half"));
    ASSERT_TRUE(terminal.waitFor("half")) << terminal.screen();
    ::kill(terminal.pid(), signal);
    int status = terminal.waitForExit();
    ASSERT_TRUE(WIFSIGNALED(status)) << status << terminal.screen();
    EXPECT_EQ(WTERMSIG(status), signal);
    kept = historyText(history);
    at = placesIn(kept, {"show", "wait 1", line});
    EXPECT_NE(at[0], Missing) << kept;
    EXPECT_LT(at[1], at[2]) << kept;
    EXPECT_NE(at[2], Missing) << kept;
    EXPECT_EQ(kept.find("half"), Missing) << kept;
    EXPECT_EQ(permissionsOf(history), 0600u);
  }
}

std::size_t linesOf(const std::string& history, const std::string& line);

// A history file that is there already, written by something else and open to others: its lines
// stay (and can be recalled) up to 4 KiB each, and from the first line typed the file is the user's
// alone.
TEST(TerminalTest, AHistoryFileFoundThereKeepsItsLinesAndBecomesPrivate) {
  kavro::test::TempDir home;
  const std::string history = home.path() + "/kavro_history";
  const std::string longest(4096, 'k'), tooLong(4097, 'l');
  std::ofstream(history) << longest << "\n" << tooLong << "\ntap 职位搜索\r\n\nold two\n";
  ::chmod(history.c_str(), 0644);
  {
    Terminal terminal(home.path(), "C.UTF-8");
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    // The up arrow twice: the first line of the file.
    ASSERT_TRUE(terminal.press("\x1b[A\x1b[A\r"));
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    std::size_t from = terminal.mark();
    ASSERT_TRUE(terminal.type("show")) << terminal.screen();
    EXPECT_NE(terminal.since(from).find("<JobSearchController>"), std::string::npos) << terminal.since(from);
    ASSERT_TRUE(terminal.press("quit\r"));
    int status = terminal.waitForExit();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  std::string kept = historyText(history);
  auto at = placesIn(kept, {"old two", "show"});
  EXPECT_EQ(linesOf(kept, longest), 1u);
  EXPECT_EQ(kept.find(tooLong), Missing);
  EXPECT_NE(kept.find("\u804C\u4F4D\u641C\u7D22"), Missing) << kept;
  EXPECT_NE(at[0], Missing) << kept;
  EXPECT_LT(at[0], at[1]) << kept;
  EXPECT_EQ(permissionsOf(history), 0600u);
}

// How often a line stands in the history file as a line of its own.
std::size_t linesOf(const std::string& history, const std::string& line) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = history.find("\n" + line + "\n", at)) != std::string::npos;
       at += line.size())
    ++n;
  return n;
}

// A line typed again right after itself, or a blank one, does not fill the history; the same
// line after another is kept again.
TEST(TerminalTest, RepeatsOfTheLineBeforeAndBlankLinesDoNotFillTheHistory) {
  kavro::test::TempDir home;
  const std::string history = home.path() + "/kavro_history";
  Terminal terminal(home.path(), "C.UTF-8");
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
  for (const char* line : {"wait 1", "wait 1", "", "   ", "wait 1", "show", "wait 1"})
    ASSERT_TRUE(terminal.type(line)) << terminal.screen();
  ASSERT_TRUE(terminal.press("quit\r"));
  int status = terminal.waitForExit();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  const std::string kept = historyText(history);
  EXPECT_EQ(linesOf(kept, "wait 1"), 2u) << kept;
  EXPECT_EQ(linesOf(kept, "show"), 1u) << kept;
  EXPECT_EQ(linesOf(kept, ""), 0u) << kept;
  EXPECT_EQ(linesOf(kept, "   "), 0u) << kept;
}

// Of a history file found there, the last MiB is read: a file of just that size is read whole,
// its first line too; one byte more and the first line read is the end of a longer one, left out.
TEST(TerminalTest, AHistoryFileIsReadWholeUpToAMebibyte) {
  for (const std::size_t extra : {std::size_t(0), std::size_t(1)}) {
    SCOPED_TRACE(extra);
    kavro::test::TempDir home;
    const std::string history = home.path() + "/kavro_history";
    std::string text = std::string(extra, 'x') + "first of the file\n";
    const std::string filler = "wait 0 " + std::string(1993, 'f') + "\n";
    while (text.size() + filler.size() < (1u << 20)) text += filler;
    text += "wait 0 " + std::string((1u << 20) + extra - text.size() - 8, 'g') + "\n";
    ASSERT_EQ(text.size(), (1u << 20) + extra);
    std::ofstream(history, std::ios::binary) << text;
    {
      Terminal terminal(home.path(), "C.UTF-8");
      ASSERT_TRUE(terminal.started());
      ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
      ASSERT_TRUE(terminal.type("show")) << terminal.screen();
      ASSERT_TRUE(terminal.press("quit\r"));
      int status = terminal.waitForExit();
      ASSERT_TRUE(WIFEXITED(status)) << status;
    }
    const std::string kept = historyText(history);
    EXPECT_EQ(linesOf(kept, "first of the file"), extra == 0 ? 1u : 0u) << kept.substr(0, 200);
    EXPECT_EQ(linesOf(kept, "x" + std::string("first of the file")), 0u);
    EXPECT_NE(kept.find("wait 0 " + std::string(1993, 'f')), std::string::npos);
    EXPECT_NE(kept.find("\nshow\n"), std::string::npos);
  }
}

}  // namespace
