#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.3.1: runs while the version flag is below 231,
// raising it to 231 once its clean-ups succeeded. Class functions only. Main thread.
class DataBaseClean_v221 {
 public:
  // False when a store failed during the clean-ups: the flag then stays where it was.
  static bool cleanDataBase_v221_to_v231();
  static bool isOlderThan231();
  static void setCurrentAppv231();
};

}  // namespace kavro
