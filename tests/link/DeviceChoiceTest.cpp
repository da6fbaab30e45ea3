#include <gtest/gtest.h>

#include "link/DeviceChoice.h"
#include "link/PtyDevice.h"
#include "system/CommandLine.h"
#include "virtual/MakeUsbDevice.h"
#include "ports/Clock.h"

namespace corvane {
namespace {

TEST(DeviceChoiceTest, OptionWinsOverTheEnvironment) {
  struct Case {
    std::vector<std::string> arguments;
    const char* environment;
    DeviceChoice::Kind kind;
    std::string path;
    bool error;
  };
  const Case cases[] = {
      {{}, nullptr, DeviceChoice::Kind::Ftdi, "", false},
      {{"--device=virtual"}, nullptr, DeviceChoice::Kind::Virtual, "", false},
      {{"Wood", "--device=pty:/tmp/sim/tty"}, "virtual", DeviceChoice::Kind::Pty, "/tmp/sim/tty", false},
      {{}, "pty:/dev/pts/7", DeviceChoice::Kind::Pty, "/dev/pts/7", false},
      {{}, "virtual", DeviceChoice::Kind::Virtual, "", false},
      {{"--device=pty:"}, nullptr, DeviceChoice::Kind::Ftdi, "", true},
      {{"--device=serial"}, "virtual", DeviceChoice::Kind::Ftdi, "", true},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    const DeviceChoice choice = ChooseDevice(line, c.environment, nullptr);
    SCOPED_TRACE(c.arguments.empty() ? std::string(c.environment ? c.environment : "-") : c.arguments.back());
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_EQ(choice.ptyPath, c.path);
    EXPECT_EQ(!choice.error.empty(), c.error);
    if (c.kind == DeviceChoice::Kind::Pty) {
      EXPECT_EQ(choice.controlPath, c.path + ".ctl");
    }
  }
  const DeviceChoice named =
      ChooseDevice(ParseCommandLine({"--device=pty:/dev/pts/3"}), nullptr, "/run/sim.sock");
  EXPECT_EQ(named.controlPath, "/run/sim.sock");
}

TEST(DeviceChoiceTest, EachChoiceMakesItsDevice) {
  SteadyClock clock;
  auto made = MakeUsbDevice(ParseDeviceChoice("virtual"), clock);
  ASSERT_TRUE(made.device && made.board);
  std::string description;
  EXPECT_EQ(made.device->describeDevice(0, description), ftstatus::kOk);
  EXPECT_EQ(description, "Corvane CNC");

  made = MakeUsbDevice(ParseDeviceChoice("pty:/nonexistent/tty"), clock);
  auto* pty = dynamic_cast<PtyDevice*>(made.device.get());
  ASSERT_NE(pty, nullptr);
  std::uint32_t count = 7;
  pty->countDevices(count);
  EXPECT_EQ(count, 0u) << "a missing terminal is no attached board";
  EXPECT_EQ(pty->openByDescription("Corvane CNC"), ftstatus::kDeviceNotFound);

  // No FTDI chip is attached where the tests run: libftdi finds none, the
  // open fails with a status, and configuration calls say "not opened".
  made = MakeUsbDevice(ParseDeviceChoice(""), clock);
  ASSERT_TRUE(made.realBoard);
  made.device->countDevices(count);
  EXPECT_EQ(count, 0u);
  EXPECT_NE(made.device->openByDescription("Corvane CNC"), ftstatus::kOk);
  EXPECT_EQ(made.device->setLatencyTimer(1), ftstatus::kDeviceNotOpened);
  std::uint32_t queued = 0;
  EXPECT_NE(made.device->queueStatus(queued), ftstatus::kOk);
}

}  // namespace
}  // namespace corvane
