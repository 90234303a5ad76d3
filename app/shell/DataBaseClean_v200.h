#pragma once

namespace kavro {

// The upgrade step for data of versions before 2.1: runs while the version flag is below 201,
// raising it to 210 before it cleans. Class functions only. Main thread.
class DataBaseClean_v200 {
 public:
  static void cleanDataBase_v200_to_v210();
  static bool currentAppISv200();
  static void setCurrentAppv210();
};

}  // namespace kavro
