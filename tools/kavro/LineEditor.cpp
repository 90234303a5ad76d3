#include "tools/kavro/LineEditor.h"

#include <editline/readline.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace kavro::runner {

namespace {

constexpr int HistoryLines = 1000;
// What is read of a history file: its last MiB, lines of at most 4 KiB.
constexpr std::streamoff HistoryReadBytes = 1 << 20;
constexpr std::size_t HistoryLineBytes = 4096;
// The first line of the line editor's own history format.
constexpr std::string_view HistoryCookie = "_HiStOrY_V2_";

// The signals the editor takes while it exists.
constexpr int TakenSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Atomics, not volatile flags: a signal meant for the process runs its handler on whichever thread
// does not block it, often one of the engine's, while the main thread reads them.
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler sets these");
std::atomic<int> interrupted = 0;
std::atomic<int> ending = 0;
// Standard input is /dev/null since a signal came, until read() puts the terminal back.
std::atomic<int> inputSwapped = 0;
int nullInput = -1;
int terminalInput = -1;
void (*signalHook)(int) = nullptr;
struct sigaction previous[std::size(TakenSignals)];
// The terminal's mode when the editor came, given back between lines and on every way out.
termios foundMode{};
bool haveFoundMode = false;

void giveModeBack() {
  if (haveFoundMode && terminalInput >= 0) ::tcsetattr(terminalInput, TCSADRAIN, &foundMode);
}

// An exit() from anywhere (a command's fatal error) gives the terminal back too.
extern "C" void giveModeBackAtExit() { giveModeBack(); }

// A signal may come while the editor is anywhere, not only blocked in read(): with /dev/null as
// its input, its next read ends at once, wherever it is.
extern "C" void takeSignal(int signal) {
  const int error = errno;
  if (signal == SIGINT)
    interrupted = 1;
  else
    ending = signal;
  if (nullInput >= 0 && ::dup2(nullInput, STDIN_FILENO) >= 0) inputSwapped = 1;
  if (signalHook) signalHook(signal);
  errno = error;
}

// The terminal back as standard input, in the mode it had before the editor, which could not set
// it back through /dev/null.
void restoreInput(const termios* mode) {
  if (!inputSwapped) return;
  ::dup2(terminalInput, STDIN_FILENO);
  inputSwapped = 0;
  if (mode) ::tcsetattr(STDIN_FILENO, TCSADRAIN, mode);
}

// The editor prints its prompt before it takes the terminal out of line mode, so a key pressed
// as soon as the prompt shows would meet the terminal's own line editing: a Ctrl-D there is taken
// as the end of a line, reaches the editor as a NUL, and the session never ends. Line mode ends
// here, before the prompt; a terminal already out of it (the editor's own mode, kept after a
// signal) is left as it is, and the editor sets its own mode over this one; the mode found is
// given back after the line.
void keysAsTheEditorReadsThem() {
  termios now{};
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &now) != 0 || !(now.c_lflag & ICANON)) return;
  now.c_lflag &= ~(ICANON | ECHO | ECHONL);
  now.c_cc[VMIN] = 1;
  now.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &now);
}

}  // namespace

namespace {

// Which file stands at path and when it was last written ("" when none does).
std::string fileStamp(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return "";
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
         std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec);
}

}  // namespace

LineEditor::LineEditor(std::string prompt, std::string historyFile, void (*onSignal)(int),
                       std::function<bool(const std::string&)> keep)
    : prompt_(std::move(prompt)), historyFile_(std::move(historyFile)), keep_(std::move(keep)) {
  // The editor's own handlers would end the process (and signal its whole group); these end the
  // read: a blocked read() returns at the signal (no SA_RESTART) and the editor gives the line up.
  rl_catch_signals = 0;
  signalHook = onSignal;
  nullInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  terminalInput = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  haveMode_ = ::tcgetattr(STDIN_FILENO, &mode_) == 0;
  foundMode = mode_;
  haveFoundMode = haveMode_;
  static const bool atExit = std::atexit(giveModeBackAtExit) == 0;
  (void)atExit;
  struct sigaction take {};
  take.sa_handler = takeSignal;
  sigemptyset(&take.sa_mask);
  take.sa_flags = 0;
  for (std::size_t i = 0; i < std::size(TakenSignals); ++i) ::sigaction(TakenSignals[i], &take, &previous[i]);
  using_history();
  stifle_history(HistoryLines);
  loadHistory();
  seenStamp_ = fileStamp(historyFile_);
}

LineEditor::~LineEditor() {
  for (std::size_t i = 0; i < std::size(TakenSignals); ++i)
    ::sigaction(TakenSignals[i], &previous[i], nullptr);
  signalHook = nullptr;
  restoreInput(haveMode_ ? &mode_ : nullptr);
  giveModeBack();
  haveFoundMode = false;
  for (int* fd : {&nullInput, &terminalInput}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

int LineEditor::endingSignal() const { return ending; }

// A first session has no history file yet. A file the editor did not write (lines of another
// program's history, say) is read a line an entry, and kept so: the next save writes them back.
void LineEditor::loadHistory() {
  struct stat info {};
  if (::stat(historyFile_.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) return;
  std::ifstream in(historyFile_, std::ios::binary);
  if (!in) return;
  std::string first;
  const bool whole = info.st_size <= HistoryReadBytes;
  const bool ours = std::getline(in, first) && first == HistoryCookie;
  if (whole && ours) {
    in.close();
    read_history(historyFile_.c_str());
    return;
  }
  in.clear();
  in.seekg(whole ? 0 : info.st_size - HistoryReadBytes);
  std::deque<std::string> lines;
  bool cut = !whole;  // the first line read may be the end of a longer one
  for (std::string text; std::getline(in, text); cut = false) {
    if (cut || text == HistoryCookie) continue;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.size() > HistoryLineBytes || text.find('\0') != std::string::npos ||
        text.find_first_not_of(" \t") == std::string::npos)
      continue;
    lines.push_back(std::move(text));
    if (lines.size() > HistoryLines) lines.pop_front();
  }
  if (ours) {
    // The editor's own file cut to its tail: its lines are still in the editor's escaped form,
    // which only the editor's own reading undoes.
    std::string temporary = historyFile_ + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return;
    std::string text = std::string(HistoryCookie) + "\n";
    for (const std::string& line : lines) text += line + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    if (written) read_history(temporary.c_str());
    ::unlink(temporary.c_str());
    return;
  }
  for (const std::string& text : lines) add_history(text.c_str());
}

namespace {

// The editor's own save answers success even when the disk did not take what it wrote (it checks
// none of its writes): put in place, such a file would cut the history of every earlier session.
// It writes a first line of its own and then each entry as one line (a new line in it escaped).
bool holdsWholeHistory(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::size_t lines = 0;
  char last = '\n';
  for (std::istreambuf_iterator<char> at(in), end; at != end; ++at) {
    last = *at;
    if (last == '\n') ++lines;
  }
  return !in.bad() && last == '\n' && lines == static_cast<std::size_t>(history_length) + 1;
}

}  // namespace

// What was typed may hold names and passwords: the file is the user's alone, as the rest of the
// home, whatever the permissions of the file it replaces. Written beside it and renamed over it, a
// save is never found half done.
void LineEditor::saveHistory() {
  // Sessions on one home take turns at the file (a lock on its folder, which the renames leave in
  // place): each reads what the others saved and adds its own lines to it.
  const std::string folder = historyFile_.substr(0, historyFile_.find_last_of('/') + 1);
  const int turn = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (turn >= 0) ::flock(turn, LOCK_EX);
  // Read again only when another session saved since: the lines held are otherwise the file's.
  if (fileStamp(historyFile_) != seenStamp_) {
    clear_history();
    loadHistory();
    for (const std::string& line : unsaved_) {
      HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
      if (!last || line != last->line) add_history(line.c_str());
    }
  }
  std::string temporary = historyFile_ + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  bool saved = fd >= 0;
  if (saved) {
    ::close(fd);
    errno = 0;
    saved = write_history(temporary.c_str()) == 0;
    const int writeError = errno;
    if (saved && !holdsWholeHistory(temporary)) {
      saved = false;
      errno = writeError ? writeError : EIO;
    }
    saved = saved && ::chmod(temporary.c_str(), S_IRUSR | S_IWUSR) == 0 &&
            std::rename(temporary.c_str(), historyFile_.c_str()) == 0;
    const int error = errno;
    if (!saved) ::unlink(temporary.c_str());
    errno = error;
  }
  const int error = errno;
  if (turn >= 0) ::close(turn);
  errno = error;
  if (saved) {
    unsaved_.clear();
    seenStamp_ = fileStamp(historyFile_);
  }
  if (!saved && !saveFailed_) {
    saveFailed_ = true;
    std::fprintf(stderr, "kavro: cannot keep the history in %s: %s\n", historyFile_.c_str(),
                 std::strerror(errno));
  }
}

bool LineEditor::read(std::string& line) {
  for (;;) {
    if (ending) return false;
    // A Ctrl-C while a command ran was the command's.
    restoreInput(nullptr);
    interrupted = 0;
    keysAsTheEditorReadsThem();
    std::unique_ptr<char, decltype(&std::free)> text(readline(prompt_.c_str()), &std::free);
    // A signal that took the editor's input away left the terminal in the editor's mode, as the
    // editor knows it (its next line goes on in it); a session that ends sets the mode back. A line
    // ended by its own keys gives the terminal back as it was found: the editor leaves it in a mode
    // of its own, without line editing and echo.
    const bool signalled = inputSwapped;
    restoreInput(ending && haveMode_ ? &mode_ : nullptr);
    if (!signalled) giveModeBack();
    if (ending) {
      // The line being typed is given up; the shell's prompt comes on a line of its own.
      std::fputs("\n", stdout);
      std::fflush(stdout);
      return false;
    }
    if (!text && interrupted) {
      // The terminal shows the key itself when it echoes control keys.
      termios now{};
      const bool shown =
          ::tcgetattr(STDIN_FILENO, &now) == 0 && (now.c_lflag & ECHO) && (now.c_lflag & ECHOCTL);
      std::fputs(shown ? "\n" : "^C\n", stdout);
      std::fflush(stdout);
      continue;
    }
    if (!text) {
      // Ctrl-D or the end of input: the shell's prompt comes on a new line.
      std::fputs("\n", stdout);
      std::fflush(stdout);
      return false;
    }
    line = text.get();
    // Blank lines, repeats of the line before and lines the caller keeps out (a password) do not
    // fill the history.
    if (line.find_first_not_of(" \t") != std::string::npos && (!keep_ || keep_(line))) {
      HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
      if (!last || line != last->line) {
        add_history(line.c_str());
        unsaved_.push_back(line);
        if (unsaved_.size() > std::size_t(HistoryLines)) unsaved_.erase(unsaved_.begin());
        saveHistory();
      }
    }
    return true;
  }
}

}  // namespace kavro::runner
