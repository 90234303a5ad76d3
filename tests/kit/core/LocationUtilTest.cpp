#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/http/ReachabilityFlagsProvider.h"
#include "platform/foundation/Environment.h"
#include "platform/net/HTTPReadStream.h"
#include "demo/ApiFixtureServer.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

using platform::AuthorizationStatus;
using platform::LocationDevice;

constexpr std::string_view LocationPath = "/api/util/get_location.php";
const platform::Location Shanghai{31.230416, 121.473701, 65, 0};

// The network as the device sees it: reachable or not.
struct Network : ReachabilityFlagsProvider {
  bool reachable = true;
  std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget&) override {
    return reachable ? ReachabilityFlagReachable : 0;
  }
  std::unique_ptr<ReachabilityChangeSource> watchChanges(platform::RunLoop&, std::function<void()>) override {
    return nullptr;
  }
};

struct Listener : LocationUtilDelegate {
  std::vector<bool> answers;
  std::function<void()> hook;
  void locationUtil(LocationUtil&, bool isSucceed) override {
    answers.push_back(isSucceed);
    if (hook) hook();
  }
};

std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }

// Device fixes and authorisation come from the location stand-in; the server's area answer from the
// API fixture server. The virtual clock never moves: the loader's time-out cannot fire while the
// server's answer is on its way.
class LocationUtilTest : public test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    LocationDevice::reset();
    ReachabilityFlagsProvider::setShared(network);
    platform::Environment::setApiHostUrl(server.hostUrl());
  }
  void TearDown() override {
    LocationUtil::destroyLocationUtil();
    ReachabilityFlagsProvider::setShared(nullptr);
    LocationDevice::reset();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    AppCoreInfo::destroyAppCoreInfo();
    VirtualRunLoopTest::TearDown();
  }

  // Turns of the main loop at the same virtual time until pred holds (bounded in real time, for the
  // server thread).
  bool settle(const std::function<bool()>& pred) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    double start = now();
    while (!pred() && std::chrono::steady_clock::now() < until) loop().runOnce(0);
    EXPECT_EQ(now(), start);
    return pred();
  }
  void turns(int n) {
    for (int i = 0; i < n; ++i) loop().runOnce(0);
  }

  LocationUtil& util() { return LocationUtil::sharedLocationUtil(); }

  test::TempHome home;
  test::ApiFixtureServer server;
  std::shared_ptr<Listener> listener = std::make_shared<Listener>();
  std::shared_ptr<Network> network = std::make_shared<Network>();
};

TEST_F(LocationUtilTest, FindsTheAreaFromOneFixAndKeepsItForTheRun) {
  LocationDevice::setCurrentLocation(Shanghai);
  LocationUtil::getLocationForType("job", listener);
  EXPECT_TRUE(listener->answers.empty()) << "the fix comes on a later turn";
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  EXPECT_EQ(listener->answers, std::vector<bool>{true});

  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_TRUE(server.requests()[0].target.starts_with(
      "/api/util/get_location.php?longitude=121.473701&latitude=31.230416&partner="))
      << server.requests()[0].target;
  auto job = util().lastLocationForType("job");
  ASSERT_TRUE(job);
  EXPECT_EQ(job->getDictCode(), "020000");
  EXPECT_EQ(job->getDictValue(), "上海");
  EXPECT_EQ(util().getErrorMessage(), "");
  EXPECT_EQ(LocationUtil::defaultLocationForType("job")->getDictCode(), "020000")
      << "nothing chosen: located";

  // The answer also covered "campus": known at once, without a fix or a request.
  LocationDevice::clearCurrentLocation();
  LocationUtil::getLocationForType("campus", listener);
  EXPECT_EQ(listener->answers, (std::vector<bool>{true, true}));
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(LocationUtilTest, ATypeTheAnswerLacksAsksAgainWithTheKeptFixAndFailsWithTheLocationText) {
  LocationDevice::setCurrentLocation(Shanghai);
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));

  // No new fix is needed (the device has none now): the kept one goes to the server again.
  LocationDevice::clearCurrentLocation();
  LocationUtil::getLocationForType("salary", listener);
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 2; }));
  EXPECT_FALSE(listener->answers[1]);
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(util().getErrorMessage(), text("location_gps_location_failed"));
  EXPECT_FALSE(util().getErrorMessage().empty());
  EXPECT_TRUE(util().lastLocationForType("job")) << "the new answer is kept as well";
}

TEST_F(LocationUtilTest, RefusedUseOrServicesOffFailAtOnceWithTheirTexts) {
  LocationDevice::setCurrentLocation(Shanghai);
  LocationDevice::setAuthorizationStatus(AuthorizationStatus::Denied);
  EXPECT_FALSE(LocationUtil::getGPSEnabledStatus());
  LocationUtil::getLocationForType("job", listener);
  EXPECT_EQ(listener->answers, std::vector<bool>{false});
  EXPECT_FALSE(util().isGPSAuthorized());
  EXPECT_TRUE(util().isGPSError());
  EXPECT_EQ(util().getErrorMessage(), text("location_error_msg_authorized"));

  LocationDevice::setAuthorizationStatus(AuthorizationStatus::Authorized);
  LocationDevice::setLocationServicesEnabled(false);
  LocationUtil::getLocationForType("job", listener);
  EXPECT_EQ(listener->answers, (std::vector<bool>{false, false}));
  EXPECT_FALSE(util().isGPSEnabled());
  EXPECT_EQ(util().getErrorMessage(), text("location_error_msg_service_disabled"));

  turns(3);
  EXPECT_EQ(listener->answers.size(), 2u) << "one callback per lookup";
  EXPECT_EQ(server.requestCount(), 0u);

  LocationDevice::setLocationServicesEnabled(true);
  EXPECT_TRUE(LocationUtil::getGPSEnabledStatus());
}

TEST_F(LocationUtilTest, ServerFailuresFailWithTheirMessageOrTheNetworkText) {
  LocationDevice::setCurrentLocation(Shanghai);
  server.setAnswer(LocationPath, 500, "oops");
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  EXPECT_FALSE(listener->answers[0]);
  std::string httpError = util().getErrorMessage();
  EXPECT_FALSE(httpError.empty());
  EXPECT_NE(httpError, text("location_gps_location_failed"));
  EXPECT_FALSE(util().isGPSError()) << "the device did its part";

  // The same failure without a network says so.
  network->reachable = false;
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 2; }));
  EXPECT_FALSE(listener->answers[1]);
  EXPECT_EQ(util().getErrorMessage(), text("location_error_msg_no_network"));
  network->reachable = true;

  // The server's own refusal is shown as it stands.
  server.setAnswer(LocationPath, 200,
                   "<r><result>0</result><status>3</status><message>busy now</message><resultbody/></r>");
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 3; }));
  EXPECT_FALSE(listener->answers[2]);
  EXPECT_EQ(util().getErrorMessage(), "busy now");

  // Areas that are not located (locationtype 0) make no usable answer; without a message the
  // location text is given.
  server.setAnswer(LocationPath, 200,
                   "<r><result>1</result><resultbody><item><type>job</type><code>020000</code>"
                   "<value>上海</value><locationtype>0</locationtype></item></resultbody></r>");
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 4; }));
  EXPECT_FALSE(listener->answers[3]);
  EXPECT_EQ(util().getErrorMessage(), text("location_gps_location_failed"));
  EXPECT_FALSE(util().lastLocationForType("job"));
}

TEST_F(LocationUtilTest, ADeviceFailureFailsWithItsText) {
  LocationUtil::getLocationForType("job", listener);
  turns(2);
  EXPECT_TRUE(listener->answers.empty()) << "waiting for a fix";
  LocationDevice::failWithError({"kCLErrorDomain", 0, "No fix to be had", nullptr, nullptr});
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  EXPECT_EQ(listener->answers, std::vector<bool>{false});
  EXPECT_TRUE(util().isGPSError());
  EXPECT_EQ(util().getErrorMessage(), "No fix to be had");

  // A fix later is no longer listened to.
  LocationDevice::setCurrentLocation(Shanghai);
  turns(3);
  EXPECT_EQ(listener->answers.size(), 1u);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(LocationUtilTest, StopOrANewLookupCutsTheRunningOneOff) {
  // Waiting for the device.
  LocationUtil::getLocationForType("job", listener);
  LocationUtil::stopLocation();
  LocationDevice::setCurrentLocation(Shanghai);
  turns(5);
  EXPECT_TRUE(listener->answers.empty());
  EXPECT_EQ(server.requestCount(), 0u);

  // Waiting for the server.
  test::ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.setAnswer(LocationPath, held);
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return server.requestCount() == 1; }));
  LocationUtil::stopLocation();
  turns(5);
  EXPECT_TRUE(listener->answers.empty());

  // A new lookup takes the callback from the earlier delegate.
  server.clearAnswers();
  auto second = std::make_shared<Listener>();
  LocationUtil::getLocationForType("job", listener);
  LocationUtil::getLocationForType("campus", second);
  ASSERT_TRUE(settle([&] { return !second->answers.empty(); }));
  turns(5);
  EXPECT_TRUE(listener->answers.empty());
  EXPECT_EQ(second->answers, std::vector<bool>{true});
}

TEST_F(LocationUtilTest, ChosenAreasAreStoredAndEachTypeHasADefault) {
  auto salary = LocationUtil::defaultLocationForType("salary");
  EXPECT_EQ(salary->getDictValue(), text("location_default_salary_areaname"));
  EXPECT_EQ(salary->getDictCode(), text("location_default_salary_areacode"));
  EXPECT_EQ(salary->getInt("locationtype"), 1);
  EXPECT_EQ(LocationUtil::defaultLocationForType("campus")->getDictCode(),
            text("location_default_campus_areacode"));
  EXPECT_EQ(LocationUtil::defaultLocationForType("other")->getDictValue(),
            text("location_default_salary_areaname"));
  EXPECT_FALSE(LocationUtil::defaultLocationForType("job")->getDictCode().empty());

  EXPECT_EQ(LocationUtil::getCachedLocationKeyForType("job"), "CachedLocation-job");
  EXPECT_FALSE(LocationUtil::hasCachedLocationForType("job"));
  auto chosen = DataItemDetail::newDetail();
  chosen->setDictCode("040000");
  chosen->setDictValue("深圳");
  EXPECT_TRUE(LocationUtil::setDefaultLocationForType("job", *chosen));
  LocationUtil::destroyLocationUtil();
  EXPECT_TRUE(LocationUtil::hasCachedLocationForType("job"));
  EXPECT_FALSE(LocationUtil::hasCachedLocationForType("campus"));
  EXPECT_EQ(LocationUtil::defaultLocationForType("job")->getDictValue(), "深圳");

  // A chosen area wins over a located one.
  LocationDevice::setCurrentLocation(Shanghai);
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  EXPECT_EQ(LocationUtil::defaultLocationForType("job")->getDictCode(), "040000");
  EXPECT_EQ(LocationUtil::defaultLocationForType("campus")->getDictCode(), "020000");
}

TEST_F(LocationUtilTest, ADelegateMayStartTheNextLookupFromItsCallback) {
  LocationDevice::setCurrentLocation(Shanghai);
  auto second = std::make_shared<Listener>();
  listener->hook = [&] { LocationUtil::getLocationForType("campus", second); };
  LocationUtil::getLocationForType("job", listener);
  ASSERT_TRUE(settle([&] { return !second->answers.empty(); }));
  EXPECT_EQ(listener->answers, std::vector<bool>{true});
  EXPECT_EQ(second->answers, std::vector<bool>{true});
}

}  // namespace
}  // namespace kavro
