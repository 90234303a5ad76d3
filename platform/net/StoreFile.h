#pragma once
// Internal to the credential and cookie stores: one entry a line of tab-separated fields, kept in a
// file under the library folder.
#include <functional>
#include <string>
#include <string_view>

namespace platform::storefile {

// Tabs, line ends and "%" are escaped so that one entry stays one line of tab-separated fields.
std::string escapeField(std::string_view s);

enum class ReadResult {
  Read,
  Absent,  // nothing at the path: an empty store
  Failed   // there but unreadable (EIO, EACCES, ...): what it holds is unknown, so it must not be replaced
};

// Calls `line` for each line of the file; for none when it is absent or could not be read.
ReadResult forEachLine(const std::string& path, const std::function<void(const std::string&)>& line);

// Replaces the file with text, creating its folder; false when it could not be written, with the
// system's error in *error. An ownerOnly file is created readable by its owner alone.
bool write(const std::string& path, const std::string& text, bool ownerOnly, int* error = nullptr);

// Says on standard error that what (a person's name for the file's contents) could not be saved,
// and why, once per cause: `said` keeps the cause said last (cleared when a save works, so that a
// later failure is said again). The file keeps what it held; memory keeps the change, and the
// next save writes it.
void sayFailedSave(std::string_view what, int error, std::string& said);

}  // namespace platform::storefile
