#include <gtest/gtest.h>

#include <limits>

#include "SimClient.h"
#include "model/SpeedTables.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::sim {
namespace {

using namespace wire;

// A board whose counters have been set, so status A reports positions.
struct BoardFixture : ::testing::Test {
  VirtualBoard board;
  SimClient pc{board};
  void SetUp() override { pc.must(cmd::kSetPosition, {0, 0, 0, 0, 0}); }
  ControllerReply statusA() { return pc.must(cmd::kStatusA); }
  std::uint32_t word() { return static_cast<std::uint32_t>(pc.must(cmd::kStatusB).r[2]); }
  void at(std::int64_t micros) { board.advanceTo(micros); }
};

// Steps per microsecond at a speed level.
double Rate(int level) { return 7200000.0 / (Dividers()[level] + 1.0) / 1e6; }

TEST_F(BoardFixture, RequestWithBadChecksumGetsNoReply) {
  FrameBytes bad = EncodeRequest(ControllerRequest{{}, cmd::kStatusA, 1, 7});
  bad[23] ^= 0x5A;
  board.write(bad);
  EXPECT_EQ(board.queued(), 0u);
}

TEST_F(BoardFixture, RetryIsAnsweredAgainButRunOnce) {
  const auto first = pc.send(cmd::kDwell, {1000, 0, 0, 0, 0});
  const auto again = pc.resend();
  EXPECT_EQ(first, again);
  EXPECT_EQ(DecodeReply(std::span<const std::uint8_t, 24>(again.data(), 24)).queueFill(), 1);
  EXPECT_EQ(pc.must(cmd::kStatusA).queueFill(), 1);
}

TEST_F(BoardFixture, QueueRunsInOrderAndReportsItsFill) {
  pc.must(cmd::kOut1OnQueued);
  pc.must(cmd::kDwell, {10, 0, 0, 0, 0});
  pc.must(cmd::kOut1OffQueued);
  pc.must(cmd::kOut2OnQueued);
  EXPECT_TRUE(word() & status::kOutput1);
  EXPECT_FALSE(word() & status::kOutput2);
  EXPECT_EQ(statusA().queueFill(), 3);  // the running dwell and the two behind it
  at(10000);
  EXPECT_EQ(statusA().queueFill(), 0);
  EXPECT_FALSE(word() & status::kOutput1);
  EXPECT_TRUE(word() & status::kOutput2);
}

TEST_F(BoardFixture, QueueHoldsTheThrottleFillAndRefusesWhenFull) {
  for (int i = 0; i < 2300; ++i) ASSERT_EQ(pc.must(cmd::kDwell, {1, 0, 0, 0, 0}).error, 0);
  EXPECT_EQ(statusA().queueFill(), 2300);
  EXPECT_TRUE(word() & status::kBit20);
  for (int i = 2300; i < kQueueCapacity; ++i) pc.must(cmd::kSequenceEnd);
  const ControllerReply full = pc.must(cmd::kDwell, {1, 0, 0, 0, 0});
  EXPECT_EQ(full.error, 1);
  EXPECT_EQ(full.queueFill(), kQueueCapacity);
  at(2300 * 1000);
  EXPECT_EQ(statusA().queueFill(), 0);
}

// A line from start level s to level k with ramp r: the level walks up one
// step every r x 0.1 ms and the rest runs at level k.
TEST_F(BoardFixture, MoveTakesTheRampAndCruiseTime) {
  const struct {
    int start, level, ramp, steps;
  } cases[] = {{10, 100, 5, 40000}, {30, 30, 8, 5000}, {0, 200, 1, 60000}};
  std::int64_t t = 0;
  for (const auto& c : cases) {
    pc.must(cmd::kSetPosition, {0, 0, 0, 0, 0});
    pc.must(cmd::kRamp, {0, 0, 0, 0, c.ramp});
    pc.must(cmd::kStartLevel, {0, 0, 0, 0, c.start});
    double rampMicros = 0, rampSteps = 0;
    for (int j = c.start; j < c.level; ++j) {
      rampMicros += c.ramp * 100.0;
      rampSteps += c.ramp * 100.0 * Rate(j);
    }
    ASSERT_LT(rampSteps, c.steps);
    const double expected = rampMicros + (c.steps - rampSteps) / Rate(c.level);
    const double stepTime = 1.0 / Rate(c.level);
    const std::int64_t t0 = t;
    pc.must(cmd::kXyLine, {c.steps, c.steps / 2, 0, 0, c.level});
    at(t0 + static_cast<std::int64_t>(expected - stepTime));
    EXPECT_EQ(statusA().queueFill(), 1) << c.level;
    EXPECT_NEAR(statusA().r[0], c.steps, 2);
    EXPECT_NEAR(statusA().r[1], c.steps / 2, 1);
    t = t0 + static_cast<std::int64_t>(expected + stepTime) + 1;
    at(t);
    const ControllerReply done = statusA();
    EXPECT_EQ(done.queueFill(), 0) << c.level;
    EXPECT_EQ(done.r[0], c.steps);
    EXPECT_EQ(done.r[1], c.steps / 2);
  }
}

TEST_F(BoardFixture, StopDeceleratesToItsLevelThenHalts) {
  pc.must(cmd::kRamp, {0, 0, 0, 0, 10});
  pc.must(cmd::kStartLevel, {0, 0, 0, 0, 50});
  pc.must(cmd::kXyLine, {150000, 0, 0, 0, 150});
  pc.must(cmd::kDwell, {5000, 0, 0, 0, 0});
  at(200000);  // the ramp to 150 took 100 ms; now cruising
  const std::int32_t x0 = statusA().r[0];
  pc.must(cmd::kStop, {0, 0, 0, 0, 100});
  EXPECT_EQ(statusA().queueFill(), 1);  // still braking, the dwell is gone
  at(200000 + 50 * 1000 - 50);          // 50 levels x 1 ms
  EXPECT_EQ(statusA().queueFill(), 1);
  at(200000 + 50 * 1000 + 50);
  const ControllerReply halted = statusA();
  EXPECT_EQ(halted.queueFill(), 0);
  EXPECT_LT(halted.r[0], 150000);
  double braking = 0;
  for (int j = 150; j > 100; --j) braking += 1000.0 * Rate(j);
  EXPECT_NEAR(halted.r[0] - x0, braking, 2);
}

TEST_F(BoardFixture, HomingDrivesOntoTheSwitch) {
  const MachineLayout& layout = board.board().machine().layout();
  const struct {
    std::uint8_t command;
    int axis;
    std::uint32_t bit;
    std::int32_t distance;
  } cases[] = {
      {cmd::kHomeX, kX, status::kSwitchX, layout.homeMin[kX] - layout.startPosition[kX]},
      {cmd::kHomeYReversed, kY, status::kSwitchY, layout.limitMax[kY] - layout.startPosition[kY]},
      {cmd::kHomeZ, kZ, status::kSwitchZ, layout.limitMax[kZ] - layout.startPosition[kZ]},
  };
  std::int64_t t = 0;
  for (const auto& c : cases) {
    EXPECT_FALSE(word() & c.bit);
    pc.must(cmd::kStartLevel, {0, 0, 0, 0, 30});
    pc.must(c.command, {30, 0, 0, 0, 300});
    t += 60'000'000;
    at(t);
    EXPECT_EQ(statusA().queueFill(), 0);
    EXPECT_EQ(statusA().r[c.axis], c.distance);
    EXPECT_TRUE(word() & c.bit);
    EXPECT_EQ(pc.must(cmd::kStatusB).alarm, 0);
  }
}

TEST_F(BoardFixture, ProbeReportsTheSensedSurfaceOnceAndZAboveMaterialUsesIt) {
  const MachineLayout& layout = board.board().machine().layout();
  const std::int32_t surface = *layout.materialSurface - layout.startPosition[kZ];  // logical
  pc.must(cmd::kMachineConfig, {config::kOhmicSensor, 0, 0, 0, 0});
  pc.must(cmd::kProbe, {40, 600, -20000, 0, 120});
  at(30'000'000);
  ControllerReply a = statusA();
  EXPECT_EQ(a.queueFill(), 0);
  EXPECT_EQ(a.r[2], kSensedSurfaceBase + surface + 40);  // contact + ohmic correction
  EXPECT_EQ(statusA().r[2], surface);                    // reported once; Z rests on contact
  EXPECT_TRUE(word() & status::kOhmic);
  pc.must(cmd::kZAboveMaterial, {0, 0, 500, 0, 120});
  at(40'000'000);
  EXPECT_EQ(statusA().r[2], surface + 40 + 500);

  // The floating head trips when the head is pressed in by its travel.
  pc.must(cmd::kMachineConfig, {0, 0, 0, 0, 0});
  pc.must(cmd::kProbe, {40, 600, -20000, 0, 120});
  at(60'000'000);
  EXPECT_EQ(statusA().r[2], kSensedSurfaceBase + surface - layout.floatingTravel + 600);
}

TEST_F(BoardFixture, ProbeWithoutMaterialRaisesTheDetectionAlarm) {
  board.board().machine().layout().materialSurface.reset();
  pc.must(cmd::kProbe, {40, 600, -3000, 0, 120});
  at(30'000'000);
  const ControllerReply b = pc.must(cmd::kStatusB);
  EXPECT_EQ(b.alarm, alarm::kMaterialDetection);
  EXPECT_TRUE(static_cast<std::uint32_t>(b.r[2]) & status::kStopRequest1);
  pc.must(cmd::kMotionReset);
  EXPECT_EQ(pc.must(cmd::kStatusB).alarm, 0);
}

// A move that would run into the home switch, stopped well before it, stands
// where it stopped: it does not jump onto the switch nor raise the limit alarm.
TEST_F(BoardFixture, AMoveStoppedShortOfASwitchStandsWhereItStopped) {
  const MachineLayout layout = board.board().machine().layout();
  const std::int32_t toSwitch = layout.homeMin[kX] - layout.startPosition[kX];
  ASSERT_LT(toSwitch, -2000);
  for (const int brakeTo : {0, 250}) {  // at once, and after braking
    pc.must(cmd::kSetPosition, {0, 0, 0, 0, 0});
    pc.must(cmd::kStartLevel, {0, 0, 0, 0, 20});
    pc.must(cmd::kXyLine, {toSwitch - 50000, 0, 0, 0, 20});
    at(board.nowMicros() + 100'000);
    const std::int32_t before = statusA().r[0];
    ASSERT_GT(before, toSwitch + 1000) << "still well short of the switch";
    pc.must(cmd::kStop, {0, 0, 0, 0, brakeTo});
    at(board.nowMicros() + 2'000'000);
    const ControllerReply a = statusA();
    EXPECT_EQ(a.queueFill(), 0);
    EXPECT_GT(a.r[0], toSwitch + 500) << "no jump to the switch (brake to " << brakeTo << ")";
    EXPECT_LE(a.r[0], before);
    EXPECT_NE(pc.must(cmd::kStatusB).alarm, alarm::kLimitX);
  }
}

// A height offset beyond any table (found by fuzzing the byte stream) keeps the
// height on its side instead of wrapping round to the other end.
TEST_F(BoardFixture, AHugeHeightOffsetDoesNotWrapTheHeight) {
  const std::int32_t z0 = statusA().r[2];
  pc.must(cmd::kHeightOffset, {0, 0, std::numeric_limits<std::int32_t>::max(), 0, 0});
  EXPECT_GT(statusA().r[2], z0);
  pc.must(cmd::kHeightOffset, {0, 0, std::numeric_limits<std::int32_t>::min(), 0, 0});
  pc.must(cmd::kHeightOffset, {0, 0, std::numeric_limits<std::int32_t>::min(), 0, 0});
  EXPECT_LT(statusA().r[2], z0);
}

TEST_F(BoardFixture, InputsRaiseTheirAlarmsAndStopBits) {
  // A limit switch met by a move stops it there.
  const MachineLayout layout = board.board().machine().layout();
  pc.must(cmd::kStartLevel, {0, 0, 0, 0, 250});
  pc.must(cmd::kXyLine, {-50000, 0, 0, 0, 250});
  pc.must(cmd::kDwell, {100, 0, 0, 0, 0});
  at(20'000'000);
  ControllerReply b = pc.must(cmd::kStatusB);
  EXPECT_EQ(b.alarm, alarm::kLimitX);
  EXPECT_EQ(statusA().r[0], layout.homeMin[kX] - layout.startPosition[kX]);
  EXPECT_EQ(statusA().queueFill(), 0);
  pc.must(cmd::kManualStart);

  // Collision during a move.
  pc.must(cmd::kXyLine, {0, 0, 0, 0, 100});
  at(20'001'000);
  board.board().setInput(Input::Collision, true);
  EXPECT_EQ(pc.must(cmd::kStatusB).alarm, alarm::kCollision);
  EXPECT_TRUE(word() & status::kCollision);
  board.board().setInput(Input::Collision, false);
  pc.must(cmd::kStop, {0, 0, 0, 0, 0});

  // E-stop: reported while pressed, queue refused.
  board.scheduleInput(21'000'000, Input::EStop, true);
  board.scheduleInput(22'000'000, Input::EStop, false);
  pc.must(cmd::kDwell, {5000, 0, 0, 0, 0});
  at(21'000'000);
  b = pc.must(cmd::kStatusB);
  EXPECT_EQ(b.alarm, alarm::kEStop);
  EXPECT_TRUE(static_cast<std::uint32_t>(b.r[2]) & status::kStopRequest2);
  EXPECT_EQ(b.queueFill(), 0);
  at(22'000'000);
  EXPECT_EQ(pc.must(cmd::kStatusB).alarm, 0);

  // Plain inputs show in their bits; a normally closed input declared so reads the same.
  board.board().setInput(Input::In2, true);
  EXPECT_TRUE(word() & status::kIn2);
  board.board().machine().layout().normallyClosed = 0x80;
  EXPECT_FALSE(word() & status::kIn2);
  pc.must(cmd::kMachineConfig, {0, 0, 0x80, 0, 0});
  EXPECT_TRUE(word() & status::kIn2);
}

TEST_F(BoardFixture, TorchArcVoltageAndArcOk) {
  pc.must(cmd::kTorchOn);
  pc.must(cmd::kArcWait, {2, 0, 0, 0, 0});
  EXPECT_EQ(pc.must(cmd::kStatusB).r[0], 0);  // no arc yet
  at(board.board().machine().layout().arcDelayMicros);
  const ControllerReply b = pc.must(cmd::kStatusB);
  EXPECT_TRUE(static_cast<std::uint32_t>(b.r[2]) & (status::kTorch | status::kArcOk));
  EXPECT_EQ(b.queueFill(), 0);
  const auto& layout = board.board().machine().layout();
  const double height = layout.startPosition[kZ] - *layout.materialSurface;
  EXPECT_EQ(b.r[0], std::lround(layout.arcVoltsAtSurface + layout.arcVoltsPerStep * height));
  board.board().machine().layout().arcOverload = true;
  EXPECT_EQ(pc.must(cmd::kStatusB).r[0], kArcOverloadVoltage);
  board.board().machine().layout().arcOverload = false;

  // THC active on a cutting line; it raises the torch when the voltage is low.
  pc.must(cmd::kThcSettings, {300, 590, 100, 0, 50});
  pc.must(cmd::kRamp, {0, 0, 0, 0, 1});  // level steps every 0.1 ms: small intervals
  pc.must(cmd::kXyLine, {100000, 0, 1, 0, 20});
  const std::uint32_t w = word();
  EXPECT_TRUE(w & status::kThcActive);
  EXPECT_TRUE(w & status::kThcRaising);
  // At 0.2 / 50 steps per µs it needs (300 - 190) V / 0.02 V per step = 5500 steps.
  const double volts = layout.arcVoltsAtSurface + layout.arcVoltsPerStep * height;
  const double climb = (300 - volts) / layout.arcVoltsPerStep;
  at(board.nowMicros() + static_cast<std::int64_t>(climb / (0.2 / 50) / 2));
  EXPECT_NEAR(statusA().r[2], climb / 2, 2);
  at(board.nowMicros() + static_cast<std::int64_t>(climb / (0.2 / 50)));
  EXPECT_NEAR(pc.must(cmd::kStatusB).r[0], 300, 2);
  EXPECT_FALSE(word() & (status::kThcRaising | status::kThcLowering));
  pc.must(cmd::kStop, {0, 0, 0, 0, 0});
  EXPECT_FALSE(word() & status::kTorch);

  // With ARC OK wired to In2, the wait on In2 ends at the strike.
  board.board().machine().layout().arcOkOnIn2 = true;
  pc.must(cmd::kTorchOn);
  pc.must(cmd::kArcWaitIn2, {2, 0, 0, 0, 0});
  // The torch goes on once the stop's braking (20 levels x 0.1 ms) is over.
  const std::int64_t onAt = board.nowMicros();
  at(onAt + layout.arcDelayMicros - 1000);
  EXPECT_EQ(statusA().queueFill(), 1);
  at(onAt + 2000 + layout.arcDelayMicros + 1000);
  EXPECT_EQ(statusA().queueFill(), 0);
  EXPECT_TRUE(word() & status::kIn2);
  pc.must(cmd::kTorchOff);

  // A strike that never comes ends the wait with the ARC OK alarm.
  board.board().machine().layout().arcAvailable = false;
  pc.must(cmd::kTorchOn);
  pc.must(cmd::kArcWait, {2, 0, 0, 0, 0});
  pc.must(cmd::kDwell, {10, 0, 0, 0, 0});
  at(board.nowMicros() + 2 * kArcWaitUnitMicros + 10000);  // after the braking of the stop
  EXPECT_EQ(pc.must(cmd::kStatusB).alarm, alarm::kArcOk);
  EXPECT_EQ(statusA().queueFill(), 0);
}

TEST_F(BoardFixture, Rs485TroubleWhenTheSourceIsSilent) {
  pc.must(cmd::kMachineConfig, {config::kRs485Interface, 0, 0, 0, 0});
  EXPECT_TRUE(word() & status::kRs485Answering);
  board.board().machine().layout().rs485Answering = false;
  const ControllerReply b = pc.must(cmd::kStatusB);
  EXPECT_EQ(b.alarm, alarm::kRs485Error);
  EXPECT_FALSE(static_cast<std::uint32_t>(b.r[2]) & status::kRs485Answering);
}

TEST_F(BoardFixture, IdentityAndPowerUpMark) {
  const ControllerReply v = pc.must(cmd::kVersion);
  EXPECT_EQ(v.r[0], 1);
  EXPECT_EQ(v.r[1], 2);
  EXPECT_EQ(v.r[2] & 0xFF, '1');
  board.powerUp();
  ControllerReply a = statusA();
  EXPECT_EQ(a.r[0], 1234);
  EXPECT_EQ(a.r[1], 1234);
  EXPECT_EQ(statusA().r[0], 1234);  // until the positions are set
  pc.must(cmd::kSetPosition, {500, 600, 700, 800, 0});
  a = statusA();
  EXPECT_EQ(a.r[0], 500);
  EXPECT_EQ(a.r[1], 600);
  EXPECT_EQ(a.r[2], 700);
  EXPECT_EQ(a.r[3], 800);
}

TEST_F(BoardFixture, FeedOverrideScalesTheStepRate) {
  pc.must(cmd::kStartLevel, {0, 0, 0, 0, 100});
  pc.must(cmd::kFeedOverride, {10, 0, 0, 0, 0});  // +20 %
  pc.must(cmd::kXyLine, {100000, 0, 0, 0, 100});
  at(1'000'000);
  EXPECT_NEAR(statusA().r[0], 1'000'000 * Rate(100) * 1.2, 2);
}

TEST(OldFirmware, AnswersOnlyTheTwentyByteFrame) {
  VirtualBoard board;
  board.setOldFirmware(true);
  ControllerRequest r{{1, 1, 1, 1, 100}, cmd::kStatusB, 1, 1};
  board.write(EncodeRequest(r));
  EXPECT_EQ(board.queued(), 0u);
  board.advanceTo(500000);
  board.write(EncodeOldRequest(r));
  ASSERT_EQ(board.queued(), 20u);
  std::array<std::uint8_t, 20> reply{};
  board.read(reply);
  EXPECT_TRUE(ChecksumValid(reply));
  EXPECT_EQ(reply[kOldErrorByte], 0);
}

TEST(NewFirmware, IgnoresTheTwentyByteProbeAndResyncs) {
  VirtualBoard board;
  SimClient pc(board);
  ControllerRequest r{{1, 1, 1, 1, 100}, cmd::kStatusB, 1, 1};
  board.write(EncodeOldRequest(r));
  EXPECT_EQ(board.queued(), 0u);
  board.advanceTo(600000);
  EXPECT_TRUE(pc.exchange(cmd::kStatusB).has_value());
}

}  // namespace
}  // namespace corvane::sim
