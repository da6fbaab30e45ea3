#include <gtest/gtest.h>

#include <cmath>

#include "machine/Moves.h"
#include "support/PtyProgram.h"

namespace corvane::testing {
namespace {

// The moves over a real terminal to the simulator process, in real time:
// the board ends where the program says it commanded, on both axes.
TEST(PtyMovesTest, MovesReachTheirTargetsOnTheSimulatorProcess) {
  PtyProgram program(CORVANE_SIM_EXE);
  System& system = program.system;
  MachineCommands& commands = program.commands;
  AxisScaleInputs in;
  in.moveX = in.moveY = 5.0;
  in.moveZ = 2.0;
  system.scales = ComputeAxisScales(in);
  system.speeds = BuildSpeedTables(system.scales);
  ASSERT_TRUE(program.simulator.ready());
  Moves moves(system, program.link, commands);
  program.connection.Connect();
  ASSERT_TRUE(program.link.state.LinkConnected);

  system.StopRequested = false;
  system.loading = false;
  system.fields.setText(Window::Configuration, "eAccXY", "5");
  system.fields.setText(Window::Configuration, "eAccZ", "5");
  commands.SetPosition(0, 0, 2000, 0);
  moves.MoveXY(1200, 800, 6000, true);
  moves.MoveZ(1500, 2000);
  commands.WaitIdle();
  ASSERT_TRUE(commands.ReadStatusA());
  const auto& steps = commands.status.MachinePositionSteps;
  EXPECT_EQ(steps[0], std::lround(1200 * system.scales.SX));
  EXPECT_EQ(steps[1], std::lround(800 * system.scales.SY));
  EXPECT_EQ(steps[2], std::lround(1500 * system.scales.SZ));
  EXPECT_EQ(system.job.LastCommanded.x, 1200);
  EXPECT_EQ(system.job.LastCommanded.z, 1500);
}

}  // namespace
}  // namespace corvane::testing
