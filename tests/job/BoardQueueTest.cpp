#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "job/CorpusDrawing.h"
#include "job/JobFixture.h"
#include "model/Geometry.h"
#include "model/JobNormalise.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
// A dead program leaves the torch cutting for a second at the most.
constexpr double kRunOutSeconds = 1.0;

bool IsMoveCommand(std::uint8_t c) {
  return c == cmd::kXyLine || c == cmd::kZMove || c == cmd::kZAboveMaterial ||
         c == cmd::kXyzaMove || c == cmd::kYaMove;
}

// What the board cut on its own after `since`: board time and XY distance of
// its moves with the torch on.
struct RunOut {
  double seconds = 0, mm = 0;
};

RunOut TorchOnMotionAfter(const std::vector<sim::ExecutedEntry>& executed, double since,
                          const AxisScales& s) {
  RunOut out;
  for (const auto& e : executed) {
    if (!IsMoveCommand(e.request.command) || !e.torchOn || e.endMicros <= since) continue;
    const double span = e.endMicros - e.startMicros;
    const double after = e.endMicros - std::max(e.startMicros, since);
    out.seconds += after / 1e6;
    const double mm = std::hypot((e.to[0] - e.from[0]) / s.SX, (e.to[1] - e.from[1]) / s.SY) / 100;
    out.mm += span > 0 ? mm * after / span : 0;
  }
  return out;
}

// How far the board is moved at a time where a test moves it alone.
constexpr std::int64_t kStepMicros = 1000;

// Counts the moments the board stands with its queue empty while the torch
// burns (between a torch-on and its torch-off), as seen by every frame the
// program writes.
struct IdleWatch {
  explicit IdleWatch(JobFixture& fixture) : fx(fixture) {}
  void OnFrame() {
    const sim::Board& b = fx.board().board();
    if (b.torchOn() && b.queueFill() == 0) ++idle;
  }
  JobFixture& fx;
  int idle = 0;
};

// The program's end: the frame it was writing never reaches the board.
struct ProgramDied {};

// An open zigzag whose every vertex is a sharp corner, so the planner keeps
// them all and the cut is one move per vertex.
CNCpath Zigzag(int vertices) {
  CNCpath c{{kKindCut, 0}};
  for (int i = 0; i < vertices; ++i) c.push_back({i * 20, (i % 2) * 100});
  return c;
}

struct BoardQueueTest : JobFixture, ::testing::Test {
  BoardQueueTest() {
    set(kConfig, "xFeedMaxXY", "6000");
    set(kMain, "xFeed", "2000");
    set(kMain, "eTime", "300");
    system->job.ProjectOriginX = 2000;
    system->job.ProjectOriginY = 3000;
  }
  JobRunner& runner() { return controller->runner; }
  StreamRules rules() const { return {.rapidLevel = SpeedLevel(6000, system->speeds.X)}; }
  int highestFill() const {
    int fill = 0;
    for (const auto& e : stream) fill = std::max(fill, e.fillOnArrival);
    return fill;
  }
};

// A contour of more moves than the board's queue holds, cut as a dry run
// (nothing bounds the queue but its fill): whatever ends the contour (torch
// off, the idle wait's sequence end and dwells) waits for room like every move.
TEST_F(BoardQueueTest, NothingIsQueuedAtTheThrottleFillAfterAContourLongerThanTheQueue) {
  const int vertices = MachineCommands::kThrottleFill + 700;
  system->job.Job = {Zigzag(vertices)};
  system->job.JobExtentX = (vertices - 1) * 20;
  system->job.JobExtentY = 100;
  Connect();
  Record();
  runner().ui.shiftHeld = [] { return true; };
  runner().Start();
  ASSERT_TRUE(logged("Finish work OK"));
  EXPECT_GE(highestFill(), MachineCommands::kThrottleFill - 1)
      << "the queue never filled: the case proves nothing";
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{});
}

// A real drawing of 69 parts, cut whole: the queue held short while the torch
// burns never runs dry before the contour's end, not even before a pierce
// that on its own lasts longer than the run-out.
TEST_F(BoardQueueTest, ARealJobNeverLeavesTheBoardIdleWithTheTorchOn) {
  set(kConfig, "xFeedMaxXY", "8000");
  set(kMain, "xFeed", "3000");
  set(kMain, "eTime", "1500");
  tick(kConfig, "cOhmic");
  ReplaceJob(system->job, ReadCorpusJob(*system, std::string(CORVANE_CORPUS_DIR) +
                                                     "/dxf/irnas__Bottom_plate.DXF"));
  system->job.ProjectOriginX = 5000;
  system->job.ProjectOriginY = 5000;
  Connect();
  Record();
  IdleWatch watch(*this);
  const auto record = tap->onWrite;
  tap->onWrite = [&](const std::vector<std::uint8_t>& frame) {
    record(frame);
    watch.OnFrame();
  };
  runner().Start();
  ASSERT_TRUE(logged("Finish work OK"));
  EXPECT_EQ(StreamFaults({.rapidLevel = SpeedLevel(8000, system->speeds.X)}),
            std::vector<std::string>{});
  EXPECT_GE(executedWith(cmd::kTorchOff).size(), system->job.Job.size());
  EXPECT_EQ(watch.idle, 0);
}

// The operator stops while the program waits for the queue to run down
// under the burning torch: the stop goes out at once, and nothing held back
// for room moves the board after it.
TEST_F(BoardQueueTest, AStopWhileWaitingForRoomEndsTheCutThere) {
  system->job.Job = {Square(0, 0, 30000)};
  system->job.JobExtentX = system->job.JobExtentY = 30000;
  Connect();
  Record();
  double litAt = -1;
  // Waiting for room, the program reads status A and B before it lets the
  // screen run again.
  const auto waitingForRoom = [&] {
    const auto codes = tap->commandCodes();
    return codes.size() >= 2 && codes[codes.size() - 2] == cmd::kStatusA &&
           codes.back() == cmd::kStatusB;
  };
  host.onProcessEvents = [&] {
    const double now = static_cast<double>(board().nowMicros());
    if (litAt < 0 && board().board().torchOn()) litAt = now;
    if (litAt < 0 || now - litAt < 3e6 || !waitingForRoom() || system->StopRequested) return;
    MarkOperator(StreamEvent::Kind::OperatorStop);
    controller->commands.StopMotion();
  };
  runner().Start();
  host.onProcessEvents = nullptr;
  ASSERT_GT(litAt, 0);
  EXPECT_TRUE(logged("Working stopped"));
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{});
  // Stricter than the board's record, where a stop that follows may drop it:
  // no move goes out at all once the operator has stopped.
  const auto stop = std::find_if(stream.begin(), stream.end(), [](const StreamEvent& e) {
    return e.kind == StreamEvent::Kind::OperatorStop;
  });
  ASSERT_NE(stop, stream.end());
  for (auto e = stop; e != stream.end(); ++e)
    EXPECT_FALSE(e->kind == StreamEvent::Kind::Frame && IsMoveCommand(e->request.command))
        << "command " << int(e->request.command) << " sent after the stop";
}

double PathLength(const CNCpath& c) {
  double length = 0;
  for (std::size_t i = 2; i < c.size(); ++i) length += Dist(c[i - 1], c[i]);
  return length;
}

// The longest contour of a real drawing cut on its own at 3000 mm/min, and the
// program gone `dieAfter` seconds after the board lit the torch: what the
// board cut after that on its own.
RunOut DieMidContour(double dieAfter) {
  JobFixture fx;
  fx.set(kConfig, "xFeedMaxXY", "8000");
  fx.set(kMain, "xFeed", "3000");
  fx.tick(kConfig, "cOhmic");
  const tCNCPath drawing =
      ReadCorpusJob(*fx.system, std::string(CORVANE_CORPUS_DIR) + "/dxf/irnas__Bottom_plate.DXF");
  const CNCpath longest =
      *std::max_element(drawing.begin(), drawing.end(),
                        [](const auto& a, const auto& b) { return PathLength(a) < PathLength(b); });
  EXPECT_GT(PathLength(longest) / 100.0 / (3000 / 60.0), dieAfter + 3)
      << "the contour must outlast the moment";
  ReplaceJob(fx.system->job, {longest});
  fx.system->job.ProjectOriginX = 5000;
  fx.system->job.ProjectOriginY = 5000;
  fx.Connect();
  double litAt = -1, diedAt = -1;
  fx.tap->onWrite = [&](const std::vector<std::uint8_t>&) {
    if (fx.clock.nowMicros() > fx.board().nowMicros()) fx.board().advanceTo(fx.clock.nowMicros());
    const double now = static_cast<double>(fx.board().nowMicros());
    if (litAt < 0 && fx.board().board().torchOn()) litAt = now;
    if (litAt < 0 || now - litAt < dieAfter * 1e6) return;
    diedAt = now;
    throw ProgramDied{};
  };
  EXPECT_THROW(fx.controller->runner.Start(), ProgramDied);
  fx.tap->onWrite = nullptr;
  if (diedAt < 0) return {};
  EXPECT_TRUE(fx.board().board().torchOn()) << "died while cutting";
  // In small steps, as the clock moves it: the record takes the end of an
  // entry at the start of the step that ends it.
  for (std::int64_t t = static_cast<std::int64_t>(diedAt);
       fx.board().board().queueFill() > 0 && t < diedAt + 120e6;)
    fx.board().advanceTo(t += kStepMicros);
  return TorchOnMotionAfter(fx.executed(), diedAt, fx.system->scales);
}

// The program dies in the middle of a long contour, the board still running:
// it cuts on with the torch on for no longer than the run-out the queue is
// held to, wherever along the contour the program went.
TEST(BoardRunOut, ADeadProgramLeavesTheTorchCuttingForAtMostTheRunOut) {
  for (const double dieAfter : {2.0, 4.5, 7.0}) {
    SCOPED_TRACE(dieAfter);
    const RunOut out = DieMidContour(dieAfter);
    std::printf(
        "run-out after the program died %.1f s into the cut: %.2f s, %.1f mm with the torch on\n",
        dieAfter, out.seconds, out.mm);
    EXPECT_LE(out.seconds, kRunOutSeconds);
    EXPECT_GT(out.seconds, 0) << "the board stood still: its queue had run dry";
  }
}

}  // namespace
}  // namespace corvane::testing
