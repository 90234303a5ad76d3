#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "kit/codec/zip/ZBDataArchive.h"

namespace kavro {

// One stored skin package, opened by path (only its central directory is read up front). Loaded
// when the archive could be opened. Main thread only.
class AppSkinPackage {
  // Only the class names it: a package is opened through initWithPackageName.
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit AppSkinPackage(Token) {}
  // Opens Documents/kavro_client_skin/<packageName>; not loaded when the name is unsafe or the
  // file is not a readable archive.
  static std::shared_ptr<AppSkinPackage> initWithPackageName(std::string_view packageName);

  bool isLoaded() const { return archive_ != nullptr; }
  const std::shared_ptr<ZBDataArchive>& archive() const { return archive_; }
  void setArchive(std::shared_ptr<ZBDataArchive> archive) { archive_ = std::move(archive); }

  // A stored package that opens, has a root "skin.xml" with items, and styles at least
  // "UINavigationController", "UIButton" and "UILabel".
  static bool isValidSkinPackage(std::string_view packageName);

  // A skin name is one file name inside the skin folder: not empty, no "/", not "." or "..".
  static bool isSafeSkinName(std::string_view name);

  // Largest entries read from a package: a group's skin file and one image.
  static constexpr std::uint64_t MaximumSkinFileSize = 1u << 20;
  static constexpr std::uint64_t MaximumImageFileSize = 4u << 20;
  // The bytes of a plain-file entry no larger than maxSize (by its central-directory record).
  static std::optional<platform::Data> entryData(const ZBDataArchive& archive, std::string_view name,
                                                 std::uint64_t maxSize);

 private:
  std::shared_ptr<ZBDataArchive> archive_;
};

}  // namespace kavro
