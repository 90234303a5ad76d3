#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.3.5: runs while the version flag is below 235,
// raising it to 235 once its clean-ups succeeded. Class functions only. Main thread.
class DataBaseClean_v231 {
 public:
  // False when a store failed during the clean-ups: the flag then stays where it was.
  static bool cleanDataBase_v231_to_v235();
  static bool isOlderThan235();
  static void setCurrentAppv235();
};

}  // namespace kavro
