#pragma once
// Internal to the networking sources: text helpers that several of them share.
#include <cctype>
#include <string>
#include <string_view>

namespace platform::nettext {

inline std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Without the spaces and tabs around it (HTTP's optional white space).
inline std::string_view trimOWS(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace platform::nettext
