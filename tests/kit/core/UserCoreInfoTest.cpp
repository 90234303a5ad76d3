#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "kit/base64/Base64.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/UserCoreInfo.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

class UserCoreInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    token_ = platform::NotificationCenter::defaultCenter().addObserver(
        userStatusChangedNotify, nullptr, [this](const platform::Notification& n) {
          ++posts_;
          EXPECT_EQ(n.object, nullptr);
          EXPECT_EQ(n.userInfo, nullptr);
          // Observers see the new state already in place.
          seenStatus_ = UserCoreInfo::sharedUserCoreInfo().userStatus();
        });
  }
  void TearDown() override {
    platform::NotificationCenter::defaultCenter().removeObserver(token_);
    restart();
    AppCoreInfo::setEnglishResumeProvider({});
  }
  // A new process over the same home.
  static void restart() {
    UserCoreInfo::destroyUserCoreInfo();
    AppCoreInfo::destroyAppCoreInfo();
  }
  static std::shared_ptr<DataItemDetail> reply(std::string_view accountid, std::string_view key) {
    auto r = DataItemDetail::newDetail();
    r->setString(accountid, "accountid");
    r->setString(key, "key");
    return r;
  }

  test::TempHome home_;
  platform::NotificationCenter::Token token_ = 0;
  int posts_ = 0;
  std::optional<UserCoreInfo::UserStatus> seenStatus_;  // none until a change is posted
};

TEST_F(UserCoreInfoTest, LoginStateChangesArePostedOnce) {
  UserCoreInfo& info = UserCoreInfo::sharedUserCoreInfo();
  EXPECT_EQ(info.userStatus(), UserCoreInfo::UserStatus::LoggedOut);
  EXPECT_FALSE(UserCoreInfo::hasLogined());

  UserCoreInfo::userOnLogin();
  EXPECT_TRUE(UserCoreInfo::isLoginingNow());
  EXPECT_EQ(posts_, 1);
  EXPECT_EQ(seenStatus_, UserCoreInfo::UserStatus::LoggingIn);

  const auto rMade = reply(" 1001 ", "\tk3y\n");
  DataItemDetail& r = *rMade;
  r.setString("13800000000", "mobilephone");
  r.setString("a@b.cn", "email");
  r.setString("2024-01-02", "lastupdate");
  r.setString("yes", "resumeview_paid");
  EXPECT_TRUE(UserCoreInfo::setUserLoginInfo(&r));
  EXPECT_TRUE(UserCoreInfo::hasLogined());
  EXPECT_EQ(posts_, 2);
  EXPECT_EQ(seenStatus_, UserCoreInfo::UserStatus::LoggedIn);
  EXPECT_EQ(UserCoreInfo::getAccountID(), "1001");
  EXPECT_EQ(UserCoreInfo::getMd5hash(), "k3y");
  EXPECT_EQ(info.mobilephone(), "13800000000");
  EXPECT_EQ(info.email(), "a@b.cn");
  EXPECT_EQ(info.lastupdate(), "2024-01-02");
  EXPECT_TRUE(info.resumeview_paid());

  // A second login: the state was already 1, and empty values keep what is known.
  const auto againMade = reply("1001", "k4y");
  DataItemDetail& again = *againMade;
  again.setString("", "email");
  EXPECT_TRUE(UserCoreInfo::setUserLoginInfo(&again));
  EXPECT_EQ(posts_, 2);
  EXPECT_EQ(UserCoreInfo::getMd5hash(), "k4y");
  EXPECT_EQ(info.email(), "a@b.cn");

  UserCoreInfo::userLogout();
  EXPECT_EQ(posts_, 3);
  EXPECT_EQ(seenStatus_, UserCoreInfo::UserStatus::LoggedOut);
  EXPECT_EQ(UserCoreInfo::getAccountID(), "");
  EXPECT_FALSE(info.resumeview_paid());

  // Logging out while logged out posts nothing but still empties the account fields.
  info.setAccountid("stale");
  info.setResumeview_paid(true);
  UserCoreInfo::userLogout();
  EXPECT_EQ(posts_, 3);
  EXPECT_EQ(info.accountid(), "");
  EXPECT_FALSE(info.resumeview_paid());
}

TEST_F(UserCoreInfoTest, AReplyWithoutKeyOrAccountEndsLoggedOut) {
  UserCoreInfo::userOnLogin();
  const auto rMade = reply("1001", "");
  DataItemDetail& r = *rMade;
  r.setString("a@b.cn", "email");
  EXPECT_FALSE(UserCoreInfo::setUserLoginInfo(&r));
  EXPECT_EQ(UserCoreInfo::sharedUserCoreInfo().userStatus(), UserCoreInfo::UserStatus::LoggedOut);
  EXPECT_EQ(UserCoreInfo::getAccountID(), "");
  EXPECT_EQ(UserCoreInfo::sharedUserCoreInfo().email(), "");
  EXPECT_EQ(posts_, 2);

  EXPECT_FALSE(UserCoreInfo::setUserLoginInfo(nullptr));
  EXPECT_EQ(posts_, 2);
}

TEST_F(UserCoreInfoTest, MapTypeResumeLanguageAndBusySeasonStayAcrossStateChanges) {
  UserCoreInfo& info = UserCoreInfo::sharedUserCoreInfo();
  EXPECT_EQ(UserCoreInfo::getAppMapType(), "geomap");
  UserCoreInfo::setMapType("iosmap");
  EXPECT_EQ(info.appMapType(), UserCoreInfo::MapTypeIosMap);
  EXPECT_EQ(UserCoreInfo::getAppMapType(), "iosmap");
  UserCoreInfo::setMapType("IOSMAP");
  EXPECT_EQ(info.appMapType(), UserCoreInfo::MapTypeNoMap);
  EXPECT_EQ(UserCoreInfo::getAppMapType(), "nomap");
  UserCoreInfo::setMapType("geomap");
  EXPECT_EQ(UserCoreInfo::getAppMapType(), "geomap");
  info.setAppMapType(7);
  EXPECT_EQ(UserCoreInfo::getAppMapType(), "nomap");

  EXPECT_EQ(UserCoreInfo::getResumeLanguage(), "c");
  EXPECT_FALSE(AppCoreInfo::isEnglishResume());
  info.setIsEnglishResume(true);
  info.setIsBusySeason(true);
  UserCoreInfo::userOnLogin();
  UserCoreInfo::userLogout();
  EXPECT_EQ(UserCoreInfo::getResumeLanguage(), "e");
  EXPECT_TRUE(info.isBusySeason());
  // The localised lookup asks the session.
  EXPECT_TRUE(AppCoreInfo::isEnglishResume());
  UserCoreInfo::destroyUserCoreInfo();
  EXPECT_FALSE(AppCoreInfo::isEnglishResume());
}

TEST_F(UserCoreInfoTest, CredentialsAreStoredSealedAndSurviveARestartButTheSessionDoesNot) {
  EXPECT_TRUE(UserCoreInfo::getAutoLogin()) << "on for a fresh installation";
  EXPECT_EQ(UserCoreInfo::getUserName(), "");

  EXPECT_TRUE(UserCoreInfo::setUserName("张三@example.cn"));
  EXPECT_TRUE(UserCoreInfo::setPassword("p&ss=w+rd"));
  EXPECT_TRUE(UserCoreInfo::setAutoLogin(false));
  const auto rMade = reply("1001", "k3y");
  DataItemDetail& r = *rMade;
  ASSERT_TRUE(UserCoreInfo::setUserLoginInfo(&r));

  auto db = AppCoreInfo::getCoreDB();
  std::string sealedName = db->getStrValue(STORE_CORE_USER_INFO, "UserName");
  EXPECT_NE(sealedName, "张三@example.cn");
  EXPECT_EQ(decryptStringWith3DES(sealedName, "LOCALSTORE_RECORD_SEAL_PHRASE_K"), "张三@example.cn");
  EXPECT_EQ(db->getIntValue(STORE_CORE_USER_INFO, "AutoLogin"), 0);

  restart();
  EXPECT_EQ(UserCoreInfo::sharedUserCoreInfo().userStatus(), UserCoreInfo::UserStatus::LoggedOut);
  EXPECT_EQ(UserCoreInfo::getAccountID(), "");
  EXPECT_EQ(UserCoreInfo::getUserName(), "张三@example.cn");
  EXPECT_EQ(UserCoreInfo::getPassword(), "p&ss=w+rd");
  EXPECT_FALSE(UserCoreInfo::getAutoLogin());

  // Logging out stores an empty password.
  EXPECT_TRUE(UserCoreInfo::setPassword(""));
  EXPECT_TRUE(UserCoreInfo::setAutoLogin(true));
  restart();
  EXPECT_EQ(UserCoreInfo::getPassword(), "");
  EXPECT_EQ(UserCoreInfo::getUserName(), "张三@example.cn");
  EXPECT_TRUE(UserCoreInfo::getAutoLogin());
}

TEST_F(UserCoreInfoTest, AStoredCredentialThatCannotBeDecryptedReadsAsNothing) {
  auto db = AppCoreInfo::getCoreDB();
  // Plain text left by an old version, and a value sealed with another key.
  db->setStrValue(STORE_CORE_USER_INFO, "UserName", "plain-name");
  db->setStrValue(STORE_CORE_USER_INFO, "Password",
                  *encryptStringWith3DES("secret", "ANOTHER_KEY_OF_TWENTY_FOUR_BYTES"));
  EXPECT_EQ(UserCoreInfo::getUserName(), "");
  EXPECT_EQ(UserCoreInfo::getPassword(), "");
  db->setStrValue(STORE_CORE_USER_INFO, "Password", "!!not base64!!");
  EXPECT_EQ(UserCoreInfo::getPassword(), "");
}

}  // namespace
}  // namespace kavro
