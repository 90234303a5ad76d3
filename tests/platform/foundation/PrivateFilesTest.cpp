#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TempHome.h"

namespace {

unsigned modeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

class PrivateFilesTest : public ::testing::Test {
 protected:
  kavro::test::TempHome home;
};

TEST_F(PrivateFilesTest, FilesAndFoldersWrittenAreTheOwnersAlone) {
  using platform::FileManager;
  std::string base = home.path() + "/made";
  ASSERT_TRUE(FileManager::createDirectoryAtPath(base + "/a/b", true));
  EXPECT_EQ(modeOf(base), 0700u);
  EXPECT_EQ(modeOf(base + "/a"), 0700u);
  EXPECT_EQ(modeOf(base + "/a/b"), 0700u);
  ASSERT_TRUE(FileManager::createDirectoryAtPath(base + "/c", false));
  EXPECT_EQ(modeOf(base + "/c"), 0700u);
  // Asking again for an existing folder is still success, and a file in the way is not.
  EXPECT_TRUE(FileManager::createDirectoryAtPath(base + "/a/b", true));
  ASSERT_TRUE(FileManager::createFileAtPath(base + "/f", platform::dataFromString("x")));
  EXPECT_FALSE(FileManager::createDirectoryAtPath(base + "/f/g", true));

  EXPECT_EQ(modeOf(base + "/f"), 0600u);
  // A file an earlier version left readable by all becomes private when written again.
  ::chmod((base + "/f").c_str(), 0644);
  ASSERT_TRUE(FileManager::createFileAtPath(base + "/f", platform::dataFromString("y")));
  EXPECT_EQ(modeOf(base + "/f"), 0600u);
}

TEST_F(PrivateFilesTest, HomeFoldersAreMadePrivateAlsoWhenTheyWereOpen) {
  std::filesystem::create_directories(home.path() + "/Library/Caches");
  ::chmod((home.path() + "/Library").c_str(), 0755);
  ::chmod((home.path() + "/Library/Caches").c_str(), 0755);
  ::chmod(home.path().c_str(), 0755);
  for (const std::string& path : {platform::Environment::documentsPath(),
                                  platform::Environment::libraryPath(), platform::Environment::cachesPath(),
                                  platform::Environment::tmpPath(), platform::Environment::homeRoot()})
    EXPECT_EQ(modeOf(path), 0700u) << path;

  // What the process writes by other means is private too.
  std::string other = platform::Environment::cachesPath() + "/other";
  std::ofstream(other) << "x";
  EXPECT_EQ(modeOf(other) & 077, 0u);
}

TEST_F(PrivateFilesTest, ASharedStickyHomeRootIsLeftAsItIsAndItsFoldersArePrivate) {
  // A home root pointed at a shared folder like /tmp keeps its mode: others use it too.
  const std::string shared = home.path() + "/shared";
  std::filesystem::create_directories(shared);
  ::chmod(shared.c_str(), 01777);
  const std::string previous = platform::Environment::setHomeRoot(shared);
  EXPECT_EQ(platform::Environment::homeRoot(), shared);
  const std::string documents = platform::Environment::documentsPath();
  EXPECT_EQ(modeOf(shared), 01777u);
  EXPECT_EQ(modeOf(documents), 0700u);
  platform::Environment::setHomeRoot(previous);
}

TEST_F(PrivateFilesTest, UserDefaultsAreWrittenPrivate) {
  auto& defaults = platform::UserDefaults::standardUserDefaults();
  defaults.setObject(platform::Value(std::string("v")), "k");
  ASSERT_TRUE(defaults.synchronize());
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path())) {
    unsigned mode = modeOf(entry.path().string());
    EXPECT_EQ(mode & 077, 0u) << entry.path();
    files += entry.is_regular_file();
  }
  EXPECT_GT(files, 0);
}

}  // namespace
