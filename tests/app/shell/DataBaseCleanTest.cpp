#include <gtest/gtest.h>

#include <string>

#include "app/shell/AppCoreInfoApp.h"
#include "app/shell/DataBaseCacheClean.h"
#include "app/shell/DataBaseCleanOps.h"
#include "app/shell/DataBaseClean_v200.h"
#include "app/shell/DataBaseClean_v210.h"
#include "app/shell/DataBaseClean_v221.h"
#include "app/shell/DataBaseClean_v240plus.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

class DataBaseCleanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousBuild_ = platform::Environment::buildNumber();
    platform::Environment::setBuildNumber("2.4.2");
  }
  void TearDown() override {
    platform::Environment::setBuildNumber(previousBuild_);
    UserCoreInfo::destroyUserCoreInfo();
    AppCoreInfo::destroyAppCoreInfo();
  }

  static DataAppCoreDB& core() { return *AppCoreInfo::getCoreDB(); }
  static DataAppCacheDB& cache() { return *AppCoreInfo::getCacheDB(); }
  static DataAppDictDB& dict() { return *AppCoreInfo::getDictDB(); }
  static std::int64_t flag() {
    return core().getIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::VersionFlagKey);
  }
  static void setFlag(std::int64_t value) {
    core().setIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::VersionFlagKey, value);
  }
  static void upgrade() { appcore::upgradeDataBases(AppCoreInfo::sharedAppCoreInfo()); }
  static void fillDictionaries() {
    dict().setStrValue(STORE_DICT_JOB_AREA, "all", "x");
    dict().setIntValue(STORE_DICT_JOB_AREA, "n", 1);
    dict().setBinValue(STORE_DICT_JOB_AREA, "b", platform::Data(4, 'b'));
  }
  static bool dictionariesEmpty() {
    return dict().getSizeOfTable(dict().TABLE_BIN_VALUE()) == 0 &&
           dict().getSizeOfTable(dict().TABLE_STR_VALUE()) == 0 &&
           dict().getSizeOfTable(dict().TABLE_INT_VALUE()) == 0;
  }

  test::TempHome home_;
  std::string previousBuild_;
};

TEST_F(DataBaseCleanTest, AFreshInstallEndsAtTheRunningCodeAndLaterStartsRunNothing) {
  upgrade();
  EXPECT_EQ(flag(), 242);
  EXPECT_FALSE(core().hasIntItem(STORE_CORE_CLIENT_VERSION_INFO, dbclean::AppUpdatedKey));

  // An unchanged version code runs no step, not even the last one.
  fillDictionaries();
  core().setIntValue(STORE_CORE_TIP_MESSAGE, "storeKey_isNewHelperShowed", 1);
  upgrade();
  upgrade();
  EXPECT_FALSE(dictionariesEmpty());
  EXPECT_TRUE(core().hasIntItem(STORE_CORE_TIP_MESSAGE, "storeKey_isNewHelperShowed"));

  // A new version code runs the last step once, downwards too.
  platform::Environment::setBuildNumber("2.4.0");
  upgrade();
  EXPECT_EQ(flag(), 240);
  EXPECT_TRUE(dictionariesEmpty());
  EXPECT_FALSE(core().hasIntItem(STORE_CORE_TIP_MESSAGE, "storeKey_isNewHelperShowed"));
}

TEST_F(DataBaseCleanTest, AnOldOrUnreadableVersionCodeNeverReopensTheEarlierSteps) {
  // 2.3.5 is the earlier steps' last flag itself: the last step leaves a newer flag alone too.
  for (auto [build, stored] : {std::pair{"", 235}, std::pair{"2.3.0", 235}, std::pair{"2.3.5", 240}}) {
    platform::Environment::setBuildNumber(build);
    setFlag(stored);
    UserCoreInfo::setUserName("alice");
    fillDictionaries();
    EXPECT_TRUE(DataBaseClean_v240plus::autoCleanDataByAppVersion());
    upgrade();
    upgrade();
    EXPECT_EQ(flag(), stored) << build;
    EXPECT_EQ(UserCoreInfo::getUserName(), "alice") << build;
    EXPECT_FALSE(dictionariesEmpty()) << build;
  }
  platform::Environment::setBuildNumber("2.3.6");
  upgrade();
  EXPECT_EQ(flag(), 236);
  EXPECT_TRUE(dictionariesEmpty());
}

// A store refusing a write in a step's clean-ups (as a full disk does): the step is not recorded
// as done, the later ones wait, and the next start, the store writing again, runs them all.
TEST_F(DataBaseCleanTest, AStepAStoreFailedInIsNotRecordedAndRunsAgainAtTheNextStart) {
  setFlag(221);
  AppCoreInfo::sharedAppCoreInfo().setIsAppUpgradeFromOldVersion(true);
  UserCoreInfo::setUserName("carol");
  fillDictionaries();
  ASSERT_TRUE(dict().execSQL("create temp trigger refuse before delete on " +
                             DataSQLiteDB::quoteIdentifier(dict().TABLE_STR_VALUE()) +
                             " begin select raise(abort, 'disk full'); end"));
  EXPECT_FALSE(DataBaseClean_v221::cleanDataBase_v221_to_v231());
  upgrade();
  EXPECT_EQ(flag(), 221);
  EXPECT_FALSE(core().hasIntItem(STORE_CORE_CLIENT_VERSION_INFO, dbclean::AppUpdatedKey));
  EXPECT_EQ(UserCoreInfo::getUserName(), "carol") << "the 2.3.1 step waited";
  EXPECT_FALSE(dictionariesEmpty());

  ASSERT_TRUE(dict().execSQL("drop trigger refuse"));
  upgrade();
  EXPECT_EQ(flag(), 242);
  EXPECT_TRUE(dictionariesEmpty());
  EXPECT_EQ(UserCoreInfo::getUserName(), "");
  EXPECT_EQ(core().getIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::AppUpdatedKey), 1);
}

TEST_F(DataBaseCleanTest, PlainCredentialsOfVersion2AreSealedThenForgottenBy231) {
  core().setStrValue(STORE_CORE_USER_INFO, UserCoreInfo::UserNameKey, "alice");
  core().setStrValue(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey, "secret");
  core().setIntValue(STORE_CORE_USER_INFO, UserCoreInfo::AutoLoginKey, 1);
  core().setStrValue(STORE_CORE_USER_LOGIN, "session", "old");

  DataBaseClean_v200::cleanDataBase_v200_to_v210();
  EXPECT_EQ(flag(), 210);
  EXPECT_NE(core().getStrValue(STORE_CORE_USER_INFO, UserCoreInfo::UserNameKey), "alice");
  EXPECT_NE(core().getStrValue(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey), "secret");
  EXPECT_EQ(UserCoreInfo::getUserName(), "alice");
  EXPECT_EQ(UserCoreInfo::getPassword(), "secret");
  EXPECT_FALSE(core().hasStrItem(STORE_CORE_USER_LOGIN, "session"));
  // Runs once: a second start does not seal the sealed values again.
  DataBaseClean_v200::cleanDataBase_v200_to_v210();
  EXPECT_EQ(UserCoreInfo::getUserName(), "alice");

  upgrade();
  EXPECT_EQ(flag(), 242);
  EXPECT_FALSE(core().hasStrItem(STORE_CORE_USER_INFO, UserCoreInfo::UserNameKey));
  EXPECT_FALSE(core().hasStrItem(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey));
}

TEST_F(DataBaseCleanTest, WithoutAutomaticLoginThePlainPasswordIsDropped) {
  core().setStrValue(STORE_CORE_USER_INFO, UserCoreInfo::UserNameKey, "bob");
  core().setStrValue(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey, "pw");
  DataBaseClean_v200::cleanDataBase_v200_to_v210();
  EXPECT_EQ(UserCoreInfo::getUserName(), "bob");
  EXPECT_FALSE(core().hasStrItem(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey));
}

TEST_F(DataBaseCleanTest, DetailCachesAndHistoriesFollowTheirSteps) {
  cache().setStrValue(STORE_CACHE_COMPANY_DETAIL, "c", "keep");
  cache().setIntValue(STORE_CACHE_COMPANY_DETAIL, "c", 1);
  cache().setStrValue(STORE_CACHE_JOB_DETAIL, "j", "keep");
  cache().setIntValue(STORE_CACHE_JOB_DETAIL, "j", 1);
  cache().setBinValue(STORE_CACHE_JOB_DETAIL, "j", platform::Data(3, 'j'));
  core().setStrValue(STORE_CORE_JOBSEARCH_HISTORY, "h", "x");
  core().setStrValue(STORE_CORE_APP_UPGRADE, "answer", "x");
  core().setIntValue(STORE_CORE_KAVRO_MAIN, "storeKey_hasShowCommentAlert", 1);
  core().setIntValue(STORE_CORE_KAVRO_MAIN, "storeKey_other", 1);

  DataBaseClean_v200::cleanDataBase_v200_to_v210();
  EXPECT_TRUE(cache().hasStrItem(STORE_CACHE_COMPANY_DETAIL, "c"));
  EXPECT_FALSE(cache().hasIntItem(STORE_CACHE_COMPANY_DETAIL, "c"));
  EXPECT_TRUE(cache().hasStrItem(STORE_CACHE_JOB_DETAIL, "j"));
  EXPECT_FALSE(cache().hasIntItem(STORE_CACHE_JOB_DETAIL, "j"));
  EXPECT_FALSE(cache().hasBinItem(STORE_CACHE_JOB_DETAIL, "j"));
  EXPECT_TRUE(core().hasStrItem(STORE_CORE_JOBSEARCH_HISTORY, "h"));
  EXPECT_FALSE(core().hasStrItem(STORE_CORE_APP_UPGRADE, "answer"));
  EXPECT_FALSE(core().hasIntItem(STORE_CORE_KAVRO_MAIN, "storeKey_hasShowCommentAlert"));
  EXPECT_TRUE(core().hasIntItem(STORE_CORE_KAVRO_MAIN, "storeKey_other"));

  DataBaseClean_v210::cleanDataBase_v210_to_v220();
  EXPECT_EQ(flag(), 220);
  EXPECT_FALSE(cache().hasStrItem(STORE_CACHE_COMPANY_DETAIL, "c"));
  EXPECT_FALSE(cache().hasStrItem(STORE_CACHE_JOB_DETAIL, "j"));
  EXPECT_FALSE(core().hasStrItem(STORE_CORE_JOBSEARCH_HISTORY, "h"));
}

TEST_F(DataBaseCleanTest, AStoreAt221RunsTheLastThreeStepsAndMarksTheUpgrade) {
  setFlag(221);
  AppCoreInfo::sharedAppCoreInfo().setIsAppUpgradeFromOldVersion(true);
  UserCoreInfo::setUserName("carol");
  UserCoreInfo::setPassword("pw");
  core().setStrValue(STORE_CORE_JOBSEARCH_HISTORY, "h", "kept: only the 2.1 step clears it");
  cache().setIntValue(STORE_CACHE_COMPANY_DETAIL, "c", 1);
  fillDictionaries();
  core().setIntValue(STORE_CORE_TIP_MESSAGE, "storeKey_isNewHelperShowed", 1);

  upgrade();
  EXPECT_EQ(flag(), 242);
  EXPECT_EQ(UserCoreInfo::getUserName(), "");
  EXPECT_EQ(UserCoreInfo::getPassword(), "");
  EXPECT_TRUE(dictionariesEmpty());
  EXPECT_FALSE(core().hasIntItem(STORE_CORE_TIP_MESSAGE, "storeKey_isNewHelperShowed"));
  EXPECT_TRUE(core().hasStrItem(STORE_CORE_JOBSEARCH_HISTORY, "h"));
  EXPECT_TRUE(cache().hasIntItem(STORE_CACHE_COMPANY_DETAIL, "c"));
  EXPECT_EQ(core().getIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::AppUpdatedKey), 1);
}

// Each step runs only for a store older than its bound: a store at a step's own flag, or past it,
// keeps what that step and the ones before it would clear.
TEST_F(DataBaseCleanTest, EachStepRunsOnlyForStoresOlderThanItsBound) {
  struct Start {
    std::int64_t flag;
    bool historyKept;  // cleared by the 2.1 step (stores below 211)
    bool loginKept;    // cleared by the 2.3.1 step (stores below 235)
  };
  for (const Start& start : {Start{210, false, false}, Start{211, true, false}, Start{220, true, false},
                             Start{221, true, false}, Start{230, true, false}, Start{231, true, false},
                             Start{234, true, false}, Start{235, true, true}, Start{240, true, true}}) {
    setFlag(start.flag);
    UserCoreInfo::setUserName("erin");
    UserCoreInfo::setPassword("pw");
    core().setStrValue(STORE_CORE_JOBSEARCH_HISTORY, "h", "x");
    fillDictionaries();
    upgrade();
    EXPECT_EQ(flag(), 242) << start.flag;
    EXPECT_EQ(core().hasStrItem(STORE_CORE_JOBSEARCH_HISTORY, "h"), start.historyKept) << start.flag;
    EXPECT_EQ(UserCoreInfo::getUserName(), start.loginKept ? "erin" : "") << start.flag;
    EXPECT_EQ(UserCoreInfo::getPassword(), start.loginKept ? "pw" : "") << start.flag;
    EXPECT_TRUE(dictionariesEmpty()) << start.flag << ": the last step clears them for a new version";
  }
}

TEST_F(DataBaseCleanTest, OldCacheFilesAreDeletedAndReportTheUpgrade) {
  const std::string documents = platform::Environment::documentsPath();
  ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(documents, true));
  const std::string old = documents + "/KavroJobType.cache";
  const std::string other = documents + "/Unrelated.cache";
  ASSERT_TRUE(platform::FileManager::createFileAtPath(old, platform::Data(2, 'x')));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(other, platform::Data(2, 'x')));

  appcore::install();
  AppCoreInfo::resourceInit();
  AppCoreInfo::setUpgradeDataBases({});
  AppCoreInfo::setLocalizedString({});
  EXPECT_FALSE(platform::FileManager::fileExistsAtPath(old));
  EXPECT_TRUE(platform::FileManager::fileExistsAtPath(other));
  EXPECT_TRUE(AppCoreInfo::sharedAppCoreInfo().isAppUpgradeFromOldVersion());
  EXPECT_EQ(core().getIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::AppUpdatedKey), 1);
}

TEST_F(DataBaseCleanTest, DownloadedSkinsGoTheBuiltInOneStays) {
  auto skin = DataItemDetail::newDetail();
  for (const char* field : {"name", "title", "valid", "url"}) skin->setString("blue", field);
  ASSERT_TRUE(AppSkin::saveLocalSkin(skin.get(), platform::Data(64, 's')));
  ASSERT_TRUE(AppSkin::setDefaultSkin("blue"));
  setFlag(235);

  upgrade();
  auto list = AppSkin::getLocalSkinList();
  ASSERT_EQ(list->count(), 1u);
  EXPECT_EQ(list->getItem(0)->getString("name"), AppSkin::NativeSkinName);
  EXPECT_FALSE(AppSkin::hasLocalSkin("blue"));
  EXPECT_EQ(AppSkin::getDefaultSkin(), AppSkin::NativeSkinName);
}

TEST_F(DataBaseCleanTest, CacheCleanEmptiesCacheAndDictionariesButNotTheCoreStore) {
  EXPECT_EQ(DataBaseCacheClean::getAllCacheSize(), 0);
  fillDictionaries();
  cache().setStrValue(STORE_CACHE_IMAGES, "img", std::string(100, 'i'));
  UserCoreInfo::setUserName("dave");
  core().setIntValue(STORE_CORE_KAVRO_MAIN, "setting", 7);
  EXPECT_GT(DataBaseCacheClean::getAllCacheSize(), 100);

  DataBaseCacheClean::cleanAllDBCache();
  EXPECT_EQ(DataBaseCacheClean::getAllCacheSize(), 0);
  EXPECT_FALSE(cache().hasStrItem(STORE_CACHE_IMAGES, "img"));
  EXPECT_EQ(UserCoreInfo::getUserName(), "dave");
  EXPECT_EQ(core().getIntValue(STORE_CORE_KAVRO_MAIN, "setting"), 7);
}

}  // namespace
}  // namespace kavro
