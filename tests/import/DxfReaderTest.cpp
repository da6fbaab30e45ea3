#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ReaderHarness.h"
#include "import/DxfModel.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;
using Pairs = std::vector<std::pair<int, std::string>>;

// A DXF text from group pairs, one pair a two-line record.
std::string Text(const Pairs& pairs) {
  std::string text;
  for (const auto& [code, value] : pairs) text += std::to_string(code) + "\r\n" + value + "\r\n";
  return text;
}

std::string Section(const std::string& name, const Pairs& body) {
  Pairs pairs{{0, "SECTION"}, {2, name}};
  pairs.insert(pairs.end(), body.begin(), body.end());
  pairs.push_back({0, "ENDSEC"});
  return Text(pairs);
}

std::string Drawing(const Pairs& entities, const Pairs& header = {}, const std::string& more = "") {
  return Section("HEADER", header) + more + Section("ENTITIES", entities) + Text({{0, "EOF"}});
}

Pairs Line(double x1, double y1, double x2, double y2) {
  return {{0, "LINE"}, {8, "0"},  {10, std::to_string(x1)}, {20, std::to_string(y1)},
          {11, std::to_string(x2)}, {21, std::to_string(y2)}};
}

Pairs Join(std::initializer_list<Pairs> parts) {
  Pairs all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Dxf : ::testing::Test, ReaderHarness {
  ImportOptions options;
  TDXF dxf;

  TPaths Read(const std::string& text, bool fullQuality = true) {
    TPaths paths;
    std::string error;
    EXPECT_TRUE(ReadDxf(text, options, log, dxf, paths, error)) << error;
    if (fullQuality) dxf.Render(true, options, log, paths);
    return paths;
  }
};

TEST_F(Dxf, LinesSharingAnEndJoinIntoOnePath) {
  EXPECT_EQ(Read(Drawing(Join({Line(0, 0, 10, 0), Line(10, 0, 10, 10)}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 0}, {1000, 1000}}}));
  EXPECT_EQ(Read(Drawing(Join({Line(0, 0, 10, 0), Line(10, 10, 0, 10)}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 0}}, {{0, 1}, {1000, 1000}, {0, 1000}}}));
}

TEST_F(Dxf, CircleStepsFollowItsRadius) {
  for (const auto& [radius, halfTurnSteps] : {std::pair{10.0, 100}, std::pair{1.0, 24}}) {
    const auto paths = Read(Drawing({{0, "CIRCLE"}, {10, "5"}, {20, "5"}, {40, std::to_string(radius)}}));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].size(), 1u + 1u + static_cast<std::size_t>(2 * halfTurnSteps)) << radius;
    EXPECT_TRUE(IsClosed(paths[0]));
    for (std::size_t i = 1; i < paths[0].size(); ++i)
      EXPECT_NEAR(DistanceTo(paths[0][i], 500, 500), radius * 100, 0.75);
  }
}

TEST_F(Dxf, ArcFrom350To10DegreesPassesThroughZero) {
  const auto paths = Read(Drawing({{0, "ARC"}, {10, "0"}, {20, "0"}, {40, "10"}, {50, "350"}, {51, "10"}}));
  ASSERT_EQ(paths.size(), 1u);
  for (std::size_t i = 1; i < paths[0].size(); ++i) EXPECT_GT(paths[0][i].X, 980);
  const double startAngle = 350 * std::numbers::pi / 180;
  EXPECT_EQ(paths[0][1], IntPoint(std::llround(1000 * std::cos(startAngle)),
                                  std::llround(1000 * std::sin(startAngle))));
}

TEST_F(Dxf, ClosedLwPolylineEndsWhereItStarts) {
  const auto paths = Read(Drawing({{0, "LWPOLYLINE"}, {90, "4"}, {70, "1"},
                                   {10, "0"}, {20, "0"}, {10, "20"}, {20, "0"},
                                   {10, "20"}, {20, "10"}, {10, "0"}, {20, "10"}}));
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {0, 0}, {2000, 0}, {2000, 1000}, {0, 1000}, {0, 0}}}));
}

TEST_F(Dxf, LwPolylineNeverHoldsMoreThanItsDeclaredVertices) {
  Pairs polyline{{0, "LWPOLYLINE"}, {90, "2"}};
  for (int i = 0; i < 50; ++i) {
    polyline.push_back({10, std::to_string(i * 10)});
    polyline.push_back({20, "0"});
    polyline.push_back({42, "0.5"});
  }
  polyline.push_back({42, "0"});
  Read(Drawing(polyline));
  ASSERT_EQ(dxf.entities.size(), 1u);
  EXPECT_EQ(dxf.entities[0].vertices.size(), 2u);
  EXPECT_DOUBLE_EQ(dxf.entities[0].vertices[1].x, 10);
  EXPECT_DOUBLE_EQ(dxf.entities[0].vertices[1].bulge, 0.5);
}

TEST_F(Dxf, BulgeOfOneIsAHalfCircleOnTheSideOfItsSign) {
  // Positive bulges turn counter-clockwise from the first vertex to the second.
  for (const auto& [bulge, below] : {std::pair{"1", true}, std::pair{"-1", false}}) {
    const auto paths = Read(Drawing({{0, "LWPOLYLINE"}, {90, "2"}, {10, "0"}, {20, "0"}, {42, bulge},
                                     {10, "20"}, {20, "0"}}));
    ASSERT_EQ(paths.size(), 1u);
    for (std::size_t i = 1; i < paths[0].size(); ++i)
      EXPECT_NEAR(DistanceTo(paths[0][i], 1000, 0), 1000, 0.75);
    for (std::size_t i = 2; i + 1 < paths[0].size(); ++i)
      EXPECT_EQ(paths[0][i].Y < 0, below) << bulge << " " << i;
    EXPECT_EQ(paths[0].back(), IntPoint(2000, 0));
  }
}

TEST_F(Dxf, PaperSpaceAndTinyPathsAreNotDrawn) {
  const auto paths = Read(Drawing(Join({Join({Line(0, 0, 50, 0), {{67, "1"}}}),
                                        Line(100, 100, 100.04, 100.04), Line(0, 0, 0, 1)})));
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {0, 0}, {0, 100}}}));
}

TEST_F(Dxf, ColourPicksTheLayerNumber) {
  struct Case {
    int colour;
    std::int64_t layer;
  };
  for (const auto [colour, layer] : {Case{1, 3}, Case{2, 6}, Case{5, 9}, Case{6, 2}, Case{8, 0},
                                     Case{3, 4}, Case{255, 256}}) {
    const auto paths = Read(Drawing(Join({Line(0, 0, 10, 0), {{62, std::to_string(colour)}}})));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0][0].Y, layer) << colour;
  }
}

TEST_F(Dxf, ColourZeroTakesTheLayerTablesColourEvenWhenSwitchedOff) {
  const std::string tables = Section("TABLES", {{0, "TABLE"}, {2, "LAYER"}, {0, "LAYER"},
                                                {2, "CUT"}, {62, "-1"}, {0, "ENDTAB"}});
  const auto paths =
      Read(Drawing({{0, "LINE"}, {8, "CUT"}, {10, "0"}, {20, "0"}, {11, "9"}, {21, "0"}}, {}, tables));
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0][0].Y, 3);
}

TEST_F(Dxf, UnitsComeFromTheHeaderUnlessForced) {
  const Pairs inches{{9, "$INSUNITS"}, {70, "1"}, {9, "$MEASUREMENT"}, {70, "1"}};
  const std::string text = Drawing(Line(0, 0, 1, 0), inches);
  EXPECT_EQ(Read(text), (TPaths{{{0, 1}, {0, 0}, {2540, 0}}}));
  options.forceMM = true;
  EXPECT_EQ(Read(text), (TPaths{{{0, 1}, {0, 0}, {100, 0}}}));
  options.forceInch = true;
  EXPECT_EQ(Read(text), (TPaths{{{0, 1}, {0, 0}, {2540, 0}}}));
  options = {};
  options.scaleDXF = 2;
  EXPECT_EQ(Read(Drawing(Line(0, 0, 1, 0), {{9, "$MEASUREMENT"}, {70, "0"}})),
            (TPaths{{{0, 1}, {0, 0}, {5080, 0}}}));
}

TEST_F(Dxf, ExtrusionMinusZMirrorsInX) {
  const auto paths = Read(Drawing(Join({Line(1, 2, 3, 2), {{230, "-1"}}})));
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {-100, 200}, {-300, 200}}}));
}

std::string BlockDrawing(const Pairs& blockBody, const Pairs& inserts, const std::string& name = "B",
                         const std::string& baseX = "0") {
  const std::string tables = Section("TABLES", {{0, "TABLE"}, {2, "BLOCK_RECORD"},
                                                {0, "BLOCK_RECORD"}, {2, name}, {70, "0"},
                                                {340, "1F"}, {0, "ENDTAB"}});
  Pairs blocks{{0, "BLOCK"}, {2, name}, {10, baseX}, {20, "0"}};
  blocks.insert(blocks.end(), blockBody.begin(), blockBody.end());
  blocks.push_back({0, "ENDBLK"});
  return Section("HEADER", {}) + tables + Section("BLOCKS", blocks) + Section("ENTITIES", inserts) +
         Text({{0, "EOF"}});
}

TEST_F(Dxf, InsertRotatesScalesAndPlacesItsBlockAboutTheBasePoint) {
  const auto paths = Read(BlockDrawing(Line(1, 0, 3, 0),
                                       {{0, "INSERT"}, {2, "B"}, {10, "10"}, {20, "20"},
                                        {41, "2"}, {42, "2"}, {50, "90"}},
                                       "B", "1"));
  // (1,0)-(3,0) relative to the base (1,0), doubled and turned a quarter: (0,0)-(0,4), then placed.
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {1000, 2000}, {1000, 2400}}}));
  EXPECT_TRUE(Logged("DXF INSERT function error"));
  EXPECT_FALSE(Logged("layout"));
}

TEST_F(Dxf, InsertArrayPlacesACopyInEveryCell) {
  const auto paths = Read(BlockDrawing(Line(0, 0, 1, 0),
                                       {{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}, {70, "2"},
                                        {71, "2"}, {44, "10"}, {45, "20"}}));
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {0, 0}, {100, 0}},
                           {{0, 1}, {1000, 0}, {1100, 0}},
                           {{0, 1}, {0, 2000}, {100, 2000}},
                           {{0, 1}, {1000, 2000}, {1100, 2000}}}));
}

TEST_F(Dxf, BlockInsertingItselfEndsWithALogLine) {
  const Pairs body = Join({Line(0, 0, 1, 0), {{0, "INSERT"}, {2, "B"}, {10, "1"}, {20, "0"}}});
  const auto paths = Read(BlockDrawing(body, {{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}}));
  EXPECT_EQ(paths.size(), 16u);
  EXPECT_TRUE(Logged("DXF INSERT nested deeper than 16 levels"));
}

TEST_F(Dxf, AttributesDoNotMoveTheirInsert) {
  const Pairs inserts{{0, "INSERT"}, {2, "B"}, {10, "5"}, {20, "0"}, {66, "1"},
                      {0, "ATTRIB"}, {2, "TAG"}, {10, "500"}, {20, "500"}, {41, "9"}, {50, "45"},
                      {0, "SEQEND"}};
  EXPECT_EQ(Read(BlockDrawing(Line(0, 0, 1, 0), inserts)), (TPaths{{{0, 1}, {500, 0}, {600, 0}}}));
}

TEST_F(Dxf, ClosedSplineClosesOnlyWithCloseDxf) {
  // A quadratic B-spline over a clamped knot vector, closed by flag.
  const Pairs spline{{0, "SPLINE"}, {70, "1"}, {71, "2"}, {72, "6"}, {73, "3"}, {74, "0"},
                     {40, "0"}, {40, "0"}, {40, "0"}, {40, "1"}, {40, "1"}, {40, "1"},
                     {10, "0"}, {20, "0"}, {10, "50"}, {20, "100"}, {10, "100"}, {20, "0"},
                     {40, "7"}, {10, "999"}, {20, "999"}};
  const auto open = Read(Drawing(spline));
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0][1], IntPoint(0, 0));
  EXPECT_EQ(open[0].back(), IntPoint(10000, 0));
  // The curve's peak: at u = 0.5 the point is (50, 50).
  ClipperLib::cInt top = 0;
  for (std::size_t i = 1; i < open[0].size(); ++i) top = std::max(top, open[0][i].Y);
  EXPECT_NEAR(static_cast<double>(top), 5000, 1);
  EXPECT_EQ(dxf.entities[0].knots.size(), 6u);
  EXPECT_EQ(dxf.entities[0].controls.size(), 3u);
  options.closeDxf = 1;
  const auto closed = Read(Drawing(spline));
  EXPECT_EQ(closed[0].size(), open[0].size() + 1);
  EXPECT_EQ(closed[0].back(), IntPoint(0, 0));
}

TEST_F(Dxf, UnclampedSplineStaysWithinItsControlPoints) {
  // Uniform knots: the curve is defined between knots 2 and 3 only; outside that
  // range the basis sums below 1 and points would fall towards the origin.
  const auto paths = Read(Drawing({{0, "SPLINE"}, {71, "2"}, {72, "6"}, {73, "3"},
                                   {40, "0"}, {40, "1"}, {40, "2"}, {40, "3"}, {40, "4"}, {40, "5"},
                                   {10, "100"}, {20, "100"}, {10, "150"}, {20, "200"},
                                   {10, "200"}, {20, "100"}}));
  ASSERT_EQ(paths.size(), 1u);
  // The curve runs from the middle of the first control leg to the middle of the last.
  EXPECT_EQ(paths[0][1], IntPoint(12500, 15000));
  EXPECT_EQ(paths[0].back(), IntPoint(17500, 15000));
  for (std::size_t i = 1; i < paths[0].size(); ++i) {
    EXPECT_GE(paths[0][i].X, 10000);
    EXPECT_GE(paths[0][i].Y, 10000);
  }
}

TEST_F(Dxf, SplineWithAbsurdDegreeIsSkippedWithALogLine) {
  // A degree near the int32 limit must be refused before anything is sized by it.
  for (const char* degree : {"5000", "2000000000"}) {
    Read(Drawing(Join({{{0, "SPLINE"}, {71, degree}, {72, "2"}, {73, "1"}, {40, "0"}, {40, "1"},
                        {10, "0"}, {20, "0"}},
                       Line(0, 0, 1, 0)})));
    EXPECT_TRUE(Logged(std::string("DXF SPLINE not drawn: degree ") + degree)) << degree;
  }
}

TEST_F(Dxf, BadValuesAreLoggedWithTheirLine) {
  Read(Drawing(Join({Line(0, 0, 1, 0), {{62, "red"}, {40, "x"}}})));
  EXPECT_TRUE(Logged("DXF err int: line: "));
}

TEST_F(Dxf, LineWithoutItsEndEndsTheSection) {
  const auto paths = Read(Drawing({{0, "LINE"}, {10, "0"}, {20, "0"}, {0, "LINE"}, {10, "0"},
                                   {20, "0"}, {11, "5"}, {21, "0"}}));
  EXPECT_TRUE(paths.empty());
  EXPECT_EQ(dxf.entities.size(), 1u);
  EXPECT_TRUE(Logged("DXF LINE without its coordinates"));
}

TEST_F(Dxf, HugeAnglesAndCoordinatesStayBounded) {
  const auto paths = Read(Drawing({{0, "ARC"}, {10, "1e300"}, {20, "0"}, {40, "1e300"},
                                   {50, "1e300"}, {51, "-1e300"},
                                   {0, "ELLIPSE"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"},
                                   {40, "0.5"}, {41, "1e200"}, {42, "-1e200"}}));
  for (const auto& path : paths) {
    EXPECT_LE(path.size(), 800u);
    for (std::size_t i = 1; i < path.size(); ++i)
      EXPECT_LE(std::llabs(path[i].X), static_cast<long long>(kMaxImportCoordinate));
  }
}

TEST_F(Dxf, GroupCodeThatIsNoIntegerFailsTheRead) {
  TPaths paths;
  std::string error;
  EXPECT_FALSE(ReadDxf("AutoCAD Binary DXF\r\n\x1a\0", options, log, dxf, paths, error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
}

TEST_F(Dxf, PreviewDrawsSplinesCoarser) {
  const Pairs spline{{0, "SPLINE"}, {71, "3"}, {72, "8"}, {73, "4"}, {40, "0"}, {40, "0"},
                     {40, "0"}, {40, "0"}, {40, "1"}, {40, "1"}, {40, "1"}, {40, "1"},
                     {10, "0"}, {20, "0"}, {10, "100"}, {20, "300"}, {10, "200"}, {20, "-300"},
                     {10, "300"}, {20, "0"}};
  const auto preview = Read(Drawing(spline), false);
  const auto full = Read(Drawing(spline), true);
  ASSERT_EQ(preview.size(), 1u);
  ASSERT_EQ(full.size(), 1u);
  EXPECT_LT(preview[0].size(), full[0].size());
  EXPECT_EQ(preview[0].back(), full[0].back());
}

}  // namespace
}  // namespace corvane::testing
