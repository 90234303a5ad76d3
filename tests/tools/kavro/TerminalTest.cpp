// The runner as a person uses it at a terminal: started on a pseudo-terminal, typed at, its screen
// read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "demo/LoopbackSocket.h"
#include "tests/support/TempDir.h"

namespace {

// Real seconds the runner gets to answer a line, generous for a busy machine.
constexpr int AnswerPatience = 60;

class Terminal {
 public:
  // The runner on a terminal of its own, in the locale a user's terminal has, with more words and
  // environment when given.
  Terminal(const std::string& home, const char* lang, const std::vector<std::string>& words = {},
           const std::vector<std::pair<std::string, std::string>>& environment = {},
           const std::string& answersTo = "") {
    std::vector<std::string> argv = {"kavro", "--home", home};
    argv.insert(argv.end(), words.begin(), words.end());
    std::vector<char*> args;
    for (std::string& word : argv) args.push_back(word.data());
    args.push_back(nullptr);
    pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      ::unsetenv("LC_ALL");
      ::unsetenv("LC_CTYPE");
      ::setenv("LANG", lang, 1);
      ::setenv("TERM", "xterm", 1);
      for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
      if (!answersTo.empty()) {
        const int out = ::open(answersTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out < 0 || ::dup2(out, 1) < 0) ::_exit(126);
      }
      ::execv(KAVRO_BINARY, args.data());
      ::_exit(127);
    }
    if (pid_ > 0) ::tcgetattr(fd_, &found_);
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
  // or stays silent too long (patience seconds).
  bool waitFor(const std::string& text, int patience = AnswerPatience) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(patience);
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
  // The terminal's mode now, and as it was when the runner was started on it, in words.
  std::string mode() const {
    termios now{};
    return ::tcgetattr(fd_, &now) == 0 ? modeText(now) : "no terminal";
  }
  std::string foundMode() const { return modeText(found_); }
  // Ctrl-C until the screen shows text: one pressed before a command begins is the typed line's.
  bool interruptUntil(const std::string& text) {
    for (int press = 0; press < AnswerPatience; ++press) {
      if (!this->press("\x03")) return false;
      if (waitFor(text, 1)) return true;
    }
    return false;
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

  static std::string modeText(const termios& mode) {
    char text[64];
    std::snprintf(text, sizeof text, "iflag %o oflag %o cflag %o lflag %o cc", mode.c_iflag, mode.c_oflag,
                  mode.c_cflag, mode.c_lflag);
    std::string out = text;
    for (cc_t c : mode.c_cc) out += " " + std::to_string(c);
    return out;
  }

  int fd_ = -1;
  pid_t pid_ = -1;
  termios found_{};
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

// Two sessions on one home at once, their lines typed in turn: the history keeps both sessions'
// lines, in the order they were entered, whichever session ends last.
TEST(TerminalTest, TwoSessionsOnOneHomeBothKeepTheirLines) {
  kavro::test::TempDir home;
  const std::string history = home.path() + "/kavro_history";
  Terminal first(home.path(), "C.UTF-8");
  Terminal second(home.path(), "C.UTF-8");
  ASSERT_TRUE(first.started() && second.started());
  ASSERT_TRUE(first.waitFor("kavro> ")) << first.screen();
  ASSERT_TRUE(second.waitFor("kavro> ")) << second.screen();
  for (int n = 1; n <= 3; ++n) {
    ASSERT_TRUE(first.type("wait 0." + std::to_string(n))) << first.screen();
    ASSERT_TRUE(second.type("wait 0.0" + std::to_string(n))) << second.screen();
  }
  // The up arrow in a session recalls its own line before, whatever the other saved since.
  ASSERT_TRUE(first.press("\x1b[A\r"));
  ASSERT_TRUE(first.waitFor("kavro> ")) << first.screen();
  for (Terminal* session : {&second, &first}) {
    ASSERT_TRUE(session->press("quit\r"));
    const int status = session->waitForExit();
    ASSERT_TRUE(WIFEXITED(status)) << status;
  }
  const std::string kept = historyText(history);
  const auto at =
      placesIn(kept, {"wait 0.1\n", "wait 0.01\n", "wait 0.2\n", "wait 0.02\n", "wait 0.3\n", "wait 0.03\n"});
  for (std::size_t i = 0; i < at.size(); ++i) {
    EXPECT_NE(at[i], Missing) << i << ": " << kept;
    if (i > 0) {
      EXPECT_LT(at[i - 1], at[i]) << i << ": " << kept;
    }
  }
}

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

namespace {

// Every way out of the runner on a terminal gives the terminal back in the mode it was found in,
// as a shell leaves it: a line typed after it is edited and echoed by the terminal again.
TEST(TerminalTest, EveryWayOutGivesTheTerminalBackAsItWasFound) {
  kavro::test::TempDir home;
  const std::string script = home.path() + "/steps.txt", failing = home.path() + "/failing.txt";
  std::ofstream(script) << "show\n";
  std::ofstream(failing) << "tap Nowhere\n";
  struct Way {
    const char* name;
    std::vector<std::string> words;
    // Keys pressed at the prompt one after the other, each once the screen shows what it waits for
    // (the first: the prompt); then the signal that ends the runner, if any.
    std::vector<std::pair<std::string, std::string>> steps;
    int signal = 0;
    bool ctrlCAtStart = false;
  };
  const std::vector<Way> ways = {
      {"quit", {}, {{"kavro> ", "quit\r"}}},
      {"Ctrl-D", {}, {{"kavro> ", "\x04"}}},
      {"Ctrl-C at the prompt, then quit", {}, {{"kavro> ", "half"}, {"half", "\x03"}, {"kavro> ", "quit\r"}}},
      {"a failed command, then Ctrl-D", {}, {{"kavro> ", "tap Nowhere\r"}, {"kavro> ", "\x04"}}},
      {"a command, then Ctrl-C while it runs, then quit",
       {},
       {{"kavro> ", "wait 600\r"}, {"\n", "\x03"}, {"", "quit\r"}}},
      {"SIGTERM", {}, {{"kavro> ", "half"}, {"half", ""}}, SIGTERM},
      {"SIGHUP while a command runs", {}, {{"kavro> ", "wait 600\r"}, {"\n", ""}}, SIGHUP},
      {"Ctrl-C during the start", {}, {}, 0, true},
      {"a script's end", {"--script", script}, {}},
      {"a script's failure", {"--script", failing}, {}},
      {"an error exit", {"--api", "nowhere"}, {}},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    Terminal terminal(home.path(), "C.UTF-8", way.words);
    ASSERT_TRUE(terminal.started());
    if (way.ctrlCAtStart) {
      // Once the runner is running, before its first prompt (its start takes a while).
      const std::string exe = "/proc/" + std::to_string(terminal.pid()) + "/exe";
      for (int i = 0; i < 6000 && std::filesystem::read_symlink(exe).filename() != "kavro"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ASSERT_TRUE(terminal.press("\x03"));
      // A machine too busy to look in time may find the start over: the key then drops the
      // prompt's line, and the end of input ends the runner.
      if (terminal.waitFor("kavro> ", 2)) {
        ASSERT_TRUE(terminal.press("\x04"));
      }
    }
    for (const auto& [shown, keys] : way.steps) {
      ASSERT_TRUE(terminal.waitFor(shown)) << terminal.screen();
      // Ctrl-C for a command that runs: pressed until it stops it, as one pressed before the
      // command begins (on a busy machine) is still the typed line's.
      if (shown == "\n" && keys == "\x03") {
        ASSERT_TRUE(terminal.interruptUntil("kavro> ")) << terminal.screen();
        continue;
      }
      ASSERT_TRUE(terminal.press(keys));
    }
    if (way.signal) ::kill(terminal.pid(), way.signal);
    const int status = terminal.waitForExit();
    ASSERT_NE(status, -1) << terminal.screen();
    EXPECT_EQ(terminal.mode(), terminal.foundMode()) << terminal.screen();
  }
}

// While a command runs the terminal is in the mode it was found in (a key pressed then is the
// terminal's, as under a shell); at the next prompt keys go to the editor again. A script run on a
// terminal stops at Ctrl-C with the command it interrupted, as a failure (exit 1), not silently.
// Typed at a terminal whose answers go to a file: the file holds the answers alone, without the
// screen and commands a person at the terminal is greeted with, or a prompt.
TEST(TerminalTest, AnswersSentToAFileHoldNoGreetingOrPrompt) {
  kavro::test::TempDir home;
  const std::string answers = home.path() + "/answers.txt";
  Terminal terminal(home.path(), "C.UTF-8", {}, {}, answers);
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.press("help\r"));
  ASSERT_TRUE(terminal.press("quit\r"));
  const int status = terminal.waitForExit();
  ASSERT_TRUE(WIFEXITED(status)) << status << terminal.screen();
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream in(answers);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("tap "), std::string::npos) << text;
  EXPECT_EQ(text.find("Commands: "), std::string::npos) << text;
  EXPECT_EQ(text.find("kavro> "), std::string::npos) << text;
  EXPECT_EQ(terminal.screen().find("kavro> "), std::string::npos) << terminal.screen();
}

TEST(TerminalTest, BetweenLinesTheTerminalIsAsFoundAndCtrlCStopsAScript) {
  kavro::test::TempDir home;
  {
    Terminal terminal(home.path(), "C.UTF-8");
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    ASSERT_TRUE(terminal.keysGoToTheEditor());
    ASSERT_TRUE(terminal.press("wait 86400\r"));
    ASSERT_TRUE(terminal.waitFor("\n")) << terminal.screen();
    // The editor gives the mode back as it hands the line over: looked at until it shows.
    for (int look = 0; look < AnswerPatience * 100 && terminal.mode() != terminal.foundMode(); ++look)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(terminal.mode(), terminal.foundMode());
    EXPECT_EQ(terminal.screen().find("kavro> ", terminal.mark()), std::string::npos)
        << "the command still runs";
    ASSERT_TRUE(terminal.interruptUntil("wait: interrupted")) << terminal.screen();
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    EXPECT_TRUE(terminal.keysGoToTheEditor());
    // A Ctrl-C at the prompt takes the editor's input away; the line after it still hands the
    // terminal back as found while its command runs.
    ASSERT_TRUE(terminal.press("\x03"));
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    ASSERT_TRUE(terminal.press("wait 86400\r"));
    ASSERT_TRUE(terminal.waitFor("\n")) << terminal.screen();
    for (int look = 0; look < AnswerPatience * 100 && terminal.mode() != terminal.foundMode(); ++look)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(terminal.mode(), terminal.foundMode()) << "after a Ctrl-C at the prompt";
    ASSERT_TRUE(terminal.interruptUntil("wait: interrupted")) << terminal.screen();
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    const std::size_t from = terminal.mark();
    ASSERT_TRUE(terminal.type("expect 职位搜索")) << terminal.screen();
    EXPECT_EQ(terminal.since(from).find("kavro: "), std::string::npos) << terminal.since(from);
    ASSERT_TRUE(terminal.press("quit\r"));
    ASSERT_NE(terminal.waitForExit(), -1);
  }
  const std::string steps = home.path() + "/steps.txt";
  std::ofstream(steps) << "expect 职位搜索\nwait 86400\nshow\n";
  Terminal terminal(home.path(), "C.UTF-8", {"--script", steps});
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("> wait 86400")) << terminal.screen();
  ASSERT_TRUE(terminal.interruptUntil(steps + ":2: wait: interrupted")) << terminal.screen();
  const int status = terminal.waitForExit();
  ASSERT_TRUE(WIFEXITED(status)) << status << terminal.screen();
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(terminal.screen().find("> show"), std::string::npos) << terminal.screen();
  EXPECT_EQ(terminal.mode(), terminal.foundMode());
}

// A map host that takes connections and never answers (the kernel queues them; nobody reads).
class QuietMapHost {
 public:
  QuietMapHost() : fd_(kavro::test::listenOnLoopback(64, port_)) {}
  ~QuietMapHost() { ::close(fd_); }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  std::uint16_t port_ = 0;
  int fd_;
};

// Ctrl-C stops the map's waits as it stops the others: a map host that never answers holds the
// command only until the key, and a city's download stops where it is, to be taken up from there
// by the next "map offline".
TEST(TerminalTest, CtrlCStopsTheMapsWaitsAndPausesADownload) {
  kavro::test::TempDir home;
  {
    QuietMapHost quiet;
    Terminal terminal(home.path(), "C.UTF-8", {}, {{"KAVRO_MAP_URL", quiet.url()}});
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    for (const std::string line : {"map open", "map wait"}) {
      ASSERT_TRUE(terminal.press(line + "\r"));
      ASSERT_TRUE(terminal.waitFor("\n")) << terminal.screen();
      ASSERT_TRUE(terminal.interruptUntil(line + ": interrupted after ")) << terminal.screen();
      ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    }
    ASSERT_TRUE(terminal.press("quit\r"));
    EXPECT_NE(terminal.waitForExit(), -1);
  }

  Terminal terminal(home.path(), "C.UTF-8");
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
  ASSERT_TRUE(terminal.type("map open")) << terminal.screen();
  ASSERT_TRUE(terminal.press("map offline\r"));
  // A step past the start, however slow the machine: the progress comes as the tiles do.
  ASSERT_TRUE(terminal.waitFor("map offline: 5%", 10 * AnswerPatience)) << terminal.screen();
  ASSERT_TRUE(terminal.interruptUntil("map offline: interrupted after ")) << terminal.screen();
  ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
  const std::string stopped = terminal.screen().substr(terminal.screen().rfind("map offline: interrupted"));
  int at = -1;
  const std::size_t percentAt = stopped.find(" s at ");
  ASSERT_NE(percentAt, std::string::npos) << stopped;
  ASSERT_EQ(std::sscanf(stopped.c_str() + percentAt, " s at %d%%", &at), 1) << stopped;
  EXPECT_LT(at, 100) << stopped;
  EXPECT_EQ(terminal.screen().find("map offline: 100%"), std::string::npos) << terminal.screen();
  // Time runs on: the download does not. The next "map offline" goes on from where it stopped.
  ASSERT_TRUE(terminal.type("wait 30")) << terminal.screen();
  const std::size_t from = terminal.mark();
  ASSERT_TRUE(terminal.press("map offline\r"));
  ASSERT_TRUE(terminal.waitFor("map offline: downloading")) << terminal.screen();
  ASSERT_TRUE(terminal.waitFor("% (")) << terminal.screen();
  ASSERT_TRUE(terminal.interruptUntil("map offline: interrupted after ")) << terminal.screen();
  ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
  const std::string resumed = terminal.since(from);
  int first = -1;
  const std::size_t firstAt = resumed.find("map offline: ", resumed.find("downloading"));
  ASSERT_NE(firstAt, std::string::npos) << resumed;
  ASSERT_EQ(std::sscanf(resumed.c_str() + firstAt, "map offline: %d%%", &first), 1) << resumed;
  EXPECT_GE(first, at) << resumed;
  EXPECT_LE(first, at + 1) << resumed;
  ASSERT_TRUE(terminal.press("quit\r"));
  EXPECT_NE(terminal.waitForExit(), -1);
}

// What is typed into a field that hides it (the password at login) is not kept in the history;
// the other lines of the login are.
TEST(TerminalTest, APasswordTypedIsNotKeptInTheHistory) {
  kavro::test::TempDir home;
  const std::string history = home.path() + "/kavro_history";
  {
    Terminal terminal(home.path(), "C.UTF-8");
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    for (const char* line : {"tap 登录", "tap 用户名/邮箱", "clear", "type demo", "return", "clear",
                             "type hidden-word", "expect no hidden-word", "tap 登录"})
      ASSERT_TRUE(terminal.type(line)) << terminal.screen();
    ASSERT_TRUE(terminal.press("quit\r"));
    ASSERT_NE(terminal.waitForExit(), -1);
  }
  const std::string kept = historyText(history);
  EXPECT_EQ(linesOf(kept, "type demo"), 1u) << kept;
  EXPECT_EQ(linesOf(kept, "expect no hidden-word"), 1u) << kept;
  EXPECT_EQ(linesOf(kept, "type hidden-word"), 0u) << kept;
}

}  // namespace

namespace {

// A disk that will not take the history file whole (a limit on file size stands in for a full
// one): the session goes on, says so once, and the history of the sessions before stays as it was,
// not cut to what the disk took.
TEST(TerminalTest, AHistoryTheDiskWillNotTakeIsSaidOnceAndTheOneBeforeKept) {
  kavro::test::TempDir home;
  const std::string history = home.path() + "/kavro_history";
  std::string before;
  for (int n = 0; n < 600; ++n) before += std::to_string(n) + std::string(1000, 'x') + "\n";
  std::ofstream(history, std::ios::binary) << before;
  {
    // Set for the runner alone: the limit and the signal's disposition go with it through exec.
    rlimit found{};
    ::getrlimit(RLIMIT_FSIZE, &found);
    rlimit limit = found;
    limit.rlim_cur = 256 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto* disposition = ::signal(SIGXFSZ, SIG_IGN);
    Terminal terminal(home.path(), "C.UTF-8");
    ::signal(SIGXFSZ, disposition);
    ::setrlimit(RLIMIT_FSIZE, &found);
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("kavro> ")) << terminal.screen();
    ASSERT_TRUE(terminal.type("show")) << terminal.screen();
    ASSERT_TRUE(terminal.type("wait 1")) << terminal.screen();
    ASSERT_TRUE(terminal.press("\x04"));
    const int status = terminal.waitForExit();
    ASSERT_TRUE(WIFEXITED(status)) << status << terminal.screen();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string& screen = terminal.screen();
    const std::string said = "kavro: cannot keep the history in " + history;
    const std::size_t at = screen.find(said);
    EXPECT_NE(at, std::string::npos) << screen;
    EXPECT_EQ(screen.find(said, at + 1), std::string::npos) << "said once: " << screen;
  }
  std::ifstream in(history, std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == before) << "the history was changed";
  for (const auto& entry : std::filesystem::directory_iterator(home.path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with("kavro_history.")) << entry.path();
}

}  // namespace
