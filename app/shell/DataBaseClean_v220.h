#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.2.1: runs while the version flag is below 221,
// raising it to 221 before it cleans. Class functions only. Main thread.
class DataBaseClean_v220 {
 public:
  static void cleanDataBase_v220_to_v221();
  static bool currentAppISv220();
  static void setCurrentAppv221();
};

}  // namespace kavro
