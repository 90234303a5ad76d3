#pragma once
#include <cstdint>

namespace kavro {

// The step run once after every change of the running version code (2.4 and later): clears what
// any new version may read differently. Class functions only. Main thread.
class DataBaseClean_v240plus {
 public:
  // False when a store failed during the clean-ups: the flag then stays where it was.
  static bool autoCleanDataByAppVersion();
  // The earlier steps' last flag; a running code at or below it leaves the flag alone, so those
  // steps do not run again on every start.
  static constexpr std::int64_t LastStepFlag = 235;
};

}  // namespace kavro
