#pragma once
#include <string>

namespace kavro::runner {

// Lines typed on a terminal, with the usual editing keys and the history of earlier lines (kept
// in a file between sessions). One per process.
class LineEditor {
 public:
  LineEditor(std::string prompt, std::string historyFile);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // The next line, without its newline; false at the end of input.
  bool read(std::string& line);

 private:
  std::string prompt_;
  std::string historyFile_;
};

}  // namespace kavro::runner
