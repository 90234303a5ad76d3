#pragma once
#include <string>

#include "tests/support/TempDir.h"

namespace kavro::test {

// A fresh, empty home root for one test: Environment's home root points into a new TempDir and
// its resource root at the repository's resources ($KAVRO_RESOURCES, set by CTest). The user
// defaults are forgotten on the way in and out, so none leak between tests. Restores both roots
// on destruction.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string previousHome_;
  std::string previousResources_;
};

}  // namespace kavro::test
