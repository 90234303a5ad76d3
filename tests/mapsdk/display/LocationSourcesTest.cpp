#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mapsdk/display/LocationSources.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/VirtualRunLoop.h"

using namespace mapsdk;

namespace {

// The bridge over the platform's location service, fed through the location device.
class IphoneGPSManTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::LocationDevice::reset();
    auto& center = platform::NotificationCenter::defaultCenter();
    tokens.push_back(center.addObserver(NotificationLocationUpdate, nullptr,
                                        [this](const platform::Notification&) { seen.push_back("update"); }));
    tokens.push_back(
        center.addObserver(NotificationLocationFail, nullptr, [this](const platform::Notification& n) {
          seen.push_back("fail");
          const platform::Value* error = n.userInfo ? n.userInfo->objectForKey("error") : nullptr;
          auto failure = error ? std::dynamic_pointer_cast<LocationFailure>(error->objectValue()) : nullptr;
          if (failure) codes.push_back(failure->error().code);
        }));
    gps = IphoneGPSMan::getInstance();
    gps->initialize();
  }
  void TearDown() override {
    for (auto token : tokens) platform::NotificationCenter::defaultCenter().removeObserver(token);
    gps.reset();
    IphoneGPSMan::destroyInstance();
    platform::LocationDevice::reset();
    VirtualRunLoopTest::TearDown();
  }
  void Move(double longitude, double latitude, double accuracy, double age = 0) {
    platform::LocationDevice::setCurrentLocation({latitude, longitude, accuracy, now() - age});
    runFor(0);
  }
  GpsFix Fix() const {
    GpsFix fix;
    gps->getLastLocation(fix);
    return fix;
  }

  std::shared_ptr<IphoneGPSMan> gps;
  std::vector<platform::NotificationCenter::Token> tokens;
  std::vector<std::string> seen;
  std::vector<std::int64_t> codes;
};

TEST_F(IphoneGPSManTest, KeepsTheBestFreshFix) {
  GpsFix none = Fix();
  EXPECT_EQ(none.state, FixState::NoFix);
  EXPECT_EQ(none.longitude, 0);
  EXPECT_EQ(none.valid, 0);

  Move(116.4, 39.9, 30, 5);  // a cached fix, 5 s old
  EXPECT_EQ(Fix().state, FixState::NoFix);
  EXPECT_TRUE(seen.empty());

  Move(116.4, 39.9, 2500);  // the first fix is taken whatever its accuracy, capped
  EXPECT_EQ(Fix().state, FixState::Fix);
  EXPECT_EQ(Fix().accuracy, 2000);
  Move(116.5, 39.9, 2500);  // with a best fix, a coarse one is ignored
  EXPECT_FLOAT_EQ(Fix().longitude, 116.4f);
  Move(116.6, 39.9, 1500);
  EXPECT_FLOAT_EQ(Fix().longitude, 116.6f);
  EXPECT_EQ(Fix().valid, 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"update", "update"}));
  // The receiver's course and speed go with the fix; unknown ones read 0.
  EXPECT_EQ(Fix().course, 0);
  EXPECT_EQ(Fix().speed, 0);
  platform::LocationDevice::setCurrentLocation({39.9, 116.7, 20, now(), 40, 10, 90, 12.5});
  runFor(0);
  EXPECT_FLOAT_EQ(Fix().longitude, 116.7f);
  EXPECT_FLOAT_EQ(Fix().course, 90);
  EXPECT_FLOAT_EQ(Fix().speed, 12.5f);
}

// Each failure the service reports is announced, with its error: a passing one keeps the last fix.
TEST_F(IphoneGPSManTest, AFailureKeepsTheLastFixAndIsAnnouncedEveryTime) {
  Move(116.4, 39.9, 30);
  seen.clear();
  for (std::int64_t code : {0, 2, 0}) {
    platform::LocationDevice::failWithError(
        {std::string(platform::LocationErrorDomain), code, "unknown", {}, {}});
    runFor(0);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"fail", "fail", "fail"}));
  EXPECT_EQ(codes, (std::vector<std::int64_t>{0, 2, 0}));
  EXPECT_EQ(Fix().state, FixState::Fix);  // a passing failure leaves the last good position
  EXPECT_FLOAT_EQ(Fix().longitude, 116.4f);
  // A new fix and a failure after it: both told.
  Move(116.5, 39.9, 30);
  platform::LocationDevice::failWithError({std::string(platform::LocationErrorDomain), 0, "unknown", {}, {}});
  runFor(0);
  EXPECT_EQ(seen, (std::vector<std::string>{"fail", "fail", "fail", "update", "fail"}));
}

// A refusal drops the fix and is announced as a change and then as a failure, each time it comes.
TEST_F(IphoneGPSManTest, ARefusalDropsTheFixAndIsAnnouncedEveryTime) {
  Move(116.4, 39.9, 30);
  seen.clear();
  platform::LocationDevice::setAuthorizationStatus(platform::AuthorizationStatus::Denied);
  runFor(0);
  EXPECT_EQ(seen, (std::vector<std::string>{"update", "fail"}));
  EXPECT_EQ(codes, std::vector<std::int64_t>{platform::LocationErrorDenied});
  GpsFix dropped = Fix();
  EXPECT_EQ(dropped.state, FixState::NoFix);  // a refused position may no longer be used
  EXPECT_EQ(dropped.valid, 0);
  EXPECT_EQ(dropped.longitude, 0);
  // The refusal reported again, and a passing failure between: every report is told.
  const platform::Error denied{
      std::string(platform::LocationErrorDomain), platform::LocationErrorDenied, "denied", {}, {}};
  platform::LocationDevice::failWithError(denied);
  runFor(0);
  platform::LocationDevice::failWithError({std::string(platform::LocationErrorDomain), 0, "unknown", {}, {}});
  runFor(0);
  platform::LocationDevice::failWithError(denied);
  runFor(0);
  EXPECT_EQ(seen, (std::vector<std::string>{"update", "fail", "update", "fail", "fail", "update", "fail"}));
  EXPECT_EQ(codes, (std::vector<std::int64_t>{platform::LocationErrorDenied, platform::LocationErrorDenied, 0,
                                              platform::LocationErrorDenied}));
  EXPECT_EQ(Fix().state, FixState::NoFix);

  // Updating again after access is given: the device's fix is taken and told.
  platform::LocationDevice::setAuthorizationStatus(platform::AuthorizationStatus::Authorized);
  gps->initialize();
  seen.clear();
  runFor(0);
  EXPECT_EQ(seen, std::vector<std::string>{"update"});
  EXPECT_EQ(Fix().state, FixState::Fix);
}

// Once put out of service, the bridge has no location service: starting and stopping do nothing and
// no fix comes in, until it is put in service again.
TEST_F(IphoneGPSManTest, OutOfServiceStartingAndStoppingDoNothingUntilInitializedAgain) {
  Move(116.4, 39.9, 30);
  ASSERT_EQ(Fix().state, FixState::Fix);
  gps->unInitialize();
  EXPECT_FALSE(gps->locationManager());
  EXPECT_EQ(Fix().state, FixState::NoFix);
  gps->startUpdatingLocation();
  Move(121.5, 31.2, 20);
  EXPECT_EQ(Fix().state, FixState::NoFix);
  gps->stopUpdatingLocation();
  EXPECT_FALSE(gps->locationManager());

  gps->initialize();
  Move(121.5, 31.2, 20);
  const GpsFix fix = Fix();
  EXPECT_EQ(fix.state, FixState::Fix);
  EXPECT_FLOAT_EQ(fix.longitude, 121.5f);
}

TEST_F(IphoneGPSManTest, StoppingForgetsTheFix) {
  Move(116.4, 39.9, 30);
  gps->stopUpdatingLocation();
  EXPECT_EQ(Fix().state, FixState::NoFix);
  EXPECT_EQ(seen.back(), "update");
  CCellMan cells;
  EXPECT_FALSE(cells.GetCell().HasCell());
  CWifiMan wifi;
  EXPECT_EQ(wifi.Start(), 0);
  EXPECT_TRUE(wifi.Scan().requestText.empty());
}

}  // namespace
