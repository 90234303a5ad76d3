#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Date.h"

namespace kavro {

// Writes archive entries below an expansion folder. Entry names are normalised first; a name that
// is absolute, climbs out with "..", holds a NUL byte or names nothing is refused. Nothing is ever
// written through a symbolic link: every folder on the way is opened without following links, so
// a link that an earlier entry created cannot redirect a later one. Used by one thread.
class ZBExpansion {
 public:
  // Nothing when the folder cannot be opened.
  static std::optional<ZBExpansion> open(const std::string& folder);

  // "a/./b//c" -> "a/b/c"; nothing for a name that would leave the folder.
  static std::optional<std::string> safeRelativePath(std::string_view name);

  const std::string& path() const { return path_; }
  // False when an earlier entry of this run already took the same path.
  bool claim(const std::string& relative);

  // Each creates the folders on the way (never through a link); false or an invalid descriptor on
  // failure, also when something (a link included) is already in the way.
  zb::FileDescriptor createFile(const std::string& relative);
  bool createDirectory(const std::string& relative);
  bool createLink(const std::string& relative, const std::string& destination);
  // Permissions (not on links) and dates of the item itself.
  bool setAttributes(const std::string& relative, std::uint32_t permissions, platform::Date modificationDate);

 private:
  ZBExpansion(std::string path, zb::FileDescriptor root) : path_(std::move(path)), root_(std::move(root)) {}
  // The folder holding the last component, opened without following links.
  zb::FileDescriptor openParent(const std::vector<std::string>& components, bool create) const;
  zb::FileDescriptor openFolder(const std::vector<std::string>& components, std::size_t count,
                                bool create) const;

  std::string path_;
  zb::FileDescriptor root_;
  std::set<std::string> claimed_;
};

}  // namespace kavro
