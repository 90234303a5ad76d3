#pragma once
// Internal to the engine sources that handle UTF-8 paths.
#include <string>

namespace gmengine::pathtext {

// The folder part of path, without its last "/"; "" when path has no "/".
inline std::string folderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace gmengine::pathtext
