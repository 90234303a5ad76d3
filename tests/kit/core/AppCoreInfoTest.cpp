#include <gtest/gtest.h>

#include <fstream>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/AppUtil.h"
#include "kit/core/FSManager.h"
#include "kit/core/StoreDataTypes.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/StringTable.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

class AppCoreInfoTest : public ::testing::Test {
 protected:
  void TearDown() override {
    AppCoreInfo::destroyAppCoreInfo();
    AppCoreInfo::setUpgradeDataBases({});
    AppCoreInfo::setLocalizedString({});
  }
  test::TempHome home_;
};

TEST_F(AppCoreInfoTest, StartUpCreatesTheThreeStoresAndReadsTheUpgradeMarker) {
  auto& core = AppCoreInfo::sharedAppCoreInfo();
  EXPECT_FALSE(core.isAppUpgradeFromOldVersion()) << "a first installation";
  EXPECT_EQ(&core, &AppCoreInfo::sharedAppCoreInfo());
  for (auto name : {DataAppCoreDB::FileName, DataAppCacheDB::FileName, DataAppDictDB::FileName}) {
    EXPECT_TRUE(platform::FileManager::fileExistsAtPath(*FSManager::getDbFullPath(name))) << name;
  }
  EXPECT_TRUE(AppCoreInfo::getCoreDB()->hasTable("USER_TRACE"));
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->hasTable("USER_TRACE"));
  EXPECT_TRUE(AppCoreInfo::getDictDB()->hasTable("DATA_BIN_VALUE"));

  int runs = 0;
  AppCoreInfo::setUpgradeDataBases([&](AppCoreInfo& c) {
    ++runs;
    c.appCoreDB()->setIntValue(STORE_CORE_CLIENT_VERSION_INFO, "storeKey_isAppUpdated", 1);
  });
  AppCoreInfo::resourceInit();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(core.isAppUpgradeFromOldVersion());

  // The next start finds the data folder of this one.
  AppCoreInfo::destroyAppCoreInfo();
  AppCoreInfo::setUpgradeDataBases({});
  EXPECT_TRUE(AppCoreInfo::sharedAppCoreInfo().isAppUpgradeFromOldVersion());
  AppCoreInfo::getCoreDB()->setIntValue(STORE_CORE_CLIENT_VERSION_INFO, "storeKey_isAppUpdated", 0);
  AppCoreInfo::resourceInit();
  EXPECT_FALSE(AppCoreInfo::sharedAppCoreInfo().isAppUpgradeFromOldVersion());
}

TEST_F(AppCoreInfoTest, LocalizedStringsFromTheDefaultTableOrTheApplication) {
  platform::StringTable::clearCache();
  EXPECT_EQ(AppCoreInfo::getLocalizedString("common_text_ok"), "确定");
  EXPECT_EQ(AppCoreInfo::getLocalizedString("no_such_key"), "");
  EXPECT_EQ(AppCoreInfo::getLocalizedString(""), "");
  AppCoreInfo::setLocalizedString([](std::string_view key) { return "app:" + std::string(key); });
  EXPECT_EQ(AppCoreInfo::getLocalizedString("k"), "app:k");
  EXPECT_EQ(AppCoreInfo::getLocalizedString(""), "");
}

TEST_F(AppCoreInfoTest, GuidIsStoredOnlyWithThirtyTwoCharacters) {
  EXPECT_EQ(AppUtil::getGUID(), "");
  AppUtil::setGUID(std::string(32, 'a'));
  EXPECT_EQ(AppUtil::getGUID(), std::string(32, 'a'));
  AppUtil::setGUID(std::string(31, 'b'));
  AppUtil::setGUID(std::string(33, 'b'));
  EXPECT_EQ(AppUtil::getGUID(), std::string(32, 'a'));
  // Counted in UTF-16 units: 16 two-unit characters are 32 units.
  std::string wide;
  for (int i = 0; i < 16; ++i) wide += "😀";
  AppUtil::setGUID(wide);
  EXPECT_EQ(AppUtil::getGUID(), wide);
}

TEST_F(AppCoreInfoTest, GuidFollowsTheStore) {
  const std::string key = "storeKey_deviceCurrentGUID";
  AppUtil::setGUID(std::string(32, 'a'));
  ASSERT_EQ(AppUtil::getGUID(), std::string(32, 'a'));
  // Changed in the store by other means than setGUID: an upgrade's clean-up, a restored backup.
  AppCoreInfo::getCoreDB()->setStrValue(STORE_CORE_CLIENT_VERSION_INFO, key, std::string(32, 'c'));
  EXPECT_EQ(AppUtil::getGUID(), std::string(32, 'c'));
  AppCoreInfo::getCoreDB()->deleteStrValue(STORE_CORE_CLIENT_VERSION_INFO, key);
  EXPECT_EQ(AppUtil::getGUID(), "");
  AppUtil::setGUID(std::string(32, 'd'));
  EXPECT_EQ(AppUtil::getGUID(), std::string(32, 'd'));
  // Another home: its own store, without a GUID.
  AppCoreInfo::destroyAppCoreInfo();
  {
    test::TempHome other;
    EXPECT_EQ(AppUtil::getGUID(), "");
    AppCoreInfo::destroyAppCoreInfo();
  }
  EXPECT_EQ(AppUtil::getGUID(), std::string(32, 'd'));
}

TEST(AppUtilTest, VersionFromTheBuildPath) {
  EXPECT_EQ(AppUtil::getVersionName(), platform::Environment::buildNumber());
  EXPECT_FALSE(AppUtil::fetchVersionFromFilePath("/x/kavro-2.4/y/"));
  EXPECT_FALSE(AppUtil::fetchVersionFromFilePath("/x/kavro-2.4.2"));
  EXPECT_FALSE(AppUtil::fetchVersionFromFilePath("/a/kavro-1.0.0/b/kavro-2.0.0/c"));
  EXPECT_TRUE(AppUtil::fetchVersionFromFilePath("/Users/build/kavro-3.10.27/src/main.m"));
  EXPECT_EQ(AppUtil::getVersionName(), "3.10.27");
  EXPECT_EQ(AppUtil::getVersionCode(), 31027);
  EXPECT_EQ(AppUtil::getClientName(), "kavro-iphone-3.10.27");
  // Adjacent segments share their slash, so only the first one matches.
  EXPECT_TRUE(AppUtil::fetchVersionFromFilePath("/kavro-2.4.2/kavro-9.9.9/"));
  EXPECT_EQ(AppUtil::getVersionCode(), 242);
  EXPECT_EQ(AppUtil::getUserAgent(), "kavro-iphone-client");
}

TEST(AppUtilTest, PartnerIdIsTheTrimmedResource) {
  test::TempHome home;
  EXPECT_EQ(AppUtil::getPartnerInfo(), "10001");
  EXPECT_EQ(AppUtil::getResourceFileSize("Config/client.sign"), 6);
  EXPECT_TRUE(AppUtil::getResourceModifyDate("Config/client.sign"));
  ASSERT_TRUE(AppUtil::getResourceFullPath("Config/client.sign"));
  EXPECT_EQ(AppUtil::getResourceFullPath("Config/client.sign")->scheme(), "file");
  EXPECT_FALSE(AppUtil::getResourceFullPath(""));
  EXPECT_EQ(AppUtil::getResourceFileSize("Config/missing"), 0);
  test::TempDir bare;
  std::string previous = platform::Environment::setResourceRoot(bare.path());
  EXPECT_EQ(AppUtil::getPartnerInfo(), "");
  platform::FileManager::createDirectoryAtPath(bare.path() + "/Config", true);
  std::ofstream(bare.path() + "/Config/client.sign") << "  20002 \r\n\t";
  EXPECT_EQ(AppUtil::getPartnerInfo(), "20002");
  EXPECT_EQ(AppUtil::getPartnerInfo(), "20002");
  platform::Environment::setResourceRoot(previous);
  EXPECT_EQ(AppUtil::getPartnerInfo(), "10001") << "each resource folder has its own";
}

TEST(AppUtilTest, NetworkIndicatorIsCounted) {
  AppUtil::showNetworkIndicator();
  AppUtil::showNetworkIndicator();
  AppUtil::hiddenNetworkIndicator();
  EXPECT_TRUE(AppUtil::isNetworkIndicatorVisible());
  AppUtil::hiddenNetworkIndicator();
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
  AppUtil::hiddenNetworkIndicator();
  AppUtil::showNetworkIndicator();
  EXPECT_TRUE(AppUtil::isNetworkIndicatorVisible()) << "hiding at zero does not go negative";
  AppUtil::hiddenNetworkIndicator();
}

}  // namespace
}  // namespace kavro
