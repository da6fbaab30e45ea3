#include <gtest/gtest.h>

#include "SimClient.h"
#include "sim/Console.h"
#include "wire/Bootloader.h"
#include "wire/Commands.h"

namespace corvane::sim {
namespace {

using namespace wire::boot;
using Bytes = std::vector<std::uint8_t>;

// Talks to the board's serial side byte by byte, as a flasher does.
struct BootFixture : ::testing::Test {
  VirtualBoard board;
  Bytes talk(const Bytes& bytes) {
    board.write(bytes);
    Bytes out(board.queued().value_or(0));
    board.read(out);
    return out;
  }
  Bytes command(std::uint8_t code) { return talk({code, static_cast<std::uint8_t>(code ^ 0xFF)}); }
  static Bytes WithXor(Bytes bytes) {
    std::uint8_t x = 0;
    for (auto b : bytes) x ^= b;
    bytes.push_back(x);
    return bytes;
  }
  static Bytes Address(std::uint32_t a) {
    return WithXor(
        {std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8), std::uint8_t(a)});
  }
  // The CBUS pulse: all pins high, then low after `heldMicros`.
  void pulse(std::int64_t heldMicros) {
    board.setBitMode(kResetHighMask, kCbusBitBangMode);
    board.advanceTo(board.nowMicros() + heldMicros);
    board.setBitMode(kResetLowMask, kCbusBitBangMode);
  }
};

TEST_F(BootFixture, LongResetPulseEntersTheBootloaderAndShortOneLeavesIt) {
  EXPECT_TRUE(talk({kSync}).empty());  // the application ignores a lone sync
  board.advanceTo(100000);
  pulse(600000);
  EXPECT_TRUE(board.inBootloader());
  EXPECT_EQ(talk({kSync}), Bytes{kAck});
  pulse(70000);
  EXPECT_FALSE(board.inBootloader());
  EXPECT_TRUE(board.board().powerUpMarkPending());
}

TEST_F(BootFixture, SecondSyncIsACommandByteAndItsPairGetsNack) {
  board.enterBootloader();
  EXPECT_EQ(talk({kSync}), Bytes{kAck});
  EXPECT_TRUE(talk({kSync}).empty());      // waits for the complement
  EXPECT_EQ(talk({kSync}), Bytes{kNack});  // 0x7F 0x7F is no command pair
  // A new reset pulse gives a fresh bootloader that acknowledges the sync again.
  pulse(500000);
  EXPECT_EQ(talk({kSync}), Bytes{kAck});
}

TEST_F(BootFixture, GetGetIdEraseWriteReadAndGo) {
  board.enterBootloader();
  talk({kSync});
  const Bytes get = command(kGet);
  ASSERT_GE(get.size(), 4u);
  EXPECT_EQ(get.front(), kAck);
  EXPECT_EQ(get.back(), kAck);
  EXPECT_EQ(get[1] + 4u, get.size());  // ACK, N, version, N commands, ACK
  EXPECT_NE(std::find(get.begin() + 3, get.end() - 1, kExtendedErase), get.end() - 1);
  EXPECT_EQ(command(kGetId), (Bytes{kAck, 0x01, 0x04, 0x10, kAck}));

  // Flash is written as 256-byte blocks; a bad XOR is refused.
  EXPECT_EQ(command(kExtendedErase), Bytes{kAck});
  EXPECT_EQ(talk(WithXor({0xFF, 0xFF})), Bytes{kAck});
  Bytes block{0xFF};
  for (int i = 0; i < 256; ++i) block.push_back(static_cast<std::uint8_t>(i * 7));
  Bytes bad = WithXor(block);
  bad.back() ^= 1;
  EXPECT_EQ(command(kWriteMemory), Bytes{kAck});
  EXPECT_EQ(talk(Address(kFlashBase + 0x300)), Bytes{kAck});
  EXPECT_EQ(talk(bad), Bytes{kNack});
  EXPECT_EQ(board.bootloader().flash()[0x300], 0xFF);
  EXPECT_EQ(command(kWriteMemory), Bytes{kAck});
  EXPECT_EQ(talk(Address(kFlashBase + 0x300)), Bytes{kAck});
  EXPECT_EQ(talk(WithXor(block)), Bytes{kAck});
  EXPECT_EQ(board.bootloader().flash()[0x300 + 5], 35);

  // An address whose XOR is wrong, and one outside memory, are refused.
  EXPECT_EQ(command(kWriteMemory), Bytes{kAck});
  Bytes address = Address(kFlashBase);
  address.back() ^= 0x40;
  EXPECT_EQ(talk(address), Bytes{kNack});
  EXPECT_EQ(command(kReadMemory), Bytes{kAck});
  EXPECT_EQ(talk(Address(0x30000000)), Bytes{kNack});

  EXPECT_EQ(command(kReadMemory), Bytes{kAck});
  EXPECT_EQ(talk(Address(kFlashBase + 0x300)), Bytes{kAck});
  const Bytes read = talk({15, 0xF0});
  ASSERT_EQ(read.size(), 17u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(read[1 + i], static_cast<std::uint8_t>(i * 7));

  // Flash can only clear bits until it is erased.
  EXPECT_EQ(command(kWriteMemory), Bytes{kAck});
  EXPECT_EQ(talk(Address(kFlashBase + 0x300)), Bytes{kAck});
  EXPECT_EQ(talk(WithXor({0x01, 0xFF, 0xF0})), Bytes{kAck});
  EXPECT_EQ(board.bootloader().flash()[0x300], 0x00);
  EXPECT_EQ(board.bootloader().flash()[0x301], 0x07 & 0xF0);

  EXPECT_EQ(command(kGo), Bytes{kAck});
  EXPECT_EQ(talk(Address(kFlashBase)), Bytes{kAck});
  EXPECT_FALSE(board.inBootloader());
  SimClient pc(board);
  EXPECT_TRUE(pc.exchange(wire::cmd::kVersion).has_value());
}

// The program's update: pulse into the bootloader, erase, pulse again, sync,
// write 256-byte blocks at 0x0800jj00, then a short pulse starts the firmware.
TEST_F(BootFixture, FirmwareUpdateSequenceOfTheProgram) {
  pulse(600000);
  EXPECT_EQ(talk({kSync}), Bytes{kAck});
  EXPECT_EQ(command(kExtendedErase), Bytes{kAck});
  EXPECT_EQ(talk(WithXor({0xFF, 0xFF})), Bytes{kAck});
  board.advanceTo(board.nowMicros() + 700000);
  pulse(500000);
  EXPECT_EQ(talk({kSync}), Bytes{kAck});
  Bytes image(300);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 1);
  for (std::uint8_t j = 0; j * 256u < image.size(); ++j) {
    EXPECT_EQ(talk({kWriteMemory, 0xCE}), Bytes{kAck});
    EXPECT_EQ(talk({0x08, 0x00, j, 0x00, static_cast<std::uint8_t>(0x08 ^ j)}), Bytes{kAck});
    Bytes block{0xFF};
    for (std::size_t k = 0; k < 256; ++k) {
      const std::size_t at = j * 256u + k;
      block.push_back(at < image.size() ? image[at] : 0xFF);
    }
    EXPECT_EQ(talk(WithXor(block)), Bytes{kAck});
  }
  pulse(70000);
  EXPECT_FALSE(board.inBootloader());
  const auto& flash = board.bootloader().flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  EXPECT_EQ(flash[300], 0xFF);
  SimClient pc(board);
  EXPECT_EQ(pc.must(wire::cmd::kStatusA).r[0], 1234);  // the new firmware starts from power-up
}

// The faults a failed firmware update is rehearsed with, armed by console
// lines as the control socket takes them.
TEST_F(BootFixture, InjectedFaultsSilenceNackAndPullTheCable) {
  std::vector<std::string> said;
  Console console(board, [&said](const std::string& line) { said.push_back(line); });
  Bytes data(257, 0x5A);
  data[0] = 0xFF;  // 256 bytes follow
  const Bytes block = WithXor(data);
  auto writeBlock = [&](std::uint8_t j) {
    Bytes answers = command(kWriteMemory);
    for (auto b : talk(Address(kFlashBase + j * 256u))) answers.push_back(b);
    for (auto b : talk(block)) answers.push_back(b);
    return answers;
  };
  board.enterBootloader();

  ASSERT_EQ(console.execute("fault boot-silent on"), Console::Result::Ok);
  EXPECT_TRUE(talk({kSync}).empty());
  EXPECT_TRUE(command(kGet).empty());
  ASSERT_EQ(console.execute("fault boot-silent off"), Console::Result::Ok);
  EXPECT_EQ(command(kGetId).front(), kAck) << "it took the sync all along";

  ASSERT_EQ(console.execute("fault boot-nack at 2"), Console::Result::Ok);
  EXPECT_EQ(writeBlock(0), (Bytes{kAck, kAck, kAck}));
  EXPECT_EQ(writeBlock(1), (Bytes{kAck, kAck, kNack}));
  EXPECT_EQ(board.bootloader().flash()[256], 0xFF) << "a refused block writes nothing";
  EXPECT_EQ(writeBlock(1), (Bytes{kAck, kAck, kAck})) << "armed once";
  EXPECT_EQ(board.bootloader().flash()[256], 0x5A);

  ASSERT_EQ(console.execute("fault boot-drop at 1"), Console::Result::Ok);
  EXPECT_EQ(writeBlock(2), (Bytes{kAck, kAck})) << "no answer to the block";
  EXPECT_TRUE(board.unplugged());
  board.plugIn();
  pulse(300000);
  EXPECT_EQ(talk({kSync}), Bytes{kAck}) << "a reset pulse brings the bootloader back";

  ASSERT_EQ(console.execute("fault boot-nack at 1"), Console::Result::Ok);
  ASSERT_EQ(console.execute("fault boot-silent on"), Console::Result::Ok);
  ASSERT_EQ(console.execute("fault clear"), Console::Result::Ok);
  EXPECT_EQ(writeBlock(3), (Bytes{kAck, kAck, kAck})) << "clear disarms every boot fault";
  for (const char* bad : {"fault boot-nack at 0", "fault boot-drop 0.5", "fault boot-silent maybe"})
    EXPECT_EQ(console.execute(bad), Console::Result::Error) << bad;
}

TEST_F(BootFixture, PlainEraseOfPagesAndWholeFlash) {
  Bootloader loader(false);
  Bytes out;
  std::vector<std::uint8_t> image(4096, 0x11);
  loader.loadFlash(image);
  auto feed = [&](const Bytes& bytes) {
    out.clear();
    for (auto b : bytes) loader.receive(b, out);
    return out;
  };
  feed({kSync});
  EXPECT_EQ(feed({kExtendedErase, 0xBB}), Bytes{kNack});  // not offered by this one
  EXPECT_EQ(feed({kErase, 0xBC}), Bytes{kAck});
  EXPECT_EQ(feed(WithXor({0x00, 0x02})), Bytes{kAck});  // page 2 only
  EXPECT_EQ(loader.flash()[2 * 1024], 0xFF);
  EXPECT_EQ(loader.flash()[1024], 0x11);
  EXPECT_EQ(feed({kErase, 0xBC}), Bytes{kAck});
  EXPECT_EQ(feed({0xFF, 0x00}), Bytes{kAck});
  EXPECT_EQ(loader.flash()[1024], 0xFF);
}

}  // namespace
}  // namespace corvane::sim
