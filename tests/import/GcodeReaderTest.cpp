#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ReaderHarness.h"
#include "import/GcodeReader.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;

struct GcodeReading : ReaderHarness {
  TPaths Read(const std::string& text, ImportOptions options = {}) {
    TPaths paths;
    EXPECT_TRUE(ReadGcode(text, options, parser, log, paths));
    return paths;
  }
};

struct Gcode : ::testing::Test, GcodeReading {};

struct GcodeCase {
  const char* name;
  const char* program;
  TPaths expected;
};

class GcodeLines : public ::testing::TestWithParam<GcodeCase>, public GcodeReading {};

TEST_P(GcodeLines, GiveThePathsOfTheirTorchStretches) {
  EXPECT_EQ(Read(GetParam().program), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, GcodeLines,
    ::testing::Values(
        GcodeCase{"TorchOnOpensAPathAtThePosition", "G0 X1 Y2\nM3\nG1 X3 Y2\nM5\n",
                  {{{0, 1}, {100, 200}, {300, 200}}}},
        GcodeCase{"OnlyTheFirstMotionWordActs", "G0 X1 Y1\nM3 G1 X10 Y10\nM5\n",
                  {{{0, 1}, {100, 100}}}},
        GcodeCase{"G1WithTheTorchOffOnlyMoves", "G1 X5 Y5\nM03\nG01 X6 Y5\nM05\n",
                  {{{0, 1}, {500, 500}, {600, 500}}}},
        GcodeCase{"CoordinatesAfterTorchOffArePassedOver", "M5\nX10 Y10\nM3\nX20 Y20\nG1 X1\nM5\n",
                  {{{0, 1}, {0, 0}, {100, 0}}}},
        GcodeCase{"CoordinatesAfterARapidMove", "G0 X0 Y0\nX10 Y10\nM3\nG1 X11\nY12\nM5\n",
                  {{{0, 1}, {1000, 1000}, {1100, 1000}, {1100, 1200}}}},
        GcodeCase{"G20MakesLaterCoordinatesInches", "G0 X1\nM3\nG20\nG1 X1 Y0\nM5\n",
                  {{{0, 1}, {100, 0}, {2540, 0}}}},
        GcodeCase{"WordsGluedTogether", "n10g0x1.5y2\nm07\nN20G1X2.5Y2F2000\nm08\n",
                  {{{0, 1}, {150, 200}, {250, 200}}}},
        GcodeCase{"CommentHidesTheRestOfTheLine", "M3\nG1 X5 (MOVE) Y7\nM5\n",
                  {{{0, 1}, {0, 0}, {500, 0}}}},
        GcodeCase{"SemicolonCommentEndsTheLine",
                  "G0 X1 ; start [corner] #1\nM3 ; torch G2 X9\nG1 X10 Y5 ; cut to X2 Y3\n"
                  "G1 X20 ; at [hole #2]\n;G1 X30 Y30\nM5 ; off\n",
                  {{{0, 1}, {100, 0}, {1000, 500}, {2000, 500}}}},
        GcodeCase{"CommaDecimal", "M3\nG1 X12,5 Y0\nM5\n", {{{0, 1}, {0, 0}, {1250, 0}}}},
        GcodeCase{"MalformedNumberReadsAsOne", "M3\nG1 Xabc Y\nM5\n", {{{0, 1}, {0, 0}, {100, 100}}}},
        GcodeCase{"RapidWithTorchOnKeepsThePathOpen", "M3\nG1 X1\nG0 X5\nG1 X6\nM5\n",
                  {{{0, 1}, {0, 0}, {100, 0}, {600, 0}}}},
        GcodeCase{"ShortLinesAreSkipped", "M3\n \n1\nG1 X2\nM5\n", {{{0, 1}, {0, 0}, {200, 0}}}},
        GcodeCase{"NoTorchNoPath", "G0 X1\nG1 X2 Y3\nG2 X0 Y0 I1 J0\n", {}},
        GcodeCase{"ToolIndexAfterTheTorchCodes",
                  "G0 X1 Y2\nM3 $0 S1\nG1 X3 Y2\nm5 $0\nG1 X9 Y9\nM03 $1 S1 (scribe)\nG1 X9 Y8\nM05 $1\n",
                  {{{0, 1}, {100, 200}, {300, 200}}, {{0, 1}, {900, 900}, {900, 800}}}},
        GcodeCase{"MovesWithParametersOrExpressionsAreSkipped",
                  "G0 X1\nM3\nG1 X[#1*2] Y5\nG1 Y2\nX#5\nG2 I[#4*#1]\nM5\n",
                  {{{0, 1}, {100, 0}, {100, 200}}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Gcode, OperatorsOwnCodesOpenLayerTwoAndClose) {
  ImportOptions options;
  options.mCodeOn = "m101";
  options.mCodeOff = "M102";
  const auto paths = Read("M101\nG1 X1\nM102\nG1 X2\nM3\nM5\n", options);
  EXPECT_EQ(paths, (TPaths{{{0, 2}, {0, 0}, {100, 0}}, {{0, 1}, {200, 0}}}));
}

// Steps per half turn n from the radius: points every pi/n, all on the circle.
struct CircleCase {
  double radius;
  bool fast;
  int stepsPerHalfTurn;
};

class GcodeCircles : public ::testing::TestWithParam<CircleCase>, public GcodeReading {};

TEST_P(GcodeCircles, FullCircleIsFlattenedOnTheCircle) {
  const auto [r, fast, n] = GetParam();
  ImportOptions options;
  options.fastCalc = fast;
  char program[128];
  std::snprintf(program, sizeof program, "M3\nG2 X0 Y0 I%g J0\nM5\n", r);
  const auto paths = Read(program, options);
  ASSERT_EQ(paths.size(), 1u);
  const TPath& path = paths[0];
  // Start point, 2n - 1 steps between, and the end point again.
  EXPECT_EQ(path.size(), 1u + 1u + static_cast<std::size_t>(2 * n));
  EXPECT_EQ(path.back(), IntPoint(0, 0));
  for (std::size_t i = 1; i < path.size(); ++i)
    EXPECT_NEAR(DistanceTo(path[i], r * 100, 0), r * 100, 0.75) << i;
  // Clockwise from the left of the centre: the first step goes up.
  EXPECT_GT(path[2].Y, 0);
  const double expectedAngle = std::numbers::pi - std::numbers::pi / n;
  EXPECT_NEAR(std::atan2(static_cast<double>(path[2].Y), static_cast<double>(path[2].X) - r * 100),
              expectedAngle, 0.01);
}

INSTANTIATE_TEST_SUITE_P(StepRule, GcodeCircles,
                         ::testing::Values(CircleCase{10, false, 100}, CircleCase{1, false, 24},
                                           CircleCase{1, true, 18}, CircleCase{100, false, 360},
                                           CircleCase{100, true, 180}, CircleCase{10, true, 30}));

TEST_F(Gcode, RadiusEqualToHalfTheChordIsAHalfCircleOverTheTop) {
  const auto paths = Read("M3\nG2 X20 Y0 R10\nM5\n");
  ASSERT_EQ(paths.size(), 1u);
  double top = 0;
  for (std::size_t i = 1; i < paths[0].size(); ++i) {
    EXPECT_NEAR(DistanceTo(paths[0][i], 1000, 0), 1000, 0.75);
    top = std::max(top, static_cast<double>(paths[0][i].Y));
  }
  EXPECT_NEAR(top, 1000, 1);
  EXPECT_EQ(paths[0].back(), IntPoint(2000, 0));
}

TEST_F(Gcode, NegativeRadiusTakesTheLargerArc) {
  // Quarter chord from (0,0) to (10,10) with R 10: the small arc's centre is
  // (10,0) or (0,10); R -10 goes round the long way, three quarters of a turn.
  const auto small = Read("M3\nG3 X10 Y10 R10\nM5\n");
  const auto large = Read("M3\nG3 X10 Y10 R-10\nM5\n");
  ASSERT_EQ(small.size(), 1u);
  ASSERT_EQ(large.size(), 1u);
  EXPECT_NEAR(static_cast<double>(large[0].size() - 2) / static_cast<double>(small[0].size() - 2),
              3.0, 0.1);
}

TEST_F(Gcode, RadiusShorterThanHalfTheChordGivesAHalfCircleAndALogLine) {
  const auto paths = Read("M3\nG2 X20 Y0 R2\nM5\n");
  ASSERT_EQ(paths.size(), 1u);
  for (std::size_t i = 1; i < paths[0].size(); ++i)
    EXPECT_NEAR(DistanceTo(paths[0][i], 1000, 0), 1000, 0.75);
  EXPECT_EQ(paths[0].back(), IntPoint(2000, 0));
  EXPECT_TRUE(Logged("G-code: arc radius shorter than half the chord"));
}

TEST_F(Gcode, RadiusOverAZeroChordOnlyMoves) {
  const auto paths = Read("M3\nG2 X0 Y0 R5\nM5\n");
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {0, 0}, {0, 0}}}));
  EXPECT_TRUE(Logged("G-code: arc without a centre"));
}

TEST_F(Gcode, ArcBeforeTheFirstTorchOnOnlyMoves) {
  const auto paths = Read("G2 X10 Y0 I5 J0\nM3\nG1 X11\nM5\n");
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {1000, 0}, {1100, 0}}}));
}

TEST_F(Gcode, HugeNumbersStayFiniteAndBounded) {
  const auto paths = Read("M3\nG20\nG2 X1e308 Y-1e308 I1e308 J1e308\nG1 X1e300\nM5\n");
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_LE(paths[0].size(), 800u);
  for (std::size_t i = 1; i < paths[0].size(); ++i) {
    EXPECT_LE(std::llabs(paths[0][i].X), static_cast<long long>(kMaxImportCoordinate));
    EXPECT_LE(std::llabs(paths[0][i].Y), static_cast<long long>(kMaxImportCoordinate));
  }
}

TEST_F(Gcode, ScaleFieldMultipliesTheCoordinates) {
  ImportOptions options;
  options.scaleTAP = 2;
  EXPECT_EQ(Read("M3\nG1 X1 Y2\nM5\n", options), (TPaths{{{0, 1}, {0, 0}, {200, 400}}}));
}

}  // namespace
}  // namespace corvane::testing
