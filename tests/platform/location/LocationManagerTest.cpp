#include <gtest/gtest.h>

#include <vector>

#include "platform/location/LocationManager.h"
#include "tests/support/VirtualRunLoop.h"

namespace {

using platform::AuthorizationStatus;
using platform::Location;
using platform::LocationDevice;
using platform::LocationManager;

struct Recorder : platform::LocationManagerDelegate {
  std::vector<Location> fixes;
  std::vector<std::optional<Location>> previous;
  std::vector<platform::Error> errors;
  std::vector<AuthorizationStatus> statuses;
  void locationManagerDidUpdateToLocation(LocationManager&, const Location& fix,
                                          const std::optional<Location>& old) override {
    fixes.push_back(fix);
    previous.push_back(old);
  }
  void locationManagerDidFailWithError(LocationManager&, const platform::Error& error) override {
    errors.push_back(error);
  }
  void locationManagerDidChangeAuthorizationStatus(LocationManager&, AuthorizationStatus status) override {
    statuses.push_back(status);
  }
};

class LocationManagerTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    LocationDevice::reset();
    manager = LocationManager::create();
    manager->setDelegate(delegate);
  }
  void TearDown() override {
    LocationDevice::reset();
    VirtualRunLoopTest::TearDown();
  }
  void turn() { loop().runOnce(0); }

  std::shared_ptr<Recorder> delegate = std::make_shared<Recorder>();
  std::shared_ptr<LocationManager> manager;
};

TEST_F(LocationManagerTest, ReportsTheCurrentFixOnTheNextTurnAndLaterFixesAsTheyCome) {
  LocationDevice::setCurrentLocation({31.23, 121.47, 65, 0});
  manager->startUpdatingLocation();
  EXPECT_TRUE(manager->isUpdatingLocation());
  EXPECT_TRUE(delegate->fixes.empty()) << "never inside the call";
  turn();
  ASSERT_EQ(delegate->fixes.size(), 1u);
  EXPECT_DOUBLE_EQ(delegate->fixes[0].latitude, 31.23);
  EXPECT_FALSE(delegate->previous[0].has_value());

  LocationDevice::setCurrentLocation({39.9, 116.4, 65, 0});
  turn();
  ASSERT_EQ(delegate->fixes.size(), 2u);
  EXPECT_DOUBLE_EQ(delegate->fixes[1].longitude, 116.4);
  ASSERT_TRUE(delegate->previous[1].has_value());
  EXPECT_DOUBLE_EQ(delegate->previous[1]->latitude, 31.23);
  EXPECT_DOUBLE_EQ(manager->location()->latitude, 39.9);
}

// The device stays where it was put: a session started long after hears a fix of its own start,
// which a receiver that drops stale fixes takes; moves keep the stamp they were given.
TEST_F(LocationManagerTest, ASessionStartedLaterHearsAFreshFixOfTheSamePlace) {
  LocationDevice::setCurrentLocation({31.23, 121.47, 10, loop().now()});
  loop().runFor(30);
  manager->startUpdatingLocation();
  turn();
  ASSERT_EQ(delegate->fixes.size(), 1u);
  EXPECT_DOUBLE_EQ(delegate->fixes[0].latitude, 31.23);
  EXPECT_DOUBLE_EQ(delegate->fixes[0].timestamp, loop().now());
  EXPECT_DOUBLE_EQ(manager->location()->timestamp, loop().now());

  const double stale = loop().now() - 5;
  LocationDevice::setCurrentLocation({39.9, 116.4, 10, stale});
  turn();
  ASSERT_EQ(delegate->fixes.size(), 2u);
  EXPECT_DOUBLE_EQ(delegate->fixes[1].timestamp, stale);
}

TEST_F(LocationManagerTest, WithoutAFixASessionWaitsAndAStoppedOneHearsNothing) {
  manager->startUpdatingLocation();
  turn();
  EXPECT_TRUE(delegate->fixes.empty());

  // A fix meant for a session that ended before it was delivered is dropped, also when a new
  // session has started since.
  LocationDevice::setCurrentLocation({1, 2, 10, 0});
  manager->stopUpdatingLocation();
  turn();
  EXPECT_TRUE(delegate->fixes.empty());
  LocationDevice::failWithError({"x", 5, "bad", nullptr, nullptr});
  turn();
  EXPECT_TRUE(delegate->errors.empty());

  manager->startUpdatingLocation();
  manager->stopUpdatingLocation();
  manager->startUpdatingLocation();
  turn();
  EXPECT_EQ(delegate->fixes.size(), 1u) << "only the running session's report";
}

TEST_F(LocationManagerTest, RefusedUseFailsTheSessionWithDenied) {
  LocationDevice::setCurrentLocation({1, 2, 10, 0});
  LocationDevice::setAuthorizationStatus(AuthorizationStatus::Denied);
  EXPECT_EQ(LocationManager::authorizationStatus(), AuthorizationStatus::Denied);
  manager->startUpdatingLocation();
  turn();
  EXPECT_TRUE(delegate->fixes.empty());
  ASSERT_EQ(delegate->errors.size(), 1u);
  EXPECT_EQ(delegate->errors[0].domain, platform::LocationErrorDomain);
  EXPECT_EQ(delegate->errors[0].code, platform::LocationErrorDenied);

  // Once allowed, the failed manager's next session hears the fix and nothing of the refusal.
  LocationDevice::setAuthorizationStatus(AuthorizationStatus::Authorized);
  manager->stopUpdatingLocation();
  manager->startUpdatingLocation();
  turn();
  ASSERT_EQ(delegate->fixes.size(), 1u);
  EXPECT_DOUBLE_EQ(delegate->fixes[0].longitude, 2);
  EXPECT_EQ(delegate->errors.size(), 1u);
}

TEST_F(LocationManagerTest, SwitchingTheServiceOffOrRefusingUseFailsRunningSessions) {
  manager->startUpdatingLocation();
  LocationDevice::setLocationServicesEnabled(false);
  EXPECT_FALSE(LocationManager::locationServicesEnabled());
  turn();
  ASSERT_EQ(delegate->errors.size(), 1u);
  EXPECT_EQ(delegate->errors[0].code, platform::LocationErrorDenied);

  LocationDevice::setLocationServicesEnabled(true);
  LocationDevice::setAuthorizationStatus(AuthorizationStatus::Restricted);
  turn();
  EXPECT_EQ(delegate->errors.size(), 2u);
  ASSERT_EQ(delegate->statuses.size(), 1u);
  EXPECT_EQ(delegate->statuses[0], AuthorizationStatus::Restricted);
}

TEST_F(LocationManagerTest, AnotherManagersDelegateOrADeadDelegateIsNotCalled) {
  auto other = LocationManager::create();
  auto otherDelegate = std::make_shared<Recorder>();
  other->setDelegate(otherDelegate);
  manager->startUpdatingLocation();
  LocationDevice::setCurrentLocation({1, 2, 10, 0});
  delegate.reset();  // held weakly: nothing to call
  turn();
  EXPECT_TRUE(otherDelegate->fixes.empty()) << "not updating";
  EXPECT_TRUE(manager->location().has_value());
}

TEST_F(LocationManagerTest, AManagerDestroyedBeforeItsReportIsSafe) {
  LocationDevice::setCurrentLocation({1, 2, 10, 0});
  manager->startUpdatingLocation();
  manager.reset();
  turn();
  EXPECT_TRUE(delegate->fixes.empty());
}

}  // namespace
