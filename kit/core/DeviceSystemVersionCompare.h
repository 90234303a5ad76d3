#pragma once
#include <string_view>

// The device's system version against a version text such as "6.0", compared numerically: runs of
// digits as numbers (6.10 is above 6.9), other characters one by one, and a text that is the
// start of the other comes first. Main thread only.
namespace kavro::device {

// -1, 0 or 1 as a is below, equal to or above b.
int compareVersions(std::string_view a, std::string_view b);

bool systemVersionEquals(std::string_view version);
bool systemVersionGreaterThan(std::string_view version);
bool systemVersionNotLessThan(std::string_view version);
bool systemVersionLessThan(std::string_view version);
bool systemVersionNotGreaterThan(std::string_view version);

}  // namespace kavro::device
