#include "kit/core/DateCustomInterval.h"

#include <cmath>

namespace kavro::date {

double absIntervalSinceDate(platform::Date d, platform::Date other) {
  return std::fabs(d.timeIntervalSinceDate(other));
}

double absIntervalSinceNow(platform::Date d) { return std::fabs(d.timeIntervalSinceNow()); }

platform::Date dateWithYearIntervalSinceNow(int years) {
  float seconds = static_cast<float>(years) * 365.25f * 86400.0f;
  return platform::Date::dateWithTimeIntervalSinceNow(static_cast<double>(seconds));
}

}  // namespace kavro::date
