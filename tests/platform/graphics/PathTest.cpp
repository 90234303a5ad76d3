#include <gtest/gtest.h>

#include <numbers>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Path.h"
#include "tests/support/Pixels.h"

namespace {

using kavro::test::at;
using kavro::test::kBlue;
using kavro::test::kClear;
using kavro::test::kRed;
using platform::BitmapContext;
using platform::Color;
using platform::LineCap;
using platform::LineJoin;
using platform::Path;
using platform::PathFillRule;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::StrokeOutline;
using platform::StrokeStyle;

Path ringPath() {
  Path p;
  p.addRect(Rect(0, 0, 10, 10));
  p.addRect(Rect(3, 3, 4, 4));
  return p;
}

TEST(Path, EvenOddLeavesHolesWhereNonZeroFillsThemWhenTurnedAlike) {
  Path ring = ringPath();
  EXPECT_TRUE(ring.contains({1, 1}, PathFillRule::EvenOdd));
  EXPECT_FALSE(ring.contains({5, 5}, PathFillRule::EvenOdd));
  EXPECT_TRUE(ring.contains({5, 5}, PathFillRule::NonZero));
  // Left and top edges inside, right and bottom outside, as the context fills rectangles.
  EXPECT_TRUE(ring.contains({0, 0}, PathFillRule::EvenOdd));
  EXPECT_FALSE(ring.contains({10, 5}, PathFillRule::EvenOdd));
  EXPECT_FALSE(ring.contains({5, 10}, PathFillRule::EvenOdd));
  EXPECT_EQ(ring.boundingBox(), Rect(0, 0, 10, 10));
}

TEST(Path, LinesAfterACloseStartAtTheClosedStartAndArcsAreFlattenedClosely) {
  Path p;
  p.moveTo({0, 0});
  p.lineTo({4, 0});
  p.lineTo({4, 4});
  p.closeSubpath();
  p.lineTo({0, 8});
  ASSERT_EQ(p.subpaths().size(), 2u);
  EXPECT_TRUE(p.subpaths()[0].closed);
  EXPECT_EQ(p.subpaths()[1].points.front(), (Point{0, 0}));

  Path circle;
  circle.addArc({50, 50}, 40, 0, 2 * std::numbers::pi, true);
  for (Point q : circle.subpaths()[0].points) EXPECT_NEAR(std::hypot(q.x - 50, q.y - 50), 40, 1e-9);
  EXPECT_TRUE(circle.contains({50, 50}, PathFillRule::NonZero));
  EXPECT_TRUE(circle.contains({50, 10.05}, PathFillRule::NonZero));
  EXPECT_FALSE(circle.contains({50, 9.9}, PathFillRule::NonZero));

  Path empty;
  EXPECT_TRUE(empty.isEmpty());
  empty.lineTo({3, 3});  // without a current point a line starts the sub-path
  EXPECT_EQ(empty.subpaths().size(), 1u);
}

TEST(Path, DashesCutTheLengthByThePatternFromThePhase) {
  Path line;
  line.moveTo({0, 0});
  line.lineTo({12, 0});
  Path d = line.dashed({4, 2}, 0);
  ASSERT_EQ(d.subpaths().size(), 2u);
  EXPECT_EQ(d.subpaths()[0].points.front(), (Point{0, 0}));
  EXPECT_EQ(d.subpaths()[0].points.back(), (Point{4, 0}));
  EXPECT_EQ(d.subpaths()[1].points.front(), (Point{6, 0}));
  EXPECT_EQ(d.subpaths()[1].points.back(), (Point{10, 0}));

  Path shifted = line.dashed({4, 2}, 5);  // starts in the gap, 1 left of it
  ASSERT_FALSE(shifted.isEmpty());
  EXPECT_EQ(shifted.subpaths()[0].points.front(), (Point{1, 0}));

  EXPECT_EQ(line.dashed({}, 0).subpaths().size(), 1u);
  EXPECT_EQ(line.dashed({-1, 2}, 0).subpaths().size(), 1u);  // not a pattern: solid
  EXPECT_EQ(line.dashed({0, 0}, 0).subpaths().size(), 1u);
}

TEST(Path, StrokeOutlinesFollowCapsAndJoins) {
  Path corner;
  corner.moveTo({0, 0});
  corner.lineTo({10, 0});
  corner.lineTo({10, 10});
  StrokeStyle style;
  style.width = 2;
  style.cap = LineCap::Butt;
  style.join = LineJoin::Miter;
  StrokeOutline miter(corner, style);
  EXPECT_TRUE(miter.contains({5, 0.9}));
  EXPECT_FALSE(miter.contains({-0.5, 0}));    // butt end
  EXPECT_TRUE(miter.contains({10.9, -0.9}));  // the miter's square corner
  style.join = LineJoin::Round;
  StrokeOutline round(corner, style);
  EXPECT_FALSE(round.contains({10.9, -0.9}));  // outside the round join
  style.cap = LineCap::Round;
  EXPECT_TRUE(StrokeOutline(corner, style).contains({-0.9, 0}));
  style.cap = LineCap::Square;
  EXPECT_TRUE(StrokeOutline(corner, style).contains({-0.9, 0.9}));
  style.width = 0;
  EXPECT_FALSE(StrokeOutline(corner, style).contains({5, 0}));
}

TEST(BitmapContextPaths, FillsEvenOddRingsAndStrokesDashedLines) {
  BitmapContext c(Size{20, 20}, false, 1.0);
  c.setFillColor(Color::red());
  c.fillPath(ringPath(), PathFillRule::EvenOdd);
  EXPECT_EQ(at(c, 1, 1), kRed);
  EXPECT_EQ(at(c, 9, 9), kRed);
  EXPECT_EQ(at(c, 5, 5), kClear);
  EXPECT_EQ(at(c, 10, 5), kClear);

  BitmapContext d(Size{20, 4}, false, 1.0);
  Path line;
  line.moveTo({0, 2});
  line.lineTo({20, 2});
  d.setStrokeColor(Color::blue());
  d.setLineWidth(2);
  d.setLineDash(0, {4, 2});
  d.strokePath(line);
  for (int x : {0, 3, 6, 9, 12, 15}) EXPECT_EQ(at(d, x, 1), kBlue) << x;
  for (int x : {4, 5, 10, 11, 16, 17}) EXPECT_EQ(at(d, x, 1), kClear) << x;
  EXPECT_EQ(at(d, 2, 3), kClear);  // beyond the half width
}

}  // namespace
