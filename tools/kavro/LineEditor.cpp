#include "tools/kavro/LineEditor.h"

#include <editline/readline.h>

#include <cstdlib>
#include <memory>

namespace kavro::runner {

namespace {
constexpr int HistoryLines = 1000;
}

LineEditor::LineEditor(std::string prompt, std::string historyFile)
    : prompt_(std::move(prompt)), historyFile_(std::move(historyFile)) {
  using_history();
  stifle_history(HistoryLines);
  // A first session has no history file yet.
  read_history(historyFile_.c_str());
}

LineEditor::~LineEditor() { write_history(historyFile_.c_str()); }

bool LineEditor::read(std::string& line) {
  std::unique_ptr<char, decltype(&std::free)> text(readline(prompt_.c_str()), &std::free);
  if (!text) return false;
  line = text.get();
  // Blank lines and repeats of the line before do not fill the history.
  if (line.find_first_not_of(" \t") != std::string::npos) {
    HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
    if (!last || line != last->line) add_history(line.c_str());
  }
  return true;
}

}  // namespace kavro::runner
