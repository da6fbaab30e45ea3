#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "machine/Moves.h"
#include "model/MoveSpeeds.h"
#include "store/FieldValues.h"
#include "support/BoardFixture.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kConfig = Window::Configuration;

// Motor steps the board covers while its level walks down from `high` to
// `low`: one level per ramp × 100 µs, level k stepping at 7.2 MHz / (D[k] + 1).
double BrakeSteps(int high, int low, std::int32_t ramp) {
  double steps = 0;
  for (int k = low + 1; k <= high; ++k) steps += 7200000.0 / (Dividers()[std::size_t(k)] + 1) * ramp * 100e-6;
  return steps;
}

struct MovesTest : BoardFixture, ::testing::Test {
  MovesTest() {
    system->fields.setText(kConfig, "eAccXY", "20");
    system->fields.setText(kConfig, "eAccZ", "20");
    system->fields.setText(kConfig, "xFeedMinXY", "762");
    system->fields.setText(kConfig, "xFeedMinZ", "508");
    system->fields.setText(kConfig, "xFeedMaxZ", "2540");
    commands.ui.resetMotionState = [this] { moves.ResetMotionState(); };
    system->Busy = false;
  }
  // Connected, with the board and the program agreeing on where the tool is.
  void Connect() {
    OpenLink();
    commands.SetPosition(0, 0, kZ0, 0);
    system->StopRequested = false;
    RecordStream();
  }
  // Waits for the board to finish, as the program does.
  void Drain() { commands.WaitIdle(); }
  std::vector<sim::ExecutedEntry> executedMoves() const {
    std::vector<sim::ExecutedEntry> out;
    for (const auto& e : board.board().executed())
      if (e.request.command == cmd::kXyLine || e.request.command == cmd::kZMove ||
          e.request.command == cmd::kXyzaMove || e.request.command == cmd::kZAboveMaterial)
        out.push_back(e);
    return out;
  }
  int levelX(std::int32_t speed) const { return SpeedLevel(speed, system->speeds.X); }
  int levelZ(std::int32_t speed) const { return SpeedLevel(speed, system->speeds.Z); }

  static constexpr std::int32_t kZ0 = 2000;  // the board's Z at start, in 0.01 mm
  Moves moves{*system, link, commands};
};

TEST_F(MovesTest, ARampedXyMoveBrakesWhereTheBoardStillReachesTheSafetySpeed) {
  Connect();
  const std::size_t before = tap.written.size();
  moves.MoveXY(10000, 0, 2540, true);
  const auto all = tap.requests();
  const std::vector<wire::ControllerRequest> sent(all.begin() + long(before), all.end());
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].command, cmd::kRamp);
  EXPECT_EQ(sent[0].p[4], 20);
  EXPECT_EQ(sent[1].command, cmd::kStartLevel);
  EXPECT_EQ(sent[1].p[4], levelX(762));
  EXPECT_EQ(sent[2].command, cmd::kXyLine);
  EXPECT_EQ(sent[3].command, cmd::kXyLine);
  EXPECT_EQ(sent[3].p[0], 16000);
  EXPECT_EQ(sent[3].p[4], levelX(762));

  // The first command runs at the full level (100 mm is long enough) and
  // ends where braking from it to the safety level still fits.
  const int peak = sent[2].p[4];
  EXPECT_EQ(peak, levelX(2540));
  const double brake = BrakeSteps(peak, levelX(762), 20);
  EXPECT_GE(16000 - sent[2].p[0], brake) << "braking starts too late";
  EXPECT_LE(16000 - sent[2].p[0], brake + 2 * 7200000.0 / (Dividers()[std::size_t(peak)] + 1) * 20e-4 + 2)
      << "braking starts needlessly early";

  Drain();
  const auto run = executedMoves();
  ASSERT_EQ(run.size(), 2u);
  EXPECT_TRUE(run[1].completed);
  EXPECT_EQ(run[1].to[0], 16000);
  EXPECT_LE(run[1].levelAtEnd, levelX(762) + 1) << "the board arrives faster than the safety speed";
  EXPECT_EQ(system->job.LastCommanded.x, 10000);
  EXPECT_TRUE(StreamFaults().empty()) << DescribeStream(stream);
}

// Every ramped move, short or long, at any ramp and on axes of unequal
// scales, must reach its stop no faster than the safety level it was sized
// for: the board brakes only where the program split the move, and walks down
// one level per ramp period however few levels are left. Each case goes out
// and back, so the tool never leaves the table.
TEST_F(MovesTest, RampedMovesArriveAtTheirStopNoFasterThanTheSafetyLevel) {
  enum class Kind { XY, FourAxis, Z };
  struct Scales {
    const char* what;
    double moveX, moveY;
  };
  const Scales scales[] = {
      {"equal", 5.0, 5.0}, {"Y twice as fine", 5.0, 2.5}, {"X twice as fine", 2.5, 5.0}};
  const std::int32_t ramps[] = {5, 20, 60};
  const std::int32_t lengths[] = {13, 40, 150, 600, 2500, 20000};  // 0.01 mm
  const std::pair<int, int> directions[] = {{1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 3}};
  // Long enough to reach the full speed at every ramp.
  constexpr std::int32_t kLong = 20000, kLongZ = 1500;
  system->fields.setText(kConfig, "xFeedMaxXY", "6000");
  Connect();
  std::vector<std::string> faults;
  int checkedMoves = 0;
  // Runs one move and judges its last command as the board carried it out.
  const auto check = [&](Kind kind, const std::string& what, std::int32_t x, std::int32_t y,
                         std::int32_t z, bool isLong) {
    board.board().clearExecuted();
    if (kind == Kind::XY) moves.MoveXY(x, y, 6000, true);
    if (kind == Kind::FourAxis) moves.MoveXYZA(x, y, z, true, 6000, 0);
    if (kind == Kind::Z) moves.MoveZ(z, 2540);
    Drain();
    const auto run = executedMoves();
    ++checkedMoves;
    if (run.empty()) return faults.push_back(what + ": nothing ran");
    const sim::ExecutedEntry& last = run.back();
    const auto& sc = system->scales;
    const sim::Steps4 target{MachineCommands::ToSteps(x, sc.SX), MachineCommands::ToSteps(y, sc.SY),
                             MachineCommands::ToSteps(z, sc.SZ), 0};
    if (!last.completed || last.to != target)
      faults.push_back(what + ": did not end on its target");
    if (last.levelAtEnd > last.targetLevel)
      faults.push_back(what + ": arrived at level " + std::to_string(last.levelAtEnd) +
                       ", sized for " + std::to_string(last.targetLevel));
    // Braking safely by never speeding up would pass the rule above.
    const bool fullSpeed = run.size() == 2 && run[0].levelAtEnd == run[0].targetLevel &&
                           run[0].targetLevel > last.targetLevel;
    if (isLong && !fullSpeed) faults.push_back(what + ": a long move never ran at its speed");
  };
  for (const Scales& s : scales) {
    AxisScaleInputs in;
    in.moveX = s.moveX;
    in.moveY = s.moveY;
    in.moveZ = 2.0;
    in.pipeDiameter = 10000;
    system->scales = ComputeAxisScales(in);
    system->speeds = BuildSpeedTables(system->scales);
    commands.SetPosition(0, 0, kZ0, 0);
    for (const std::int32_t ramp : ramps) {
      system->fields.setText(kConfig, "eAccXY", std::to_string(ramp));
      system->fields.setText(kConfig, "eAccZ", std::to_string(ramp));
      for (const std::int32_t length : lengths) {
        for (const auto& [dx, dy] : directions) {
          const double norm = std::hypot(dx, dy);
          const auto x = static_cast<std::int32_t>(std::lround(length * dx / norm));
          const auto y = static_cast<std::int32_t>(std::lround(length * dy / norm));
          for (const Kind kind : {Kind::XY, Kind::FourAxis}) {
            const std::string what = std::string(kind == Kind::XY ? "XY" : "XYZA") + " " + s.what +
                                     ", ramp " + std::to_string(ramp) + ", " + std::to_string(x) +
                                     "," + std::to_string(y);
            check(kind, what + " out", x, y, kZ0, length >= kLong);
            check(kind, what + " back", 0, 0, kZ0, length >= kLong);
          }
        }
        if (length > 1500) continue;  // Z has 16 mm of travel above the material
        const std::string what =
            std::string("Z ramp ") + std::to_string(ramp) + ", " + std::to_string(length);
        check(Kind::Z, what + " up", 0, 0, kZ0 + length, length >= kLongZ);
        check(Kind::Z, what + " down", 0, 0, kZ0, length >= kLongZ);
      }
    }
  }
  EXPECT_GT(checkedMoves, 500);
  std::string listed;
  for (const std::string& f : faults) listed += f + "\n";
  EXPECT_TRUE(faults.empty()) << faults.size() << " of " << checkedMoves << " moves:\n" << listed;
}

TEST_F(MovesTest, SlowAndUnrampedMovesGoOutAsOneCommand) {
  Connect();
  struct Case {
    std::int32_t speed;
    bool ramped;
    std::vector<std::uint8_t> commands;
  };
  commands.LastRamp = 20;
  const Case cases[] = {
      {700, true, {cmd::kRamp, cmd::kStartLevel, cmd::kXyLine}},  // not above the safety speed
      {2540, false, {cmd::kXyLine}},                               // unramped, ramp unchanged
  };
  std::int32_t x = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    const std::size_t before = tap.written.size();
    x += 1000;
    moves.MoveXY(x, 0, c.speed, c.ramped);
    std::vector<std::uint8_t> codes;
    for (std::size_t i = before; i < tap.written.size(); ++i) codes.push_back(tap.written[i][20]);
    EXPECT_EQ(codes, c.commands);
    EXPECT_EQ(tap.requests().back().p[4], MoveLevel({x - 1000, 0, kZ0, 0}, x, 0, c.speed, system->scales, system->speeds));
    EXPECT_EQ(system->job.LastCommanded.x, x);
  }
}

TEST_F(MovesTest, ThcSwitchesOnOnceStaysOnAndDropsForSlowOrFrozenMoves) {
  Connect();
  system->fields.setText(Window::Main, "eTHC", "on");
  moves.ThcSpeedThreshold = 1000;
  struct Step {
    std::int32_t speed;
    bool frozen;
    std::int32_t mode;
  };
  const Step steps[] = {{2000, false, 1}, {2000, false, 2}, {900, false, 0},
                        {2000, false, 1}, {2000, true, 0},  {2000, false, 1}};
  std::int32_t x = 0;
  for (const Step& s : steps) {
    moves.ThcFrozen = s.frozen;
    moves.MoveXY(x += 500, 0, s.speed, false);
    EXPECT_EQ(tap.requests().back().p[2], s.mode) << "speed " << s.speed;
  }
  system->fields.setText(Window::Main, "eTHC", "");
  moves.MoveXY(x += 500, 0, 2000, false);
  EXPECT_EQ(tap.requests().back().p[2], 0) << "THC button up";
}

TEST_F(MovesTest, ZMovesBrakeToTheSafetyLevelAndSkipTheCurrentHeight) {
  Connect();
  const std::size_t before = tap.written.size();
  moves.MoveZ(kZ0, 2540);
  EXPECT_EQ(tap.written.size(), before) << "a move to the current Z sends nothing";

  moves.MoveZ(kZ0 - 1500, 2540);
  const auto z = tap.requestsWithCommand(cmd::kZMove);
  ASSERT_EQ(z.size(), 2u);
  EXPECT_EQ(z[1].p[2], (kZ0 - 1500) * 4);
  EXPECT_EQ(z[1].p[4], levelZ(508));
  Drain();
  const auto run = executedMoves();
  ASSERT_EQ(run.size(), 2u);
  EXPECT_LE(run[1].levelAtEnd, levelZ(508) + 1);
  EXPECT_EQ(board.board().position()[2], (kZ0 - 1500) * 4);
  EXPECT_EQ(system->job.LastCommanded.z, kZ0 - 1500);
}

TEST_F(MovesTest, ZAboveTheSoftLimitStopsAtTheLimitUnlessJoggingUp) {
  Connect();
  system->fields.setChecked(kConfig, "cHoming", true);
  system->fields.setText(kConfig, "xLimitZ", "101.6");
  int jog = 0;
  moves.ui.jogDirection = [&jog] { return jog; };

  moves.MoveZ(10170, 2540);
  EXPECT_EQ(tap.requestsWithCommand(cmd::kZMove).back().p[2], 10160 * 4);
  EXPECT_TRUE(logged("Z over rang ( Soft Limit )"));
  EXPECT_EQ(host.errorLabel, "Z Soft Limit");
  EXPECT_TRUE(system->StopRequested);
  EXPECT_FALSE(tap.requestsWithCommand(cmd::kStop).empty());

  system->StopRequested = false;
  moves.MoveZ(10169, 2540);
  EXPECT_EQ(tap.requestsWithCommand(cmd::kZMove).back().p[2], 10169 * 4) << "within the slack";
  jog = kJogZPlus;
  moves.MoveZ(10500, 2540);
  EXPECT_EQ(tap.requestsWithCommand(cmd::kZMove).back().p[2], 10500 * 4) << "a Z+ jog is not held";
  EXPECT_FALSE(system->StopRequested);
}

TEST_F(MovesTest, HeightAboveTheSensedSurfaceUsesTheSurfaceCommandOnlyAfterSensing) {
  Connect();
  system->job.ProjectOriginZ = 500;
  moves.MoveZAboveMaterial(300);
  EXPECT_EQ(tap.requestsWithCommand(cmd::kZMove).back().p[2], 800 * 4) << "no sensor: plain Z move";
  EXPECT_TRUE(tap.requestsWithCommand(cmd::kZAboveMaterial).empty());

  system->fields.setChecked(kConfig, "cOhmic", true);
  moves.LastSenseDue = true;
  moves.LastContactOffset = 0;
  moves.MoveZAboveMaterial(1500);
  const auto above = tap.requestsWithCommand(cmd::kZAboveMaterial);
  ASSERT_EQ(above.size(), 2u);
  EXPECT_EQ(above[1].p[2], 1500 * 4);
  EXPECT_EQ(above[1].p[4], levelZ(508));
  EXPECT_LT(above[0].p[2], above[1].p[2]) << "braking point before the target when rising";
  EXPECT_EQ(moves.LastContactOffset, 1500);
  const std::size_t before = tap.written.size();
  moves.MoveZAboveMaterial(1505);
  EXPECT_EQ(tap.written.size(), before) << "within 0.09 mm of the current height";
}

TEST_F(MovesTest, FourAxisMovesAreLedByTheLongestAxisXFirst) {
  // Equal X and Y distances: X's speeds lead, while the braking is counted on
  // Y, whose finer scale makes it the axis the board paces the move by.
  AxisScaleInputs in;
  in.moveX = 5.0;
  in.moveY = 2.5;
  in.moveZ = 2.0;
  in.pipeDiameter = 10000;
  system->scales = ComputeAxisScales(in);
  system->speeds = BuildSpeedTables(system->scales);
  Connect();
  system->fields.setText(kConfig, "xFeedMaxXY", "5000");
  moves.MoveXYZA(10000, 10000, kZ0, true, 2540, 0);
  const auto xyza = tap.requestsWithCommand(cmd::kXyzaMove);
  ASSERT_EQ(xyza.size(), 2u);
  const int hi = levelX(2540), lo = levelX(762);
  const RampedSplit split =
      SplitRampedMove(32000, hi, lo, PlannerRamps(system->scales, system->speeds, 20, false));
  EXPECT_EQ(xyza[0].p[4], split.peak);
  EXPECT_GT(split.peak, lo);
  EXPECT_GE(split.brakeSteps, BrakeSteps(split.peak, lo, 20));
  EXPECT_EQ(xyza[0].p[1], 32000 - split.brakeSteps);
  EXPECT_EQ(xyza[0].p[0], (32000 - split.brakeSteps) / 2);
  EXPECT_EQ(xyza[1].p[4], lo);
  EXPECT_EQ(tap.requestsWithCommand(cmd::kMotionReset).size(), 2u) << "one from set-position, one from the move";
  Drain();
  EXPECT_EQ(board.board().position()[0], 16000) << DescribeStream(stream);
  EXPECT_EQ(board.board().position()[1], 32000);
  EXPECT_EQ(system->job.LastCommanded.y, 10000);
}

// Offline the tool marker travels the commanded speed: 4 units per step,
// round(speed / 40) steps per 60 ms tick, and the operator can stop it.
TEST_F(MovesTest, OfflineJogAdvancesFourUnitsPerStepEachTickAndStopsWhereItIs) {
  system->StopRequested = false;
  system->job.LastCommanded = system->job.MachinePosition = {0, 0, 0, 0};
  std::vector<std::pair<std::int64_t, std::int32_t>> ticks;
  std::vector<std::int32_t> speeds;
  commands.ui.showActualSpeed = [&speeds](std::int32_t s) { speeds.push_back(s); };
  host.onProcessEvents = [&] {
    ticks.emplace_back(clock.nowMicros(), system->job.MachinePosition.x);
    if (ticks.size() == 10) system->StopRequested = true;
  };
  moves.MoveXY(100000, 0, 2540, false);
  EXPECT_TRUE(ticks.empty()) << "the handler returns before the simulation runs";
  EXPECT_EQ(host.oneShotMillis, 10);
  ASSERT_TRUE(host.fireOneShot());

  ASSERT_EQ(ticks.size(), 10u);
  for (std::size_t i = 1; i < ticks.size(); ++i) {
    EXPECT_EQ(ticks[i].second - ticks[i - 1].second, 4 * 64);
    EXPECT_EQ(ticks[i].first - ticks[i - 1].first, 60000);
  }
  EXPECT_EQ(system->job.LastCommanded.x, ticks.back().second) << "stopped where it was";
  EXPECT_EQ(speeds.front(), 2540);
  EXPECT_EQ(speeds.back(), 0);
  EXPECT_EQ(moves.simulation.mode(), SimulatedMove::Idle);
}

TEST_F(MovesTest, OfflineMovesDuringAJobRunAtOnceAndEndOnTheTarget) {
  system->StopRequested = false;
  system->Busy = true;
  system->job.LastCommanded = system->job.MachinePosition = {0, 0, 0, 0};
  moves.MoveXY(1003, 501, 1200, true);
  EXPECT_FALSE(host.oneShot) << "no timer while busy";
  EXPECT_EQ(system->job.MachinePosition.x, 1003);
  EXPECT_EQ(system->job.LastCommanded.y, 501);
  const std::int64_t t0 = clock.nowMicros();
  moves.MoveZ(-250, 600);
  EXPECT_EQ(system->job.LastCommanded.z, -250);
  // 2.5 mm at 600 mm/min takes 250 ms: four whole ticks of 60 ms on the way.
  EXPECT_EQ(clock.nowMicros() - t0, 4 * 60000);
  moves.MoveXYZA(200, 300, 40, false, 1000, 7);
  EXPECT_EQ(system->job.MachinePosition.a, 7);
  EXPECT_EQ(system->job.LastCommanded.x, 200);
}

TEST_F(MovesTest, BacklashTestRunsBackAndForthUntilPressedAgain) {
  Connect();
  system->StopRequested = true;
  system->job.MachinePosition.x = 1000;
  system->fields.setText(kConfig, "xBacklash", "2.54");
  bool pressed = false;
  host.onProcessEvents = [&] {
    if (pressed || host.errorLabel != "Backlash X Test -2.54") return;
    pressed = true;
    moves.BacklashTest(BacklashAxis::X);  // the second press
  };
  moves.BacklashTest(BacklashAxis::X);
  const std::vector<std::string> labels{"Backlash X Test +2.54", "Backlash X Test",
                                        "Backlash X Test -2.54", "Backlash X Test", ""};
  EXPECT_EQ(host.errorLabels, labels);
  const auto lines = tap.requestsWithCommand(cmd::kXyLine);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].p[0], std::lround(1254 * 1.6));
  EXPECT_EQ(lines[1].p[0], 1600);
  EXPECT_EQ(lines[0].p[4], levelX(200));
  EXPECT_EQ(lines[0].p[2], 0) << "never with the height control";
  EXPECT_FALSE(tap.requestsWithCommand(cmd::kStop).empty());
}

}  // namespace
}  // namespace corvane::testing
