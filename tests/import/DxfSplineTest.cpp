#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "DxfFixture.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;

struct Xy {
  double x, y;
};

Pairs Spline(int degree, const std::vector<double>& knots, const std::vector<Xy>& controls,
             const std::vector<double>& weights = {}, int flags = 0) {
  Pairs spline{{0, "SPLINE"},
               {8, "0"},
               {70, std::to_string(flags)},
               {71, std::to_string(degree)},
               {72, std::to_string(knots.size())},
               {73, std::to_string(controls.size())},
               {74, "0"}};
  for (const double knot : knots) spline.push_back({40, Number(knot)});
  for (const double weight : weights) spline.push_back({41, Number(weight)});
  for (const auto& [x, y] : controls)
    spline = Join({spline, {{10, Number(x)}, {20, Number(y)}, {30, "0"}}});
  return spline;
}

Pairs FitSpline(const std::vector<Xy>& fits, const Xy* startTangent = nullptr,
                const Xy* endTangent = nullptr) {
  Pairs spline{{0, "SPLINE"},
               {8, "0"},
               {70, "8"},
               {71, "3"},
               {72, "0"},
               {73, "0"},
               {74, std::to_string(fits.size())},
               {44, "0.0000000001"}};
  if (startTangent)
    spline = Join({spline, {{12, Number(startTangent->x)}, {22, Number(startTangent->y)}}});
  if (endTangent)
    spline = Join({spline, {{13, Number(endTangent->x)}, {23, Number(endTangent->y)}}});
  for (const auto& [x, y] : fits)
    spline = Join({spline, {{11, Number(x)}, {21, Number(y)}, {31, "0"}}});
  return spline;
}

// Radius of a circle through the drawn vertices, checked for every vertex.
void ExpectOnCircle(const TPath& path, double cx, double cy, double radius) {
  for (std::size_t i = 1; i < path.size(); ++i)
    ASSERT_NEAR(DistanceTo(path[i], cx, cy), radius, 0.75) << "vertex " << i;
}

TEST_F(Dxf, RationalSplinesDrawTheirConicsExactly) {
  const double w = std::sqrt(0.5);
  // A full circle of radius 32 about (50, 50): nine control points on a square, the corners
  // weighted cos 45 degrees, each knot doubled at the quarters.
  const auto circle = Spline(
      2, {0, 0, 0, .25, .25, .5, .5, .75, .75, 1, 1, 1},
      {{82, 50}, {82, 82}, {50, 82}, {18, 82}, {18, 50}, {18, 18}, {50, 18}, {82, 18}, {82, 50}},
      {1, w, 1, w, 1, w, 1, w, 1}, 4);
  const auto circlePaths = Read(Drawing(circle));
  ASSERT_EQ(circlePaths.size(), 1u);
  ExpectOnCircle(circlePaths[0], 5000, 5000, 3200);
  EXPECT_TRUE(IsClosed(circlePaths[0]));
  // A quarter circle of radius 30 about (30, -50) from three control points.
  const auto quarter =
      Read(Drawing(Spline(2, {0, 0, 0, 1, 1, 1}, {{0, -50}, {0, -20}, {30, -20}}, {1, w, 1}, 4)));
  ASSERT_EQ(quarter.size(), 1u);
  ExpectOnCircle(quarter[0], 3000, -5000, 3000);
  EXPECT_EQ(quarter[0][1], IntPoint(0, -5000));
  EXPECT_EQ(quarter[0].back(), IntPoint(3000, -2000));
}

TEST_F(Dxf, WeightsOfOneChangeNothing) {
  const std::vector<double> knots{0, 0, 0, 0, 1, 2, 2, 2, 2};
  const std::vector<Xy> controls{{0, 0}, {10, 30}, {20, -30}, {30, 30}, {40, 0}};
  const auto plain = Read(Drawing(Spline(3, knots, controls)));
  const auto weighted = Read(Drawing(Spline(3, knots, controls, {1, 1, 1, 1, 1}, 4)));
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(weighted, plain);
}

TEST_F(Dxf, SplineGivenByFitPointsPassesThroughThem) {
  const std::vector<Xy> fits{{200, -50}, {220, -20}, {240, -60}, {260, -30}, {275, -35}};
  const auto paths = Read(Drawing(FitSpline(fits)));
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0][1], IntPoint(20000, -5000));
  EXPECT_EQ(paths[0].back(), IntPoint(27500, -3500));
  for (const auto& [x, y] : fits) EXPECT_LT(DistanceToPath(paths[0], x * 100, y * 100), 2) << x;
  // Smooth through the inner points: where the points alone would turn by up to
  // 120 degrees, no vertex turns by more than a small angle.
  for (std::size_t i = 2; i + 1 < paths[0].size(); ++i) {
    const auto& a = paths[0][i - 1];
    const auto& b = paths[0][i];
    const auto& c = paths[0][i + 1];
    const double turn = std::remainder(
        std::atan2(static_cast<double>(c.Y - b.Y), static_cast<double>(c.X - b.X)) -
            std::atan2(static_cast<double>(b.Y - a.Y), static_cast<double>(b.X - a.X)),
        2 * std::numbers::pi);
    EXPECT_LT(std::fabs(turn), 0.4) << "vertex " << i;
  }
}

double DirectionDegrees(const IntPoint& from, const IntPoint& to) {
  return std::atan2(static_cast<double>(to.Y - from.Y), static_cast<double>(to.X - from.X)) * 180 /
         std::numbers::pi;
}

TEST_F(Dxf, FitPointSplineLeavesAndArrivesAlongTheFilesTangents) {
  struct Case {
    Xy start, end;
    double startDegrees, endDegrees;
  };
  const std::vector<Xy> fits{{0, 0}, {100, 100}, {200, 0}};
  for (const auto& [start, end, startDegrees, endDegrees] :
       {Case{{0, 1}, {0, -1}, 90, -90}, Case{{1, 0}, {1, 0}, 0, 0},
        Case{{0.6, 0.8}, {0.8, -0.6}, 53.13, -36.87}}) {
    const auto paths = Read(Drawing(FitSpline(fits, &start, &end)));
    ASSERT_EQ(paths.size(), 1u);
    const TPath& path = paths[0];
    ASSERT_GT(path.size(), 4u);
    EXPECT_NEAR(DirectionDegrees(path[1], path[2]), startDegrees, 1.5);
    EXPECT_NEAR(DirectionDegrees(path[path.size() - 2], path.back()), endDegrees, 1.5);
    for (const auto& [x, y] : fits) EXPECT_LT(DistanceToPath(path, x * 100, y * 100), 2) << x;
  }
}

TEST_F(Dxf, SplineHoldingLessThanItDeclaresIsNotDrawn) {
  const std::vector<double> knots{0, 0, 0, 0, 1, 1, 1, 1};
  const std::vector<Xy> controls{{30, 30}, {40, 60}, {60, 60}, {70, 30}};
  const Pairs complete = Spline(3, knots, controls);
  auto without = [&](int code, int nth) {
    Pairs pairs;
    int seen = 0;
    for (const auto& pair : complete)
      if (!(pair.first == code && seen++ == nth)) pairs.push_back(pair);
    return pairs;
  };
  struct Case {
    const char* what;
    Pairs spline;
  };
  const Case cases[] = {
      {"fewer control points than declared and needed",
       Spline(3, knots, {{30, 30}, {40, 60}, {60, 60}})},
      {"a control point without Y", without(20, 2)},
      {"fewer knots than declared", without(40, 7)},
      {"weights for only some control points", Spline(3, knots, controls, {1, 2, 1}, 4)},
  };
  for (const auto& [what, spline] : cases) {
    TPaths paths;
    const DrawingLoad load = Load(Drawing(Join({spline, Line(40, 40, 50, 40)})), paths);
    ASSERT_EQ(paths.size(), 1u) << what;
    EXPECT_EQ(paths[0], (TPath{{0, 1}, {4000, 4000}, {5000, 4000}})) << what;
    EXPECT_TRUE(Logged("SPLINE")) << what;
    EXPECT_EQ(load.report.skipped.size(), 1u) << what;
  }
  TPaths paths;
  EXPECT_EQ(Load(Drawing(complete), paths).report.skipped.size(), 0u);
  EXPECT_EQ(paths.size(), 1u);
}

}  // namespace
}  // namespace corvane::testing
