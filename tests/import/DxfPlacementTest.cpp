#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "DxfFixture.h"

namespace corvane::testing {
namespace {

using ClipperLib::IntPoint;

Pairs WithExtrusion(Pairs entity, double nx, double ny, double nz) {
  return Join({entity, {{210, Number(nx)}, {220, Number(ny)}, {230, Number(nz)}}});
}

// Closed 20 x 20 squares and a circle of radius 10, each centred on its own origin.
const Pairs kCircle{{0, "CIRCLE"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "10"}};
const Pairs kLwSquare{{0, "LWPOLYLINE"}, {8, "0"},    {90, "4"},   {70, "1"},
                      {10, "-10"},       {20, "-10"}, {10, "10"},  {20, "-10"},
                      {10, "10"},        {20, "10"},  {10, "-10"}, {20, "10"}};
const Pairs kSquareVertices{{0, "VERTEX"}, {10, "-10"},   {20, "-10"},   {0, "VERTEX"},
                            {10, "10"},    {20, "-10"},   {0, "VERTEX"}, {10, "10"},
                            {20, "10"},    {0, "VERTEX"}, {10, "-10"},   {20, "10"},
                            {0, "SEQEND"}};

ImportExtents ExtentsRead(Dxf& test, const std::string& text) { return ExtentsOf(test.Read(text)); }

void ExpectExtents(const ImportExtents& box, double minX, double minY, double maxX, double maxY,
                   const std::string& what) {
  ASSERT_TRUE(box.any) << what;
  EXPECT_NEAR(static_cast<double>(box.minX), minX, 1) << what;
  EXPECT_NEAR(static_cast<double>(box.minY), minY, 1) << what;
  EXPECT_NEAR(static_cast<double>(box.maxX), maxX, 1) << what;
  EXPECT_NEAR(static_cast<double>(box.maxY), maxY, 1) << what;
}

// Seen from above, a plane tilted by t about a horizontal axis shortens every
// length across that axis by cos t (the normal's Z) and keeps those along it.
// Here the normal leans towards +Y (cos t = 0.8): Y shrinks, X stays.
TEST_F(Dxf, EntitiesInATiltedPlaneAreSeenFromAbove) {
  const std::string squareBlock = "B";
  struct Case {
    const char* what;
    std::string text;
  };
  const double ny = 0.6, nz = 0.8;
  const Case cases[] = {
      {"CIRCLE", Drawing(WithExtrusion(kCircle, 0, ny, nz))},
      {"LWPOLYLINE", Drawing(WithExtrusion(kLwSquare, 0, ny, nz))},
      {"POLYLINE",
       Drawing(Join({WithExtrusion({{0, "POLYLINE"}, {8, "0"}, {66, "1"}, {70, "1"}}, 0, ny, nz),
                     kSquareVertices}))},
      {"INSERT",
       BlockDrawing(kLwSquare,
                    WithExtrusion({{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}}, 0, ny, nz))},
  };
  for (const auto& [what, text] : cases)
    ExpectExtents(ExtentsRead(*this, text), -1000, -800, 1000, 800, what);
  // Leaning towards +X instead, X shrinks.
  ExpectExtents(ExtentsRead(*this, Drawing(WithExtrusion(kCircle, 0.6, 0, 0.8))), -800, -1000, 800,
                1000, "CIRCLE leaning towards X");
}

TEST_F(Dxf, ElevationInATiltedPlaneShiftsAlongTheNormal) {
  // The centre stands 10 units up the normal (0, 0.6, 0.8): 6 units north of the origin.
  const auto circle = Join({kCircle, {{30, "10"}}});
  ExpectExtents(ExtentsRead(*this, Drawing(WithExtrusion(circle, 0, 0.6, 0.8))), -1000, -200, 1000,
                1400, "CIRCLE with elevation");
  const auto square = Join({kLwSquare, {{38, "10"}}});
  ExpectExtents(ExtentsRead(*this, Drawing(WithExtrusion(square, 0, 0.6, 0.8))), -1000, -200, 1000,
                1400, "LWPOLYLINE with elevation");
}

TEST_F(Dxf, InsertInATiltedPlaneShortensOnlyAcrossTheTilt) {
  // A block of two legs of 10: one along the block's X, one along its Y. The
  // object X axis of a tilted plane is always level, so that leg keeps its length.
  const Pairs legs = Join({Line(0, 0, 10, 0), Line(0, 0.5, 0, 10.5)});
  const auto paths = Read(BlockDrawing(
      legs, WithExtrusion({{0, "INSERT"}, {2, "B"}, {10, "5"}, {20, "5"}}, 0, 0.6, 0.8)));
  ASSERT_EQ(paths.size(), 2u);
  auto length = [](const TPath& path) {
    return DistanceTo(path[1], static_cast<double>(path[2].X), static_cast<double>(path[2].Y));
  };
  EXPECT_NEAR(length(paths[0]), 1000, 1.5);
  EXPECT_NEAR(length(paths[1]), 800, 1.5);
}

TEST_F(Dxf, WorldCoordinateEntitiesIgnoreTheirExtrusion) {
  // LINE and ELLIPSE store world coordinates; a horizontal extrusion only says
  // which way a thickness would go.
  EXPECT_EQ(Read(Drawing(WithExtrusion(Line(1, 2, 5, 2), 0, -1, 0))),
            (TPaths{{{0, 1}, {100, 200}, {500, 200}}}));
  // An ellipse lies in the plane of its normal: the minor axis (ratio 0.5 of the
  // major axis of 10 along X) stands across it, at (0, 0.8, -0.6); seen from above 4 long.
  const Pairs ellipse{{0, "ELLIPSE"}, {8, "0"},  {10, "0"}, {20, "0"},
                      {11, "10"},     {21, "0"}, {31, "0"}, {40, "0.5"}};
  ExpectExtents(ExtentsRead(*this, Drawing(WithExtrusion(ellipse, 0, 0.6, 0.8))), -1000, -400, 1000,
                400, "ELLIPSE");
}

// The normal (0, 0, -1) looks at the drawing from below: every kind comes out
// as its own mirror image in X.
TEST_F(Dxf, NormalDownMirrorsEveryKindInX) {
  const Pairs arc{{0, "ARC"}, {8, "0"}, {10, "20"}, {20, "5"}, {40, "7"}, {50, "30"}, {51, "250"}};
  const Pairs bulged{{0, "LWPOLYLINE"}, {8, "0"},  {90, "3"},    {10, "1"},  {20, "2"}, {42, "0.7"},
                     {10, "15"},        {20, "4"}, {42, "-0.3"}, {10, "30"}, {20, "-6"}};
  const Pairs insert{{0, "INSERT"}, {2, "B"}, {10, "12"}, {20, "-3"}, {50, "30"}};
  for (const auto& [what, plain, text] :
       {std::tuple{"ARC", Drawing(arc), Drawing(WithExtrusion(arc, 0, 0, -1))},
        std::tuple{"LWPOLYLINE", Drawing(bulged), Drawing(WithExtrusion(bulged, 0, 0, -1))},
        std::tuple{"LINE", Drawing(Line(3, 4, 9, 7)),
                   Drawing(WithExtrusion(Line(3, 4, 9, 7), 0, 0, -1))},
        std::tuple{"INSERT", BlockDrawing(bulged, insert),
                   BlockDrawing(bulged, WithExtrusion(insert, 0, 0, -1))}}) {
    TPaths expected = Read(plain);
    for (auto& path : expected)
      for (std::size_t i = 1; i < path.size(); ++i) path[i].X = -path[i].X;
    EXPECT_EQ(Read(text), expected) << what;
  }
}

// A block's own units count only when the drawing declares its units too; the
// block is then scaled by the ratio of the two (mm per unit: inch 25.4, cm 10, m 1000).
TEST_F(Dxf, BlockUnitsScaleOnlyAgainstTheDrawingsUnits) {
  struct Case {
    Pairs header;
    const char* blockUnits;
    double length;  // of a 1-unit block line, in 0.01 mm
  };
  const Case cases[] = {
      {{}, "1", 100},  // unitless drawing: the inch block is not scaled
      {{{9, "$INSUNITS"}, {70, "0"}}, "1", 100},
      {{{9, "$INSUNITS"}, {70, "4"}}, "1", 2540},  // inch block in a mm drawing
      {{{9, "$INSUNITS"}, {70, "1"}}, "4", 100},   // mm block in an inch drawing
      {{{9, "$INSUNITS"}, {70, "1"}}, "1", 2540},
      {{{9, "$INSUNITS"}, {70, "4"}}, "0", 100},  // unitless block
      {{{9, "$MEASUREMENT"}, {70, "0"}},
       "4",
       2540},                                      // inches by measurement only: no unit to compare
      {{{9, "$INSUNITS"}, {70, "6"}}, "5", 1000},  // cm block in a metre drawing
  };
  for (const auto& [header, blockUnits, length] : cases) {
    const auto paths =
        Read(BlockDrawing(Line(0, 0, 1, 0), {{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}}, "B",
                          "0", blockUnits, header));
    ASSERT_EQ(paths.size(), 1u) << blockUnits;
    EXPECT_EQ(paths[0], (TPath{{0, 1}, {0, 0}, {static_cast<ClipperLib::cInt>(length), 0}}))
        << "block units " << blockUnits
        << (header.empty() ? "" : " drawing " + header.back().second);
  }
}

// A block is placed in full precision and rounded once: a square of side
// 2.5025 mm inserted at scale 48 is 120.12 mm wide, not 48 x 2.50 = 120.00
// (or 120.48). Every cell of an array and a rotated insert keep that too.
TEST_F(Dxf, InsertScalesItsBlockBeforeRoundingIt) {
  const Pairs square{{0, "LWPOLYLINE"}, {8, "0"},          {90, "4"},         {70, "1"},
                     {10, "-1.25125"},  {20, "-1.25125"},  {10, "1.25125"},   {20, "-1.25125"},
                     {10, "1.25125"},   {20, "1.25125"},   {10, "-1.25125"},  {20, "1.25125"}};
  struct Case {
    Pairs insert;
    double minX, minY, maxX, maxY;
  };
  const Pairs scaled{{0, "INSERT"}, {2, "B"}, {10, "100"}, {20, "100"}, {41, "48"}, {42, "48"}};
  const Case cases[] = {
      {scaled, 3994, 3994, 16006, 16006},
      {Join({scaled, {{70, "2"}, {44, "200"}}}), 3994, 3994, 36006, 16006},
      {Join({scaled, {{50, "90"}}}), 3994, 3994, 16006, 16006},
      {{{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}, {41, "-48"}, {42, "0.5"}},
       -6006, -62.5625, 6006, 62.5625},
  };
  for (const auto& [insert, minX, minY, maxX, maxY] : cases) {
    const auto box = ExtentsRead(*this, BlockDrawing(square, insert));
    ASSERT_TRUE(box.any);
    EXPECT_EQ(box.minX, std::llround(minX)) << Text(insert);
    EXPECT_EQ(box.minY, std::llround(minY)) << Text(insert);
    EXPECT_EQ(box.maxX, std::llround(maxX)) << Text(insert);
    EXPECT_EQ(box.maxY, std::llround(maxY)) << Text(insert);
  }
}

// An ellipse is flattened like an arc of its major radius: the curve stays
// within 0.01 mm of its chords however large it is (fixed 7.5 degree steps put
// a 465 mm ellipse 1 mm off), and the report's chord error is no smaller than
// the gap measured on the drawn path.
TEST_F(Dxf, EllipseChordsStayAsCloseAsAnArcsAndTheReportSaysHowClose) {
  struct Case {
    double major, ratio, from, to;
  };
  const Case cases[] = {{465, 0.5, 0, 2 * std::numbers::pi},
                        {200, 0.3, 0.5, 2.0},
                        {5, 0.4, 0, 2 * std::numbers::pi}};
  for (const auto& [major, ratio, from, to] : cases) {
    const std::string what = "major " + Number(major) + " ratio " + Number(ratio);
    TPaths paths;
    const Pairs ellipse{{0, "ELLIPSE"}, {10, "0"},           {20, "0"},         {11, "0"},
                        {21, Number(major)}, {40, Number(ratio)}, {41, Number(from)},
                        {42, Number(to)}};
    const DrawingLoad load = Load(Drawing(ellipse), paths);
    ASSERT_TRUE(load.ok) << load.error;
    ASSERT_EQ(paths.size(), 1u) << what;
    double worst = 0;
    constexpr int kSamples = 4000;
    for (int i = 0; i <= kSamples; ++i) {
      const double t = from + (to - from) * i / kSamples;
      // Major axis along +Y: the minor one a quarter turn on, along -X.
      const double x = -ratio * major * 100 * std::sin(t), y = major * 100 * std::cos(t);
      worst = std::max(worst, DistanceToPath(paths[0], x, y));
    }
    EXPECT_LE(worst, 1.0) << what;
    EXPECT_GE(load.report.worstChordError + 0.75, worst) << what;
    EXPECT_LE(load.report.worstChordError, 1.0) << what;
  }
}

}  // namespace
}  // namespace corvane::testing
