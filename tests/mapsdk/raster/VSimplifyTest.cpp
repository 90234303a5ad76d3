#include <gtest/gtest.h>

#include "mapsdk/raster/VSimplify.h"

using namespace gmengine;

namespace {

CVArray<_VPoint> Points(std::initializer_list<_VPoint> list) {
  CVArray<_VPoint> a;
  for (const _VPoint& p : list) a.Add(p);
  return a;
}

TEST(SimplifyPartTest, KeepsEndsRemovesCollinearPointsAndDuplicatesALoneEnd) {
  CVArray<_VPoint> out;
  EXPECT_EQ(SimplifyPart(Points({{0, 0}}), out, 4), -1);
  ASSERT_EQ(SimplifyPart(Points({{0, 0}, {10, 0}}), out, 4), 3);
  EXPECT_EQ(out[1], _VPoint(10, 0));
  EXPECT_EQ(out[2], _VPoint(10, 0));
  ASSERT_EQ(SimplifyPart(Points({{0, 0}, {100, 100}, {200, 200}, {300, 300}}), out, 4), 3);
  EXPECT_EQ(out[0], _VPoint(0, 0));
  EXPECT_EQ(out[2], _VPoint(300, 300));
}

TEST(SimplifyPartTest, ThresholdIsToleranceTimesOneHundredAndInclusive) {
  CVArray<_VPoint> out;
  // Tolerance 4 map units = 400 hundredths.
  EXPECT_EQ(SimplifyPart(Points({{0, 0}, {5000, 400}, {10000, 0}}), out, 4), 3);
  EXPECT_EQ(out[1], _VPoint(5000, 400));
  EXPECT_EQ(SimplifyPart(Points({{0, 0}, {5000, 399}, {10000, 0}}), out, 4), 3);
  EXPECT_EQ(out[1], _VPoint(10000, 0));
  // A closed part: the others are measured from the shared end point.
  EXPECT_EQ(SimplifyPart(Points({{0, 0}, {300, 0}, {0, 1000}, {0, 0}}), out, 4), 3);
  EXPECT_EQ(out[1], _VPoint(0, 1000));
}

TEST(PointSegmentDistanceTest, EndsPerpendicularsAndDegenerateSegments) {
  _VPoint nearest;
  EXPECT_DOUBLE_EQ(PointSegmentDistance({3, 4}, {0, 0}, {0, 0}, &nearest), 25);
  EXPECT_EQ(nearest, _VPoint(0, 0));
  EXPECT_DOUBLE_EQ(PointSegmentDistance({5, 3}, {0, 0}, {10, 0}, &nearest), 9);
  EXPECT_EQ(nearest, _VPoint(5, 0));
  EXPECT_DOUBLE_EQ(PointSegmentDistance({-3, 0}, {0, 0}, {10, 0}, &nearest), 9);
  EXPECT_EQ(nearest, _VPoint(0, 0));
  EXPECT_DOUBLE_EQ(PointSegmentDistance({14, 0}, {0, 0}, {10, 0}, &nearest), 16);
  EXPECT_EQ(nearest, _VPoint(10, 0));
}

TEST(SimplifyComplexPtTest, LevelsOutsideOneToEighteenYieldNothing) {
  CComplexPt shape;
  shape.AddPart(Points({{0, 0}, {50000, 300}, {100000, 0}}));
  shape.AddPart(Points({{7, 7}}));
  CComplexPt out;
  EXPECT_EQ(SimplifyComplexPt(shape, 0, out), 0);
  EXPECT_EQ(SimplifyComplexPt(shape, 19, out), 0);
  EXPECT_TRUE(out.IsEmpty());
  ASSERT_EQ(SimplifyComplexPt(shape, 18, out), 1);  // the one-point part is left out
  EXPECT_EQ(out.GetPartPt(0, 1), _VPoint(100000, 0));
  CComplexPt kept;
  shape.Clean();
  shape.AddPart(Points({{0, 0}, {50000, 500}, {100000, 0}}));
  ASSERT_EQ(SimplifyComplexPt(shape, 18, kept), 1);
  EXPECT_EQ(kept.GetPartPt(0, 1), _VPoint(50000, 500));
  CComplexPt coarse;
  ASSERT_EQ(SimplifyComplexPt(shape, 17, coarse), 1);
  EXPECT_EQ(coarse.GetPartPt(0, 1), _VPoint(100000, 0));
  CComplexPt lowest;  // the other end of the range: the roughest level still thins
  ASSERT_EQ(SimplifyComplexPt(shape, 1, lowest), 1);
  EXPECT_EQ(lowest.GetPartPt(0, 1), _VPoint(100000, 0));
  EXPECT_DOUBLE_EQ(LevelTolerance(8, ToleranceKind::Doubling), 1024);
  EXPECT_DOUBLE_EQ(LevelTolerance(0, ToleranceKind::LinearLog), 100);
}

}  // namespace
