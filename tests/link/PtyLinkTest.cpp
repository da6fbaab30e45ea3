#include <gtest/gtest.h>

#include <string>

#include "link/ControllerLink.h"
#include "link/PtyDevice.h"
#include "machine/Connection.h"
#include "machine/MachineCommands.h"
#include "support/SimulatorProcess.h"
#include "support/SystemFixture.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

TEST(PtyLinkTest, ConnectsToTheSimulatorProcessAndNoticesItGoing) {
  TempDir dir;
  SteadyClock clock;
  RecordingHost host;
  Paths paths;
  paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
  paths.dataRoot = dir.path() + "Quorvatek/";
  System system(clock, host, paths);
  SimulatorProcess simulator(CORVANE_SIM_EXE, dir);
  ASSERT_TRUE(simulator.ready());

  PtyDevice device(simulator.link(), simulator.controlPath());
  ConnectionIndicator indicator;
  D2XXUnit unit(device, host, system.log);
  ControllerLink link(unit, clock, host, system.log, indicator, system.StatisticsChanged);
  MachineCommands commands(system, link);
  Connection connection(system, link, commands);

  connection.Connect();
  auto logged = [&](const std::string& line) {
    return std::find(host.logPane.begin(), host.logPane.end(), line) != host.logPane.end();
  };
  ASSERT_TRUE(link.state.LinkConnected);
  EXPECT_TRUE(logged("found : Corvane CNC"));
  EXPECT_TRUE(logged("FirmwareVer 1.2 1"));
  EXPECT_TRUE(logged("Communication OK"));
  EXPECT_EQ(indicator.colour, IndicatorColour::Green);

  system.StopRequested = false;
  for (int i = 0; i < 4; ++i) link.request.p[i] = 1000 * (i + 1);
  ASSERT_TRUE(commands.Send(wire::cmd::kSetPosition));
  ASSERT_TRUE(commands.ReadStatusA());
  EXPECT_EQ(commands.status.MachinePositionSteps, (std::array<std::int32_t, 4>{1000, 2000, 3000, 4000}));
  // A short CBUS reset pulse restarts the board's application, which then
  // reports the power-up mark: the calls went through the control socket.
  EXPECT_EQ(unit.SetBitMode(0xFF, serial::kCbusBitBang), ftstatus::kOk);
  EXPECT_EQ(unit.SetBitMode(0xF0, serial::kCbusBitBang), ftstatus::kOk);
  ASSERT_TRUE(commands.ReadStatusA());
  EXPECT_EQ(commands.status.MachinePositionSteps[0], wire::kPowerUpMark);
  EXPECT_EQ(commands.status.MachinePositionSteps[1], wire::kPowerUpMark);

  simulator.stop();
  EXPECT_FALSE(commands.ReadStatusB());
  EXPECT_TRUE(logged("FT_GetQueueStatus - General IO error...")) << "a lost device, not 15 timeouts";
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(indicator.colour, IndicatorColour::Red);
}

}  // namespace
}  // namespace corvane::testing
