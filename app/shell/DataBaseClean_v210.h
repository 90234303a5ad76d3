#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.2: runs while the version flag is below 211,
// raising it to 220 once its clean-ups succeeded. Class functions only. Main thread.
class DataBaseClean_v210 {
 public:
  // False when a store failed during the clean-ups: the flag then stays where it was.
  static bool cleanDataBase_v210_to_v220();
  static bool currentAppISv210();
  static void setCurrentAppv220();
};

}  // namespace kavro
