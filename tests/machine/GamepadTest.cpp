#include <gtest/gtest.h>

#include "machine/Gamepad.h"
#include "machine/Jog.h"
#include "machine/Moves.h"
#include "store/AdvancedOptions.h"
#include "support/BoardFixture.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kConfig = Window::Configuration;

struct GamepadTest : BoardFixture, ::testing::Test {
  GamepadTest() {
    system->Busy = false;
    system->loading = false;
    system->fields.setChecked(kConfig, "cGamepad", true);
    system->fields.setChecked(kConfig, "cType2", false);
    commands.ui.resetMotionState = [this] { moves.ResetMotionState(); };
    commands.ui.clearJogDirection = [this] { jog.JogDirection = jog::kNone; };
    moves.ui.jogDirection = [this] { return jog.JogDirection; };
    pad.startJob = [this] { ++starts; };
    pad.stop = [this] {
      ++stops;
      jog.Stop();
    };
    pad.slotAction = [this](std::int32_t action) { actions.push_back(action); };
    OpenLink();
    commands.SetPosition(10000, 10000, 2000, 0);
    system->StopRequested = false;
  }
  // Three ticks at rest: detected and checked.
  void Detect() {
    for (int i = 0; i < 3; ++i) pad.Tick(PadReading{});
  }
  static PadReading Stick(std::int32_t x, std::int32_t y, std::uint32_t buttons = 0) {
    PadReading r;
    r.x = x;
    r.y = y;
    r.buttons = buttons;
    return r;
  }
  Moves moves{*system, link, commands};
  Jog jog{*system, link, commands, moves};
  Gamepad pad{*system, link, jog};
  int starts = 0, stops = 0;
  std::vector<std::int32_t> actions;
};

TEST_F(GamepadTest, NoControllerIsNormalAndAnOffCentreOneIsRefused) {
  EXPECT_EQ(pad.Tick(std::nullopt), 1000);
  EXPECT_FALSE(logged("Game Controller ERROR"));
  PadReading drifting;
  drifting.z = 50000;
  pad.Tick(drifting);
  pad.Tick(drifting);
  pad.Tick(drifting);
  EXPECT_TRUE(pad.PadError);
  EXPECT_TRUE(logged("Game Controller ERROR"));
  // The controller is ignored: the stick moves nothing.
  pad.Tick(Stick(1000, 32767));
  EXPECT_TRUE(tap.requestsWithCommand(cmd::kXyLine).empty());
  for (int i = 0; i < 3; ++i) pad.Tick(PadReading{});
  EXPECT_TRUE(logged("Game Controller detected OK"));
  EXPECT_FALSE(pad.PadError);
}

TEST_F(GamepadTest, TheStartButtonStartsAfterTenTicksAndAShortPressStops) {
  Detect();
  for (int i = 0; i < 12; ++i) pad.Tick(Stick(32767, 32767, 0x200));
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(stops, 0);
  pad.Tick(PadReading{});
  EXPECT_EQ(pad.PadStartCount, 0);
  for (int i = 0; i < 3; ++i) pad.Tick(Stick(32767, 32767, 0x200));
  pad.Tick(PadReading{});
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(stops, 1);
}

// The sticks jog like the buttons (left button, so limits apply); a second
// axis turns the running jog into the diagonal; rest stops.
TEST_F(GamepadTest, SticksJogAndCombineIntoADiagonalAndRestStops) {
  Detect();
  EXPECT_EQ(pad.Tick(Stick(1000, 32767)), 50);
  EXPECT_EQ(pad.PadJog, 1);
  EXPECT_EQ(jog.JogDirection, jog::kXMinus);
  const std::size_t stopsBefore = tap.requestsWithCommand(cmd::kStop).size();
  pad.Tick(Stick(1000, 1000));  // Y low is Y+: the stick's Y is inverted
  EXPECT_EQ(pad.PadJog, 31);
  EXPECT_EQ(jog.JogDirection, jog::kXMinusYPlus);
  EXPECT_GT(tap.requestsWithCommand(cmd::kStop).size(), stopsBefore) << "the diagonal stops first";
  pad.Tick(Stick(1000, 60000));
  EXPECT_EQ(jog.JogDirection, jog::kXMinusYPlus) << "a diagonal runs until the sticks rest";
  const std::size_t before = tap.requestsWithCommand(cmd::kStop).size();
  EXPECT_EQ(pad.Tick(PadReading{}), 50);
  EXPECT_EQ(pad.PadJog, 0);
  EXPECT_GT(tap.requestsWithCommand(cmd::kStop).size(), before);
  EXPECT_EQ(pad.Tick(PadReading{}), 100);
}

TEST_F(GamepadTest, ASingleButtonRunsItsSlotActionAndType2Remaps) {
  system->advanced.gamepadSlots[std::size_t(GamepadSlotOf(0x2))] = kActionToggleOut1;
  Detect();
  EXPECT_EQ(pad.Tick(Stick(32767, 32767, 0x2)), 300);
  EXPECT_EQ(actions, std::vector<std::int32_t>{kActionToggleOut1});
  pad.Tick(Stick(32767, 32767, 0x2 | 0x1));
  EXPECT_EQ(actions.size(), 1u) << "two buttons together are no slot";

  const struct {
    std::uint32_t in;
    std::int32_t z;
    std::uint32_t out;
  } cases[] = {{0x1, 32767, 0x4},    {0x8, 32767, 0x1},    {0x40, 32767, 0x100},
               {0x80, 32767, 0x200}, {0x200, 32767, 0x800}, {0, 50000, 0x40},
               {0, 10000, 0x80},     {0x10 | 0x20, 32767, 0x30}};
  for (const auto& c : cases) EXPECT_EQ(Gamepad::RemapType2(c.in, c.z), c.out) << c.in;
}

}  // namespace
}  // namespace corvane::testing
