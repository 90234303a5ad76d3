#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// How long a text looks on screen, and the selector in a compiler-generated function name.
namespace kavro::str {

// Display length in double-width units, with which input limits on Chinese text are counted: every
// UTF-16 unit from U+0391 (Greek capital alpha) to U+FFE5 (full-width yen sign) counts two halves,
// every other unit one; the result is the number of halves divided by two, rounded up.
std::int64_t cnWordsLength(std::string_view s);

// "-[ListView reloadData]" gives "reloadData", "+[AppUtil getWindow]" "getWindow". Text without "["
// comes back as it is; a null pointer, text that is not UTF-8 and bracketed text of another form
// give "".
std::string methodNameFromCString(const char* cString);

}  // namespace kavro::str
