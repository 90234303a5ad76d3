#include <gtest/gtest.h>

#include "app/shell/AppCoreInfoApp.h"
#include "app/shell/AppTracking.h"
#include "app/shell/PushUnit.h"
#include "platform/foundation/StringTable.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

class AppShellServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::StringTable::clearCache();
    appcore::install();
  }
  void TearDown() override {
    AppCoreInfo::destroyAppCoreInfo();
    AppCoreInfo::setUpgradeDataBases({});
    AppCoreInfo::setLocalizedString({});
    AppCoreInfo::setEnglishResumeProvider({});
  }
  test::TempHome home_;
};

TEST_F(AppShellServicesTest, EnglishResumeTableWinsOnlyWhileChosen) {
  bool english = false;
  AppCoreInfo::setEnglishResumeProvider([&] { return english; });
  EXPECT_EQ(AppCoreInfo::getLocalizedString("common_text_save"), "保存");
  english = true;
  EXPECT_EQ(AppCoreInfo::getLocalizedString("common_text_save"), "Save");
  // Keys the English table lacks still come from the default table.
  EXPECT_EQ(AppCoreInfo::getLocalizedString("common_text_ok"), "确定");
  EXPECT_EQ(AppCoreInfo::getLocalizedString("no_such_key"), "");
  AppCoreInfo::setEnglishResumeProvider({});
  EXPECT_FALSE(AppCoreInfo::isEnglishResume());
  EXPECT_EQ(AppCoreInfo::getLocalizedString("common_text_save"), "保存");
}

TEST_F(AppShellServicesTest, ResourceInitRunsTheInstalledUpgradeHook) {
  AppCoreInfo::resourceInit();
  EXPECT_FALSE(AppCoreInfo::sharedAppCoreInfo().isAppUpgradeFromOldVersion());
}

TEST_F(AppShellServicesTest, TrackingCountsPointsAndBuildsTheReportBody) {
  EXPECT_TRUE(AppTracking::getTrackingPostData().empty());
  AppTracking::record("TRACKING_ENTIRETY_OPENCLIENT");
  AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_SEARCH");
  AppTracking::record("TRACKING_ENTIRETY_OPENCLIENT");
  AppTracking::record("");
  AppTracking::record("TRACKING_A&B=C");
  EXPECT_EQ(platform::stringFromData(AppTracking::getTrackingPostData()),
            "TRACKING_ENTIRETY_OPENCLIENT=2&TRACKING_JOBSEARCH_HOMEPAGE_SEARCH=1&TRACKING_A%26B%3DC=1");
  auto db = AppCoreInfo::getCoreDB();
  EXPECT_EQ(db->tableRows(db->TABLE_USER_TRACE(), std::nullopt), 3);
  EXPECT_EQ(db->get_cell("select TRACE_COUNT_ONSUBMIT from USER_TRACE where ID=1"), "0");

  // Counts survive a restart of the stores.
  AppCoreInfo::destroyAppCoreInfo();
  AppTracking::record("TRACKING_ENTIRETY_OPENCLIENT");
  EXPECT_EQ(AppCoreInfo::getCoreDB()->get_cell(
                "select TRACE_COUNT from USER_TRACE where TRACE_POINT='TRACKING_ENTIRETY_OPENCLIENT'"),
            "3");
  // The upload under way went with the old start: its counts are handed out again, whole.
  EXPECT_EQ(platform::stringFromData(AppTracking::getTrackingPostData()),
            "TRACKING_ENTIRETY_OPENCLIENT=3&TRACKING_JOBSEARCH_HOMEPAGE_SEARCH=1&TRACKING_A%26B%3DC=1");
}

TEST_F(AppShellServicesTest, CountsHandedOutToAnUploadAreLockedUntilItEnds) {
  auto body = [] { return platform::stringFromData(AppTracking::getTrackingPostData()); };
  AppTracking::record("TRACKING_ONE");
  AppTracking::record("TRACKING_ONE");
  AppTracking::record("TRACKING_TWO");
  EXPECT_EQ(body(), "TRACKING_ONE=2&TRACKING_TWO=1");
  // While the upload is under way its counts are not handed out again; new uses are.
  EXPECT_EQ(body(), "");
  AppTracking::record("TRACKING_TWO");
  EXPECT_EQ(body(), "TRACKING_TWO=1");
  // Not delivered: everything goes with the next body.
  AppTracking::trackingUploadEnded(false);
  EXPECT_EQ(body(), "TRACKING_ONE=2&TRACKING_TWO=2");
  AppTracking::record("TRACKING_ONE");
  // Delivered: what was handed out is taken off; the use counted meanwhile stays.
  AppTracking::trackingUploadEnded(true);
  EXPECT_EQ(body(), "TRACKING_ONE=1");
  AppTracking::trackingUploadEnded(true);
  EXPECT_EQ(body(), "");
  AppTracking::record("TRACKING_TWO");
  EXPECT_EQ(body(), "TRACKING_TWO=1");
}

TEST(PushUnitTest, TokenIsEmptyBeforeRegistration) {
  EXPECT_EQ(PushUnit::sharedPushUnit().deviceToken(), "");
  PushUnit::sharedPushUnit().setDeviceToken("abc");
  EXPECT_EQ(PushUnit::sharedPushUnit().deviceToken(), "abc");
  PushUnit::destroySharedPushUnit();
  EXPECT_EQ(PushUnit::sharedPushUnit().deviceToken(), "");
}

}  // namespace
}  // namespace kavro
