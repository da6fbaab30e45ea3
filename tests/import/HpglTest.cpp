#include <gtest/gtest.h>

#include "ReaderHarness.h"
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
        HpglCase{"CommandWithoutSemicolonAtLineEndIsNotExecuted", "PU100,100;PD200,100\nPD300,300;",
                 {{{0, 0}, {250, 250}, {750, 750}}}},
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
