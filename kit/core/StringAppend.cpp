#include "kit/core/StringAppend.h"

namespace kavro::str {

void appendStringEx(std::string& target, std::string_view s) { target.append(s); }

void appendString(std::string& target, std::string_view s, std::string_view split) {
  if (s.empty()) return;
  if (!target.empty() && !split.empty()) target.append(split);
  target.append(s);
}

}  // namespace kavro::str
