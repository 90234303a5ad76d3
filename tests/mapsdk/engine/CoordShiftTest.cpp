#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "mapsdk/engine/VCoordShift.h"

using namespace gmengine;

namespace {

std::uint32_t Fixed(double degrees) { return static_cast<std::uint32_t>(degrees * kShiftUnitsPerDegree); }

class CoordShiftTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetShiftState(); }
  void TearDown() override { ResetShiftState(); }
};

TEST_F(CoordShiftTest, TheSineFollowsItsPolynomialAndReduction) {
  EXPECT_NEAR(ShiftSin(1.0), 0.8414709846480677, 1e-15);
  EXPECT_NEAR(ShiftSin(-7.0), -0.6569865987166733, 1e-15);  // reduced by 2 pi, sign kept
  EXPECT_NEAR(ShiftSin(4.0), -0.7568024952859388, 1e-15);   // past pi: the sign flips
  EXPECT_EQ(ShiftSin(0), 0);
}

TEST_F(CoordShiftTest, ShiftsAPointAsTheSeededTermsSay) {
  std::uint32_t x = 0, y = 0;
  // Initialising call: seed 0.3 for time 0, the pair copied.
  ASSERT_EQ(ShiftCoordinate(0, Fixed(116.404), Fixed(39.915), 0, 0, x, y), 0);
  EXPECT_EQ(x, 429111705u);
  EXPECT_EQ(y, 147142656u);
  // Worked by hand from the polynomials: r1 = 0.85, r2 = 0.57007...
  ASSERT_EQ(ShiftCoordinate(1, Fixed(116.404), Fixed(39.915), 0, 0, x, y), 0);
  EXPECT_EQ(x, 429134760u);
  EXPECT_EQ(y, 147147851u);
  // The seed advanced: the same point lands a little elsewhere.
  ASSERT_EQ(ShiftCoordinate(1, Fixed(116.404), Fixed(39.915), 0, 0, x, y), 0);
  EXPECT_EQ(x, 429134767u);
  EXPECT_EQ(y, 147147853u);
}

TEST_F(CoordShiftTest, RejectsPointsOutsideTheBoxAndAboveTheHeightLimit) {
  std::uint32_t x = 1, y = 1;
  EXPECT_EQ(ShiftCoordinate(0, Fixed(116.404), Fixed(39.915), 5000, 0, x, y), 0);
  EXPECT_EQ(ShiftCoordinate(1, Fixed(116.404), Fixed(39.915), 5001, 0, x, y), kShiftRejected);
  EXPECT_EQ(x, 0u);
  EXPECT_EQ(y, 0u);
  const double inside[][2] = {{72.0041, 30}, {137.8346, 30}, {100, 0.8294}, {100, 55.8270}};
  for (const auto& p : inside) {
    EXPECT_EQ(ShiftCoordinate(1, Fixed(p[0]), Fixed(p[1]), 0, 0, x, y), 0) << p[0] << "," << p[1];
  }
  const double outside[][2] = {{72.003, 30}, {137.836, 30}, {100, 0.829}, {100, 55.828}, {0, 0}};
  for (const auto& p : outside) {
    EXPECT_EQ(ShiftCoordinate(1, Fixed(p[0]), Fixed(p[1]), 0, 0, x, y), kShiftRejected)
        << p[0] << "," << p[1];
  }
}

TEST_F(CoordShiftTest, AFixIsShiftedFromTheFirstPointOnAndPassesThroughOutsideTheBox) {
  ShiftedPoint first = ShiftGpsPoint(116.404f, 39.915f, 0);
  EXPECT_NEAR(first.longitude, 116.41025, 1e-4);
  EXPECT_NEAR(first.latitude, 39.91641, 1e-4);
  ShiftedPoint second = ShiftGpsPoint(116.404f, 39.915f, 0);
  EXPECT_NEAR(second.longitude, first.longitude, 1e-5);

  ShiftedPoint abroad = ShiftGpsPoint(2.35f, 48.85f, 0);
  EXPECT_EQ(abroad.longitude, 2.35f);
  EXPECT_EQ(abroad.latitude, 48.85f);
  ShiftedPoint high = ShiftGpsPoint(116.404f, 39.915f, 6000);
  EXPECT_EQ(high.longitude, 116.404f);
  ShiftedPoint broken = ShiftGpsPoint(NAN, -INFINITY, 0);
  EXPECT_TRUE(std::isnan(broken.longitude));
}

// The first fix seeds the shift as a start at time 0 does, so the fix and every shift after it
// follow the one sequence.
TEST_F(CoordShiftTest, TheFirstFixSeedsTheShiftsThatFollow) {
  const float longitude = 116.404f, latitude = 39.915f;
  const auto x = static_cast<std::uint32_t>(longitude * 3600.0f * 1024.0f);
  const auto y = static_cast<std::uint32_t>(latitude * 3600.0f * 1024.0f);
  std::uint32_t unused = 0;
  ASSERT_EQ(ShiftCoordinate(0, x, y, 0, 0, unused, unused), 0);
  std::uint32_t sequenceX[3] = {}, sequenceY[3] = {};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ShiftCoordinate(1, x, y, 0, 0, sequenceX[i], sequenceY[i]), 0);
  ASSERT_NE(sequenceX[0], sequenceX[1]) << "the seed moves with every shift";
  ResetShiftState();

  // Seeded once, by the first fix only: the second goes on from there.
  for (int i = 0; i < 2; ++i) {
    ShiftedPoint fix = ShiftGpsPoint(longitude, latitude, 0);
    EXPECT_EQ(fix.longitude, static_cast<float>(sequenceX[i] / kShiftUnitsPerDegree)) << i;
    EXPECT_EQ(fix.latitude, static_cast<float>(sequenceY[i] / kShiftUnitsPerDegree)) << i;
  }
  std::uint32_t afterX = 0, afterY = 0;
  ASSERT_EQ(ShiftCoordinate(1, x, y, 0, 0, afterX, afterY), 0);
  EXPECT_EQ(afterX, sequenceX[2]);
  EXPECT_EQ(afterY, sequenceY[2]);
}

}  // namespace
