#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <bit>
#include <numbers>

#include "DxfFixture.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;

TEST_F(Dxf, LinesSharingAnEndJoinIntoOnePath) {
  EXPECT_EQ(Read(Drawing(Join({Line(0, 0, 10, 0), Line(10, 0, 10, 10)}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 0}, {1000, 1000}}}));
  EXPECT_EQ(Read(Drawing(Join({Line(0, 0, 10, 0), Line(10, 10, 0, 10)}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 0}}, {{0, 1}, {1000, 1000}, {0, 1000}}}));
}

// LINEs chain while each starts where the last ended, until the chain comes
// back to its start: that loop is closed and the next LINE begins a new path,
// even one starting at the same corner.
TEST_F(Dxf, LineChainReturningToItsStartClosesAndStops) {
  const Pairs square = Join({Line(0, 0, 10, 0), Line(10, 0, 10, 10), Line(10, 10, 0, 10),
                             Line(0, 10, 0, 0)});
  const auto paths = Read(Drawing(Join({square, Line(0, 0, -10, 0), Line(-10, 0, -10, -10),
                                        Line(-10, -10, 0, -10), Line(0, -10, 0, 0),
                                        Line(0, 0, 5, -20)})));
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}},
                           {{0, 1}, {0, 0}, {-1000, 0}, {-1000, -1000}, {0, -1000}, {0, 0}},
                           {{0, 1}, {0, 0}, {500, -2000}}}));
  // A closed polyline takes no LINE that starts where it ends either; a LINE
  // going back over the one before it closes nothing.
  const Pairs closed{{0, "LWPOLYLINE"}, {90, "3"}, {70, "1"}, {10, "0"}, {20, "0"},
                     {10, "10"},        {20, "0"},  {10, "0"},  {20, "10"}};
  EXPECT_EQ(Read(Drawing(Join({closed, Line(0, 0, 0, -10)}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 0}, {0, 1000}, {0, 0}}, {{0, 1}, {0, 0}, {0, -1000}}}));
  EXPECT_EQ(Read(Drawing(Join({Line(0, 0, 10, 0), Line(10, 0, 0, 0), Line(0, 0, 0, 10)}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 0}, {0, 0}, {0, 1000}}}));
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

TEST_F(Dxf, InsertRotatesScalesAndPlacesItsBlockAboutTheBasePoint) {
  const auto paths = Read(BlockDrawing(Line(1, 0, 3, 0),
                                       {{0, "INSERT"}, {2, "B"}, {10, "10"}, {20, "20"},
                                        {41, "2"}, {42, "2"}, {50, "90"}},
                                       "B", "1"));
  // (1,0)-(3,0) relative to the base (1,0), doubled and turned a quarter: (0,0)-(0,4), then placed.
  EXPECT_EQ(paths, (TPaths{{{0, 1}, {1000, 2000}, {1000, 2400}}}));
  EXPECT_FALSE(Logged("DXF INSERT function error"));
  EXPECT_FALSE(Logged("layout"));
}

// Inserts that expand as the file means them are no error, however they are
// written; only one whose block the file never defines is, once per block.
TEST_F(Dxf, InsertErrorIsLoggedOnlyForABlockThatIsNotThere) {
  const Pairs square = Join({Line(0, 0, 1, 0), Line(1, 0, 1, 1), Line(1, 1, 0, 1), Line(0, 1, 0, 0)});
  const Pairs insertB{{0, "INSERT"}, {8, "0"}, {2, "B"}, {10, "10"}, {20, "0"}};
  auto block = [](const std::string& name, const Pairs& body) {
    return Join({{{0, "BLOCK"}, {8, "0"}, {2, name}, {70, "0"}, {10, "0"}, {20, "0"}},
                 body, {{0, "ENDBLK"}}});
  };
  // R12 style: no BLOCK_RECORD table, blocks matched by name.
  auto r12 = [](const Pairs& blocks, const Pairs& entities, bool blocksAfter = false) {
    const std::string b = Section("BLOCKS", blocks);
    const std::string e = Section("ENTITIES", entities);
    return Section("HEADER", {}) + (blocksAfter ? e + b : b + e) + Text({{0, "EOF"}});
  };
  struct Case {
    const char* what;
    std::string text;
    std::size_t paths;  // drawn contours (lines of one block weld into one path)
    std::size_t errors;
  };
  const Pairs attribs{{0, "ATTRIB"}, {8, "0"},  {10, "99"}, {20, "99"}, {40, "2.5"},
                      {1, "P-17"},   {2, "PART"}, {41, "5"}, {50, "45"}, {0, "SEQEND"}, {8, "0"}};
  const std::vector<Case> cases{
      {"plain", r12(block("B", square), insertB), 1, 0},
      {"scaled and turned",
       r12(block("B", square), Join({insertB, {{41, "2.5"}, {42, "-2.5"}, {50, "30"}}})), 1, 0},
      {"attributes after it",
       r12(block("B", square), Join({insertB, {{66, "1"}}, attribs})), 1, 0},
      {"nested two deep",
       r12(Join({block("B", square),
                 block("C", {{0, "INSERT"}, {8, "0"}, {2, "B"}, {10, "5"}, {20, "5"}}),
                 block("D", {{0, "INSERT"}, {8, "0"}, {2, "C"}, {10, "5"}, {20, "5"}})}),
           {{0, "INSERT"}, {8, "0"}, {2, "D"}, {10, "0"}, {20, "0"}}),
       1, 0},
      {"block defined after its use", r12(block("B", square), insertB, true), 1, 0},
      {"with a block record", BlockDrawing(square, insertB), 1, 0},
      {"block that is not there",
       r12(block("B", square), Join({insertB, {{0, "INSERT"}, {8, "0"}, {2, "NOPE"}, {10, "0"}, {20, "0"}},
                                     {{0, "INSERT"}, {8, "0"}, {2, "NOPE"}, {10, "9"}, {20, "0"}}})),
       1, 1},
  };
  for (const auto& c : cases) {
    host.logPane.clear();
    const auto paths = Read(c.text);
    EXPECT_EQ(paths.size(), c.paths) << c.what;
    EXPECT_EQ(LinesLogged("DXF INSERT function error"), c.errors) << c.what;
    if (c.errors) {
      EXPECT_TRUE(Logged("block \"NOPE\" is not defined")) << c.what;
    }
  }
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
  // Nine characters of digits and other bytes (found by fuzzing): refused
  // without adding the other bytes into an overflowing number.
  for (const char* code : {"99999999\xff", "9999999z9", "\x80\x80\x80\x80\x80\x80\x80\x80\x80"}) {
    error.clear();
    EXPECT_FALSE(ReadDxf(std::string("0\nSECTION\n") + code + "\nENTITIES\n", options, log, dxf, paths, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  }
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

// A polyface mesh (70 = 64) lists its vertices (flags 128 + 64), then face records (flag 128
// alone) whose 10/20 are zero; a polygon mesh (70 = 16) is an M x N grid of vertices (flag 64).
Pairs MeshPolyline(int flags) {
  Pairs mesh{{0, "POLYLINE"}, {8, "0"}, {66, "1"}, {10, "0"}, {20, "0"}, {70, std::to_string(flags)},
             {71, "2"}, {72, "2"}};
  const int vertexFlags = flags == 64 ? 192 : 64;
  for (const auto& [x, y] : {std::pair{50, 50}, {60, 50}, {60, 60}, {50, 60}})
    mesh = Join({mesh, {{0, "VERTEX"}, {10, std::to_string(x)}, {20, std::to_string(y)},
                        {70, std::to_string(vertexFlags)}}});
  if (flags == 64)
    mesh = Join({mesh, {{0, "VERTEX"}, {10, "0"}, {20, "0"}, {70, "128"}, {71, "1"}, {72, "2"},
                        {73, "3"}, {74, "4"}}});
  return Join({mesh, {{0, "SEQEND"}}});
}

TEST_F(Dxf, MeshPolylinesAreSkippedWithOneLogLine) {
  TPaths paths;
  const DrawingLoad load =
      Load(Drawing(Join({MeshPolyline(64), MeshPolyline(16), Line(100, 100, 110, 100)})), paths);
  EXPECT_TRUE(load.ok);
  // Only the line is drawn: nothing from the meshes, nothing towards the origin.
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_FALSE(AnyVertexNear(paths, 0, 0, 4000));
  EXPECT_EQ(LinesLogged("mesh"), 1u);
  std::size_t skipped = 0;
  for (const auto& [kind, count] : load.report.skipped)
    if (kind.find("mesh") != std::string::npos) skipped += count;
  EXPECT_EQ(skipped, 2u);
}

// A drawing whose every entity lies away from the axes, so that any coordinate
// the reader made up (a missing value read as 0) shows as a vertex on an axis.
std::string AwayFromTheAxes() {
  return Drawing(Join({Line(10, 10, 30, 10), Line(30, 10, 30, 30),
                       {{0, "CIRCLE"}, {8, "0"}, {10, "50"}, {20, "50"}, {40, "5"}},
                       {{0, "LWPOLYLINE"}, {8, "0"}, {90, "3"}, {70, "1"}, {10, "70"}, {20, "70"},
                        {42, "0.5"}, {10, "90"}, {20, "70"}, {10, "90"}, {20, "90"}},
                       {{0, "ARC"}, {8, "0"}, {10, "20"}, {20, "80"}, {40, "8"}, {50, "10"},
                        {51, "200"}},
                       Line(12, 14, 16, 18)}),
                 {{9, "$INSUNITS"}, {70, "4"}});
}

bool OnAnAxis(const TPaths& paths) {
  for (const auto& p : VerticesOf(paths))
    if (std::llabs(p.X) < 100 || std::llabs(p.Y) < 100) return true;
  return false;
}

TEST_F(Dxf, FileCutAnywhereIsReportedTruncatedAndDrawsOnlyWhatItHolds) {
  const std::string whole = AwayFromTheAxes();
  TPaths full;
  ASSERT_TRUE(Load(whole, full).ok);
  ASSERT_FALSE(OnAnAxis(full));
  const auto fullVertices = VerticesOf(full);
  const std::size_t eof = whole.rfind("EOF");
  for (std::size_t cut = 1; cut < eof; ++cut) {
    TPaths paths;
    const DrawingLoad load = Load(whole.substr(0, cut), paths);
    ASSERT_TRUE(load.report.truncated) << "cut at " << cut;
    EXPECT_FALSE(load.ok) << "cut at " << cut;
    // Whatever is drawn is part of the whole drawing: no vertex is invented.
    for (const auto& p : VerticesOf(paths))
      ASSERT_NE(std::find(fullVertices.begin(), fullVertices.end(), p), fullVertices.end())
          << "cut at " << cut << ": vertex " << p.X << ", " << p.Y;
  }
  EXPECT_TRUE(Logged("truncated"));
  TPaths paths;
  EXPECT_FALSE(Load(whole, paths).report.truncated);
}

TEST_F(Dxf, LwPolylineMissingAValueOrAVertexIsNotDrawn) {
  struct Case {
    const char* what;
    Pairs polyline;
  };
  const Case cases[] = {
      {"vertex without Y in the middle",
       {{0, "LWPOLYLINE"}, {90, "3"}, {10, "10"}, {20, "10"}, {10, "20"}, {10, "30"}, {20, "30"}}},
      {"last vertex without Y",
       {{0, "LWPOLYLINE"}, {90, "3"}, {10, "10"}, {20, "10"}, {10, "20"}, {20, "20"}, {10, "30"}}},
      {"fewer vertices than declared",
       {{0, "LWPOLYLINE"}, {90, "4"}, {70, "1"}, {10, "10"}, {20, "10"}, {10, "20"}, {20, "20"},
        {10, "30"}, {20, "10"}}},
      {"an X that is no number",
       {{0, "LWPOLYLINE"}, {90, "3"}, {10, "10"}, {20, "10"}, {10, "2O"}, {20, "20"}, {10, "30"},
        {20, "30"}}},
  };
  for (const auto& [what, polyline] : cases) {
    TPaths paths;
    const DrawingLoad load = Load(Drawing(Join({polyline, Line(40, 40, 50, 40)})), paths);
    EXPECT_EQ(paths.size(), 1u) << what;
    EXPECT_FALSE(OnAnAxis(paths)) << what;
    EXPECT_TRUE(Logged("LWPOLYLINE")) << what;
    EXPECT_EQ(load.report.skipped.size(), 1u) << what;
  }
}

// A render-time problem (a spline whose knots run backwards) and a block that
// inserts itself: the preview and the full rendering each meet them.
TEST_F(Dxf, RenderingAgainLogsNothingAgain) {
  const Pairs badSpline{{0, "SPLINE"}, {71, "1"}, {72, "4"}, {73, "2"}, {40, "0"}, {40, "1"},
                        {40, "0"}, {40, "1"}, {10, "0"}, {20, "0"}, {10, "10"}, {20, "10"}};
  const Pairs body = Join({Line(0, 0, 1, 0), {{0, "INSERT"}, {2, "B"}, {10, "1"}, {20, "0"}}});
  Read(BlockDrawing(body, Join({badSpline, {{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}},
                                {{0, "INSERT"}, {2, "GONE"}, {10, "0"}, {20, "0"}}})));
  TPaths paths;
  dxf.Render(true, options, log, paths);
  EXPECT_EQ(LinesLogged("DXF SPLINE not drawn"), 1u);
  EXPECT_EQ(LinesLogged("DXF INSERT nested deeper"), 1u);
  EXPECT_EQ(LinesLogged("DXF INSERT function error"), 1u);
}

TEST_F(Dxf, ReportTellsWhatWasSkippedExpandedAndApproximated) {
  const Pairs text{{0, "TEXT"}, {10, "0"}, {20, "0"}, {40, "5"}, {1, "PLATE"}};
  // A clockwise bulge gets its steps from its radius in drawing units: in an
  // inch drawing a half circle of radius 2 inch gets only 24 steps, whose chords
  // stay well inside it.
  const Pairs bulge{{0, "LWPOLYLINE"}, {90, "2"}, {10, "0"}, {20, "0"}, {42, "-1"}, {10, "4"}, {20, "0"}};
  const Pairs entities = Join({text, text, {{0, "HATCH"}, {2, "SOLID"}}, {{0, "DIMENSION"}, {70, "0"}},
                               {{0, "INSERT"}, {2, "B"}, {10, "10"}, {20, "0"}},
                               {{0, "INSERT"}, {2, "B"}, {10, "20"}, {20, "0"}, {41, "2"}, {42, "2"}},
                               bulge});
  const Pairs circle{{0, "CIRCLE"}, {10, "0"}, {20, "0"}, {40, "1"}};
  TPaths paths;
  const DrawingLoad load =
      Load(BlockDrawing(circle, entities, "B", "0", "0", {{9, "$INSUNITS"}, {70, "1"}}), paths);
  ASSERT_TRUE(load.ok) << load.error;
  const ImportReport& report = load.report;
  EXPECT_EQ(report.skipped.at("TEXT"), 2u);
  EXPECT_EQ(report.skipped.at("HATCH"), 1u);
  EXPECT_EQ(report.skipped.at("DIMENSION"), 1u);
  EXPECT_EQ(report.insertsExpanded, 2u);
  EXPECT_EQ(report.curvesApproximated, 3u);
  EXPECT_FALSE(report.truncated);
  // The worst chord error is the one found on the drawn half circle (centre
  // (2, 0) inch, radius 2 inch): the largest gap between a chord's middle and the circle.
  ASSERT_EQ(paths.size(), 3u);
  const TPath& half = paths[2];
  double worst = 0;
  for (std::size_t i = 1; i + 1 < half.size(); ++i) {
    const double mx = (static_cast<double>(half[i].X) + static_cast<double>(half[i + 1].X)) / 2;
    const double my = (static_cast<double>(half[i].Y) + static_cast<double>(half[i + 1].Y)) / 2;
    worst = std::max(worst, 5080 - std::hypot(mx - 5080, my));
  }
  EXPECT_GT(worst, 5);
  EXPECT_NEAR(report.worstChordError, worst, 1.0);
}

TEST_F(Dxf, ReportNamesTheUnitsAndTheScale) {
  struct Case {
    Pairs header;
    const char* units;
    double scale;
  };
  const Case cases[] = {{{}, "", 100},
                        {{{9, "$INSUNITS"}, {70, "4"}}, "mm", 100},
                        {{{9, "$INSUNITS"}, {70, "1"}}, "inch", 2540},
                        {{{9, "$MEASUREMENT"}, {70, "0"}}, "inch", 2540},
                        {{{9, "$INSUNITS"}, {70, "6"}}, "m", 100000}};
  for (const auto& [header, units, scale] : cases) {
    TPaths paths;
    const DrawingLoad load = Load(Drawing(Line(0, 0, 1, 0), header), paths);
    EXPECT_EQ(load.report.units, units);
    EXPECT_DOUBLE_EQ(load.report.scale, scale) << units;
  }
  // A forced unit replaces the file's and says so, once however often it is applied.
  options.forceInch = true;
  TPaths paths;
  Load(Drawing(Line(0, 0, 1, 0), {{9, "$INSUNITS"}, {70, "4"}}), paths);
  dxf.ApplyImportUnits(options);
  dxf.Render(true, options, log, paths);
  EXPECT_EQ(dxf.report.units, "mm");
  EXPECT_DOUBLE_EQ(dxf.report.scale, 2540);
  EXPECT_EQ(dxf.report.notes, std::vector<std::string>{"units forced to inch"});
}

// Writes group pairs as binary DXF: after the sentinel, each group code as a
// 2-byte little-endian integer (or one byte, 255 leading a wider code, as older
// files have them), then its value typed by the code's range.
std::string BinaryDxf(const Pairs& pairs, bool wideCodes) {
  std::string out("AutoCAD Binary DXF\r\n\x1a\0", 22);
  auto put = [&](std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  for (const auto& [code, value] : pairs) {
    if (wideCodes) put(static_cast<std::uint16_t>(code), 2);
    else if (code < 255) put(static_cast<std::uint64_t>(code), 1);
    else { put(255, 1); put(static_cast<std::uint16_t>(code), 2); }
    auto in = [&](int from, int to) { return code >= from && code <= to; };
    if (in(10, 59) || in(110, 149) || in(210, 239) || in(1010, 1059)) {
      put(std::bit_cast<std::uint64_t>(std::stod(value)), 8);
    } else if (in(60, 79) || in(170, 179) || in(270, 289) || in(1060, 1070)) {
      put(static_cast<std::uint16_t>(std::stoi(value)), 2);
    } else if (in(90, 99) || code == 1071) {
      put(static_cast<std::uint32_t>(std::stol(value)), 4);
    } else if (in(160, 169)) {
      put(static_cast<std::uint64_t>(std::stoll(value)), 8);
    } else if (in(290, 299)) {
      put(static_cast<std::uint64_t>(std::stoi(value)), 1);
    } else if (in(310, 319) || code == 1004) {
      put(value.size() / 2, 1);
      for (std::size_t i = 0; i < value.size(); i += 2)
        out += static_cast<char>(std::stoi(value.substr(i, 2), nullptr, 16));
    } else {
      out += value;
      out += '\0';
    }
  }
  return out;
}

// The pairs of a text DXF, read back (for writing them again as binary).
Pairs PairsOf(const std::string& text) {
  Pairs pairs;
  std::istringstream in(text);
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (!value.empty() && value.back() == '\r') value.pop_back();
    pairs.emplace_back(std::stoi(code), value);
  }
  return pairs;
}

// Binary DXF reads as its text form does, with either width of group codes:
// every value type (reals whose text would round, 16/32/64-bit integers, a
// flag, a binary chunk, an extended-data code above 255) decoded as written.
TEST_F(Dxf, BinaryDxfReadsAsItsTextForm) {
  const Pairs lwpolyline{{0, "LWPOLYLINE"}, {8, "0"},  {90, "3"},   {70, "1"},
                         {10, "0.1"},       {20, "0"},  {42, "0.4"}, {10, "25.4"},
                         {20, "0.3333333333333333"},    {10, "3"},   {20, "-12.5"}};
  const std::string text = BlockDrawing(
      Join({Line(1, 0, 3, 0), {{0, "CIRCLE"}, {8, "0"}, {10, "1"}, {20, "2"}, {40, "0.75"}}}),
      Join({{{0, "INSERT"}, {2, "B"}, {10, "10"}, {20, "20"}, {41, "2"}, {42, "2"}, {50, "30"},
             {1001, "APP"}, {1071, "-70000"}, {1004, "00FF7A"}, {1070, "-3"}, {1040, "2.5"}},
            {{0, "DIMENSION"}, {160, "5000000000"}, {290, "1"}, {310, "0102"}, {70, "0"}},
            lwpolyline, Line(-5, -5, 7.123456789012345, 9)}),
      "B", "1", "0", {{9, "$INSUNITS"}, {70, "4"}});
  const TPaths expected = Read(text);
  ASSERT_GE(expected.size(), 4u);
  for (const bool wide : {true, false}) {
    TPaths paths;
    const DrawingLoad load = Load(BinaryDxf(PairsOf(text), wide), paths);
    EXPECT_TRUE(load.ok) << load.error;
    EXPECT_EQ(paths, expected) << (wide ? "2-byte codes" : "1-byte codes");
    EXPECT_EQ(load.report.units, "mm");
    EXPECT_EQ(load.report.insertsExpanded, 1u);
    EXPECT_FALSE(load.report.truncated);
  }
  // Cut inside a value of the last LINE: what came before is drawn, the LINE
  // is not, and the file is reported truncated.
  const std::string binary = BinaryDxf(PairsOf(text), true);
  TPaths paths;
  const DrawingLoad load = Load(binary.substr(0, binary.size() - 30), paths);
  EXPECT_TRUE(load.report.truncated);
  EXPECT_EQ(paths, TPaths(expected.begin(), expected.end() - 1));
  EXPECT_TRUE(Logged("binary DXF ends inside a group"));
}

// A spline-fit POLYLINE (flag 4) lists its frame's control points (vertex flag
// 16) beside the curve fitted through them (flag 8): only the curve is drawn.
// One without fitted vertices draws its frame rather than nothing.
TEST_F(Dxf, SplineFitPolylineDrawsOnlyItsFittedVertices) {
  auto vertex = [](double x, double y, int flags) {
    return Pairs{{0, "VERTEX"}, {10, Number(x)}, {20, Number(y)}, {70, std::to_string(flags)}};
  };
  const Pairs head{{0, "POLYLINE"}, {8, "0"}, {66, "1"}, {70, "4"}};
  const Pairs frame = Join({vertex(0, 0, 16), vertex(10, 20, 16), vertex(20, 0, 16)});
  const Pairs fitted = Join({vertex(0, 0, 8), vertex(5, 7.5, 8), vertex(10, 10, 8),
                             vertex(15, 7.5, 8), vertex(20, 0, 8)});
  EXPECT_EQ(Read(Drawing(Join({head, frame, fitted, {{0, "SEQEND"}}}))),
            (TPaths{{{0, 1}, {0, 0}, {500, 750}, {1000, 1000}, {1500, 750}, {2000, 0}}}));
  EXPECT_EQ(Read(Drawing(Join({head, frame, {{0, "SEQEND"}}}))),
            (TPaths{{{0, 1}, {0, 0}, {1000, 2000}, {2000, 0}}}));
}

}  // namespace
}  // namespace corvane::testing
