#include <gtest/gtest.h>

#include <fstream>

#include "kit/core/FSManager.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "tests/support/TempHome.h"

using kavro::FSManager;

namespace {
void write(const std::string& path, std::size_t bytes) { std::ofstream(path) << std::string(bytes, 'x'); }
}  // namespace

TEST(FSManager, DataAndSkinFoldersAreMadeOnFirstUse) {
  kavro::test::TempHome home;
  std::string docs = platform::Environment::documentsPath();
  auto db = FSManager::getDbFullPath("KavroCoreData.db");
  ASSERT_TRUE(db);
  EXPECT_EQ(*db, docs + "/kavro_client_data/KavroCoreData.db");
  EXPECT_TRUE(FSManager::isDir(docs + "/kavro_client_data"));
  EXPECT_EQ(*FSManager::getSkinFullPath("blue"), docs + "/kavro_client_skin/blue");
  EXPECT_EQ(*FSManager::getCacheFullPath("x"), docs + "/x");
  EXPECT_FALSE(FSManager::getDbFullPath(""));
  auto folder = FSManager::getDataFolder("images");
  ASSERT_TRUE(folder);
  EXPECT_TRUE(FSManager::isDir(*folder));
  EXPECT_FALSE(FSManager::getDataFolder(""));
}

TEST(FSManager, DataPathFailsWhenAFileBlocksTheFolder) {
  kavro::test::TempHome home;
  write(platform::Environment::documentsPath() + "/kavro_client_data", 3);
  EXPECT_FALSE(FSManager::getDbFullPath("a.db"));
}

TEST(FSManager, SizesAndDeletion) {
  kavro::test::TempHome home;
  std::string root = platform::Environment::tmpPath() + "/tree";
  EXPECT_EQ(FSManager::getDirSize(""), 0);
  platform::FileManager::createDirectoryAtPath(root + "/sub", true);
  EXPECT_EQ(FSManager::getDirSize(root), FSManager::getFileSize(root + "/sub"));
  write(root + "/a", 100);
  write(root + "/sub/b", 23);
  EXPECT_EQ(FSManager::getFileSize(root + "/a"), 100);
  EXPECT_EQ(FSManager::getFileSize(root + "/missing"), 0);
  EXPECT_EQ(FSManager::getDirSize(root) - FSManager::getFileSize(root + "/sub"), 123);
  EXPECT_TRUE(FSManager::isWriteable(root + "/a"));
  EXPECT_TRUE(FSManager::fileModifyDate(root + "/a"));
  EXPECT_TRUE(FSManager::deleteFile(root + "/nothing-here"));
  FSManager::deleteAllFilesFromPath(root);
  EXPECT_TRUE(FSManager::isDir(root));
  EXPECT_EQ(platform::FileManager::contentsOfDirectoryAtPath(root)->size(), 0u);
}

TEST(FSManager, AResourceRewrittenOrUnderAnotherRootIsReadAfresh) {
  kavro::test::TempHome home;
  std::string first = platform::Environment::tmpPath() + "/first",
              second = platform::Environment::tmpPath() + "/second";
  auto put = [](const std::string& root, std::string_view text) {
    ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(root + "/Config", true));
    ASSERT_TRUE(
        platform::FileManager::createFileAtPath(root + "/Config/t.txt", platform::dataFromString(text)));
  };
  put(first, "one");
  put(second, "two");
  std::string previous = platform::Environment::setResourceRoot(first);
  auto once = FSManager::stringFromResource("Config/t.txt");
  auto twice = FSManager::stringFromResource("Config/t.txt");
  put(first, "uno");
  auto rewritten = FSManager::stringFromResource("Config/t.txt");
  platform::Environment::setResourceRoot(second);
  auto other = FSManager::stringFromResource("Config/t.txt");
  platform::FileManager::removeItemAtPath(second + "/Config/t.txt");
  auto removed = FSManager::dataFromResource("Config/t.txt");
  platform::Environment::setResourceRoot(previous);
  EXPECT_EQ(once, "one");
  EXPECT_EQ(twice, "one");
  EXPECT_EQ(rewritten, "uno");
  EXPECT_EQ(other, "two");
  EXPECT_FALSE(removed);
}

TEST(FSManager, ResourcesAndStoredMaps) {
  kavro::test::TempHome home;
  EXPECT_TRUE(FSManager::isResourceFile("Config/client.sign"));
  EXPECT_FALSE(FSManager::isResourceFile("Config/none"));
  EXPECT_FALSE(FSManager::stringFromResource("../etc/passwd"));
  ASSERT_TRUE(FSManager::stringFromResource("Config/client.sign"));

  auto d = platform::MutableDictionary::create();
  d->setObject("v", "k");
  std::string path = platform::Environment::tmpPath() + "/map";
  platform::FileManager::createFileAtPath(path, platform::KeyedArchiver::archivedDataWithRootObject(d));
  auto back = FSManager::dictFromPath(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->valueForKey("k").stringValue(), "v");
  write(path, 10);
  EXPECT_EQ(FSManager::dictFromPath(path), nullptr);
}
