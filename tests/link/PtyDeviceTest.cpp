#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "link/D2XXUnit.h"
#include "link/PtyDevice.h"

namespace corvane {
namespace {

// A pseudo-terminal pair made here: the test holds the master side, as the
// simulator does, and the device opens the slave side.
struct PtyPair {
  PtyPair() : master(posix_openpt(O_RDWR | O_NOCTTY)) {
    grantpt(master);
    unlockpt(master);
    slavePath = ptsname(master);
  }
  ~PtyPair() {
    if (master >= 0) ::close(master);
  }
  int master;
  std::string slavePath;
};

TEST(PtyDeviceTest, AppliesTheLinkSettingsAndPassesBytesBothWays) {
  PtyPair pair;
  PtyDevice device(pair.slavePath, pair.slavePath + ".ctl");
  ASSERT_EQ(device.openByDescription(kControllerDescription), ftstatus::kOk);
  // The terminal keeps its settings between clients: a set-up meets settings
  // that already match as often as ones that do not.
  for (const SerialParameters& p :
       {kControllerLinkParameters, kControllerLinkParameters, kBootloaderLinkParameters,
        kBootloaderLinkParameters, kControllerLinkParameters}) {
    SCOPED_TRACE(p.baudRate);
    EXPECT_EQ(device.setBaudRate(p.baudRate), ftstatus::kOk);
    EXPECT_EQ(device.setDataCharacteristics(p.wordLength, p.stopBits, p.parity), ftstatus::kOk);
    EXPECT_EQ(device.setFlowControl(p.flowControl, 0x11, 0x13), ftstatus::kOk);
  }

  const int slave = ::open(pair.slavePath.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  ASSERT_EQ(tcgetattr(slave, &t), 0);
  ::close(slave);
  EXPECT_EQ(cfgetospeed(&t), B921600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  // Parity is the one setting a Linux pseudo-terminal drops: it carries none.
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO)) << "raw: bytes pass unchanged";

  const std::uint8_t out[3] = {0x0D, 0x0A, 0x11};
  EXPECT_EQ(device.write(out, 3), 3u);
  std::uint8_t seen[3] = {};
  EXPECT_EQ(::read(pair.master, seen, 3), 3);
  EXPECT_EQ(std::string(seen, seen + 3), std::string(out, out + 3));

  ASSERT_EQ(::write(pair.master, "\x13\x0D\x7F", 3), 3);
  std::uint32_t queued = 0;
  EXPECT_EQ(device.queueStatus(queued), ftstatus::kOk);
  EXPECT_EQ(queued, 3u);
  std::uint8_t in[8] = {};
  EXPECT_EQ(device.read(in, 2), 2u);
  EXPECT_EQ(device.read(in + 2, 8), 1u);
  EXPECT_EQ(std::string(in, in + 3), "\x13\x0D\x7F");
}

TEST(PtyDeviceTest, ClosedOtherSideIsALostDevice) {
  PtyPair pair;
  PtyDevice device(pair.slavePath, pair.slavePath + ".ctl");
  ASSERT_EQ(device.openByDescription(kControllerDescription), ftstatus::kOk);
  std::uint32_t queued = 0;
  EXPECT_EQ(device.queueStatus(queued), ftstatus::kOk);
  ::close(pair.master);
  pair.master = -1;
  EXPECT_NE(device.queueStatus(queued), ftstatus::kOk);
  EXPECT_NE(device.setBitMode(0xFF, serial::kCbusBitBang), ftstatus::kOk)
      << "no control socket is listening";
}

}  // namespace
}  // namespace corvane
