#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model/Geometry.h"

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;

CNCpath Contour(std::initializer_list<ContourPoint> vertices, std::int32_t kind = kKindCut) {
  CNCpath c{{kind, 0}};
  c.insert(c.end(), vertices);
  return c;
}

TEST(Geometry, TurnAngleWrapsIntoZeroToPi) {
  struct Case { double h1, h2, expected; } cases[] = {
      {3.0, -3.0, 2 * kPi - 6.0},  // across the ±π seam: the short way round
      {-3.0, 3.0, 2 * kPi - 6.0},
      {0.1, 0.3, 0.2},
      {0.0, kPi, kPi},
      {kPi / 2, -kPi / 2, kPi},
      {-kPi / 4, kPi / 4, kPi / 2},
  };
  for (const auto& c : cases) EXPECT_NEAR(TurnAngle(c.h1, c.h2), c.expected, 1e-12) << c.h1 << " " << c.h2;
}

TEST(Geometry, DistanceAndHeadingUseExactSquares) {
  const ContourPoint a{-2000000000, 0}, b{2000000000, 0};
  EXPECT_DOUBLE_EQ(Dist(a, b), 4e9);
  EXPECT_DOUBLE_EQ(Dist(ContourPoint{0, 0}, ContourPoint{300, 400}), 500.0);
  PlannedRecord r;
  r.x = 10, r.y = 10;
  EXPECT_DOUBLE_EQ(Heading(r, ContourPoint{10, 20}), kPi / 2);
  EXPECT_DOUBLE_EQ(Heading(ContourPoint{0, 0}, ContourPoint{-5, 0}), kPi);
  const ProfileHorizontal halve = [](std::int32_t x) { return x / 2; };
  EXPECT_DOUBLE_EQ(ProfileDist(ContourPoint{0, 0}, ContourPoint{600, 400}, halve), 500.0);
  EXPECT_DOUBLE_EQ(ProfileHeading(ContourPoint{0, 0}, ContourPoint{200, 100}, halve), kPi / 4);
}

TEST(Geometry, BoxTests) {
  const CNCpath square = Contour({{0, 0}, {500, 0}, {500, 300}, {0, 300}});
  EXPECT_TRUE(FitsInSquare(square, 500));   // the width may equal the size
  EXPECT_FALSE(FitsInSquare(square, 499));
  EXPECT_TRUE(IsPointContour(square, 500));
  const CNCpath three = Contour({{7, 7}, {7, 7}, {7, 7}});
  EXPECT_FALSE(IsPointContour(three, 0));    // more than two vertices is never a point at size 0
  EXPECT_TRUE(IsPointContour(Contour({{7, 7}, {7, 7}}), 0));
  EXPECT_TRUE(IsPointContour(Contour({{7, 7}}), 0));
  EXPECT_FALSE(IsPointContour(Contour({{7, 7}, {8, 7}}), 0));
  EXPECT_EQ(BoxCentre(Contour({{-3, 5}, {0, 8}})), (Point2{-1, 6}));  // −1.5 → −1, 6.5 → 6
}

TEST(Geometry, NearSegmentIsAStrictBandAroundTheSegment) {
  const ContourPoint a{0, 0}, b{1000, 0};
  struct Case { Point64 p; double tol; bool near; } cases[] = {
      {{500, 0}, 10, true},
      {{500, 9}, 10, true},
      {{500, 10}, 10, false},   // the band is open
      {{500, -10}, 10, false},
      {{1009, 5}, 10, true},    // the box grows by tol at the ends
      {{1011, 0}, 10, false},
      {{-11, 0}, 10, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NearSegment(c.p, a, b, c.tol), c.near) << c.p.x << "," << c.p.y;
    EXPECT_EQ(NearSegment(c.p, Point64{0, 0}, Point64{1000, 0}, c.tol), c.near) << c.p.x << "," << c.p.y;
  }
  // A degenerate segment is never near anything, not even its own point.
  EXPECT_FALSE(NearSegment({5, 5}, ContourPoint{5, 5}, ContourPoint{5, 5}, 100));
  EXPECT_FALSE(NearSegment({5, 5}, Point64{5, 5}, Point64{5, 5}, 100));
  // A diagonal segment measures the perpendicular distance.
  EXPECT_TRUE(NearSegment({50, 60}, ContourPoint{0, 0}, ContourPoint{100, 100}, 8));
  EXPECT_FALSE(NearSegment({50, 62}, ContourPoint{0, 0}, ContourPoint{100, 100}, 8));
}

TEST(Geometry, SnapFollowsTheDominantAxis) {
  // Mostly horizontal: X is kept and Y follows the segment.
  EXPECT_EQ(SnapOntoSegment({500, 80}, {0, 0}, {1000, 100}), (Point2{500, 50}));
  // Mostly vertical: Y is kept.
  EXPECT_EQ(SnapOntoSegment({80, 250}, {0, 0}, {100, 1000}), (Point2{25, 250}));
  EXPECT_EQ(SnapOntoSegment({80, 250}, {3, 4}, {3, 4}), (Point2{3, 4}));
}

TEST(Geometry, SplitLastSegmentMakesEqualPieces) {
  PlannedRecord prev, last;
  last.x = 59, last.y = 30, last.length = 66;
  TAcncp records{prev, last};
  SplitLastSegment(records, prev);
  EXPECT_EQ(records.size(), 2u);  // 59 div 60 = 0

  last.x = 120, last.y = 30, last.length = 123, last.speed = 700;
  records = {prev, last};
  SplitLastSegment(records, prev);
  ASSERT_EQ(records.size(), 4u);  // 120 div 60 = 2 → three pieces
  const std::pair<int, int> expected[] = {{0, 0}, {40, 10}, {80, 20}, {120, 30}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(records[i].x, expected[i].first) << i;
    EXPECT_EQ(records[i].y, expected[i].second) << i;
  }
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(records[i].length, 41.0);
    EXPECT_EQ(records[i].speed, 700);
  }
}

TEST(Geometry, SplitLastSegmentMayTakeItsStartFromTheGrowingVector) {
  // The start is the record before the last in the very vector the pieces go
  // into; every piece pushed may move it.
  for (const std::int32_t dx : {61, 600, -601, 6000, 60000}) {
    SCOPED_TRACE(dx);
    PlannedRecord start, end;
    start.x = 1000, start.y = -400;
    end.x = start.x + dx, end.y = start.y + dx / 3, end.length = 7.0 * std::abs(dx);
    end.speed = 500;
    TAcncp records{start, end};
    records.shrink_to_fit();
    SplitLastSegment(records, records.front());

    const std::int64_t dy = std::int64_t{end.y} - start.y;
    const std::size_t pieces = static_cast<std::size_t>(std::abs(dx) / 60 + 1);
    ASSERT_EQ(records.size(), pieces + 1);
    EXPECT_EQ(records.front().x, start.x);
    EXPECT_EQ(records.front().y, start.y);
    EXPECT_EQ(records.back().x, end.x);
    EXPECT_EQ(records.back().y, end.y);
    double total = 0;
    for (std::size_t i = 1; i < records.size(); ++i) {
      const PlannedRecord& r = records[i];
      const std::int64_t step = std::int64_t{r.x} - records[i - 1].x;
      EXPECT_LE(std::abs(step), 60) << i;
      EXPECT_EQ(step > 0, dx > 0) << i;
      // On the segment, to within the rounding of one coordinate.
      const std::int64_t off = (std::int64_t{r.x} - start.x) * dy - (std::int64_t{r.y} - start.y) * dx;
      EXPECT_LE(std::abs(off), std::abs(dx) + std::abs(dy)) << i;
      EXPECT_EQ(r.speed, end.speed);
      total += r.length;
    }
    EXPECT_NEAR(total, end.length, 1e-6);
  }
}

TEST(Geometry, ReversedCopies) {
  const CNCpath c = Contour({{1, 1}, {2, 2}, {3, 3}}, kKindMarker);
  EXPECT_EQ(ReverseContour(c), Contour({{3, 3}, {2, 2}, {1, 1}}, kKindMarker));
  CNCpath2 plan(3);
  for (int i = 0; i < 3; ++i) plan[static_cast<std::size_t>(i)].speed = i;
  const CNCpath2 reversed = ReversePlan(plan);
  EXPECT_EQ(reversed[0].speed, 2);
  EXPECT_EQ(reversed[2].speed, 0);
}

}  // namespace
}  // namespace corvane
