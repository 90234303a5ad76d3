#include <string>

#include "kit/base64/Base64.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/core/FSManager.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/skin/AppSkin.h"
#include "kit/skin/AppSkinScan.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/ResourceCache.h"

namespace kavro {

namespace {

bool isDefaultGroup(std::string_view group) { return group.empty() || group == "*"; }

std::string nativeSkinResource(std::string_view group) {
  return isDefaultGroup(group) ? std::string("Images/skin.xml")
                               : "Images/" + std::string(group) + "/skin.xml";
}

// What a loaded native group may keep in memory; an entry (its attributes and skin-file item) is
// counted at about a kilobyte.
constexpr std::size_t NativeGroupsBudget = 4 << 20;
constexpr std::size_t NativeGroupEntryCost = 1024;

// The last "." of the name: "a.b.png" → "a.b@2x.png".
std::string highResolutionName(std::string_view name) {
  auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::string(name);
  return std::string(name.substr(0, dot)) + "@2x" + std::string(name.substr(dot));
}

}  // namespace

std::shared_ptr<DataItemResult> AppSkin::parseSkinFile(const platform::Data& bytes) {
  auto loader = DataLoadAndParser::initWithData(bytes);
  if (!loader) return nullptr;
  auto result = loader->getResult();
  loader->stopLoading();
  return result;
}

std::shared_ptr<DataItemResult> AppSkin::loadPackageSkinConfigForGroup(std::string_view group) const {
  if (!skinPackage_ || !skinPackage_->archive()) return nullptr;
  std::string entry = isDefaultGroup(group) ? std::string("skin.xml") : std::string(group) + "/skin.xml";
  auto bytes =
      AppSkinPackage::entryData(*skinPackage_->archive(), entry, AppSkinPackage::MaximumSkinFileSize);
  if (!bytes) return nullptr;
  return parseSkinFile(*bytes);
}

std::shared_ptr<DataItemResult> AppSkin::loadNativeSkinConfigForGroup(std::string_view group) const {
  auto bytes = FSManager::dataFromResource(nativeSkinResource(group));
  if (!bytes) return nullptr;
  return parseSkinFile(*bytes);
}

bool AppSkin::loadNativeSkinGroup(std::string_view group) {
  // Loaded attributes never change, so the groups share them.
  static auto* loaded = new platform::ResourceCache<GroupMap>(NativeGroupsBudget);
  auto file = platform::Environment::resourceFile(nativeSkinResource(group));
  const std::string key = file ? file->path + '\n' + std::string(group) : std::string();
  if (file) {
    if (auto kept = loaded->find(key, file->stamp)) {
      skinDict_[std::string(group)] = *kept;
      return true;
    }
  }
  if (!loadSkinGroup(group, loadNativeSkinConfigForGroup(group))) return false;
  if (file) {
    const GroupMap& made = skinDict_.find(group)->second;
    std::size_t entries = 0;
    for (const auto& [target, types] : made) entries += types.size();
    loaded->keep(key, file->stamp, std::make_shared<const GroupMap>(made), entries * NativeGroupEntryCost);
  }
  return true;
}

std::optional<std::string> AppSkin::getImagePathInPackage(std::string_view fileName,
                                                          std::string_view group) const {
  std::string name(fileName);
  if (screenScale_ == 2.0 && name.find('.') != std::string::npos) name = highResolutionName(name);
  if (isDefaultGroup(group)) return name;
  const auto archive = skinPackage_ ? skinPackage_->archive() : nullptr;
  if (!archive) return std::nullopt;
  std::string inGroup = std::string(group) + "/" + name;
  if (archive->file_exists(inGroup)) return inGroup;
  if (archive->file_exists(name)) return name;
  return std::nullopt;
}

std::string AppSkin::getImagePathInNative(std::string_view fileName, std::string_view group) const {
  if (!isDefaultGroup(group)) {
    std::string inGroup = "Images/" + std::string(group) + "/" + std::string(fileName);
    if (FSManager::isResourceFile(inGroup)) return inGroup;
  }
  return "Images/" + std::string(fileName);
}

std::shared_ptr<platform::Image> AppSkin::decodeImage(const platform::Data& bytes) const {
  platform::DecodeLimits limits;
  limits.maxDimension = MaximumImageDimension;
  limits.maxPixels = MaximumImagePixels;
  limits.maxTotalPixels = MaximumImagePixels;
  limits.maxFrames = 1;
  return platform::Image::imageWithData(bytes, 1.0, limits);
}

std::shared_ptr<platform::Image> AppSkin::imageData(const DataItemDetail* item, std::string_view key) const {
  if (!item) return nullptr;
  // The records live in the groups, which forget this map whenever one goes.
  imageKey_.assign(reinterpret_cast<const char*>(&item), sizeof item).append(key);
  if (auto known = imageByItem_.find(std::string_view(imageKey_)); known != imageByItem_.end())
    return known->second;
  bool kept = false;
  auto image = imageFromAttribute(*item, key, kept);
  if (kept) {
    imageKey_.assign(reinterpret_cast<const char*>(&item), sizeof item).append(key);
    imageByItem_.emplace(imageKey_, image);
  }
  return image;
}

std::shared_ptr<platform::Image> AppSkin::imageFromAttribute(const DataItemDetail& attribute,
                                                             std::string_view key, bool& kept) const {
  const DataItemDetail* item = &attribute;
  if (!item->hasKey(key)) return nullptr;
  std::string cacheKey = item->getString(key);
  const std::string keyName(key);
  for (const std::string& part :
       {std::string(GroupKey), keyName + ".scale", keyName + ".leftCapWidth", keyName + ".topCapHeight"}) {
    cacheKey += '\x1f';
    if (item->hasKey(part))
      cacheKey += item->getString(part);
    else
      cacheKey += '\x1e';
  }
  if (auto it = images_.find(cacheKey); it != images_.end()) {
    kept = true;
    return it->second;
  }
  auto image = makeImage(item, key);
  if (!image) return nullptr;
  const auto& bitmap = image->bitmap();
  const std::size_t bytes =
      bitmap ? static_cast<std::size_t>(bitmap->width()) * bitmap->height() * 4 * image->frameCount() : 0;
  if (bytes > ImageCacheBudget) return image;
  if (imageBytes_ + bytes > ImageCacheBudget) {
    images_.clear();
    imageByItem_.clear();
    imageBytes_ = 0;
  }
  images_.emplace(std::move(cacheKey), image);
  imageBytes_ += bytes;
  kept = true;
  return image;
}

std::shared_ptr<platform::Image> AppSkin::makeImage(const DataItemDetail* item, std::string_view key) const {
  const std::string value = item->getString(key);
  const std::string group = item->getString(GroupKey);
  const std::string keyName(key);
  std::shared_ptr<platform::Image> image;
  if (value.find('.') != std::string::npos) {
    if (value.rfind("Images/", 0) != 0) {
      if (skinPackage_ && skinPackage_->archive()) {
        if (auto entry = getImagePathInPackage(value, group)) {
          if (auto bytes = AppSkinPackage::entryData(*skinPackage_->archive(), *entry,
                                                     AppSkinPackage::MaximumImageFileSize)) {
            image = decodeImage(*bytes);
            if (image && screenScale_ == 2.0) {
              image = platform::Image::imageWithImage(*image, 2.0, platform::ImageOrientation::Up);
            }
          }
        }
      }
      if (!image) image = platform::Image::imageNamed(getImagePathInNative(value, group), screenScale_);
    }
    if (!image) image = platform::Image::imageNamed(value, screenScale_);
  } else {
    auto bytes = base64DecodeString(value);
    if (!bytes || bytes->empty()) return nullptr;
    image = decodeImage(*bytes);
    if (image) {
      const std::string scaleKey = keyName + ".scale";
      if (item->hasKey(scaleKey)) {
        if (auto scale = skinscan::scanNumber(item->getString(scaleKey)); scale && *scale > 0) {
          image = platform::Image::imageWithImage(*image, *scale, platform::ImageOrientation::Up);
        }
      }
    }
  }
  if (!image) return nullptr;
  const std::string leftKey = keyName + ".leftCapWidth";
  const std::string topKey = keyName + ".topCapHeight";
  if (item->hasKey(leftKey) && item->hasKey(topKey)) {
    auto stretchable = image->stretchableImageWithLeftCapWidth(skinscan::scanCap(item->getString(leftKey)),
                                                               skinscan::scanCap(item->getString(topKey)));
    if (stretchable) return stretchable;
  }
  return image;
}

// ---- The downloaded skins ----

namespace {

std::shared_ptr<DataItemResult> storedSkinList() {
  auto db = AppCoreInfo::getCoreDB();
  auto list = db ? db->getItemsCache(STORE_CORE_APP_SKIN, AppSkin::CacheSkinList) : nullptr;
  if (!list) list = DataItemResult::create();
  return list;
}

bool listHasName(const DataItemResult& list, std::string_view name) {
  for (const auto& row : list.dataList()) {
    if (row && row->getString("name") == name) return true;
  }
  return false;
}

}  // namespace

bool AppSkin::hasLocalSkin(std::string_view name) {
  if (name.empty()) return false;
  if (name == NativeSkinName) return true;
  if (!AppSkinPackage::isSafeSkinName(name)) return false;
  auto path = FSManager::getSkinFullPath(name);
  if (!path || !FSManager::isFile(*path)) return false;
  return listHasName(*storedSkinList(), name);
}

bool AppSkin::saveLocalSkin(const DataItemDetail* skin, const std::optional<platform::Data>& skinData) {
  if (!skin || !skinData || skinData->size() < 50) return false;
  const std::string name = skin->getString("name");
  for (const char* field : {"name", "title", "valid", "url"}) {
    if (skin->getString(field).empty()) return false;
  }
  if (!AppSkinPackage::isSafeSkinName(name)) return false;
  if (hasLocalSkin(name)) return false;
  auto path = FSManager::getSkinFullPath(name);
  if (!path) return false;
  // A file left by an earlier failed save is not listed, so it may be replaced.
  if (!platform::FileManager::createFileAtPath(*path, *skinData) || !FSManager::isFile(*path)) return false;
  auto list = storedSkinList();
  list->removeItemsWithKey("name", name);
  auto row = skin->dataItemDetailCopy();
  row->setInt(1, CachedKey);
  list->addItem(row);
  auto db = AppCoreInfo::getCoreDB();
  return db && db->saveItemsCache(STORE_CORE_APP_SKIN, CacheSkinList, *list);
}

bool AppSkin::removeLocalSkin(std::string_view name) {
  if (name.empty() || name == NativeSkinName || !AppSkinPackage::isSafeSkinName(name)) return false;
  if (auto path = FSManager::getSkinFullPath(name)) FSManager::deleteFile(*path);
  auto list = storedSkinList();
  list->removeItemsWithKey("name", name);
  if (auto db = AppCoreInfo::getCoreDB()) db->saveItemsCache(STORE_CORE_APP_SKIN, CacheSkinList, *list);
  return true;
}

std::shared_ptr<DataItemResult> AppSkin::getLocalSkinList() {
  auto result = DataItemResult::create();
  result->setItemUniqueKeyName("name");
  auto native = DataItemDetail::newDetail();
  native->setString(NativeSkinName, "name");
  native->setString(AppCoreInfo::getLocalizedString("appskin_native_skin_title"), "title");
  native->setInt(1, NativeKey);
  result->addItem(native);
  result->appendItems(storedSkinList().get());
  return result;
}

bool AppSkin::setDefaultSkin(std::string_view name) {
  auto db = AppCoreInfo::getCoreDB();
  return db && db->setStrValue(STORE_CORE_APP_SKIN, CacheDefault, name) > 0;
}

std::string AppSkin::getDefaultSkin() {
  auto db = AppCoreInfo::getCoreDB();
  if (!db || !db->hasStrItem(STORE_CORE_APP_SKIN, CacheDefault)) return std::string(NativeSkinName);
  std::string name = db->getStrValue(STORE_CORE_APP_SKIN, CacheDefault);
  if (name.empty() || !hasLocalSkin(name)) return std::string(NativeSkinName);
  return name;
}

}  // namespace kavro
