#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.2: runs while the version flag is below 211,
// raising it to 220 before it cleans. Class functions only. Main thread.
class DataBaseClean_v210 {
 public:
  static void cleanDataBase_v210_to_v220();
  static bool currentAppISv210();
  static void setCurrentAppv220();
};

}  // namespace kavro
