#pragma once
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

namespace kavro::runner {

// Lines typed on a terminal, with the usual editing keys and the history of earlier lines (kept
// in a file between sessions). One per process.
//
// As in a shell, Ctrl-C drops the line being typed and gives a new prompt; the hang-up and
// termination signals end the reading instead of the process, so that the session ends through
// its usual way out. Every line entered is in the history file at once, so no way out (quit,
// Ctrl-D, the end of input, a signal, even a crash) loses the lines typed before it.
//
// The terminal is in the editor's mode only while a line is typed: between lines, and on every way
// out (an exit() too), it is in the mode the editor found, as a shell leaves it.
class LineEditor {
 public:
  // onSignal, when given, is called from the signal handler (so it may only set a flag) for every
  // signal the editor takes: a command under way can stop waiting. keep, when given, tells whether
  // a line entered goes into the history (a password typed into a field does not).
  LineEditor(std::string prompt, std::string historyFile, void (*onSignal)(int) = nullptr,
             std::function<bool(const std::string&)> keep = {});
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // The next line, without its newline; false at the end of input (the terminal then goes on at
  // the start of a new line) or once a signal asked the process to end (endingSignal()).
  bool read(std::string& line);
  // SIGTERM or SIGHUP when one came, else 0. The caller ends as that signal would have ended it,
  // once its session is closed.
  int endingSignal() const;

 private:
  void loadHistory();
  // The lines entered and not yet in the file go into it: read again first, so that another session
  // on the same file keeps its lines too. A failure is said once; the lines wait for the next save.
  void saveHistory();

  std::string prompt_;
  std::string historyFile_;
  std::function<bool(const std::string&)> keep_;
  bool saveFailed_ = false;
  std::vector<std::string> unsaved_;
  // The history file as this session last read or wrote it: another session's save changes it.
  std::string seenStamp_;
  // The terminal's mode before the editor changed it.
  termios mode_{};
  bool haveMode_ = false;
};

}  // namespace kavro::runner
