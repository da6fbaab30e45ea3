#include <gtest/gtest.h>

#include <cmath>

#include "machine/Referencing.h"
#include "machine/Moves.h"
#include "support/BoardFixture.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

struct ReferencingTest : BoardFixture, ::testing::Test {
  ReferencingTest() {
    system->fields.setText(kConfig, "xLimitX", "300");
    system->fields.setText(kConfig, "xLimitY", "600");
    system->fields.setText(kConfig, "xLimitZ", "50");
    system->fields.setText(kConfig, "xFeedMaxXY", "5000");
    system->fields.setText(kConfig, "xFeedMaxZ", "2000");
    commands.ui.resetMotionState = [this] { moves.ResetMotionState(); };
    system->Busy = false;
    system->loading = false;
    OpenLink();
    commands.SetPosition(20000, 20000, 2000, 0);
    system->StopRequested = false;
    RecordStream();
  }
  void Homing(bool on) { system->fields.setChecked(kConfig, "cHoming", on); }
  std::vector<std::uint8_t> homingCodes() const {
    std::vector<std::uint8_t> out;
    for (std::uint8_t code : tap.commandCodes())
      if ((code >= cmd::kHomeX && code <= cmd::kHomeZ) || code == cmd::kHomeXReversed ||
          code == cmd::kHomeYReversed)
        out.push_back(code);
    return out;
  }
  Moves moves{*system, link, commands};
  Referencing referencing{*system, link, commands, moves, connection};
};

TEST_F(ReferencingTest, WithoutHomeSwitchesXIsZeroWhereItStands) {
  Homing(false);
  referencing.ReferenceX();
  commands.WaitIdle();
  EXPECT_TRUE(homingCodes().empty());
  EXPECT_EQ(system->job.MachinePosition.x, 0);
  EXPECT_EQ(connection.ReferencedAxes, Referencing::kX);
  EXPECT_TRUE(logged("X axis referenced")) << "log pane";
  EXPECT_EQ(host.errorLabel, "Machine not referenced!");
}

// The board homes onto its switches; the program assigns the switch position
// beyond the back-off and drives to the axis end.
TEST_F(ReferencingTest, HomeSwitchesAssignTheSwitchAndBackOffToTheAxisEnd) {
  Homing(true);
  system->fields.setChecked(kConfig, "cHomingX", true);
  referencing.ReferenceX();
  commands.WaitIdle();
  EXPECT_EQ(homingCodes(), std::vector<std::uint8_t>{cmd::kHomeXReversed});
  const auto assigned = tap.requestsWithCommand(cmd::kSetPosition);
  ASSERT_FALSE(assigned.empty());
  EXPECT_EQ(assigned.back().p[0], MachineCommands::ToSteps(30000 + 500, system->scales.SX));
  EXPECT_EQ(system->job.MachinePosition.x, 30000);

  referencing.ReferenceY();
  commands.WaitIdle();
  EXPECT_EQ(tap.requestsWithCommand(cmd::kSetPosition).back().p[1],
            MachineCommands::ToSteps(-500, system->scales.SY));
  EXPECT_EQ(system->job.MachinePosition.y, 0);
  EXPECT_EQ(connection.ReferencedAxes, Referencing::kX | Referencing::kY);
  EXPECT_TRUE(StreamFaults().empty()) << DescribeStream(stream);
}

// On the rotary axis X is counted from the tube's axis: the switch lies the
// reference offset (xSpec10) beyond it, on the side the homing goes to.
TEST_F(ReferencingTest, OnTheRotaryAxisXIsReferencedWithTheReferenceOffset) {
  struct Case {
    bool homing, reversed;
    std::int32_t assigned, arrives;  // 0.01 mm
  };
  const Case cases[] = {
      {false, false, -20320, -20320},
      {false, true, 20320, 20320},
      {true, false, -20320 - 500, -20320},
      {true, true, 20320 + 500, 20320},
  };
  system->fields.setText(kConfig, "xSpec10", "203.2");
  system->rotary.active = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.homing ? "switches" : "no switches") + (c.reversed ? ", reversed" : ""));
    Homing(c.homing);
    system->fields.setChecked(kConfig, "cHomingX", c.reversed);
    referencing.ReferenceX();
    commands.WaitIdle();
    const auto assigned = tap.requestsWithCommand(cmd::kSetPosition);
    ASSERT_FALSE(assigned.empty());
    EXPECT_EQ(assigned.back().p[0], MachineCommands::ToSteps(c.assigned, system->scales.SX));
    EXPECT_EQ(system->job.MachinePosition.x, c.arrives);
  }
}

TEST_F(ReferencingTest, AllAxesInTheConfiguredOrderThenTheLabelClearsAndCRefIsSet) {
  Homing(true);
  for (int sequence : {1, 2}) {
    tap.written.clear();
    connection.ReferencedAxes = 0;
    system->advanced.HommingSeq = sequence;
    referencing.ReferenceAll();
    const std::vector<std::uint8_t> xFirst{cmd::kHomeZ, cmd::kHomeX, cmd::kHomeY};
    const std::vector<std::uint8_t> yFirst{cmd::kHomeZ, cmd::kHomeY, cmd::kHomeX};
    EXPECT_EQ(homingCodes(), sequence == 1 ? xFirst : yFirst) << sequence;
    EXPECT_EQ(connection.ReferencedAxes, Referencing::kAll);
    EXPECT_EQ(host.errorLabel, "");
    EXPECT_TRUE(system->fields.checked(kConfig, "cRef"));
    EXPECT_EQ(system->job.MachinePosition.z, 5000) << "Z backs off to its length";
  }
}

// Esc during the homing run: the axis stays unreferenced and nothing is assigned.
TEST_F(ReferencingTest, AStopDuringHomingLeavesTheAxisUnreferenced) {
  Homing(true);
  system->advanced.referencingReminder = true;
  host.onProcessEvents = [this] {
    if (tap.requestsWithCommand(cmd::kHomeZ).size() == 1 && !system->StopRequested) {
      commands.StopMotion();
    }
  };
  const std::size_t assignsBefore = tap.requestsWithCommand(cmd::kSetPosition).size();
  referencing.ReferenceAll();
  EXPECT_EQ(connection.ReferencedAxes, 0);
  EXPECT_FALSE(logged("Z axis referenced"));
  EXPECT_EQ(tap.requestsWithCommand(cmd::kSetPosition).size(), assignsBefore);
  EXPECT_TRUE(referencing.reminderArmed) << "show_err 2 arms the reminder";
}

TEST_F(ReferencingTest, ParkPositionsAreProgrammedAndVisitedAboveTheFloatingHeight) {
  commands.SetPosition(12345, 6789, 1500, 0);
  commands.ui.errorLabelText = [this] { return host.errorLabel; };
  host.setErrorLabel("before");
  referencing.ProgramPark(2);
  EXPECT_EQ(system->fields.text(kConfig, "eF2x"), "123.45");
  EXPECT_EQ(system->fields.text(kConfig, "eF2y"), "67.89");
  EXPECT_EQ(system->fields.text(kConfig, "eF2z"), "15");
  EXPECT_EQ(host.errorLabel, "F2 Park Programed");
  ASSERT_TRUE(host.fireOneShot());
  EXPECT_EQ(host.errorLabel, "before");
  referencing.ProgramPark(1);
  EXPECT_EQ(system->fields.text(kConfig, "ef1z"), "15");

  // A park below the floating height: up to it, across, then down.
  system->fields.setText(kMain, "xFloatH", "10");
  system->fields.setText(kConfig, "eF2z", "3");
  commands.SetPosition(0, 0, 500, 0);
  tap.written.clear();
  system->StopRequested = false;
  referencing.GoToPark(2);
  commands.WaitIdle();
  std::vector<std::int32_t> zTargets;
  for (const auto& r : tap.requestsWithCommand(cmd::kZMove))
    zTargets.push_back(std::int32_t(std::lround(r.p[2] / system->scales.SZ)));
  ASSERT_FALSE(zTargets.empty());
  EXPECT_EQ(*std::max_element(zTargets.begin(), zTargets.end()), 1000) << "travel height";
  EXPECT_EQ(zTargets.back(), 300);
  for (const auto& e : board.board().executed())
    if (e.request.command == cmd::kXyLine)
      EXPECT_NEAR(e.to[2], 1000 * system->scales.SZ, 1) << "across at the travel height";
  EXPECT_EQ(system->job.MachinePosition.x, 12345);
  EXPECT_EQ(system->job.MachinePosition.y, 6789);
  EXPECT_EQ(system->job.MachinePosition.z, 300);

  // "max" drives Z to its length, "+1" one millimetre above where it is.
  system->fields.setText(kConfig, "ef1z", "max");
  system->fields.setText(kConfig, "xLimitZ", "20");
  system->StopRequested = false;
  referencing.GoToPark(1);
  commands.WaitIdle();
  EXPECT_EQ(system->job.MachinePosition.z, 2000);
  system->fields.setText(kConfig, "eF3z", "+1");
  system->StopRequested = false;
  referencing.GoToPark(3);
  commands.WaitIdle();
  EXPECT_EQ(system->job.MachinePosition.z, 2100);
}

}  // namespace
}  // namespace corvane::testing
