#pragma once
#include <string_view>

namespace kavro::str {

// A usable dictionary code: non-empty and not made of zeros only ("", "0", "000" are not).
bool isGeneralLegalDictCode(std::string_view s);
bool equalsIgnoreCase(std::string_view s, std::string_view other);
// Case-sensitive; an empty needle is never contained.
bool contains(std::string_view s, std::string_view needle);

}  // namespace kavro::str
