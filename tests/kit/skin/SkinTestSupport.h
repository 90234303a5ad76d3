#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/FSManager.h"
#include "kit/skin/AppSkin.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"
#include "tests/support/TempHome.h"

namespace kavro::test {

// A skin.xml with the given items (each an <item ...>...</item> text).
inline std::string skinXml(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>1</result><resultbody>" + items +
         "</resultbody></responsemessage>";
}

// The three targets a package must style to be accepted.
inline std::string requiredItems() {
  return "<item skinTarget=\"UINavigationController\"><tintColor>#102030</tintColor></item>"
         "<item skinTarget=\"UIButton\"><textColor>#ff0000</textColor></item>"
         "<item skinTarget=\"UILabel\"><textColor>#00ff00</textColor></item>";
}

// PNG bytes of a flat w x h image.
inline platform::Data pngData(int w, int h) {
  auto bitmap = platform::Bitmap::create(w, h);
  bitmap->fill({10, 20, 30, 255});
  return platform::Image::imageWithBitmap(std::move(*bitmap))->PNGRepresentation();
}

// A zip of the given entries (name → bytes).
inline platform::Data zipOf(const std::map<std::string, platform::Data>& entries) {
  auto archive = ZBDataArchive::create();
  for (const auto& [name, bytes] : entries) archive->deflateData(bytes, name);
  return archive->data();
}

inline platform::Data bytesOf(const std::string& s) { return platform::dataFromString(s); }

// Stores a package as the skin-choice screen would after a download.
inline bool installSkin(const std::string& name, const platform::Data& bytes) {
  auto record = DataItemDetail::newDetail();
  record->setString(name, "name");
  record->setString("Title " + name, "title");
  record->setString("1", "valid");
  record->setString("http://127.0.0.1/skin/" + name, "url");
  return AppSkin::saveLocalSkin(record.get(), bytes);
}

// Writes a file straight into the skin folder (for packages the store would refuse).
inline void writeSkinFile(const std::string& name, const platform::Data& bytes) {
  ASSERT_TRUE(platform::FileManager::createFileAtPath(*FSManager::getSkinFullPath(name), bytes));
}

class SkinTest : public ::testing::Test {
 protected:
  void TearDown() override {
    AppSkin::destroySharedAppSkin();
    AppCoreInfo::destroyAppCoreInfo();
    platform::Screen::mainScreen().reset();
  }
  TempHome home_;
};

}  // namespace kavro::test
