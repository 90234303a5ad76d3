#include <gtest/gtest.h>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetInputStream.h"
#include "kit/http/ReachabilityFlagsProvider.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/NotificationCenter.h"

using kavro::NetHTTPRequest;
using kavro::NetInputStream;

namespace {

class NetHTTPRequestThrottlingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Date::setClock(clock);
    NetHTTPRequest::resetForTesting();
  }
  void TearDown() override {
    NetHTTPRequest::setShouldThrottleBandwidthForWWAN(false);
    NetHTTPRequest::resetForTesting();
    platform::Date::setClock(nullptr);
  }
  double now() const { return clock->now(); }
  std::shared_ptr<platform::VirtualClock> clock = std::make_shared<platform::VirtualClock>();
};

TEST_F(NetHTTPRequestThrottlingTest, OverspendingSleepsInProportion) {
  NetHTTPRequest::setMaxBandwidthPerSecond(14800);
  EXPECT_TRUE(NetHTTPRequest::isBandwidthThrottled());
  NetHTTPRequest::measureBandwidthUsage();  // opens the first window
  double windowEnd = now() + 1;
  NetHTTPRequest::incrementBandwidthUsedInLastSecond(20000);
  NetHTTPRequest::measureBandwidthUsage();
  ASSERT_TRUE(NetHTTPRequest::throttleWakeUpTime());
  EXPECT_NEAR(*NetHTTPRequest::throttleWakeUpTime(), windowEnd + 5200.0 / 14800.0, 1e-9);
  // Spent: reads take one byte at a time; uploads get nothing and sleep to the window's end.
  EXPECT_EQ(NetHTTPRequest::throttledReadSize(16384), 1u);
  EXPECT_EQ(NetHTTPRequest::maxUploadReadLength(), 0u);
  EXPECT_EQ(NetInputStream::readLengthFor(32768), 1u);

  // The next window: a quarter of the budget per read.
  clock->advance(1.5);
  NetHTTPRequest::measureBandwidthUsage();
  EXPECT_EQ(NetHTTPRequest::averageBandwidthUsedPerSecond(), 20000u);
  EXPECT_EQ(NetHTTPRequest::throttledReadSize(16384), 3700u);
  EXPECT_EQ(NetHTTPRequest::throttledReadSize(1000), 1000u);
  EXPECT_EQ(NetInputStream::readLengthFor(32768), 3700u);
  EXPECT_EQ(NetInputStream::readLengthFor(1000), 1000u);
  // A window with no traffic empties the history.
  clock->advance(1.5);
  NetHTTPRequest::measureBandwidthUsage();
  EXPECT_EQ(NetHTTPRequest::averageBandwidthUsedPerSecond(), 0u);

  NetHTTPRequest::setMaxBandwidthPerSecond(0);
  EXPECT_FALSE(NetHTTPRequest::isBandwidthThrottled());
  EXPECT_EQ(NetHTTPRequest::throttledReadSize(16384), 16384u);
  EXPECT_EQ(NetInputStream::readLengthFor(32768), 32768u);
}

TEST_F(NetHTTPRequestThrottlingTest, UploadStreamsCountWhatTheyHandOut) {
  auto stream = NetInputStream::inputStreamWithData(platform::Data(10, 7), {});
  std::uint8_t buffer[64];
  NetHTTPRequest::setMaxBandwidthPerSecond(100000);
  NetHTTPRequest::measureBandwidthUsage();
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 10);
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
  // 25,000 allowed per read, 10 used: what is left of the second.
  EXPECT_EQ(NetHTTPRequest::maxUploadReadLength(), 25000u);
  NetHTTPRequest::incrementBandwidthUsedInLastSecond(99990 - 10);
  EXPECT_EQ(NetHTTPRequest::maxUploadReadLength(), 10u);
}

struct FixedFlags : kavro::ReachabilityFlagsProvider {
  kavro::ReachabilityFlags flags = kavro::ReachabilityFlagReachable;
  std::optional<kavro::ReachabilityFlags> flagsForTarget(const kavro::ReachabilityTarget&) override {
    return flags;
  }
  std::unique_ptr<kavro::ReachabilityChangeSource> watchChanges(platform::RunLoop&,
                                                                std::function<void()>) override {
    return nullptr;
  }
};

TEST_F(NetHTTPRequestThrottlingTest, MobileDataOnly) {
  auto provider = std::make_shared<FixedFlags>();
  kavro::ReachabilityFlagsProvider::setShared(provider);
  NetHTTPRequest::setShouldThrottleBandwidthForWWAN(true);
  EXPECT_EQ(NetHTTPRequest::maxBandwidthPerSecond(), NetHTTPRequest::WWANBandwidthLimit);
  EXPECT_FALSE(NetHTTPRequest::isBandwidthThrottled());
  provider->flags = kavro::ReachabilityFlagReachable | kavro::ReachabilityFlagIsWWAN;
  platform::NotificationCenter::defaultCenter().post("kNetworkReachabilityChangedNotification");
  EXPECT_TRUE(NetHTTPRequest::isBandwidthThrottled());
  NetHTTPRequest::setShouldThrottleBandwidthForWWAN(false);
  EXPECT_FALSE(NetHTTPRequest::isBandwidthThrottled());
  EXPECT_EQ(NetHTTPRequest::maxBandwidthPerSecond(), 0u);
  kavro::ReachabilityFlagsProvider::setShared(nullptr);
}

}  // namespace
