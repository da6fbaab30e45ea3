#include <gtest/gtest.h>

#include <set>

#include "wire/Commands.h"
#include "wire/Frame.h"
#include "wire/FrameLog.h"

namespace corvane::wire {
namespace {

TEST(WireFrame, ChecksumOfTheLiteralFrames) {
  FrameBytes zeros{};
  Seal(zeros);
  EXPECT_EQ(zeros[23], 0x55);
  FrameBytes ones;
  ones.fill(0xFF);
  Seal(ones);
  EXPECT_EQ(ones[23], (0x55 + 23 * 0xFF) % 256);
  EXPECT_EQ(ones[23], 0x3E);
  EXPECT_TRUE(ChecksumValid(ones));
  ones[5] ^= 1;
  EXPECT_FALSE(ChecksumValid(ones));
}

TEST(WireFrame, FirstRequestAfterConnectingGoesOutAsTheKnownBytes) {
  ControllerRequest r;
  r.p = {1, 1, 1, 1, 100};
  r.command = 254;
  r.frameFlag = 1;
  r.sequence = 1;
  const FrameBytes expected = {0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0,    0,    0,
                               0x01, 0, 0, 0, 0x64, 0, 0, 0, 0xFE, 0x01, 0x01, 0xBD};
  EXPECT_EQ(EncodeRequest(r), expected);
  EXPECT_EQ(DecodeRequest(expected), r);
}

TEST(WireFrame, NegativeAndExtremeValuesRoundTripLittleEndian) {
  ControllerReply reply;
  reply.r = {-1, INT32_MIN, INT32_MAX, 0x01020304, 2300};
  reply.error = 1;
  reply.alarm = 103;
  const FrameBytes bytes = EncodeReply(reply);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[7], 0x80);
  EXPECT_EQ(bytes[12], 0x04);
  EXPECT_EQ(bytes[15], 0x01);
  EXPECT_EQ(bytes[21], 1);
  EXPECT_EQ(bytes[22], 103);
  EXPECT_EQ(DecodeReply(bytes), reply);
  EXPECT_EQ(DecodeReply(bytes).queueFill(), 2300);
}

// The old frame is the new one with bytes 16..23 moved down to 12..19 and
// the checksum taken over 0..18.
TEST(WireFrame, OldFrameIsTheShiftedNewFrame) {
  ControllerRequest r;
  r.p = {11, -22, 33, 44, 55};
  r.command = 254;
  r.frameFlag = 1;
  r.sequence = 9;
  FrameBytes shifted = EncodeRequest(r);
  for (int i = 12; i <= 19; ++i) shifted[i] = shifted[i + 4];
  unsigned sum = 0x55;
  for (int i = 0; i <= 18; ++i) sum += shifted[i];
  shifted[19] = static_cast<std::uint8_t>(sum);
  const OldFrameBytes old = EncodeOldRequest(r);
  EXPECT_TRUE(std::equal(old.begin(), old.end(), shifted.begin()));
  ControllerRequest back = DecodeOldRequest(old);
  EXPECT_EQ(back.p[4], 55);
  EXPECT_EQ(back.p[3], 0);
  EXPECT_EQ(back.command, 254);
  EXPECT_EQ(back.sequence, 9);
}

TEST(WireCommands, CatalogueIsOrderedUniqueAndFindable) {
  std::set<int> codes;
  int previous = -1;
  for (const auto& c : kCommands) {
    EXPECT_GT(c.code, previous);
    previous = c.code;
    codes.insert(c.code);
    EXPECT_EQ(FindCommand(c.code), &c);
  }
  EXPECT_EQ(codes.size(), kCommands.size());
  for (int unknown : {0, 8, 13, 25, 99, 215, 252}) EXPECT_EQ(FindCommand(unknown), nullptr);
  EXPECT_EQ(FindCommand(cmd::kDwell)->dispatch, Dispatch::Queued);
  EXPECT_EQ(FindCommand(cmd::kStop)->dispatch, Dispatch::Immediate);
  EXPECT_EQ(FindCommand(cmd::kXyzaMove)->params, kP0 | kP1 | kP2 | kP3 | kP4);
}

TEST(WireFrameLog, LinesNameTheFieldsOfTheCommand) {
  ControllerRequest r;
  r.p = {100, -5, 2, 77, 40};
  r.command = cmd::kXyLine;
  r.sequence = 12;
  FrameBytes bytes = EncodeRequest(r);
  EXPECT_EQ(DescribeRequest(bytes), "TX #12 XY line P0=100 P1=-5 P2=2 P4=40");
  bytes[0] ^= 0x10;
  EXPECT_EQ(DescribeRequest(bytes), "TX #12 XY line P0=116 P1=-5 P2=2 P4=40 bad checksum");
  EXPECT_EQ(DescribeRequest(std::span(bytes).first(20)), "TX bad length 20");

  ControllerReply a;
  a.r = {10, 20, 1000050, -3, 7};
  EXPECT_EQ(DescribeReply(EncodeReply(a), cmd::kStatusA),
            "RX status A X=10 Y=20 Z=1000050 A=-3 fill=7");
  ControllerReply b;
  b.r = {120, 0, 0x100, 0, 0};
  b.alarm = 100;
  EXPECT_EQ(DescribeReply(EncodeReply(b), cmd::kStatusB),
            "RX status B arc=120 word=0x00000100 fill=0 alarm=100");
  ControllerReply v;
  v.r = {1, 2, '1', 0, 0};
  v.error = 1;
  EXPECT_EQ(DescribeReply(EncodeReply(v), cmd::kVersion),
            "RX version query version 1.2 1 fill=0 error=1");
  EXPECT_EQ(DescribeReply(EncodeReply(v), 99), "RX unknown command 99 fill=0 error=1");
}

}  // namespace
}  // namespace corvane::wire
