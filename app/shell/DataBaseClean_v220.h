#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.2.1: runs while the version flag is below 221,
// raising it to 221 once its clean-ups succeeded. Class functions only. Main thread.
class DataBaseClean_v220 {
 public:
  // False when a store failed during the clean-ups: the flag then stays where it was.
  static bool cleanDataBase_v220_to_v221();
  static bool currentAppISv220();
  static void setCurrentAppv221();
};

}  // namespace kavro
