#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kavro::str {

// Server HTML fragments to plain text with line breaks kept.
std::string html2text(std::string_view s);
// Server HTML fragments to one line of plain text.
std::string striptags(std::string_view s);
// Four spaces before the text and after every line break.
std::string textindent(std::string_view s);
// "0 byte", "N bytes", then KB, MB, GB cut (not rounded) to two decimals.
std::string fromFileSize(std::int64_t bytes);

}  // namespace kavro::str
