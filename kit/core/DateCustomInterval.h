#pragma once
#include "platform/foundation/Date.h"

namespace kavro::date {

double absIntervalSinceDate(platform::Date d, platform::Date other);
double absIntervalSinceNow(platform::Date d);
// The date that lies the given number of years from now (negative: in the past), in years of
// 365.25 days.
platform::Date dateWithYearIntervalSinceNow(int years);

}  // namespace kavro::date
