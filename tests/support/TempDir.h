#pragma once
#include <string>

namespace kavro::test {

// A fresh folder under the system's temporary directory, removed with everything in it on
// destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kavro::test
