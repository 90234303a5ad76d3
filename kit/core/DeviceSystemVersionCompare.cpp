#include "kit/core/DeviceSystemVersionCompare.h"

#include <cstddef>

#include "platform/ui/Device.h"

namespace kavro::device {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The digit run starting at i, without its leading zeros; i moves past it.
std::string_view digitRun(std::string_view s, std::size_t& i) {
  std::size_t start = i;
  while (i < s.size() && isDigit(s[i])) ++i;
  std::string_view run = s.substr(start, i - start);
  while (run.size() > 1 && run.front() == '0') run.remove_prefix(1);
  return run;
}

int systemAgainst(std::string_view version) {
  return compareVersions(platform::Device::currentDevice().systemVersion(), version);
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      std::string_view x = digitRun(a, i), y = digitRun(b, j);
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (int c = x.compare(y); c != 0) return c < 0 ? -1 : 1;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool systemVersionEquals(std::string_view version) { return systemAgainst(version) == 0; }
bool systemVersionGreaterThan(std::string_view version) { return systemAgainst(version) > 0; }
bool systemVersionNotLessThan(std::string_view version) { return systemAgainst(version) >= 0; }
bool systemVersionLessThan(std::string_view version) { return systemAgainst(version) < 0; }
bool systemVersionNotGreaterThan(std::string_view version) { return systemAgainst(version) <= 0; }

}  // namespace kavro::device
