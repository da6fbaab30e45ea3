#include <gtest/gtest.h>

#include <cmath>

#include "machine/Jog.h"
#include "machine/Moves.h"
#include "model/SpeedTables.h"
#include "machine/JogRig.h"
#include "support/BoardFixture.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

TEST(JogTarget, StepsAndContinuousJogsWithAndWithoutSoftLimits) {
  const JogRoom none{};
  const JogRoom limits{true, 127000, 254000};
  const struct {
    const char* what;
    int direction;
    Point2 at;
    std::int32_t distance;
    JogRoom room;
    std::optional<Point2> target;
  } cases[] = {
      {"X- continuous at X 0 with limits", jog::kXMinus, {0, 500}, 0, limits, std::nullopt},
      {"X+ continuous runs to X max", jog::kXPlus, {0, 500}, 0, limits, Point2{127000, 500}},
      {"X+ continuous beyond X max stays", jog::kXPlus, {130000, 500}, 0, limits, Point2{130000, 500}},
      {"X- 10 mm step from 3 mm stops at 0", jog::kXMinus, {300, 500}, 1000, limits, Point2{0, 500}},
      {"Y+ step cut at Y max", jog::kYPlus, {0, 253500}, 1000, limits, Point2{0, 254000}},
      {"Y- continuous runs to 0", jog::kYMinus, {10, 9000}, 0, limits, Point2{10, 0}},
      {"X- step without limits goes below 0", jog::kXMinus, {300, 500}, 1000, none, Point2{-700, 500}},
      {"X- continuous without limits", jog::kXMinus, {300, 500}, 0, none, Point2{-1000000, 500}},
      {"Y+ continuous without limits", jog::kYPlus, {300, 500}, 0, none, Point2{300, 1000000}},
      {"diagonal step takes the smaller room", jog::kXMinusYPlus, {100, 500}, 1000, limits, Point2{0, 600}},
      {"diagonal step within the room", jog::kXPlusYMinus, {5000, 5000}, 1000, limits, Point2{6000, 4000}},
      {"diagonal continuous to the first limit", jog::kXPlusYPlus, {126000, 2000}, 0, limits, Point2{127000, 3000}},
      {"diagonal in a corner does nothing", jog::kXMinusYMinus, {0, 5000}, 0, limits, std::nullopt},
      {"diagonal continuous without limits", jog::kXPlusYMinus, {5, 5}, 0, none, Point2{1000000, -1000000}},
      {"no direction", jog::kNone, {5, 5}, 0, none, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto target = JogTarget(c.direction, c.at, c.distance, c.room);
    EXPECT_EQ(target.has_value(), c.target.has_value()) << c.what;
    if (target && c.target) {
      EXPECT_EQ(*target, *c.target) << c.what;
    }
  }
}

struct JogTest : JogRig, ::testing::Test {
  JogTest() {
    system->fields.setText(kConfig, "xFeedhXY", "2540");
    system->fields.setText(kConfig, "xFeedMaxXY", "10000");
    system->fields.setText(kConfig, "xFeedMinXY", "100");
    system->fields.setText(kConfig, "xLimitX", "300");
    system->fields.setText(kConfig, "xLimitY", "600");
    OpenLink();
    commands.SetPosition(10000, 10000, 2000, 0);
    system->StopRequested = false;
    RecordStream();
  }
  std::vector<wire::ControllerRequest> sentSince(std::size_t from) const {
    const auto all = tap.requests();
    return {all.begin() + long(std::min(from, all.size())), all.end()};
  }
  static bool Has(const std::vector<wire::ControllerRequest>& sent, std::uint8_t code) {
    return std::any_of(sent.begin(), sent.end(), [&](const auto& r) { return r.command == code; });
  }
  // The last XY line sent: its target in 0.01 mm and its level.
  std::pair<Point2, int> lastLine() const {
    const auto lines = tap.requestsWithCommand(cmd::kXyLine);
    if (lines.empty()) return {};
    const auto& r = lines.back();
    return {{int(std::lround(r.p[0] / system->scales.SX)), int(std::lround(r.p[1] / system->scales.SY))},
            r.p[4]};
  }
};

TEST_F(JogTest, CtrlJogsAtATenthOfTheHandSpeedAndShiftAtTheMaximum) {
  const struct {
    JogKeys keys;
    std::int32_t speed;
  } cases[] = {{{false, false}, 2540}, {{true, false}, 254}, {{false, true}, 10000}};
  for (const auto& c : cases) {
    keys = c.keys;
    system->fields.setText(kMain, "xJogDist", "10");
    jog.PressXY(jog::kXPlus, false);
    const auto [target, level] = lastLine();
    EXPECT_EQ(level, SpeedLevel(std::min(c.speed, 100), system->speeds.X))
        << "a 10 mm step ends at the safety speed";
    const auto lines = tap.requestsWithCommand(cmd::kXyLine);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LE(lines[lines.size() - 2].p[4], SpeedLevel(c.speed, system->speeds.X));
    EXPECT_EQ(target.x, system->job.MachinePosition.x + 1000);
    jog.Release(false);
    commands.WaitIdle();
  }
}

TEST_F(JogTest, ALimitFlagRefusesALeftButtonJogButNotARightButtonOne) {
  link.state.LimitX = true;
  const std::size_t before = tap.requests().size();
  jog.PressXY(jog::kXMinus, false);
  EXPECT_EQ(link.state.StatusCode, wire::alarm::kLimitX);
  EXPECT_TRUE(sentSince(before).empty()) << DescribeStream(stream);
  EXPECT_EQ(jog.JogDirection, jog::kNone);

  jog.PressXY(jog::kXMinus, true);
  const auto sent = sentSince(before);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front().command, cmd::kMotionReset) << "203 first";
  EXPECT_TRUE(Has(sent, cmd::kXyLine));
  EXPECT_EQ(lastLine().first.x, -jog::kFar);
  EXPECT_EQ(jog.JogDirection, jog::kXMinus);
}

// Holding X- and then pressing Y+ stops and starts the X- Y+ diagonal; the
// key-up stops it, unless one-click mode lets XY jogs run on.
TEST_F(JogTest, TwoHeldDirectionsRunTheDiagonalAndReleaseStops) {
  jog.PressXY(jog::kXMinus, false);
  board.advanceTo(clock.nowMicros() + 200000);
  commands.ReadStatusB();
  std::size_t before = tap.requests().size();
  jog.PressXY(jog::kYPlus, false);
  auto sent = sentSince(before);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front().command, cmd::kStop);
  EXPECT_EQ(jog.JogDirection, jog::kXMinusYPlus);
  EXPECT_EQ(lastLine().first, (Point2{-jog::kFar, jog::kFar}));

  before = tap.requests().size();
  jog.Release(false);
  EXPECT_TRUE(Has(sentSince(before), cmd::kStop));
  EXPECT_EQ(jog.JogDirection, jog::kNone);

  system->fields.setChecked(kMain, "cOneClickJogMode", true);
  commands.WaitIdle();
  jog.PressXY(jog::kXPlus, false);
  before = tap.requests().size();
  jog.Release(false);
  EXPECT_FALSE(Has(sentSince(before), cmd::kStop)) << "one click: the XY jog runs on";
  jog.PressZ(true, false);
  before = tap.requests().size();
  jog.Release(true);
  EXPECT_TRUE(Has(sentSince(before), cmd::kStop)) << "Z jogs always stop";
}

// While a job runs the Z keys nudge the THC voltage (THC active, a real arc)
// or raise and lower the torch by 1.25 mm.
TEST_F(JogTest, ZKeysDuringAJobNudgeTheVoltageOrOffsetTheHeight) {
  system->Busy = true;
  system->fields.setText(kMain, "eTHC", "on");
  system->fields.setText(kMain, "eVoltage", "100");
  link.state.StatusWord |= wire::status::kThcActive;
  commands.status.ArcVoltage = 120;
  std::size_t before = tap.requests().size();
  jog.PressZ(true, false);
  EXPECT_EQ(system->fields.text(kMain, "eVoltage"), "122");
  EXPECT_TRUE(Has(sentSince(before), cmd::kThcSettings));
  EXPECT_FALSE(Has(sentSince(before), cmd::kZMove));

  system->fields.setText(kMain, "eTHC", "off");
  const auto offset = std::int32_t(std::lround(system->scales.SZ * 125));
  for (bool up : {true, false}) {
    before = tap.requests().size();
    jog.PressZ(up, false);
    const auto sent = sentSince(before);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, cmd::kHeightOffset);
    EXPECT_EQ(sent[0].p[2], up ? offset : -offset);
  }
}

TEST_F(JogTest, AStepJogMovesTheBoardByTheJogDistance) {
  system->fields.setText(kMain, "xJogDist", "12.5");
  jog.PressXY(jog::kYPlus, false);
  commands.WaitIdle();
  EXPECT_EQ(system->job.MachinePosition.y, 10000 + 1250);
  EXPECT_EQ(system->job.MachinePosition.x, 10000);
  EXPECT_TRUE(StreamFaults().empty()) << DescribeStream(stream);
}

TEST_F(JogTest, ZeroZTakesTheTorchHeightAsTheJobOriginWithinRange) {
  const struct {
    std::int32_t z, origin;
  } cases[] = {{2000, 2000}, {-300, 2540}, {30000, 25400}};
  for (const auto& c : cases) {
    commands.SetPosition(10000, 10000, c.z, 0);
    host.sounds.clear();
    jog.ZeroZ(false);
    EXPECT_EQ(system->job.ProjectOriginZ, c.origin);
    EXPECT_EQ(system->job.MachinePosition.z, c.origin);
    EXPECT_EQ(system->fields.text(kMain, "xZM"), NumberParser::FloatToText(c.origin / 100.0));
    EXPECT_EQ(host.sounds, std::vector<std::string>{"Z0"});
  }
}

TEST_F(JogTest, TheTorchButtonSwitchesTheTorchAndWhileAJobRunsOnlyTellsTheBoard) {
  std::size_t before = tap.requests().size();
  EXPECT_TRUE(jog.TorchButton(false, false));
  auto sent = sentSince(before);
  EXPECT_TRUE(Has(sent, cmd::kThcSettings));
  EXPECT_TRUE(Has(sent, cmd::kTorchOn));
  before = tap.requests().size();
  EXPECT_FALSE(jog.TorchButton(true, false));
  EXPECT_TRUE(Has(sentSince(before), cmd::kTorchOff));

  system->Busy = true;
  for (bool down : {false, true}) {
    before = tap.requests().size();
    jog.TorchButton(down, false);
    sent = sentSince(before);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, down ? cmd::kTorchButtonDown : cmd::kTorchButtonUp);
  }
}

}  // namespace
}  // namespace corvane::testing

#include "machine/TraceOutline.h"

namespace corvane::testing {
namespace {

// The outline runs through the job box's corners from the origin and back,
// and is refused with a message when the soft limits would be left.
TEST_F(JogTest, TheOutlineVisitsTheJobBoxCornersWithinTheSoftLimits) {
  system->job.ProjectOriginX = 2000;
  system->job.ProjectOriginY = 3000;
  system->job.JobExtentX = 5000;
  system->job.JobExtentY = 4000;
  board.board().recordExecuted(true);
  ASSERT_TRUE(TraceOutline(*system, commands, moves, false));
  std::vector<Point2> ends;
  for (const auto& e : board.board().executed())
    if (e.request.command == cmd::kXyLine)
      ends.push_back({int(std::lround(e.to[0] / system->scales.SX)), int(std::lround(e.to[1] / system->scales.SY))});
  const std::vector<Point2> corners{{2000, 3000}, {2000, 7000}, {7000, 7000}, {7000, 3000}, {2000, 3000}};
  for (const Point2& corner : corners)
    EXPECT_NE(std::find(ends.begin(), ends.end(), corner), ends.end()) << corner.x << "," << corner.y;
  EXPECT_EQ(ends.back(), corners.back());
  EXPECT_FALSE(system->Busy);

  system->fields.setChecked(kConfig, "cLimits", true);
  system->store.SoftLimitX = 6000;
  system->store.SoftLimitY = 100000;
  EXPECT_FALSE(TraceOutline(*system, commands, moves, false));
  EXPECT_EQ(host.messages.back(), "SOFT LIMITS !!!");
}

}  // namespace
}  // namespace corvane::testing

namespace corvane::testing {
namespace {

// The board really stands after the release, whether it comes at once or
// at full speed. (The soft limits keep the run short of the board's home
// switch: the simulator jumps an axis to a switch its stopped move would
// have reached, which is not what is tested here.)
TEST_F(JogTest, TheBoardStandsSoonAfterTheRelease) {
  system->fields.setChecked(kConfig, "cLimits", true);
  for (const std::int64_t heldMicros : {0, 300000}) {
    commands.WaitIdle();
    const std::int32_t from = system->job.MachinePosition.x;
    jog.PressXY(jog::kXMinus, false);
    clock.advance(heldMicros);
    jog.Release(false);
    // Braking done: the tool stands from here on.
    clock.advance(1000000);
    commands.ReadStatusA();
    const std::int32_t stoppedAt = system->job.MachinePosition.x;
    clock.advance(2000000);
    commands.ReadStatusA();
    EXPECT_EQ(system->job.MachinePosition.x, stoppedAt) << heldMicros;
    // At most the hand speed for the time held, plus the braking.
    EXPECT_GE(stoppedAt, from - 2540 * heldMicros / 600000 - 300) << heldMicros << DescribeStream(stream);
    EXPECT_LE(stoppedAt, from) << heldMicros;
  }
}

}  // namespace
}  // namespace corvane::testing
