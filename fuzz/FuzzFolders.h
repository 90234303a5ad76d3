#pragma once
// What the extraction targets share: counting what lies outside the folder an expansion was given.
#include <cstddef>
#include <filesystem>

namespace fuzzfolders {

// The entries under root that are not inside `inside` (links are not followed).
inline std::size_t countOutside(const std::filesystem::path& root, const std::filesystem::path& inside) {
  std::error_code ec;
  std::size_t n = 0;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    auto relative = it->path().lexically_relative(inside);
    if (relative.empty() || *relative.begin() == "..") ++n;
  }
  return n;
}

}  // namespace fuzzfolders
