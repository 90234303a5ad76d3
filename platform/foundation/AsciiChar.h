#pragma once
// Internal to the foundation sources that parse ASCII text by hand.

namespace platform::asciichar {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace platform::asciichar
