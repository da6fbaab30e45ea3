#include <gtest/gtest.h>

#include "SimClient.h"
#include "wire/Commands.h"

namespace corvane::sim {
namespace {

using namespace wire;

ControllerReply Decode(const std::vector<std::uint8_t>& bytes) {
  return DecodeReply(std::span<const std::uint8_t, kFrameSize>(bytes.data(), kFrameSize));
}

TEST(Faults, EachKindHitsTheArmedRequestAndTheRetryRunsOnce) {
  VirtualBoard board;
  SimClient pc(board);

  // Lost: run, no reply; the retry gets the reply of the one run.
  board.faults().armAt(Fault::LoseReply, 1);
  EXPECT_TRUE(pc.send(cmd::kDwell, {100, 0, 0, 0, 0}).empty());
  auto retry = pc.resend();
  ASSERT_EQ(retry.size(), kFrameSize);
  EXPECT_EQ(Decode(retry).queueFill(), 1);

  // Corrupted checksum: run, reply broken; the retry gets it whole.
  board.faults().armAt(Fault::CorruptChecksum, 1);
  auto broken = pc.send(cmd::kDwell, {100, 0, 0, 0, 0});
  ASSERT_EQ(broken.size(), kFrameSize);
  EXPECT_FALSE(ChecksumValid(broken));
  retry = pc.resend();
  EXPECT_TRUE(ChecksumValid(retry));
  EXPECT_EQ(Decode(retry).queueFill(), 2);

  // Error byte: refused and not run; the retry runs it.
  board.faults().armAt(Fault::ErrorByte, 1);
  auto refused = pc.send(cmd::kDwell, {100, 0, 0, 0, 0});
  EXPECT_EQ(Decode(refused).error, 1);
  EXPECT_EQ(Decode(refused).queueFill(), 2);
  EXPECT_EQ(Decode(pc.resend()).queueFill(), 3);

  // Late: nothing inside the window, the reply after 12 ms.
  board.faults().armAt(Fault::LateReply, 1);
  EXPECT_TRUE(pc.send(cmd::kStatusA).empty());
  board.advanceTo(board.nowMicros() + kLateReplyMicros - 1);
  EXPECT_EQ(board.queued(), 0u);
  board.advanceTo(board.nowMicros() + 1);
  EXPECT_EQ(board.queued(), kFrameSize);
}

TEST(Faults, ArmedCountIsFromNow) {
  VirtualBoard board;
  SimClient pc(board);
  board.faults().armAt(Fault::LoseReply, 3);
  EXPECT_TRUE(pc.exchange(cmd::kStatusB));
  EXPECT_TRUE(pc.exchange(cmd::kStatusB));
  EXPECT_FALSE(pc.exchange(cmd::kStatusB));
  EXPECT_TRUE(pc.exchange(cmd::kStatusB));
}

TEST(Faults, SeededProbabilityRepeatsAndMatchesItsRate) {
  auto pattern = [](std::uint64_t seed) {
    VirtualBoard board;
    SimClient pc(board);
    board.faults().setSeed(seed);
    board.faults().setProbability(Fault::LoseReply, 0.25);
    std::vector<bool> lost;
    for (int i = 0; i < 2000; ++i) lost.push_back(!pc.exchange(cmd::kStatusB).has_value());
    return lost;
  };
  const auto a = pattern(42);
  EXPECT_EQ(a, pattern(42));
  EXPECT_NE(a, pattern(43));
  const auto count = std::count(a.begin(), a.end(), true);
  EXPECT_GT(count, 400);
  EXPECT_LT(count, 600);
}

TEST(Faults, UnpluggedBoardFailsEveryOperation) {
  VirtualBoard board;
  board.unplug();
  const FrameBytes request = EncodeRequest(ControllerRequest{{}, cmd::kStatusA, 1, 1});
  EXPECT_FALSE(board.write(request));
  EXPECT_FALSE(board.queued().has_value());
  std::array<std::uint8_t, 24> buffer{};
  EXPECT_FALSE(board.read(buffer).has_value());
  EXPECT_FALSE(board.setBitMode(0xFF, 0x20));
  board.plugIn();
  EXPECT_TRUE(board.write(request));
  EXPECT_EQ(board.queued(), kFrameSize);
}

}  // namespace
}  // namespace corvane::sim
