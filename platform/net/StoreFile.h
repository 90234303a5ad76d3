#pragma once
// Internal to the credential and cookie stores: one entry a line of tab-separated fields, kept in a
// file under the library folder.
#include <functional>
#include <string>
#include <string_view>

namespace platform::storefile {

// Tabs, line ends and "%" are escaped so that one entry stays one line of tab-separated fields.
std::string escapeField(std::string_view s);

// Calls `line` for each line of the file; nothing when it cannot be read.
void forEachLine(const std::string& path, const std::function<void(const std::string&)>& line);

// Replaces the file with text, creating its folder. An ownerOnly file is created readable by its
// owner alone.
void write(const std::string& path, const std::string& text, bool ownerOnly);

}  // namespace platform::storefile
