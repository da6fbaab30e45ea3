#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "ReaderHarness.h"
#include "import/DrawingFile.h"
#include "import/HpglReader.h"
#include "import/HpglWriter.h"
#include "support/TempDir.h"
#include "ports/FileIo.h"

namespace corvane::testing {
namespace {

struct HpglReading : ReaderHarness {
  TPaths Read(const std::string& text, double scale = 1.0, bool expectPaths = true) {
    ImportOptions options;
    options.scaleHPGL = scale;
    TPaths paths;
    EXPECT_EQ(ReadHpgl(text, options, parser, log, paths), expectPaths);
    return paths;
  }
};

struct Hpgl : ::testing::Test, HpglReading {};

struct HpglCase {
  const char* name;
  const char* text;
  TPaths expected;
};

class HpglCommands : public ::testing::TestWithParam<HpglCase>, public HpglReading {};

TEST_P(HpglCommands, GiveTheirStrokes) {
  EXPECT_EQ(Read(GetParam().text, 1.0, !GetParam().expected.empty()), GetParam().expected);
}

// Arcs and circles take their centres, steps and radii in user units.
TEST_F(Hpgl, ArcsAndCirclesFollowTheScaling) {
  const std::pair<const char*, const char*> cases[] = {
      {"SC0,2,0,2,2;PU20,0;PD;AA0,0,90;", "PU40,0;PD;AA0,0,90;"},
      {"IP0,0,400,400;SC0,10,0,10;PU5,5;PD;AR-2.5,0,-180;", "PU200,200;PD;AR-100,0,-180;"},
      {"SC0,2,0,2,2;PU50,50;CI25;", "PU100,100;CI50;"},
      {"SC0,3,0,3,2;PR;PU10,10;PD;AR5,0,90;", "PU30,30;PD;AR15,0,90;"},
  };
  for (const auto& [scaled, plain] : cases) EXPECT_EQ(Read(scaled), Read(plain)) << scaled;
}

// One plotter unit is 0.025 mm, 2.5 units of 0.01 mm.
INSTANTIATE_TEST_SUITE_P(
    Reading, HpglCommands,
    ::testing::Values(
        HpglCase{"OneStroke", "IN;SP1;PU100,100;PD200,100;PD200,200;PU;",
                 {{{0, 1}, {250, 250}, {500, 250}, {500, 500}}}},
        HpglCase{"SpaceSeparatesLikeComma", "SP1;PU10 20;PD30 40;", {{{0, 1}, {25, 50}, {75, 100}}}},
        HpglCase{"PenUpNearTheLastPenDownContinues",
                 "PU100,100;PD200,100;PU202,101;PD300,100;",
                 {{{0, 0}, {250, 250}, {500, 250}, {750, 250}}}},
        HpglCase{"PenUpAfterPenUpLeavesNoOnePointPath", "PU100,100;PU400,400;PD500,400;",
                 {{{0, 0}, {1000, 1000}, {1250, 1000}}}},
        HpglCase{"PenSelectsTheLayer", "PU100,0;PD200,0;SP2;PU400,0;PD500,0;",
                 {{{0, 0}, {250, 0}, {500, 0}}, {{0, 2}, {1000, 0}, {1250, 0}}}},
        HpglCase{"CommandsEndAtLineEndsToo", "PU100,100;PD200,100\nPD300,300;",
                 {{{0, 0}, {250, 250}, {500, 250}, {750, 750}}}},
        HpglCase{"CommandsRunTogetherWithoutSemicolons", "SP1PA1000,100PD2500,100",
                 {{{0, 1}, {2500, 250}, {6250, 250}}}},
        HpglCase{"SignsSeparateNumbers", "PU100-100;PD+200-100;", {{{0, 0}, {250, -250}, {500, -250}}}},
        HpglCase{"LabelTextRunsToItsTerminator", "PU100,100;LBPD9,9\x03PD200,100;DT*;LBPA1*PD200,200;",
                 {{{0, 0}, {250, 250}, {500, 250}, {500, 500}}}},
        HpglCase{"PlotRelativeStepsFromThePen", "PU100,100;PD;PR100,0,0,100;PU;PR10,10;PD;PR10,0;",
                 {{{0, 0}, {250, 250}, {500, 250}, {500, 500}}, {{0, 0}, {525, 525}, {550, 525}}}},
        HpglCase{"PenMovesAreStepsAfterPrUntilPa", "PR;PU100,100;PD100,0;PA;PD300,100;",
                 {{{0, 0}, {250, 250}, {500, 250}, {750, 250}}}},
        HpglCase{"ScaleMapsUserUnitsOntoTheScalingPoints", "IP0,0,4000,4000;SC0,100,0,100;PU10,10;PD20,10;",
                 {{{0, 0}, {1000, 1000}, {2000, 1000}}}},
        HpglCase{"IsotropicScalingCentresTheSpareRoom", "IP0,0,8000,4000;SC0,100,0,100,1;PU0,0;PD100,100;",
                 {{{0, 0}, {5000, 0}, {15000, 10000}}}},
        HpglCase{"IsotropicScalingPlacedLeft", "IP0,0,8000,4000;SC0,100,0,100,1,0,0;PU1,1;PD100,100;",
                 {{{0, 0}, {100, 100}, {10000, 10000}}}},
        HpglCase{"PointFactorScaling", "SC0,2,0,4,2;PU10,10;PD20,10;", {{{0, 0}, {50, 100}, {100, 100}}}},
        HpglCase{"UserUnitsMayHaveDecimals", "SC0,2,0,4,2;PU10.5,10;PD20.25,10;",
                 {{{0, 0}, {53, 100}, {101, 100}}}},
        HpglCase{"ScaleWithoutNumbersEndsTheScaling", "SC0,100,0,100;SC;PU10,10;PD20,10;",
                 {{{0, 0}, {25, 25}, {50, 25}}}},
        HpglCase{"InitialiseEndsTheScalingAndTheRelativeMode", "SC0,2,0,2,2;PR;IN;PU10,10;PD20,10;",
                 {{{0, 0}, {25, 25}, {50, 25}}}},
        HpglCase{"ScalingPointP2FollowsP1", "IP0,0,1000,1000;IP1000,1000;SC0,10,0,10;PU0,0;PD10,10;",
                 {{{0, 0}, {2500, 2500}, {5000, 5000}}}},
        // PE: pen 2, pen up to (100,100), then steps (100,0) and (0,100), base 64.
        HpglCase{"EncodedPolyline", "PE:\xC3<=G\xC2G\xC2G\xC2\xBF\xBFG\xC2;",
                 {{{0, 2}, {250, 250}, {500, 250}, {500, 500}}}},
        HpglCase{"EncodedPolylineSevenBit", "PE7:c<=GeGeGe__Ge;",
                 {{{0, 2}, {250, 250}, {500, 250}, {500, 500}}}},
        // One fractional bit: (200, 200) absolute, then a step of (-50, 0).
        HpglCase{"EncodedPolylineFractionalBitsAndNegativeSteps", "PE>\xC1<=_\xCB_\xCBH\xC2\xBF;",
                 {{{0, 0}, {500, 500}, {375, 500}}}},
        HpglCase{"EncodedPolylineThatWentThroughUtf8",
                 "PE:\xC3\x83<=G\xC3\x82G\xC3\x82G\xC3\x82\xC2\xBF\xC2\xBFG\xC3\x82;",
                 {{{0, 2}, {250, 250}, {500, 250}, {500, 500}}}},
        HpglCase{"PlotAbsoluteFollowsThePen", "PU100,100;PD;PA200,100;PU;PA400,400;PD;PA500,400;",
                 {{{0, 0}, {250, 250}, {500, 250}}, {{0, 0}, {1000, 1000}, {1250, 1000}}}},
        HpglCase{"SeveralPairsActInOrder", "PU100,100;PD200,100,200,200,100,200;",
                 {{{0, 0}, {250, 250}, {500, 250}, {500, 500}, {250, 500}}}},
        HpglCase{"LowerCaseCommands", "sp3;pu100,100;pd200,100;", {{{0, 3}, {250, 250}, {500, 250}}}},
        HpglCase{"OnlyPenUpMovesGiveNothing", "IN;PU100,100;PU200,200;", {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Hpgl, PenDownBeforeAnyPathLogsAndDoublesTheFirstPoint) {
  const auto paths = Read("PU0,0;PD40,0;");
  EXPECT_EQ(paths, (TPaths{{{0, 0}, {100, 0}, {100, 0}}}));
  EXPECT_TRUE(Logged("HPGL: No PU command first !"));
}

TEST_F(Hpgl, ScaleFieldMultipliesThePlotterUnits) {
  EXPECT_EQ(Read("PU100,100;PD200,100;", 2.0), (TPaths{{{0, 0}, {500, 500}, {1000, 500}}}));
}

TEST_F(Hpgl, BadNumbersAreLoggedAndReadAsOne) {
  EXPECT_EQ(Read("PU100,100;PD2/0,100;"), (TPaths{{{0, 0}, {250, 250}, {3, 250}}}));
  EXPECT_TRUE(Logged("is not a Integer 1 Value!"));
}

TEST_F(Hpgl, OverlongNumbersStayShortInTheLog) {
  const std::string digits(100000, '7');
  Read("PU100,100;PD" + digits + ",100;PD300,300;");
  for (const auto& line : host.logPane) EXPECT_LT(line.size(), 200u);
}

// An arc read from a small drawing, and what its geometry says it must give.
// One plotter unit is 2.5 units of 0.01 mm, so 100 plotter units are 250.
struct HpglArcCase {
  const char* name;
  const char* text;
  double cx, cy, r;
  ClipperLib::IntPoint first, last;
  ClipperLib::cInt minX, minY, maxX, maxY;
  int turn;  // +1 counter-clockwise, -1 clockwise
};

class HpglArcs : public ::testing::TestWithParam<HpglArcCase>, public HpglReading {};

TEST_P(HpglArcs, LieOnTheirCircleFromTheirStartToTheirEnd) {
  const auto& c = GetParam();
  const TPaths paths = Read(c.text);
  ASSERT_EQ(paths.size(), 1u);
  const TPath& path = paths[0];
  ASSERT_GT(path.size(), 8u);
  EXPECT_EQ(path[1], c.first);
  EXPECT_EQ(path.back(), c.last);
  for (std::size_t i = 1; i < path.size(); ++i)
    EXPECT_NEAR(DistanceTo(path[i], c.cx, c.cy), c.r, 0.75) << i;
  const ImportExtents box = ExtentsOf(paths);
  EXPECT_NEAR(static_cast<double>(box.minX), static_cast<double>(c.minX), 1);
  EXPECT_NEAR(static_cast<double>(box.minY), static_cast<double>(c.minY), 1);
  EXPECT_NEAR(static_cast<double>(box.maxX), static_cast<double>(c.maxX), 1);
  EXPECT_NEAR(static_cast<double>(box.maxY), static_cast<double>(c.maxY), 1);
  // Every step turns the same way about the centre.
  for (std::size_t i = 1; i + 1 < path.size(); ++i) {
    const double ax = static_cast<double>(path[i].X) - c.cx, ay = static_cast<double>(path[i].Y) - c.cy;
    const double bx = static_cast<double>(path[i + 1].X) - c.cx, by = static_cast<double>(path[i + 1].Y) - c.cy;
    EXPECT_GT(c.turn * (ax * by - ay * bx), 0) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reading, HpglArcs,
    ::testing::Values(
        HpglArcCase{"AbsoluteCentreQuarterTurn", "PU100,0;PD;AA0,0,90;", 0, 0, 250,
                    {250, 0}, {0, 250}, 0, 0, 250, 250, 1},
        HpglArcCase{"NegativeSweepTurnsClockwise", "PU100,0;PD;AA0,0,-90,5;", 0, 0, 250,
                    {250, 0}, {0, -250}, 0, -250, 250, 0, -1},
        HpglArcCase{"RelativeCentreHalfTurn", "PU100,0;PD;AR-100,0,180;", 0, 0, 250,
                    {250, 0}, {-250, 0}, -250, 0, 250, 250, 1},
        HpglArcCase{"ThreeQuartersRoundTheLongWay", "PU0,100;PD;AA0,0,270;", 0, 0, 250,
                    {0, 250}, {250, 0}, -250, -250, 250, 250, 1},
        HpglArcCase{"FullTurnCloses", "PU100,0;PD;AA0,0,360;", 0, 0, 250,
                    {250, 0}, {250, 0}, -250, -250, 250, 250, 1},
        HpglArcCase{"MoreThanAFullTurnIsOne", "PU100,0;PD;AA0,0,-900;", 0, 0, 250,
                    {250, 0}, {250, 0}, -250, -250, 250, 250, -1},
        HpglArcCase{"CircleRoundThePenWithItUp", "PU100,100;CI40;", 250, 250, 100,
                    {350, 250}, {350, 250}, 150, 150, 350, 350, 1},
        HpglArcCase{"NegativeRadiusStartsOpposite", "PU100,100;PD;CI-40;PU;", 250, 250, 100,
                    {150, 250}, {150, 250}, 150, 150, 350, 350, 1}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Hpgl, ArcWithThePenUpOnlyMovesThePen) {
  EXPECT_EQ(Read("PU100,0;AA0,0,90;PD0,200;"), (TPaths{{{0, 0}, {0, 250}, {0, 500}}}));
  EXPECT_EQ(Read("PU100,0;AR-100,0,-90;PD0,-200;"), (TPaths{{{0, 0}, {0, -250}, {0, -500}}}));
}

TEST_F(Hpgl, ArcsContinueTheStrokeAndThePenGoesOnFromTheirEnd) {
  const TPaths paths = Read("SP2;PU100,0;PD200,0;AA100,0,180;PD-100,0;");
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0][0].Y, 2);
  EXPECT_EQ(paths[0][1], ClipperLib::IntPoint(250, 0));
  EXPECT_EQ(paths[0][2], ClipperLib::IntPoint(500, 0));
  EXPECT_EQ(paths[0][paths[0].size() - 2], ClipperLib::IntPoint(0, 0));
  EXPECT_EQ(paths[0].back(), ClipperLib::IntPoint(-250, 0));
  for (std::size_t i = 2; i + 1 < paths[0].size(); ++i) EXPECT_NEAR(DistanceTo(paths[0][i], 250, 0), 250, 0.75);
}

TEST_F(Hpgl, ArcsTooSmallToTurnAreAStepOrNothing) {
  // Radius zero, and an arc of 0.01 mm: neither can show which way it turns.
  EXPECT_EQ(Read("PU100,0;PD200,0;AA200,0,90;CI0;PD300,0;"), (TPaths{{{0, 0}, {250, 0}, {500, 0}, {750, 0}}}));
  EXPECT_EQ(Read("PU0,0;PU100,0;PD;AA0,0,0.2;"), (TPaths{{{0, 0}, {250, 0}, {250, 1}}}));
}

TEST_F(Hpgl, CircleLeavesThePenAtItsCentreInItsOldState) {
  const TPaths paths = Read("PU100,100;PD;CI40;PD200,100;");
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_TRUE(IsClosed(paths[0]));
  EXPECT_EQ(paths[1], (TPath{{0, 0}, {250, 250}, {500, 250}}));
}

TEST_F(Hpgl, ArcsWithoutTheirNumbersArePassedOverWithALogLine) {
  EXPECT_EQ(Read("PU100,0;PD;AA0,0;CI;PD200,0;"), (TPaths{{{0, 0}, {250, 0}, {500, 0}}}));
  EXPECT_TRUE(Logged("HPGL: AA without a centre and a sweep angle is passed over"));
  EXPECT_TRUE(Logged("HPGL: CI without a radius is passed over"));
}

// Steps per half turn n = 10 r (r in mm) between 24 and 360, with "Fast
// Processing" 3 r between 18 and 180: a circle has 2n steps.
struct StepCase {
  int plotterRadius;
  bool fast;
  std::size_t vertices;
};

class HpglCircleSteps : public ::testing::TestWithParam<StepCase>, public HpglReading {};

TEST_P(HpglCircleSteps, FollowTheRadiusAndMatchDxfCircles) {
  const auto [radius, fast, vertices] = GetParam();
  ImportOptions options;
  options.fastCalc = fast;
  TPaths hpgl, dxfPaths;
  ASSERT_TRUE(ReadHpgl("CI" + std::to_string(radius) + ";", options, parser, log, hpgl));
  ASSERT_EQ(hpgl.size(), 1u);
  EXPECT_EQ(hpgl[0].size() - 1, vertices);
  const double mm = radius * 0.025;
  const std::string circle = "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n" +
                             std::to_string(mm) + "\n0\nENDSEC\n0\nEOF\n";
  TDXF dxf;
  ASSERT_TRUE(ReadDrawing(circle, DrawingFormat::Dxf, options, parser, log, dxfPaths, dxf, true).ok);
  ASSERT_EQ(dxfPaths.size(), 1u);
  EXPECT_EQ(dxfPaths[0].size(), hpgl[0].size());
}

INSTANTIATE_TEST_SUITE_P(StepRule, HpglCircleSteps,
                         ::testing::Values(StepCase{40, false, 49}, StepCase{40, true, 37},
                                           StepCase{400, false, 201}, StepCase{400, true, 61},
                                           StepCase{4000, false, 721}, StepCase{8000, true, 361}));

// The peak resident memory of this process in kB. A child started by
// EXPECT_EXIT begins with its peak at what it holds, so the rise in the child
// is what the statement itself needed.
std::size_t PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
  return 0;
}

struct LongCommandCase {
  const char* name;
  const char* command;
  const char* end;
};

class HpglLongCommands : public ::testing::TestWithParam<LongCommandCase>, public HpglReading {};

// Sixteen megabytes of numbers in one command once took some thirty times that.
TEST_P(HpglLongCommands, ReadInMemoryThatDoesNotGrowWithTheirLength) {
  std::string text = GetParam().command;
  text.reserve(16'000'100);
  while (text.size() < 16'000'000) text += "1,1,";
  text += GetParam().end;
  EXPECT_EXIT(
      {
        const std::size_t before = PeakKilobytes();
        TPaths paths;
        ReadHpgl(text, {}, parser, log, paths);
        std::exit(PeakKilobytes() - before < 64 * 1024 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Memory, HpglLongCommands,
    ::testing::Values(LongCommandCase{"PenUpPairs", "PU", ";PU;"},
                      LongCommandCase{"CommandOutsideTheReadSet", "XT", ";"},
                      LongCommandCase{"LabelWithoutItsTerminator", "LB", "\n"},
                      LongCommandCase{"EncodedPolylineOfFlags", "PE", ";"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(HpglWriter, WritesUnchosenLayersWithPenEightThenTheCuttingContours) {
  const TPaths unchosen{{{0, 5}, {2500, 625}, {0, 0}}};
  const TPaths cutting{{{0, 1}, {100, 100}, {-101, 3}}};
  EXPECT_EQ(FormatHpgl(unchosen, cutting),
            "SP8;\r\nPU1000 250;\r\nPD0 0;\r\nSP1;\r\nPU40 40;\r\nPD-40 1;\r\nSP0;\r\n");
  EXPECT_EQ(FormatHpgl({}, {}), "SP1;\r\nSP0;\r\n");
}

TEST(HpglWriter, AppendsThePltEndingOnlyWhenMissing) {
  EXPECT_EQ(HpglFileName("part"), "part.plt");
  EXPECT_EQ(HpglFileName("part.plt"), "part.plt");
}

TEST_F(Hpgl, WrittenFileReadsBackWithinOnePlotterUnit) {
  TempDir dir;
  const TPaths unchosen{{{0, 7}, {10000, 10000}, {20003, 10000}, {20003, 30001}}};
  const TPaths cutting{{{0, 1}, {-5001, 0}, {0, 0}, {-5001, -7777}, {-5001, 0}},
                       {{0, 1}, {40000, 40000}, {41234, 40000}}};
  ASSERT_TRUE(WriteHpgl(dir.path() + "export", unchosen, cutting));
  const auto text = ReadWholeFile(dir.path() + "export.plt");
  ASSERT_TRUE(text);
  const auto read = Read(*text);
  ASSERT_EQ(read.size(), 3u);
  TPaths written = {unchosen[0], cutting[0], cutting[1]};
  for (std::size_t p = 0; p < read.size(); ++p) {
    EXPECT_EQ(read[p][0].Y, p == 0 ? 8 : 1);
    ASSERT_EQ(read[p].size(), written[p].size());
    for (std::size_t v = 1; v < read[p].size(); ++v) {
      EXPECT_NEAR(static_cast<double>(read[p][v].X), static_cast<double>(written[p][v].X), 2.5);
      EXPECT_NEAR(static_cast<double>(read[p][v].Y), static_cast<double>(written[p][v].Y), 2.5);
    }
  }
}

}  // namespace
}  // namespace corvane::testing
