// Cutting plans run on the virtual board: whatever the contour and the machine, the
// controller, ramping one level per ramp period, must be able to follow the plan into
// every corner and to the end of the contour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "model/Geometry.h"
#include "model/MoveSpeeds.h"
#include "model/PlanCut.h"
#include "sim/Board.h"
#include "wire/Commands.h"

namespace corvane::sim {
namespace {

using wire::ControllerRequest;
namespace cmd = wire::cmd;

// A machine: its axes and the planner settings of one cut.
struct Table {
  AxisScales scales;
  SpeedTables speeds;
  PlannerSettings settings;
  PlanContext context() const { return {settings, scales, speeds, nullptr}; }
};

// Steps per revolution by microstep index, and mm per revolution, of X and Y.
Table MakeTable(int stepIndexX, double moveX, int stepIndexY, double moveY) {
  AxisScaleInputs in;
  in.stepIndexX = stepIndexX;
  in.stepIndexY = stepIndexY;
  in.moveX = moveX;
  in.moveY = moveY;
  Table t;
  t.scales = ComputeAxisScales(in);
  t.speeds = BuildSpeedTables(t.scales);
  return t;
}

ControllerRequest Request(std::uint8_t code, std::int32_t p0, std::int32_t p1, std::int32_t p4) {
  ControllerRequest r;
  r.command = code;
  r.p = {p0, p1, 0, 0, p4};
  return r;
}

std::int32_t ToSteps(std::int32_t hundredths, double scale) {
  return static_cast<std::int32_t>(std::lround(hundredths * scale));
}

// What the cutting process sends for a plan once the torch is lit: the ramp, the start
// level of the first line, then one line per planned record at its speed's level.
std::vector<ControllerRequest> CuttingCommands(const CNCpath2& plan, const Table& t,
                                               std::int32_t accel, std::int32_t fmin) {
  std::vector<ControllerRequest> out{Request(cmd::kRamp, 0, 0, accel)};
  AxisPosition at{plan[0].x, plan[0].y, 0, 0};
  const PlannedRecord& first = plan[1];
  const std::int32_t start = std::min(first.speed, fmin);
  out.push_back(
      Request(cmd::kStartLevel, 0, 0, MoveLevel(at, first.x, first.y, start, t.scales, t.speeds)));
  for (std::size_t i = 1; i < plan.size(); ++i) {
    const PlannedRecord& r = plan[i];
    out.push_back(Request(cmd::kXyLine, ToSteps(r.x, t.scales.SX), ToSteps(r.y, t.scales.SY),
                          MoveLevel(at, r.x, r.y, r.speed, t.scales, t.speeds)));
    at = {r.x, r.y, 0, 0};
  }
  return out;
}

// A table without limit switches in the way of the contours.
MachineLayout OpenTable() {
  MachineLayout layout;
  layout.homeMin = {-1000000000, -1000000000, 0, 0};
  layout.limitMax = {1000000000, 1000000000, 16000, 0};
  return layout;
}

// Runs the plan's commands on a board from the plan's start and returns the lines as run.
std::vector<ExecutedEntry> RunOnBoard(const CNCpath2& plan, const Table& t, std::int32_t fmin) {
  Board board(OpenTable());
  board.recordExecuted(true);
  board.execute(Request(cmd::kSetPosition, ToSteps(plan[0].x, t.scales.SX),
                        ToSteps(plan[0].y, t.scales.SY), 0));
  for (const auto& c : CuttingCommands(plan, t, t.settings.accelXY, fmin))
    EXPECT_EQ(board.execute(c).error, 0) << "command " << int(c.command) << " refused";
  for (int i = 0; i < 100000 && board.queueFill() > 0; ++i)
    board.advanceTo(board.nowMicros() + 1000000);
  EXPECT_EQ(board.queueFill(), 0);
  std::vector<ExecutedEntry> lines;
  for (const auto& e : board.executed())
    if (e.request.command == cmd::kXyLine) lines.push_back(e);
  return lines;
}

// The contour's vertices that turn the path by more than 2°.
std::vector<ContourPoint> Corners(const CNCpath& c) {
  std::vector<ContourPoint> corners;
  for (std::size_t k = 2; k + 1 < c.size(); ++k) {
    if (c[k - 1] == c[k] || c[k] == c[k + 1]) continue;
    if (TurnAngle(Heading(c[k - 1], c[k]), Heading(c[k], c[k + 1])) > 2 * M_PI / 180)
      corners.push_back(c[k]);
  }
  return corners;
}

// Plans the contour, runs it on the board and checks that every line ending at a
// corner or at the end arrives at most one level above the level it was sent with.
void ExpectFollowable(const CNCpath& contour, std::int32_t requested, const Table& t,
                      const std::string& what) {
  SCOPED_TRACE(what);
  std::int32_t lastRamp = t.settings.accelXY;
  const PlanResult r = PlanCut(contour, requested, t.context(), PlanStart{}, lastRamp);
  ASSERT_GE(r.path.size(), 2u);
  const std::int32_t fmin =
      std::min(t.settings.feedMinXY, std::min(requested, t.settings.feedMaxXY));
  const std::vector<ExecutedEntry> lines = RunOnBoard(r.path, t, fmin);
  ASSERT_EQ(lines.size() + 1, r.path.size());
  const std::vector<ContourPoint> corners = Corners(contour);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const PlannedRecord& end = r.path[k + 1];
    const bool atCorner =
        k + 2 == r.path.size() ||
        std::find(corners.begin(), corners.end(), ContourPoint{end.x, end.y}) != corners.end();
    EXPECT_TRUE(lines[k].completed) << "line " << k;
    if (!atCorner) continue;
    EXPECT_LE(lines[k].levelAtEnd, lines[k].targetLevel + 1)
        << "line " << k + 1 << " of " << lines.size() << " to (" << end.x << ", " << end.y
        << ") planned at " << end.speed << " mm/min, started at level " << lines[k].levelAtStart;
  }
}

CNCpath Open(std::initializer_list<ContourPoint> vertices) {
  CNCpath c{{kKindCut, 0}};
  c.insert(c.end(), vertices);
  return c;
}

// Runs of collinear segments joined by corners of any angle.
CNCpath RandomPolyline(std::mt19937& rng) {
  std::uniform_int_distribution<int> runs(1, 12), repeat(1, 3), step(-4000, 4000);
  CNCpath c{{kKindCut, 0}, {0, 0}};
  ContourPoint p{0, 0};
  for (int r = runs(rng); r > 0; --r) {
    ContourPoint d{step(rng), step(rng)};
    if (std::abs(d.x) + std::abs(d.y) < 40) d.x += 100;
    for (int t = repeat(rng); t > 0; --t) {
      p = {p.x + d.x, p.y + d.y};
      c.push_back(p);
    }
  }
  return c;
}

// A flattened arc of random radius and chord, then a sharp turn and a short leg.
CNCpath RandomArc(std::mt19937& rng) {
  std::uniform_real_distribution<double> radius(300, 20000), chord(20, 800), sweep(0.3, 6),
      start(0, 2 * M_PI);
  const double r = radius(rng), a0 = start(rng);
  const int n = std::clamp(static_cast<int>(sweep(rng) * r / chord(rng)), 2, 300);
  const double da = sweep(rng) / n;
  CNCpath c{{kKindCut, 0}};
  for (int i = 0; i <= n; ++i)
    c.push_back({static_cast<std::int32_t>(std::lround(r * std::cos(a0 + i * da))),
                 static_cast<std::int32_t>(std::lround(r * std::sin(a0 + i * da)))});
  const ContourPoint last = c.back();
  c.push_back({last.x + 150, last.y - 90});
  return c;
}

// Short legs at random sharp angles.
CNCpath Zigzag(std::mt19937& rng, int legs, double minLeg, double maxLeg) {
  std::uniform_real_distribution<double> leg(minLeg, maxLeg), turn(0.35, 3.0);
  CNCpath c{{kKindCut, 0}, {0, 0}};
  double x = 0, y = 0, heading = 0;
  for (int i = 0; i < legs; ++i) {
    heading += (i % 2 ? 1 : -1) * turn(rng);
    const double l = leg(rng);
    x += l * std::cos(heading);
    y += l * std::sin(heading);
    c.push_back(
        {static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y))});
  }
  return c;
}

TEST(PlanFollow, RandomContoursOnRandomMachines) {
  std::mt19937 rng(20261211);
  std::uniform_int_distribution<int> stepIndex(0, 3), feed(300, 15000), minFeed(50, 3000),
      accel(1, 250), antiDive(0, 3000), shape(0, 2);
  std::uniform_real_distribution<double> lead(5, 20);
  for (int trial = 0; trial < 1000; ++trial) {
    Table t = MakeTable(stepIndex(rng), lead(rng), stepIndex(rng), lead(rng));
    t.settings.feedMaxXY = 20000;
    t.settings.feedMinXY = minFeed(rng);
    t.settings.accelXY = accel(rng);
    t.settings.antiDive = antiDive(rng);
    const std::int32_t requested = feed(rng);
    const int kind = shape(rng);
    const CNCpath c = kind == 0   ? RandomPolyline(rng)
                      : kind == 1 ? RandomArc(rng)
                                  : Zigzag(rng, 30, 20, 2000);
    ExpectFollowable(c, requested, t,
                     "trial " + std::to_string(trial) + ": S " + std::to_string(t.scales.SX) +
                         " / " + std::to_string(t.scales.SY) + ", F " + std::to_string(requested) +
                         ", Fmin " + std::to_string(t.settings.feedMinXY) + ", ramp " +
                         std::to_string(t.settings.accelXY));
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(PlanFollow, AdversarialContours) {
  std::mt19937 rng(7);
  const CNCpath reversal = Open({{0, 0}, {60000, 0}, {59000, 300}, {0, 600}});
  const CNCpath shortReversal = Open({{0, 0}, {2500, 0}, {2400, 40}, {2400, 4000}});
  const CNCpath zigzag = Zigzag(rng, 400, 30, 300);
  const CNCpath diagonals = [] {  // 45° turns: the leading axis' share changes at every vertex
    CNCpath c{{kKindCut, 0}, {0, 0}};
    for (int i = 1; i <= 40; ++i) c.push_back({i * 300, (i % 2) * 300});
    return c;
  }();
  const CNCpath straight = Open({{0, 0}, {3385, 0}});
  struct Machine {
    const char* name;
    int stepsX;
    double leadX;
    int stepsY;
    double leadY;
  } machines[] = {{"1.6 steps/0.01 mm", 2, 10, 2, 10},
                  {"Y twice as fine", 2, 10, 3, 10},
                  {"coarse X", 0, 20, 2, 5}};
  struct Cut {
    std::int32_t feed, feedMin, ramp;
  } cuts[] = {{4000, 500, 60}, {15000, 300, 250}, {2000, 1500, 5}, {9000, 50, 120}};
  const std::pair<const char*, const CNCpath*> contours[] = {
      {"long straight into a reversal", &reversal},
      {"short straight into a reversal", &shortReversal},
      {"short zigzags", &zigzag},
      {"45° turns", &diagonals},
      {"33.85 mm straight", &straight}};
  for (const auto& m : machines) {
    for (const auto& cut : cuts) {
      Table t = MakeTable(m.stepsX, m.leadX, m.stepsY, m.leadY);
      t.settings.feedMaxXY = 20000;
      t.settings.feedMinXY = cut.feedMin;
      t.settings.accelXY = cut.ramp;
      t.settings.antiDive = 0;
      for (const auto& [name, contour] : contours)
        ExpectFollowable(*contour, cut.feed, t,
                         std::string(name) + " on " + m.name + " at F " + std::to_string(cut.feed) +
                             ", Fmin " + std::to_string(cut.feedMin) + ", ramp " +
                             std::to_string(cut.ramp));
    }
  }
}

}  // namespace
}  // namespace corvane::sim
