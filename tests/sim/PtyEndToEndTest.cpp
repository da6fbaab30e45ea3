#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/SimulatorProcess.h"
#include "support/TempDir.h"
#include "wire/Commands.h"
#include "wire/Frame.h"

namespace corvane::sim {
namespace {

using corvane::testing::SimulatorProcess;
using corvane::testing::TempDir;

// Opens the terminal as a raw serial port, the way a client would.
int OpenRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

std::vector<std::uint8_t> ReadExactly(int fd, std::size_t count) {
  std::vector<std::uint8_t> bytes;
  while (bytes.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) break;
    std::uint8_t buffer[64];
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
    if (n <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

TEST(CorvaneSim, ServesFramesOnItsTerminalAndResetsThroughTheControlSocket) {
  TempDir dir;
  SimulatorProcess sim(CORVANE_SIM_EXE, dir);
  ASSERT_TRUE(sim.ready()) << testing::ReadFileText(dir.file("sim.out"));
  const int fd = OpenRaw(sim.link());
  ASSERT_GE(fd, 0);
  const auto request = wire::EncodeRequest({{1, 1, 1, 1, 100}, wire::cmd::kVersion, 1, 1});
  ASSERT_EQ(::write(fd, request.data(), request.size()), 24);
  const auto reply = ReadExactly(fd, 24);
  ASSERT_EQ(reply.size(), 24u);
  EXPECT_TRUE(wire::ChecksumValid(reply));
  EXPECT_EQ(reply[8], '1');

  // A short reset pulse over the control socket restarts the application:
  // the positions are lost again and status A shows the power-up mark.
  const auto setPosition = wire::EncodeRequest({{5, 6, 7, 8, 100}, wire::cmd::kSetPosition, 1, 2});
  ASSERT_EQ(::write(fd, setPosition.data(), setPosition.size()), 24);
  EXPECT_EQ(ReadExactly(fd, 24).size(), 24u);
  EXPECT_NE(sim.control("state").find("position 5 6 7 8"), std::string::npos);
  EXPECT_NE(sim.control("bitmode 0xFF 0x20").find("ok"), std::string::npos);
  EXPECT_NE(sim.control("bitmode 0xF0 0x20").find("ok"), std::string::npos);
  EXPECT_NE(sim.control("state").find("power-up mark"), std::string::npos);

  // The console line puts it into the bootloader, which answers the sync.
  EXPECT_NE(sim.control("bootloader").find("ok"), std::string::npos);
  const std::uint8_t sync = 0x7F;
  ASSERT_EQ(::write(fd, &sync, 1), 1);
  EXPECT_EQ(ReadExactly(fd, 1), std::vector<std::uint8_t>{0x79});
  EXPECT_NE(sim.control("state").find("mode bootloader"), std::string::npos);
  EXPECT_NE(sim.control("input nothing on").find("error"), std::string::npos);

  // Pulling the cable makes the terminal vanish under the client; plugged
  // back in, the board answers on a new terminal behind the same link.
  EXPECT_NE(sim.control("unplug").find("ok"), std::string::npos);
  std::uint8_t byte = 0;
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  EXPECT_LE(::read(fd, &byte, 1), 0);
  ::close(fd);
  EXPECT_NE(sim.control("plug").find("ok"), std::string::npos);
  sim.control("run");
  const int again = OpenRaw(sim.link());
  ASSERT_GE(again, 0);
  ASSERT_EQ(::write(again, request.data(), request.size()), 24);
  EXPECT_EQ(ReadExactly(again, 24).size(), 24u);
  ::close(again);
}

// Where the link points, or nothing when there is no link.
std::string LinkTarget(const std::string& link) {
  char target[256];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

TEST(CorvaneSim, LinkNamesATerminalOnlyWhileThePlugIsIn) {
  TempDir dir;
  SimulatorProcess sim(CORVANE_SIM_EXE, dir);
  ASSERT_TRUE(sim.ready()) << testing::ReadFileText(dir.file("sim.out"));
  const auto request = wire::EncodeRequest({{1, 1, 1, 1, 100}, wire::cmd::kStatusB, 1, 1});
  for (int cycle = 0; cycle < 2; ++cycle) {
    SCOPED_TRACE(cycle);
    const std::string terminal = LinkTarget(sim.link());
    ASSERT_EQ(terminal.rfind("/dev/", 0), 0u) << terminal;
    ASSERT_NE(sim.control("unplug").find("ok"), std::string::npos);
    struct stat info {};
    EXPECT_NE(::lstat(sim.link().c_str(), &info), 0) << "still pointing at " << terminal;

    ASSERT_NE(sim.control("plug").find("ok"), std::string::npos);
    const int fd = OpenRaw(sim.link());
    ASSERT_GE(fd, 0) << "the link is not made again";
    ASSERT_EQ(::write(fd, request.data(), request.size()), 24);
    EXPECT_EQ(ReadExactly(fd, 24).size(), 24u) << "the board answers behind the new link";
    ::close(fd);
  }
}

TEST(CorvaneSim, Stm32flashWritesVerifiesAndStartsAnImage) {
  if (::access("/usr/bin/stm32flash", X_OK) != 0)
    GTEST_SKIP() << "stm32flash is not installed (apt-get install stm32flash); end-to-end flash "
                    "test skipped";
  TempDir dir;
  SimulatorProcess sim(CORVANE_SIM_EXE, dir);
  ASSERT_TRUE(sim.ready()) << testing::ReadFileText(dir.file("sim.out"));
  std::vector<char> image(5000);
  std::mt19937 random(7);
  for (char& c : image) c = static_cast<char>(random());
  std::ofstream(dir.file("image.bin"), std::ios::binary)
      .write(image.data(), static_cast<std::streamsize>(image.size()));

  ASSERT_NE(sim.control("bootloader").find("ok"), std::string::npos);
  const std::string command = "/usr/bin/stm32flash -m 8n1 -b 115200 -w '" + dir.file("image.bin") +
                              "' -v -g 0x08000000 '" + sim.link() + "' > '" +
                              dir.file("flash.log") + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << testing::ReadFileText(dir.file("flash.log"));

  EXPECT_NE(sim.control("state").find("mode application"), std::string::npos);
  ASSERT_NE(sim.control("flash save " + dir.file("flash.bin") + " 5000").find("ok"),
            std::string::npos);
  const std::string flashed = testing::ReadFileText(dir.file("flash.bin"));
  EXPECT_EQ(flashed, std::string(image.begin(), image.end()));
}

}  // namespace
}  // namespace corvane::sim
