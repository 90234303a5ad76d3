#include "kit/skin/AppSkinPackage.h"

#include <set>

#include "kit/core/DataLoadAndParser.h"
#include "kit/core/FSManager.h"

namespace kavro {

bool AppSkinPackage::isSafeSkinName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::shared_ptr<AppSkinPackage> AppSkinPackage::initWithPackageName(std::string_view packageName) {
  auto package = std::make_shared<AppSkinPackage>(Token());
  if (!isSafeSkinName(packageName)) return package;
  auto path = FSManager::getSkinFullPath(packageName);
  if (!path || !FSManager::isFile(*path) || FSManager::isDir(*path)) return package;
  package->archive_ = ZBDataArchive::archiveWithArchivePath(*path);
  return package;
}

std::optional<platform::Data> AppSkinPackage::entryData(const ZBDataArchive& archive, std::string_view name,
                                                        std::uint64_t maxSize) {
  if (name.empty()) return std::nullopt;
  // The first entry of a name is the one the archive reads.
  for (const auto& header : archive.centralDirectory()) {
    if (header.filename() != name) continue;
    if (header.uncompressedSize() > maxSize) return std::nullopt;
    auto bytes = archive.file_get_contents(name);
    if (!bytes || bytes->size() > maxSize) return std::nullopt;
    return bytes;
  }
  return std::nullopt;
}

bool AppSkinPackage::isValidSkinPackage(std::string_view packageName) {
  if (!isSafeSkinName(packageName)) return false;
  auto path = FSManager::getSkinFullPath(packageName);
  if (!path || !FSManager::isFile(*path) || FSManager::isDir(*path)) return false;
  if (!ZBArchive::validArchiveAtPath(*path)) return false;
  auto archive = ZBDataArchive::archiveWithArchivePath(*path);
  if (!archive || !archive->file_exists("skin.xml")) return false;
  auto bytes = entryData(*archive, "skin.xml", MaximumSkinFileSize);
  if (!bytes) return false;
  auto loader = DataLoadAndParser::initWithData(*bytes);
  auto result = loader ? loader->getResult() : nullptr;
  if (loader) loader->stopLoading();
  // A result marked as an error styles nothing (its groups load empty), so it does not count.
  if (!result || !result->isValidListData()) return false;
  static const std::set<std::string, std::less<>> required = {"UINavigationController", "UIButton",
                                                              "UILabel"};
  std::set<std::string, std::less<>> found;
  for (const auto& item : result->dataList()) {
    if (!item) continue;
    std::string target = item->getItemAttribute("skinTarget");
    if (required.count(target) != 0) found.insert(std::move(target));
  }
  return found.size() == required.size();
}

}  // namespace kavro
