#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "job/JobFixture.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

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

}  // namespace
}  // namespace corvane::testing
