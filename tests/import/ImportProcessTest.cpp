#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

#include "import/KerfOffset.h"
#include "import/LeadPlan.h"
#include "import/Nesting.h"
#include "import/PartSequence.h"

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

TPath Rectangle(cInt x, cInt y, cInt w, cInt h) {
  return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
}

TPath Circle(double cx, double cy, double r, int steps = 180) {
  TPath path;
  for (int i = 0; i < steps; ++i) {
    const double a = 2 * std::numbers::pi * i / steps;
    path.push_back({std::llround(cx + r * std::cos(a)), std::llround(cy + r * std::sin(a))});
  }
  path.push_back(path.front());
  return path;
}

double AreaOf(const TPath& path) { return std::fabs(ShoelaceSum(path)) / 2; }

double Perimeter(const TPath& path) {
  double length = 0;
  for (std::size_t i = 1; i < path.size(); ++i)
    length += std::hypot(double(path[i].X - path[i - 1].X), double(path[i].Y - path[i - 1].Y));
  return length;
}

// The cutting list after the offset: [0] the outer contour, [1] the hole.
TPaths OffsetPlate(cInt delta) {
  const TPaths cutting{Rectangle(0, 0, 10000, 5000), Circle(5000, 2500, 1000)};
  return OffsetCuttingList(cutting, NestCuttingList(cutting, false), delta, false).paths;
}

TEST(KerfOffset, OutsideGrowsThePlateAndShrinksItsHoleInsideTheOtherWay) {
  struct Case {
    bool inside;
    cInt width, height, holeDiameter;
  };
  for (const Case c : {Case{false, 10100, 5100, 1900}, Case{true, 9900, 4900, 2100}}) {
    const cInt delta = OffsetAmount(10, 0, false, c.inside, false);
    const TPaths out = OffsetPlate(delta);
    ASSERT_EQ(out.size(), 2u);
    const PathBox outer = BoxOfPath(out[0]), hole = BoxOfPath(out[1]);
    EXPECT_EQ(outer.maxX - outer.minX, c.width);
    EXPECT_EQ(outer.maxY - outer.minY, c.height);
    EXPECT_NEAR(double(hole.maxX - hole.minX), double(c.holeDiameter), 2);
    EXPECT_TRUE(IsClosedPath(out[0]) && IsClosedPath(out[1]));
  }
  // Rounded corners of radius δ when cutting outside: the corner point lies δ from the old corner.
  const TPaths out = OffsetPlate(50);
  double nearest = 1e9;
  for (const IntPoint& p : out[0]) nearest = std::min(nearest, std::hypot(double(p.X + 0), double(p.Y + 0)));
  EXPECT_NEAR(nearest, 50, 1.5);
}

TEST(KerfOffset, AreasChangeByPerimeterTimesTheOffset) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> size(800, 6000), delta(5, 150);
  for (int round = 0; round < 20; ++round) {
    const TPaths cutting{Rectangle(0, 0, size(rng), size(rng)), Circle(400, 400, 300, 90)};
    const cInt d = delta(rng);
    const TPaths out = OffsetCuttingList(cutting, NestCuttingList(cutting, false), d, false).paths;
    ASSERT_EQ(out.size(), 2u);
    // Outer: A + P·δ + π·δ² (the rounded corners); hole: A − P·δ + π·δ².
    const double outerExpected = AreaOf(cutting[0]) + Perimeter(cutting[0]) * d + std::numbers::pi * d * d;
    EXPECT_NEAR(AreaOf(out[0]), outerExpected, outerExpected * 0.002) << round;
    const double holeExpected = std::numbers::pi * (300.0 - d) * (300.0 - d);
    EXPECT_NEAR(AreaOf(out[1]), holeExpected, holeExpected * 0.02) << round;
    EXPECT_LT(AreaOf(out[1]), AreaOf(cutting[1]));
  }
}

TEST(KerfOffset, OffsetAmountFollowsTheToolSource) {
  struct Case {
    int slider;
    double typed;
    bool inches, inside, forced;
    cInt delta;
  };
  for (const Case c : {Case{10, 0, false, false, false, 50}, Case{10, 1.5, false, false, false, 75},
                       Case{10, 1.5, false, true, false, -75}, Case{7, 0, true, false, false, 44},
                       Case{10, 0, false, true, false, -50}, Case{33, 4, false, true, true, 5}})
    EXPECT_EQ(OffsetAmount(c.slider, c.typed, c.inches, c.inside, c.forced), c.delta)
        << c.slider << " " << c.typed;
}

TEST(KerfOffset, AHoleSmallerThanTheToolVanishesAndOverlapsUniteOnRequest) {
  const TPaths cutting{Rectangle(0, 0, 10000, 5000), Circle(5000, 2500, 40)};
  const OffsetResult gone = OffsetCuttingList(cutting, NestCuttingList(cutting, false), 50, false);
  EXPECT_EQ(gone.paths.size(), 1u);
  EXPECT_EQ(gone.vanished, std::vector<std::size_t>{1});
  const TPaths touching{Rectangle(0, 0, 1000, 1000), Rectangle(1060, 0, 1000, 1000)};
  EXPECT_EQ(OffsetCuttingList(touching, NestCuttingList(touching, false), 50, false).paths.size(), 2u);
  EXPECT_EQ(OffsetCuttingList(touching, NestCuttingList(touching, false), 50, true).paths.size(), 1u);
}

TEST(Parts, ASquareWithAHoleIsOnePartHoleFirst) {
  for (const bool outside : {true, false}) {
    TPaths list{Rectangle(0, 0, 5000, 5000), Circle(2500, 2500, 1000)};
    std::reverse(list[1].begin(), list[1].end());  // drawn clockwise
    const std::vector<PartContours> parts = GroupParts(list, NestProcessedList(list, false), outside);
    ASSERT_EQ(parts.size(), 1u);
    ASSERT_EQ(parts[0], (PartContours{1, 0}));
    EXPECT_EQ(ShoelaceSum(list[1]) > 0, outside) << "hole counter-clockwise when cutting outside";
    EXPECT_EQ(ShoelaceSum(list[0]) < 0, outside) << "outer clockwise when cutting outside";
  }
}

TEST(Parts, IslandsInHolesFormPartsOfTheirOwn) {
  TPaths list{Rectangle(0, 0, 10000, 10000), Rectangle(1000, 1000, 8000, 8000), Rectangle(2000, 2000, 1000, 1000),
              Rectangle(5000, 5000, 1000, 1000), Rectangle(5400, 5400, 200, 200), Rectangle(20000, 0, 100, 100)};
  const std::vector<PartContours> parts = GroupParts(list, NestProcessedList(list, false), true);
  EXPECT_EQ(parts, (std::vector<PartContours>{{4, 3}, {2}, {1, 0}, {5}}));
}

TEST(Parts, OverlappingDrawingsLoseNoContour) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> coord(0, 3000), size(100, 2500);
  for (int round = 0; round < 40; ++round) {
    TPaths list;
    for (int i = 0; i < 12; ++i) list.push_back(Rectangle(coord(rng), coord(rng), size(rng), size(rng)));
    const std::vector<PartContours> parts = GroupParts(list, NestProcessedList(list, false), round % 2 == 0);
    std::vector<int> seen;
    for (const PartContours& part : parts) seen.insert(seen.end(), part.begin(), part.end());
    std::sort(seen.begin(), seen.end());
    std::vector<int> all(list.size());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(seen, all) << "round " << round;
  }
}

TEST(Sort, TheSliderChoosesRowsOrColumns) {
  // A 3 × 3 grid of squares 20 mm apart in X and 10 mm in Y.
  TPaths list;
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) list.push_back(Rectangle(column * 2000, row * 1000, 500, 500));
  const auto order = [&](int slider) {
    TPaths copy = list;
    std::vector<PartContours> parts = GroupParts(copy, NestProcessedList(copy, false), true);
    SortParts(parts, copy, SortStart::BottomLeft, slider, 5000, 2500);
    std::vector<int> rows;
    for (const PartContours& part : parts) rows.push_back(part.front());
    return rows;
  };
  // −5: along the rows (X first); 5: along the columns (Y first), serpentine.
  EXPECT_EQ(order(-5), (std::vector<int>{0, 1, 2, 5, 4, 3, 6, 7, 8}));
  EXPECT_EQ(order(5), (std::vector<int>{0, 3, 6, 7, 4, 1, 2, 5, 8}));
}

IntPoint Slot(const LeadRecord& r, std::size_t k) { return r[k]; }

TEST(Leads, LengthTenRatioFourGivesTheDrawnShapes) {
  // A clockwise 100 × 50 rectangle (an outer contour cutting outside): the lead lies outside.
  TPath outer = Rectangle(0, 0, 10000, 5000);
  std::reverse(outer.begin(), outer.end());
  LeadOptions o;
  o.leadIn = o.leadOut = true;
  o.length = LeadLength(10, false);
  o.ratio = 4;
  const LeadPlanResult plan = PlanLeads({outer}, o);
  ASSERT_EQ(plan.records.size(), 1u);
  const LeadRecord& r = plan.records[0];
  const std::size_t k = static_cast<std::size_t>(r[kLeadSegment].X);
  // The first segment of the reversed rectangle runs down the left side at x = 0.
  ASSERT_EQ(k, 0u);
  const IntPoint m = Slot(r, kLeadAttach);
  EXPECT_EQ(m, (IntPoint{0, 2500}));
  EXPECT_EQ(Slot(r, 0).X, -1000) << "10 mm away from the contour";
  EXPECT_EQ(Slot(r, 0).Y, 2000) << "5 mm back along it";
  EXPECT_EQ(Slot(r, 1), (IntPoint{-500, 2000})) << "5 mm straight, then the quarter circle";
  for (std::size_t s = 1; s <= 14; ++s)
    EXPECT_NEAR(std::hypot(double(r[s].X + 500), double(r[s].Y - 2500)), 500, 1) << s;
  for (std::size_t s = 16; s <= 29; ++s)
    EXPECT_NEAR(std::hypot(double(r[s].X + 250), double(r[s].Y - 2500)), 250, 1) << "lead-out radius 2.5 mm";
  // The lead-out leaves 15 degrees past M and ends 93 degrees past it.
  EXPECT_EQ(r[16], (IntPoint{-9, 2565}));
  EXPECT_EQ(r[29], (IntPoint{-263, 2750}));
  const TPaths final = AttachLeads({outer}, plan.records);
  ASSERT_EQ(final.size(), 1u);
  EXPECT_EQ(final[0].front(), Slot(r, 0));
  EXPECT_EQ(final[0][15], m);
  EXPECT_EQ(final[0].back(), Slot(r, 29));
  EXPECT_EQ(final[0].size(), 16u + 4u + 1u + 14u) << "in, once round, M again, out";
}

TEST(Leads, RatioAndLengthEdges) {
  TPath outer = Rectangle(0, 0, 10000, 5000);
  std::reverse(outer.begin(), outer.end());
  LeadOptions o;
  o.leadIn = o.leadOut = true;
  o.length = 1000;
  o.ratio = 1;
  o.ratioIsOne = true;
  LeadRecord r = PlanLeads({outer}, o).records[0];
  // Radius f / 2 (the ratio is at least 2), last point moved to M + 2w·N + w·D.
  EXPECT_EQ(r[kLeadOutEnd], (IntPoint{-1000, 2500 + 500}));
  EXPECT_NEAR(std::hypot(double(r[20].X + 500), double(r[20].Y - 2500)), 500, 1);
  o.ratioIsOne = false;
  o.length = 100;
  o.ratio = 6;  // 1 mm / 6 is under 0.2 mm: no lead-out
  r = PlanLeads({outer}, o).records[0];
  EXPECT_EQ(r[kLeadOutEnd], (IntPoint{0, 0}));
  EXPECT_NE(r[0], (IntPoint{0, 0}));
  o.alongOut = true;
  o.length = 1000;
  o.ratio = 4;
  r = PlanLeads({outer}, o).records[0];
  // Along the contour: 2.5 mm on up the left side from M.
  EXPECT_EQ(r[16], (IntPoint{0, 2750}));
  EXPECT_EQ(r[kLeadOutEnd], (IntPoint{0, 2750}));
}

TEST(Leads, ASmallHoleGetsAShortLeadOrNone) {
  struct Case {
    cInt side;
    bool lead, shortened;
  };
  for (const Case c : {Case{3000, true, false}, Case{1200, true, true}, Case{200, false, false}}) {
    const TPath hole = Rectangle(0, 0, c.side, c.side);  // counter-clockwise: the lead lies inside
    LeadOptions o;
    o.leadIn = true;
    o.length = 1000;
    const LeadPlanResult plan = PlanLeads({hole}, o);
    const LeadRecord& r = plan.records[0];
    EXPECT_EQ(r[0] != (IntPoint{0, 0}), c.lead) << c.side;
    EXPECT_EQ(plan.shortened == 1, c.shortened) << c.side;
    if (!c.lead) {
      EXPECT_EQ(r[kLeadSegment].X, -1);
      EXPECT_EQ(AttachLeads({hole}, plan.records)[0], hole) << "cut from its first vertex";
    }
  }
}

TEST(Leads, StartInScrapAndCrossNoContour) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> holes(0, 4), size(1500, 6000);
  for (int round = 0; round < 15; ++round) {
    // Plates with holes side by side, 3 mm apart, so leads must pick their side.
    TPaths list;
    cInt x = 0;
    for (int plate = 0; plate < 4; ++plate) {
      const cInt w = size(rng), h = size(rng);
      list.push_back(Rectangle(x, 0, w, h));
      const int n = holes(rng);
      const double r = std::min<double>(double(w) / (2 * (n + 1)), double(h) / 3) - 20;
      for (int i = 0; i < n; ++i) list.push_back(Circle(double(x + w * (i + 1) / (n + 1)), double(h) / 2, r, 60));
      x += w + 300;
    }
    for (const bool outside : {true, false}) {
      TPaths processed = list;
      const Nesting nesting = NestProcessedList(processed, false);
      const std::vector<PartContours> parts = GroupParts(processed, nesting, outside);
      LeadOptions o;
      o.leadIn = o.leadOut = true;
      o.length = 1000;
      const LeadPlanResult plan = PlanLeads(processed, o);
      const TPaths final = AttachLeads(processed, plan.records);
      for (std::size_t c = 0; c < processed.size(); ++c) {
        const LeadRecord& r = plan.records[c];
        if (r[kLeadSegment].X < 0 || r[0].X == 0 || r[0].Y == 0) continue;
        const bool hole = nesting.records[c].depth % 2 == 1;
        const int side = ClipperLib::PointInPolygon(r[0], processed[c]);
        // Scrap: outside a plate and inside a hole when cutting outside.
        EXPECT_EQ(side == 1, hole == outside) << "round " << round << " contour " << c;
        for (std::size_t other = 0; other < processed.size(); ++other) {
          if (other == c) continue;
          for (std::size_t a = 1; a <= kLeadAttach; ++a)
            for (std::size_t b = 1; b < processed[other].size(); ++b)
              ASSERT_FALSE(SegmentsCross(final[c][a - 1], final[c][a], processed[other][b - 1], processed[other][b]))
                  << "round " << round << " lead of " << c << " crosses " << other;
        }
      }
    }
  }
}

// Whether segments AB and CD share a point, touching included (exact).
bool Meet(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d) {
  const auto side = [](const IntPoint& p, const IntPoint& q, const IntPoint& r) {
    const WideInt v = WideInt{q.X - p.X} * (r.Y - p.Y) - WideInt{q.Y - p.Y} * (r.X - p.X);
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
  };
  const auto on = [](const IntPoint& p, const IntPoint& q, const IntPoint& r) {
    return std::min(p.X, q.X) <= r.X && r.X <= std::max(p.X, q.X) && std::min(p.Y, q.Y) <= r.Y &&
           r.Y <= std::max(p.Y, q.Y);
  };
  const int abc = side(a, b, c), abd = side(a, b, d), cda = side(c, d, a), cdb = side(c, d, b);
  if (abc * abd < 0 && cda * cdb < 0) return true;
  return (abc == 0 && on(a, b, c)) || (abd == 0 && on(a, b, d)) || (cda == 0 && on(c, d, a)) ||
         (cdb == 0 && on(c, d, b));
}

// Leads checked on the polyline that is cut, against the contours as they are
// cut: the hole (-20..40 mm x 0..40 mm, cut outside, its first segment along
// the bottom with M at (10, 0) mm) would take its lead on that first segment;
// each case puts something there the coarse test let through.
TEST(Leads, TheDrawnLeadMeetsNothingButItsOwnContourAtMAndPiercesInScrap) {
  const TPath hole = Rectangle(-2000, 0, 6000, 4000);
  LeadOptions o;
  o.leadIn = true;
  o.length = 1000;
  const LeadRecord first = PlanLead({hole}, 0, o);
  ASSERT_EQ(first[kLeadSegment].X, 0);
  const IntPoint v5 = first[5], v6 = first[6];
  struct Case {
    const char* name;
    TPaths list;  // [0] the hole whose lead is planned
  };
  const std::vector<Case> cases = {
      // A spike 0.2 mm high under the arc's last chord: the coarse polyline
      // passes above it, the drawn arc runs through it.
      {"spike in the own contour",
       {{{900, 0}, {1100, 0}, {4000, 0}, {4000, 4000}, {-2000, 4000}, {-2000, 0}, {840, 0}, {870, 20}, {900, 0}}}},
      // An open cut line across the arc, through one of the arc's vertices.
      {"open line through a lead vertex", {hole, {{v6.X - 200, v6.Y}, v6, {v6.X + 200, v6.Y}}}},
      // A part in the hole (clockwise, cut outside) holding the pierce point,
      // left by the lead through one of its corners only.
      {"pierce inside an island", {hole, {v5, {-200, 300}, {-200, 1800}, {2000, 1800}, v5}}},
  };
  for (const Case& c : cases) {
    const LeadRecord r = PlanLead(c.list, 0, o);
    ASSERT_GE(r[kLeadSegment].X, 0) << c.name << ": another segment has room";
    const std::size_t attach = static_cast<std::size_t>(r[kLeadSegment].X);
    const TPath& own = c.list[0];
    for (std::size_t a = 1; a <= kLeadAttach; ++a) {
      for (std::size_t b = 1; b < own.size(); ++b) {
        if (a == kLeadAttach && b - 1 == attach) continue;
        EXPECT_FALSE(Meet(r[a - 1], r[a], own[b - 1], own[b])) << c.name << ": lead slot " << a << " own " << b;
      }
      for (std::size_t other = 1; other < c.list.size(); ++other) {
        for (std::size_t b = 1; b < c.list[other].size(); ++b)
          EXPECT_FALSE(Meet(r[a - 1], r[a], c.list[other][b - 1], c.list[other][b]))
              << c.name << ": lead slot " << a << " meets contour " << other;
      }
    }
    for (std::size_t other = 1; other < c.list.size(); ++other) {
      if (!IsClosedPath(c.list[other])) continue;
      EXPECT_EQ(ClipperLib::PointInPolygon(r[0], c.list[other]), 0) << c.name << ": pierce inside a part";
    }
  }
}

}  // namespace
}  // namespace corvane
