#include <gtest/gtest.h>

#include "app/api/ApiFrame.h"
#include "app/api/ApiResume.h"
#include "app/api/ApiUser.h"
#include "demo/ApiFixtureServer.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "platform/foundation/Environment.h"
#include "platform/net/HTTPReadStream.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

struct Recorder : DataLoadAndParserDelegate {
  std::vector<DataItemResult> results;
  void dataLoader(DataLoadAndParser&, const DataItemResult& result) override { results.push_back(result); }
};

class ApiFrameTest : public test::VirtualRunLoopTest {
 protected:
  void TearDown() override {
    AppCoreInfo::destroyAppCoreInfo();
    VirtualRunLoopTest::TearDown();
  }
  void turns(int n) {
    for (int i = 0; i < n; ++i) loop().runOnce(0);
  }
  test::TempHome home;
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(ApiFrameTest, AnUploadWithoutItsDataReportsALocalErrorOnceOnTheNextTurn) {
  auto loader = ApiResume::set_photo(std::nullopt, "77", recorder);
  ASSERT_TRUE(loader);
  EXPECT_TRUE(recorder->results.empty());
  turns(1);
  ASSERT_EQ(recorder->results.size(), 1u);
  EXPECT_TRUE(recorder->results[0].hasError());
  EXPECT_TRUE(recorder->results[0].localError());
  EXPECT_EQ(recorder->results[0].message(), AppCoreInfo::getLocalizedString("api_error_no_photo"));
  turns(3);
  EXPECT_EQ(recorder->results.size(), 1u);

  // Empty bytes are no photo either.
  ApiResume::set_photo(platform::Data{}, "77", recorder);
  turns(1);
  EXPECT_EQ(recorder->results.size(), 2u) << "reported although the caller kept no reference";
}

TEST_F(ApiFrameTest, AStoppedLocalErrorTellsNobodyAndALaterDelegateIsHeard) {
  auto stopped = ApiResume::import_resume(std::nullopt, recorder);
  stopped->stopLoading();
  turns(2);
  EXPECT_TRUE(recorder->results.empty());

  // A wrapper may take the loader over after the call, as long as it is before the report.
  auto other = std::make_shared<Recorder>();
  auto loader = ApiResume::import_resume(std::nullopt, {});
  loader->setDelegate(other);
  turns(1);
  ASSERT_EQ(other->results.size(), 1u);
  EXPECT_EQ(other->results[0].message(), AppCoreInfo::getLocalizedString("api_error_no_resume_file"));
}

TEST_F(ApiFrameTest, ValuesAreEscapedAndEmptyIdsCanReadZero) {
  EXPECT_EQ(ApiFrame::value("a b&c=d+e/f?é"), "a%20b%26c%3Dd%2Be%2Ff%3F%C3%A9");
  EXPECT_EQ(ApiFrame::value("Az09-_.!~*'()"), "Az09-_.!~*'()");
  EXPECT_EQ(ApiFrame::valueOrZero(""), "0");
  EXPECT_EQ(ApiFrame::valueOrZero("7&"), "7%26");
  EXPECT_EQ(ApiFrame::upload(std::nullopt), "");
  EXPECT_EQ(ApiFrame::upload(platform::Data{0xfb, 0xff}), "%2B%2F8%3D");
}

TEST_F(ApiFrameTest, TheMainScreenComesFromTheApplicationWhenItTells) {
  EXPECT_EQ(ApiFrame::mainScreen().width, 320);
  EXPECT_EQ(ApiFrame::mainScreen().scale, 2);
  ApiFrame::setMainScreenProvider([] { return ApiFrame::Screen{375, 667, 3}; });
  EXPECT_EQ(ApiFrame::mainScreen().height, 667);
  ApiFrame::setMainScreenProvider({});
  EXPECT_EQ(ApiFrame::mainScreen().height, 480);
}

// Through the network: what the server reads is what the builder meant.
class ApiOverTheWireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop().discardAll();
    loop().setClock(platform::Clock::real());
    platform::Environment::setApiHostUrl(server.hostUrl());
  }
  void TearDown() override {
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    UserCoreInfo::destroyUserCoreInfo();
    AppCoreInfo::destroyAppCoreInfo();
  }
  platform::RunLoop& loop() { return platform::RunLoop::main(); }
  test::TempHome home;
  test::ApiFixtureServer server;
};

TEST_F(ApiOverTheWireTest, ThePostBodyAndTheLoginPairArriveEscaped) {
  auto login = DataItemDetail::newDetail();
  login->setString("300111", "accountid");
  login->setString("k+y", "key");
  ASSERT_TRUE(UserCoreInfo::setUserLoginInfo(login.get()));

  // A request recorder taken away again leaves nothing behind: the call goes out as before.
  std::vector<ApiRequest> recorded;
  ApiFrame::setRequestRecorder([&](const ApiRequest& request) { recorded.push_back(request); });
  ApiUser::modify_password("a", "b", {});
  ApiFrame::setRequestRecorder({});
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(server.requestCount(), 0u);

  auto recorder = std::make_shared<Recorder>();
  auto loader = ApiUser::modify_password("o&ld", "n=w", recorder);
  ASSERT_TRUE(loop().runUntil([&] { return !recorder->results.empty(); }, 20));
  ASSERT_EQ(server.requestCount(), 1u);
  auto request = server.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_TRUE(request.target.starts_with("/api/user/modify_password.php?accountid=300111&key=k%2By&partner="))
      << request.target;
  EXPECT_EQ(request.body, "oldpwd=o%26ld&newpwd=n%3Dw");
  EXPECT_EQ(recorder->results.size(), 1u);
}

}  // namespace
}  // namespace kavro
