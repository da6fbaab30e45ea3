#include <gtest/gtest.h>

#include <cmath>

#include "support/BoardFixture.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;

struct CommandSetTest : BoardFixture, ::testing::Test {
  CommandSetTest() {
    OpenLink();
    system->StopRequested = false;
    commands.commandFields = [this] { return fields; };
    commands.thcFields = [this] { return thc; };
  }
  wire::ControllerRequest last(std::uint8_t code) const {
    const auto sent = tap.requestsWithCommand(code);
    EXPECT_FALSE(sent.empty()) << "command " << int(code) << " was not sent";
    return sent.empty() ? wire::ControllerRequest{} : sent.back();
  }
  CommandFields fields;
  ThcFields thc;
};

TEST_F(CommandSetTest, ThcSpeedCodeFollowsTheSpeedFieldFeedAndHighSpeedChoice) {
  struct Case {
    const char* speed;
    std::int32_t feed;
    bool highSpeed;
    std::int32_t d;  // the THC speed after the percent, clamp and feed limit
  };
  const Case cases[] = {
      {"50%", 2540, false, std::min(50 * 2540 / 5000, static_cast<int>(std::nearbyint(25.4 * 25 * 0.01)))},
      {"50%", 2540, true, 50 * 2540 / 5000},
      {"100", 2540, true, 100},
      {"0", 2540, true, 0},
      {"250", 2540, true, 100},
      {"100", 1000, false, static_cast<int>(std::nearbyint(10.0 * 100 * 0.01))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed + std::string(" feed ") + std::to_string(c.feed));
    thc.thcSpeed = c.speed;
    thc.feed = c.feed;
    thc.highSpeedThc = c.highSpeed;
    commands.SendThcSettings();
    EXPECT_EQ(board.board().thc().speedCode, (100 - c.d) * (100 - c.d) / 100 + 10);
  }
  thc = {};
  thc.thcSpeed = "50%";
  thc.feed = 2540;
  commands.SendThcSettings();
  EXPECT_EQ(last(cmd::kThcSettings).p[4], 98) << "the documented example";
}

TEST_F(CommandSetTest, ThcSettingsCarryPierceTimeVoltageAndDividerCalibration) {
  struct Case {
    const char* divider;
    std::int32_t p1;
  };
  for (const Case c : {Case{"1:1", 590}, Case{"20:1", 600}, Case{"50:1", 1500}}) {
    SCOPED_TRACE(c.divider);
    thc.divider = c.divider;
    thc.voltageCalibration = 100;
    thc.pierceTime = 701;
    thc.targetVoltage = 118;
    commands.SendThcSettings();
    const sim::ThcSettings& onBoard = board.board().thc();
    EXPECT_EQ(onBoard.calibration, c.p1);
    EXPECT_EQ(onBoard.halfPierceTime, 350);
    EXPECT_EQ(onBoard.targetVolts, 118);
  }
}

TEST_F(CommandSetTest, MachineConfigurationReachesTheBoardUnlessAJobRuns) {
  thc.reverseX = true;
  thc.reverseP = true;
  thc.ohmicSensor = true;
  thc.interfaceEnabled = true;
  thc.fourthAxisFunction = 3;
  thc.normallyClosed[0] = true;
  thc.normallyClosed[7] = true;
  bool ohmicEnabled = false;
  commands.ui.enableOhmicCheckBox = [&](bool on) { ohmicEnabled = on; };
  link.state.StatusCode = 5;
  commands.SendThcSettings();
  EXPECT_EQ(board.board().machineConfigBits(), 1 + 8 + 0x10000 + 0x20000);
  EXPECT_EQ(board.board().fourthAxisFunction(), 3);
  EXPECT_EQ(board.board().inputInversionBits(), 1 + 128);
  EXPECT_TRUE(ohmicEnabled);
  EXPECT_EQ(link.state.StatusCode, 0);

  thc.interfaceEnabled = false;
  commands.SendThcSettings();
  EXPECT_EQ(board.board().machineConfigBits(), 1 + 8) << "the ohmic sensor needs the interface";

  system->Busy = true;
  thc.reverseY = true;
  const auto configsBefore = tap.requestsWithCommand(cmd::kMachineConfig).size();
  commands.SendThcSettings();
  EXPECT_EQ(tap.requestsWithCommand(cmd::kMachineConfig).size(), configsBefore);
}

TEST_F(CommandSetTest, StopDeceleratesFromTheSafetySpeedOfTheLastMovedAxis) {
  fields.feedMinXY = 3000;
  fields.feedMinZ = 200;
  fields.feedMinA = 300;
  const auto& speeds = system->speeds;
  const int plain = SpeedLevel(1000, speeds.X);
  const int xy = SpeedLevel(3000, speeds.X);
  const int z = SpeedLevel(200, speeds.Z);
  const int a = SpeedLevel(300, speeds.A);
  ASSERT_NE(xy, z);
  ASSERT_NE(xy, plain);
  struct Case {
    MovedAxesFlags moved;
    int level;
  };
  for (const Case c : {Case{{}, plain}, Case{{true, false, false}, xy}, Case{{false, true, false}, z},
                       Case{{true, true, false}, z}, Case{{true, true, true}, a}}) {
    commands.MovedAxes = c.moved;
    commands.StopMotion();
    EXPECT_EQ(last(cmd::kStop).p[4], c.level);
    EXPECT_FALSE(commands.MovedAxes.xy || commands.MovedAxes.z || commands.MovedAxes.a);
  }
}

TEST_F(CommandSetTest, StopSwitchesOutputsOffResetsOverrideAndSimulatedTorch) {
  fields.out2 = OutputMode::OnOffButton;
  commands.SpeedOverride = 3;
  commands.SimulatedTorch = true;
  system->job.MachinePosition = {1000, 2000, 300, 0};
  std::vector<int> released;
  commands.ui.releaseOutputButton = [&](int output) { released.push_back(output); };
  commands.StopMotion();
  const auto codes = tap.commandCodes();
  EXPECT_EQ(codes, (std::vector<std::uint8_t>{cmd::kStop, cmd::kOut1Off, cmd::kFeedOverride}));
  EXPECT_EQ(released, std::vector<int>{1});
  EXPECT_EQ(last(cmd::kFeedOverride).p[0], 0);
  EXPECT_EQ(commands.SpeedOverride, 0);
  EXPECT_FALSE(commands.SimulatedTorch);
  EXPECT_TRUE(system->StopRequested);
  EXPECT_EQ(system->job.LastCommanded.x, 1000);
  EXPECT_EQ(system->job.LastCommanded.y, 2000);
}

TEST_F(CommandSetTest, EveryTwentySixthThrottledCommandPollsTheStatus) {
  auto statusReads = [this] {
    return tap.requestsWithCommand(cmd::kStatusA).size() + tap.requestsWithCommand(cmd::kStatusB).size();
  };
  for (int n = 1; n <= 25; ++n) commands.QueueThrottle();
  EXPECT_EQ(statusReads(), 0u);
  commands.QueueThrottle();
  EXPECT_EQ(statusReads(), 1u);
}

TEST_F(CommandSetTest, FullQueueHoldsThePcUntilItDrains) {
  std::int32_t reportedFill = 2300;
  tap.editReplies = [&](std::vector<std::uint8_t>& reply) {
    EditReply(reply, [&](wire::ControllerReply& r) { r.r[4] = reportedFill; });
  };
  commands.ReadStatusA();
  ASSERT_EQ(link.state.QueueFill, 2300);
  int passes = 0;
  host.onProcessEvents = [&] {
    if (++passes == 7) reportedFill = 2299;
  };
  commands.QueueThrottle();
  // Polls happen on every third pass; the fill drops at pass 7 and the next
  // poll (pass 8, counter value 8 + 1 = 9) sees it.
  EXPECT_EQ(passes, 8);
  EXPECT_EQ(link.state.QueueFill, 2299);
  EXPECT_FALSE(system->StopRequested);
}

TEST_F(CommandSetTest, NoTorchCommandIsQueuedWhileTheBoardQueueIsFull) {
  link.request.p[0] = 2;
  for (int i = 0; i < 2350; ++i) ASSERT_TRUE(commands.Send(cmd::kDwell));
  ASSERT_GE(link.state.QueueFill, 2300);
  int throttledSends = 0;
  tap.onWrite = [&](const std::vector<std::uint8_t>& frame) {
    const std::uint8_t code = frame[wire::kCommandByte];
    if (code != cmd::kTorchOn && code != cmd::kTorchOff) return;
    ++throttledSends;
    EXPECT_LT(link.state.QueueFill, 2300) << "the last fill the PC knew of";
    EXPECT_LT(board.board().queueFill(), 2300) << "what the board really holds";
  };
  for (int i = 0; i < 30; ++i) {
    commands.TorchOn();
    commands.TorchOff();
  }
  EXPECT_EQ(throttledSends, 60);
}

TEST_F(CommandSetTest, StopRequestEndsTheThrottleWait) {
  tap.editReplies = [](std::vector<std::uint8_t>& reply) {
    EditReply(reply, [](wire::ControllerReply& r) { r.r[4] = 3000; });
  };
  commands.ReadStatusB();
  host.onProcessEvents = [&] { system->StopRequested = true; };
  commands.QueueThrottle();
  EXPECT_EQ(host.eventsProcessed, 1);
}

TEST_F(CommandSetTest, OfflineDwellWaitsItselfInStoppableSlices) {
  link.Disconnect();
  auto start = clock.nowMicros();
  commands.Dwell(250);
  EXPECT_EQ(clock.nowMicros() - start, 3 * 95000);
  EXPECT_EQ(host.eventsProcessed, 3);

  host.eventsProcessed = 0;
  host.onProcessEvents = [&] {
    if (host.eventsProcessed == 2) system->StopRequested = true;
  };
  start = clock.nowMicros();
  commands.Dwell(1000);
  EXPECT_EQ(clock.nowMicros() - start, 95000);
}

TEST_F(CommandSetTest, TorchIsSimulatedOfflineAndFollowedByPlasmaOutputs) {
  fields.out1 = OutputMode::PlasmaOnOff;
  int pierces = 0;
  commands.ui.countPierce = [&] { ++pierces; };
  commands.TorchOn();
  EXPECT_EQ(tap.commandCodes(), (std::vector<std::uint8_t>{cmd::kTorchOn, cmd::kOut1OnQueued}));
  EXPECT_EQ(pierces, 1);
  EXPECT_FALSE(commands.SimulatedTorch);
  commands.MovedAxes.xy = true;
  commands.TorchOff();
  EXPECT_FALSE(commands.MovedAxes.xy);

  link.Disconnect();
  commands.TorchOn();
  EXPECT_TRUE(commands.SimulatedTorch);
  EXPECT_EQ(pierces, 1);
  commands.TorchOff();
  EXPECT_FALSE(commands.SimulatedTorch);

  system->StopRequested = true;
  commands.TorchOn();
  EXPECT_FALSE(commands.SimulatedTorch) << "a stop request keeps the torch off";
}

TEST_F(CommandSetTest, SetPositionAssignsStepsOnTheBoardAndLogsTheNumbers) {
  commands.SetPosition(10050, 20000, 3001, -40);
  const auto& s = system->scales;
  EXPECT_EQ(tap.commandCodes(), (std::vector<std::uint8_t>{cmd::kMotionReset, cmd::kSetPosition}));
  const sim::Steps4 expected{static_cast<std::int32_t>(std::nearbyint(10050 * s.SX)),
                             static_cast<std::int32_t>(std::nearbyint(20000 * s.SY)),
                             static_cast<std::int32_t>(std::nearbyint(3001 * s.SZ)), -40};
  EXPECT_EQ(board.board().position(), expected);
  EXPECT_TRUE(logged("Assign:10050 20000 3001 -40"));

  link.Disconnect();
  const auto sentBefore = tap.written.size();
  commands.SetPosition(1, 2, 3, 4);
  EXPECT_EQ(tap.written.size(), sentBefore);
  EXPECT_EQ(system->job.MachinePosition.z, 3);
  EXPECT_EQ(system->job.LastCommanded.a, 4);
  EXPECT_TRUE(logged("Assign:1 2 3 4"));
}

TEST_F(CommandSetTest, WaitIdleReturnsWhenTheBoardQueueIsEmpty) {
  link.request.p[0] = 400;
  commands.Send(cmd::kDwell);
  const auto start = clock.nowMicros();
  commands.WaitIdle();
  EXPECT_GE(clock.nowMicros() - start, 400000);
  EXPECT_LT(clock.nowMicros() - start, 450000) << "polled every 5 ms";
  const auto codes = tap.commandCodes();
  EXPECT_EQ(codes[1], cmd::kSequenceEnd);
  EXPECT_EQ(codes[codes.size() - 3], cmd::kStatusA);
  EXPECT_EQ(codes[codes.size() - 2], cmd::kStatusB) << "the board's stop request is read before returning";
  EXPECT_EQ(codes.back(), cmd::kDwell) << "the closing 2 ms dwell";
}

TEST_F(CommandSetTest, WaitIdleEndsWhenTheLinkIsLostWithAFullQueue) {
  link.request.p[0] = 60000;
  commands.Send(cmd::kDwell);
  host.onProcessEvents = [&] { board.unplug(); };
  const auto start = clock.nowMicros();
  commands.WaitIdle();
  EXPECT_FALSE(link.state.LinkConnected);
  EXPECT_FALSE(system->StopRequested);
  EXPECT_LT(clock.nowMicros() - start, 1000000);
}

TEST_F(CommandSetTest, FeedOverrideStepsAreSentAndKept) {
  commands.ChangeFeedOverride(+1);
  commands.ChangeFeedOverride(+1);
  commands.ChangeFeedOverride(-1);
  EXPECT_EQ(commands.SpeedOverride, 1);
  EXPECT_EQ(board.board().feedOverrideSteps(), 1);
}

TEST_F(CommandSetTest, ArcWaitUsesIn2WhenItIsTheArcOkInput) {
  commands.WaitArcOk();
  fields.in2ArcOk = true;
  commands.WaitArcOk();
  system->StopRequested = true;
  commands.WaitArcOk();
  const auto sent = tap.requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].command, cmd::kArcWait);
  EXPECT_EQ(sent[1].command, cmd::kArcWaitIn2);
  EXPECT_EQ(sent[1].p[0], 2);
}

TEST_F(CommandSetTest, ProbeCarriesTheCorrectionsInZSteps) {
  commands.Probe(1.5, -0.25, 800, 40);
  const auto sent = last(cmd::kProbe);
  EXPECT_EQ(sent.p[0], static_cast<std::int32_t>(std::nearbyint(150 * system->scales.SZ)));
  EXPECT_EQ(sent.p[1], static_cast<std::int32_t>(std::nearbyint(-25 * system->scales.SZ)));
  EXPECT_EQ(sent.p[2], 800);
  EXPECT_EQ(sent.p[4], 40);
}

TEST_F(CommandSetTest, BuildersLeaveTheOtherParametersAsTheLastCommandSetThem) {
  commands.SetStartLevel(77);
  commands.Dwell(30);
  const auto dwell = last(cmd::kDwell);
  EXPECT_EQ(dwell.p[4], 77);
  EXPECT_EQ(dwell.p[0], 30);
}

}  // namespace
}  // namespace corvane::testing
