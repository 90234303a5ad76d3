#include "kit/core/StringCheck.h"

#include "platform/foundation/Text.h"

namespace kavro::str {

bool isGeneralLegalDictCode(std::string_view s) { return s.find_first_not_of('0') != std::string_view::npos; }

bool equalsIgnoreCase(std::string_view s, std::string_view other) {
  return platform::lowercase(s) == platform::lowercase(other);
}

bool contains(std::string_view s, std::string_view needle) {
  return !needle.empty() && s.find(needle) != std::string_view::npos;
}

}  // namespace kavro::str
