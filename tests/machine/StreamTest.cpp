#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "machine/Moves.h"
#include "support/BoardFixture.h"
#include "wire/Commands.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
using Kind = StreamEvent::Kind;

struct StreamTest : BoardFixture, ::testing::Test {
  StreamTest() {
    system->fields.setText(Window::Configuration, "xFeedMinXY", "762");
    system->Busy = true;
    OpenLink();
    commands.SetPosition(0, 0, 2000, 0);
    system->StopRequested = false;
    RecordStream();
  }
  // Straight over the link, past every rule of the command set.
  bool Send(std::uint8_t code, std::int32_t p0 = 0, std::int32_t p1 = 0, std::int32_t p4 = 0) {
    link.request.p = {p0, p1, 0, 0, p4};
    link.request.command = code;
    return link.Exchange();
  }
  bool Reported(const std::string& part) const {
    const auto faults = StreamFaults(rules);
    return std::any_of(faults.begin(), faults.end(),
                       [&](const std::string& f) { return f.find(part) != std::string::npos; });
  }
  int rapidLevel() const { return SpeedLevel(8000, system->speeds.X); }
  StreamRules rules{.rapidLevel = SpeedLevel(8000, system->speeds.X)};
  Moves moves{*system, link, commands};
};

// Each rule, broken on purpose by commands sent straight to the board, is
// reported; the same runs done the program's way are clean.
TEST_F(StreamTest, TheCheckerReportsEachBrokenRule) {
  Send(cmd::kTorchOn);
  Send(cmd::kXyLine, 8000, 0, rapidLevel());
  commands.WaitIdle();
  EXPECT_TRUE(Reported("torch on during a rapid")) << DescribeStream(stream);
  Send(cmd::kTorchOff);

  for (int i = 0; i < 2310; ++i) Send(cmd::kDwell, 1000);
  EXPECT_TRUE(Reported("sent at fill 2300"));
  commands.StopMotion();

  MarkOperator(Kind::OperatorStop);
  EXPECT_TRUE(Reported("never sent command 200"));
  Send(cmd::kStop, 0, 0, 100);
  Send(cmd::kXyLine, 100, 100, 100);
  commands.WaitIdle();
  EXPECT_TRUE(Reported("after the stop"));
}

TEST_F(StreamTest, AThrottledStreamNeverQueuesAtTheLimit) {
  for (int i = 1; i <= 2600; ++i) moves.MoveXY(i * 10, (i % 2) * 10, 200, false);
  int highest = 0;
  for (const auto& e : stream) highest = std::max(highest, e.fillOnArrival);
  EXPECT_GE(highest, 2250) << "the throttle was not reached";
  EXPECT_EQ(StreamFaults(rules), std::vector<std::string>{});
}

// With the queue at the throttle fill, every builder waits for room before
// each command it queues: a move's ramp, start level and two parts, the
// torch and its output, a dwell, the idle wait's sequence end and dwells.
TEST_F(StreamTest, EveryBuilderWaitsForRoomBeforeEachQueuedCommand) {
  commands.commandFields = [] {
    CommandFields f;
    f.out1 = OutputMode::PlasmaOnOff;
    return f;
  };
  system->fields.setText(Window::Configuration, "eAccXY", "20");
  struct Case {
    const char* what;
    std::function<void()> run;
  };
  std::int32_t x = 0;
  const Case cases[] = {
      {"ramped XY move", [&] { moves.MoveXY(x += 5000, 0, 3000, true); }},
      {"Z move", [&] { moves.MoveZ(system->job.LastCommanded.z + 1000, 2000); }},
      {"ramped four-axis move", [&] { moves.QueueXYZA(x += 5000, 0, 500, true, 3000, 0); }},
      {"torch on", [&] { commands.TorchOn(); }},
      {"torch off", [&] { commands.TorchOff(); }},
      {"dwell", [&] { commands.Dwell(20); }},
      {"idle wait", [&] { commands.WaitIdle(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    stream.clear();
    while (link.state.QueueFill < MachineCommands::kThrottleFill)
      ASSERT_TRUE(Send(cmd::kDwell, 100));
    c.run();
    EXPECT_EQ(StreamFaults(rules), std::vector<std::string>{});
    Send(cmd::kMotionReset);
    moves.ResetMotionState();
    system->job.LastCommanded = {x, 0, 500, 0};
    commands.SetPosition(x, 0, 500, 0);
  }
}

// The operator's stop, pressed while the program waits on a full queue,
// reaches the wire as the very next command, and nothing moves after it.
TEST_F(StreamTest, AnOperatorStopIsTheNextCommandAndEndsAllMotion) {
  std::int64_t pressedAt = -1;
  host.onProcessEvents = [&] {
    if (pressedAt >= 0 || board.board().queueFill() < 2300) return;
    pressedAt = clock.nowMicros();
    MarkOperator(Kind::OperatorStop);
    commands.StopMotion();
  };
  for (int i = 1; i <= 2600 && !system->StopRequested; ++i)
    moves.MoveXY(i * 10, (i % 2) * 10, 200, false);
  for (int i = 0; i < 5; ++i) moves.MoveXY(5000, 5000, 3000, true);  // a runner carrying on
  commands.WaitIdle();
  ASSERT_GE(pressedAt, 0);

  EXPECT_EQ(StreamFaults(rules), std::vector<std::string>{});
  const auto stop = std::find_if(stream.begin(), stream.end(),
                                 [](const StreamEvent& e) { return e.request.command == cmd::kStop; });
  ASSERT_NE(stop, stream.end());
  EXPECT_LE(stop->micros - pressedAt, link.replyTimeoutMicros) << "more than one exchange";
  const auto held = board.board().position();
  clock.advance(2000000);
  commands.ReadStatusA();
  EXPECT_EQ(board.board().position(), held);
}

}  // namespace
}  // namespace corvane::testing
