#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "support/PtyProgram.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

// The program's controller side on real time, with its settings loaded, and
// corvane-sim in a child process behind the terminal.
struct PtyLinkTest : ::testing::Test, PtyProgram {
  PtyLinkTest() : PtyProgram(CORVANE_SIM_EXE) { system.loading = false; }
  void SetUp() override { ASSERT_TRUE(simulator.ready()) << ReadFileText(dir.file("sim.out")); }

  // Log lines that contain `part`.
  std::vector<std::string> logLinesWith(const std::string& part) const {
    std::vector<std::string> found;
    std::copy_if(host.logPane.begin(), host.logPane.end(), std::back_inserter(found),
                 [&](const std::string& line) { return line.find(part) != std::string::npos; });
    return found;
  }
};

TEST_F(PtyLinkTest, ConnectsToTheSimulatorProcessAndNoticesItGoing) {
  connection.Connect();
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

TEST_F(PtyLinkTest, ReconnectingToTheSameBoardReportsNoFailure) {
  // The terminal keeps its settings between clients but holds no parity, so
  // the second identical set-up meets settings that already match.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    connection.Connect();
    ASSERT_TRUE(link.state.LinkConnected);
    link.Disconnect();
  }
  EXPECT_EQ(logLinesWith("FT_"), std::vector<std::string>{});
  EXPECT_EQ(host.beeps, 0);
}

TEST_F(PtyLinkTest, ReplyPastTheWindowFailsItsAttempt) {
  connection.Connect();
  ASSERT_TRUE(link.state.LinkConnected);
  // The simulator answers this request 12 ms after it came; the window is
  // 10 ms of the clock, however long one queue query may wait.
  ASSERT_NE(simulator.control("fault late at 1").find("ok"), std::string::npos);
  const auto retriesBefore = link.state.RetryCount;
  ASSERT_TRUE(commands.ReadStatusB());
  EXPECT_GE(link.state.RetryCount - retriesBefore, 1) << "the late reply was taken";
  EXPECT_TRUE(link.state.LinkConnected);
}

}  // namespace
}  // namespace corvane::testing
