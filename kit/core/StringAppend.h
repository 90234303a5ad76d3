#pragma once
#include <string>
#include <string_view>

namespace kavro::str {

// Appends s unless it is empty.
void appendStringEx(std::string& target, std::string_view s);
// Appends s, preceded by split when target already holds text; nothing for an empty s.
void appendString(std::string& target, std::string_view s, std::string_view split);

}  // namespace kavro::str
