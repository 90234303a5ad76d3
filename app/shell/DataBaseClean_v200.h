#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.1: runs while the version flag is below 201,
// raising it to 210 once its clean-ups succeeded. Class functions only. Main thread.
class DataBaseClean_v200 {
 public:
  // False when a store failed during the clean-ups: the flag then stays where it was.
  static bool cleanDataBase_v200_to_v210();
  static bool currentAppISv200();
  static void setCurrentAppv210();
};

}  // namespace kavro
