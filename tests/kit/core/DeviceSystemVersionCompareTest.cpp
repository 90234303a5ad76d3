#include <gtest/gtest.h>

#include "kit/core/AppUtil.h"
#include "kit/core/DeviceSystemVersionCompare.h"
#include "kit/core/DeviceUUID.h"
#include "platform/system/AdvertisingIdentifier.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Window.h"

namespace kavro {
namespace {

class DeviceFactsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::Device::currentDevice().reset();
    platform::AdvertisingIdentifier::sharedManager().reset();
    platform::Application::destroySharedApplication();
  }
  static void onSystem(const char* version) { platform::Device::currentDevice().setSystemVersion(version); }
};

TEST_F(DeviceFactsTest, SystemVersionsCompareNumberByNumber) {
  EXPECT_EQ(device::compareVersions("6.10", "6.9"), 1);
  EXPECT_EQ(device::compareVersions("5.1.1", "6.0"), -1);
  EXPECT_EQ(device::compareVersions("6.0", "6.0"), 0);
  EXPECT_EQ(device::compareVersions("06.0", "6.0"), 0);
  EXPECT_EQ(device::compareVersions("6", "6.0"), -1) << "a text that starts the other comes first";
  EXPECT_EQ(device::compareVersions("", "1"), -1);

  onSystem("6.0");
  EXPECT_TRUE(device::systemVersionNotLessThan("6.0"));
  EXPECT_TRUE(device::systemVersionEquals("6.0"));
  EXPECT_TRUE(device::systemVersionNotGreaterThan("6.0"));
  EXPECT_FALSE(device::systemVersionGreaterThan("6.0"));
  EXPECT_FALSE(device::systemVersionLessThan("6.0"));
  onSystem("5.1.1");
  EXPECT_FALSE(device::systemVersionNotLessThan("6.0"));
  EXPECT_TRUE(device::systemVersionLessThan("6.0"));
  EXPECT_TRUE(device::systemVersionNotGreaterThan("6.0"));
  onSystem("6.10");
  EXPECT_TRUE(device::systemVersionGreaterThan("6.9"));
  EXPECT_FALSE(device::systemVersionEquals("6.1"));
}

TEST_F(DeviceFactsTest, AdvertisingIdentifierFromSystem6OnWhenOffered) {
  onSystem("6.1");
  std::string adid = device::getADID();
  EXPECT_EQ(adid.size(), 36u) << adid;
  EXPECT_EQ(device::getADID(), adid) << "the same for the whole run";
  EXPECT_TRUE(device::isAdTrackingEnabled());
  platform::AdvertisingIdentifier::sharedManager().setAdvertisingTrackingEnabled(false);
  EXPECT_FALSE(device::isAdTrackingEnabled());

  onSystem("5.1.1");
  EXPECT_EQ(device::getADID(), "");
  onSystem("6.0");
  platform::AdvertisingIdentifier::sharedManager().setAdvertisingIdentifier(std::nullopt);
  EXPECT_EQ(device::getADID(), "");
}

TEST_F(DeviceFactsTest, WindowFallsBackToTheKeyWindowWithoutADelegatesWindow) {
  EXPECT_EQ(AppUtil::getWindow(), nullptr);
  auto key = std::make_shared<platform::Window>();
  key->makeKeyAndVisible();
  EXPECT_EQ(AppUtil::getWindow(), key);

  struct Delegate : platform::ApplicationDelegate, AppWindowSource {
    std::shared_ptr<platform::Window> window;
    std::shared_ptr<platform::Window> mainWindow() const override { return window; }
  };
  auto delegate = std::make_shared<Delegate>();
  platform::Application::sharedApplication().setDelegate(delegate);
  EXPECT_EQ(AppUtil::getWindow(), key) << "a delegate without a window yet";
  delegate->window = std::make_shared<platform::Window>();
  EXPECT_EQ(AppUtil::getWindow(), delegate->window);
}

}  // namespace
}  // namespace kavro
