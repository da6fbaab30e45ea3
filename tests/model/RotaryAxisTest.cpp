#include <gtest/gtest.h>

#include <algorithm>

#include "model/RotaryAxis.h"

namespace corvane {
namespace {

constexpr std::int32_t kARev = 36000;

TubeGeometry Profile(std::int32_t w, std::int32_t h, std::int32_t r) {
  TubeGeometry t;
  t.pipe = false;
  t.width = w, t.height = h, t.radius = r;
  return LimitTube(t);
}

TEST(ProfileTable, A60By40TubeWithR3) {
  const TubeGeometry tube = Profile(6000, 4000, 300);
  const ProfileTable table = BuildProfileTable(tube.width, tube.height, tube.radius, kARev);
  ASSERT_EQ(table.entries.size(), 20000u);
  EXPECT_EQ(table.entries[0].h, 0);
  EXPECT_EQ(table.entries[0].z, 2000);
  EXPECT_EQ(table.entries[0].a, 0);
  // The middle of the right face comes to the top after a quarter turn.
  const ProfileEntry& right = table.entries[3000 + 2000];
  EXPECT_EQ(right.a, kARev / 4);
  EXPECT_EQ(right.h, 0);
  EXPECT_EQ(right.z, 3000);
  // The bottom face after half a turn, the left face a quarter turn the other way.
  EXPECT_EQ(table.entries[3000 + 4000 + 3000].a, kARev / 2);
  EXPECT_EQ(table.entries[3000 + 4000 + 6000 + 2000].a, -kARev / 4);
  // A corner turned to the top stands higher than either face, lower than the sharp corner would.
  EXPECT_GT(table.maxHeight, 3000);
  EXPECT_LT(table.maxHeight, 3606);
  EXPECT_EQ(table.outline.size(), 100u);
}

TEST(ProfileTable, LimitsOfTheSetUp) {
  const TubeGeometry small = Profile(400, 3000, 2000);
  EXPECT_EQ(small.width, 500) << "at least 5 mm";
  EXPECT_EQ(small.radius, 250) << "at most half the smaller side";
  EXPECT_EQ(Profile(6000, 8000, 10).radius, 50);
  EXPECT_EQ(Profile(6000, 8000, 300).diameter, 10000) << "the diagonal";
  TubeGeometry pipe;
  pipe.diameter = 10000;
  EXPECT_EQ(TubePerimeter(pipe), 31416);
}

TEST(RotaryMapping, WholeRevolutionsBeyondOnePerimeter) {
  const TubeGeometry tube = Profile(6000, 4000, 300);
  const ProfileTable table = BuildProfileTable(tube.width, tube.height, tube.radius, kARev);
  const RotaryMapping map(tube, table, kARev, 0, 0);
  const std::int64_t p = table.perimeter;
  // The end of a revolution (where the top-left corner meets the top face)
  // and its neighbours are in the list, and so is a project origin: job
  // position x with origin o is the tube's position x + o.
  const std::int64_t seam = p - (tube.width / 2 - tube.radius);
  const RotaryMapping shifted(tube, table, kARev, 0, 700);
  for (const std::int64_t s : std::vector<std::int64_t>{0, 1234, 5000, 9999, 19999, seam - 1, seam, seam + 1}) {
    const std::int64_t a = map.AWithTurns(map.TableAt(s).a, s);
    for (const std::int64_t turns : {-2LL, -1LL, 1LL, 3LL})
      EXPECT_EQ(map.AWithTurns(map.TableAt(s + turns * p).a, s + turns * p), a + turns * kARev) << s << " " << turns;
    EXPECT_EQ(shifted.AWithTurns(shifted.TableAt(s - 700).a, s - 700), a) << s;
    EXPECT_EQ(map.TableAt(s + 3 * p).h, map.TableAt(s).h);
  }
  EXPECT_EQ(map.QuarterIndex(kARev / 4 + 10), 1);
  EXPECT_EQ(map.QuarterIndex(-kARev / 2), -2);
}

// The inverse mapping gives back every entry's unrolled position, whole
// revolutions included.
TEST(RotaryMapping, UnrolledXInvertsTheTableForEveryEntry) {
  for (const TubeGeometry& tube : {Profile(6000, 4000, 300), Profile(5000, 5000, 635), Profile(10000, 2000, 100)}) {
    const ProfileTable table = BuildProfileTable(tube.width, tube.height, tube.radius, kARev);
    const RotaryMapping map(tube, table, kARev, 0, 0);
    for (const std::int64_t turn : {0LL, 1LL, -1LL}) {
      for (std::int64_t s = 0; s < table.perimeter; ++s) {
        const std::int64_t x = s + turn * table.perimeter;
        const ProfileEntry& e = map.TableAt(x);
        const std::int64_t a = map.AWithTurns(e.a, x);
        ASSERT_NEAR(static_cast<double>(map.UnrolledX(e.h, a, false)), static_cast<double>(x), 1)
            << "W " << tube.width << " H " << tube.height << " R " << tube.radius << " s " << s << " turn " << turn;
      }
    }
  }
}

TEST(RotaryMapping, APipeUnrollsThroughAWhenMixed) {
  TubeGeometry pipe;
  pipe.diameter = 10000;
  const ProfileTable none;
  const double stepsPerUnit = kARev / (10000 * 3.14159265358979);
  const RotaryMapping map(pipe, none, kARev, stepsPerUnit, 100);
  EXPECT_EQ(map.UnrolledX(5000, kARev / 2, false), 4900);
  EXPECT_NEAR(static_cast<double>(map.UnrolledX(5000, kARev / 2, true)), 15708 - 100, 1);
  EXPECT_EQ(map.Wrap(kARev + 5), 5);
}

TEST(RotaryMapping, DensifyPutsAVertexAtEveryChangeOfFace) {
  const TubeGeometry tube = Profile(6000, 4000, 300);
  const ProfileTable table = BuildProfileTable(tube.width, tube.height, tube.radius, kARev);
  const RotaryMapping map(tube, table, kARev, 0, 0);
  // Once round the tube along a slant.
  const CNCpath contour{{0, 0}, {-500, 0}, {20500, 3000}};
  const CNCpath dense = map.Densify(contour);
  EXPECT_GT(dense.size(), 40u);
  // Every change of A along the line lies within 0.1 mm of a vertex.
  std::size_t at = 1;
  for (std::int32_t x = -500; x < 20500; ++x) {
    if (map.TableAt(x).a == map.TableAt(x + 1).a) continue;
    while (at + 1 < dense.size() && dense[at + 1].x <= x) ++at;
    const std::int32_t nearest = std::min(std::abs(dense[at].x - x), std::abs(dense[std::min(at + 1, dense.size() - 1)].x - x));
    ASSERT_LE(nearest, 11) << "change of face at " << x;
  }
  EXPECT_EQ(dense.back(), contour.back());
}

TEST(RotaryCut, TargetsLiftAndTheShortWayRound) {
  const TubeGeometry tube = Profile(6000, 4000, 300);
  const ProfileTable table = BuildProfileTable(tube.width, tube.height, tube.radius, kARev);
  const RotaryMapping map(tube, table, kARev, 0, 0);
  // The middle of the right face, one revolution on: a quarter turn plus one revolution.
  const RotaryTarget t = ProfileTarget(map, 5000 + table.perimeter, 1200, 300, 254);
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 1500);
  EXPECT_EQ(t.z, 3000 + 254);
  EXPECT_EQ(t.a, kARev / 4 + kARev);
  // On the quarter the tube stands at the lift clears that face; else the highest corner.
  EXPECT_EQ(ProfileLift(map, table, 5000, kARev / 4, 1270), 3000 + 1270);
  EXPECT_EQ(ProfileLift(map, table, 5000, 0, 1270), table.maxHeight + 1270);
  // Re-labelling never changes where the tube stands: label and target differ by less than half a turn.
  for (const std::int64_t last : {0LL, 30000LL, -20000LL, 100000LL})
    for (const std::int64_t target : {0LL, 17000LL, 19000LL, -19000LL, 72000LL}) {
      const std::int64_t label = ShortenRotation(last, target, kARev).value_or(last);
      EXPECT_EQ(((label - last) % kARev + kARev) % kARev, 0) << "a whole revolution: the same physical A";
      EXPECT_LE(std::abs(target - label), kARev / 2) << last << " -> " << target << ": the short way";
    }
}

TEST(RotaryJog, ToTheNextOrPreviousEighth) {
  struct Case {
    std::int64_t a;
    bool up;
    std::int64_t target;
  };
  // An eighth of 36 000 steps is 4 500.
  for (const Case c : {Case{0, true, 4500}, Case{4450, true, 9000}, Case{4300, true, 4500}, Case{-3000, true, 0},
                       Case{0, false, -4500}, Case{4600, false, 0}, Case{9000, false, 4500}, Case{-4500, false, -9000}})
    EXPECT_EQ(NextEighth(c.a, kARev, c.up), c.target) << c.a << (c.up ? " up" : " down");
}

TEST(RotaryPlacement, CorrectsTheAxisInsteadOfTheOrigin) {
  struct Case {
    PlacementButton button;
    bool reversed;
    const char* log;
    std::int32_t change, machineX;
  };
  // Machine X 10 000, a 60 mm wide tube, the laser 5 mm right of the torch.
  for (const Case& c : {Case{PlacementButton::LeftTop, false, "Rotary Axis correction XY--", 13000, -3500},
                        Case{PlacementButton::Left, true, "Rotary Axis correction X-", -13000, -3500},
                        Case{PlacementButton::RightBottom, false, "Rotary Axis correction XY+", 7000, 2500},
                        Case{PlacementButton::Right, true, "Rotary Axis correction X+", -7000, 2500},
                        Case{PlacementButton::Centre, false, "Rotary Axis correction X0", 10000, -500}}) {
    const auto p = RotaryPlacementFor(c.button, 10000, 6000, 500, c.reversed);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->logLine, c.log);
    EXPECT_EQ(p->referenceOffsetChange, c.change) << c.log;
    EXPECT_EQ(p->machineX, c.machineX) << c.log;
  }
  EXPECT_FALSE(RotaryPlacementFor(PlacementButton::Top, 10000, 6000, 500, false)) << "Y only";
}

TEST(RotaryGuides, FacesAndCornersRepeatEveryHalfPerimeter) {
  const std::vector<GuidePosition> lines = GuideLines(Profile(6000, 4000, 300), 0, 10000);
  auto has = [&](std::int64_t x, GuideLine kind) {
    return std::any_of(lines.begin(), lines.end(), [&](const GuidePosition& g) { return g.x == x && g.kind == kind; });
  };
  EXPECT_TRUE(has(0, GuideLine::Origin));
  EXPECT_TRUE(has(5000, GuideLine::Face));
  EXPECT_TRUE(has(10000, GuideLine::Face));
  EXPECT_TRUE(has(3000, GuideLine::Corner));
  EXPECT_TRUE(has(7000, GuideLine::Corner));
  EXPECT_TRUE(has(2700, GuideLine::CornerRadius));
  EXPECT_TRUE(has(13000, GuideLine::Corner)) << "repeated every W + H";
}

// A job centred on the top face begins at −W/2: the corner it begins at is
// drawn too; a job from 0 gets nothing left of its origin.
TEST(RotaryGuideLinePositions, ReachBackToAJobLeftOfTheOrigin) {
  const TubeGeometry tube = LimitTube({false, 0, 6000, 4000, 300});
  const auto has = [](const std::vector<GuidePosition>& lines, std::int64_t x, GuideLine kind) {
    return std::any_of(lines.begin(), lines.end(), [&](const GuidePosition& g) { return g.x == x && g.kind == kind; });
  };
  const auto centred = GuideLines(tube, 0, 5000, -3000);
  EXPECT_TRUE(has(centred, -3000, GuideLine::Corner));
  EXPECT_TRUE(has(centred, -3300, GuideLine::CornerRadius));
  EXPECT_TRUE(has(centred, -5000, GuideLine::Face));
  EXPECT_TRUE(has(centred, 0, GuideLine::Origin));
  const auto fromZero = GuideLines(tube, 0, 5000);
  EXPECT_TRUE(std::none_of(fromZero.begin(), fromZero.end(), [](const GuidePosition& g) { return g.x < 0; }));
}

}  // namespace
}  // namespace corvane
