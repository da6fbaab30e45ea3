#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "link/ControllerLink.h"
#include "link/PtyDevice.h"
#include "machine/Connection.h"
#include "machine/MachineCommands.h"
#include "support/SystemFixture.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

extern char** environ;

namespace corvane::testing {
namespace {

// corvane-sim in its own process, serving its board on a terminal whose
// link and control socket sit in a temporary folder.
class SimulatorProcess {
 public:
  explicit SimulatorProcess(const TempDir& dir)
      : terminal(dir.file("tty")), control(dir.file("tty.ctl")) {
    std::string exe = CORVANE_SIM_EXE;
    std::vector<std::string> args = {exe, "--no-stdin", "--link", terminal, "--control", control};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, dir.file("sim.out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~SimulatorProcess() { Stop(); }
  // The terminal and the socket are there once the server is serving.
  bool WaitUntilServing(Clock& clock) {
    for (int i = 0; i < 500 && pid_ > 0; ++i) {
      if (::access(terminal.c_str(), F_OK) == 0 && ::access(control.c_str(), F_OK) == 0) return true;
      clock.sleepMillis(10);
    }
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  const std::string terminal;
  const std::string control;

 private:
  pid_t pid_ = -1;
};

TEST(PtyLinkTest, ConnectsToTheSimulatorProcessAndNoticesItGoing) {
  TempDir dir;
  SteadyClock clock;
  RecordingHost host;
  Paths paths;
  paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
  paths.dataRoot = dir.path() + "Quorvatek/";
  System system(clock, host, paths);
  SimulatorProcess simulator(dir);
  ASSERT_TRUE(simulator.WaitUntilServing(clock));

  PtyDevice device(simulator.terminal, simulator.control);
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

  simulator.Stop();
  EXPECT_FALSE(commands.ReadStatusB());
  EXPECT_TRUE(logged("FT_GetQueueStatus - General IO error...")) << "a lost device, not 15 timeouts";
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_EQ(indicator.colour, IndicatorColour::Red);
}

}  // namespace
}  // namespace corvane::testing
