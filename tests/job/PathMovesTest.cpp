#include <gtest/gtest.h>

#include <cmath>

#include "job/JobFixture.h"
#include "job/PathMoves.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kConfig = Window::Configuration;

struct PathMovesTest : JobFixture, ::testing::Test {
  PathMovesTest() {
    set(kConfig, "xFeedMaxXY", "6000");
    system->job.ProjectOriginX = 2000;
    system->job.ProjectOriginY = 3000;
    Connect();
  }
  // Where the board stands, compared within one motor step.
  void ExpectAt(std::int32_t x, std::int32_t y) {
    controller->commands.WaitIdle();
    const auto p = board().board().position();
    EXPECT_NEAR(p[0], x * system->scales.SX, 1);
    EXPECT_NEAR(p[1], y * system->scales.SY, 1);
  }
  Controller& c() { return *controller; }
};

TEST_F(PathMovesTest, MoveHereAndMoveToZeroGoToThePickedPointAndTheOriginWithinTheLimits) {
  system->job.ResumePoint = {4000, 1500};
  MoveHere(*system, c().commands, c().moves);
  ExpectAt(6000, 4500);
  MoveToZero(*system, c().commands, c().moves);
  ExpectAt(2000, 3000);

  tick(kConfig, "cLimits");
  set(kConfig, "xLimitX", "50");
  set(kConfig, "xLimitY", "500");
  system->job.ResumePoint = {4000, 1500};  // X 60 mm: beyond the 50 mm table
  MoveHere(*system, c().commands, c().moves);
  ExpectAt(2000, 3000);  // nothing moves outside the limits
}

TEST_F(PathMovesTest, ASingleLineIsCutFromTheTorchToThePickedPoint) {
  system->job.ResumePoint = {5000, 0};
  CutSingleLine(*system, c().commands, c().cutting);
  std::vector<sim::ExecutedEntry> cut;
  for (const auto& e : executedWith(cmd::kXyLine))
    if (e.torchOn) cut.push_back(e);
  ASSERT_FALSE(cut.empty());
  EXPECT_NEAR(cut.back().to[0], 7000 * system->scales.SX, 1);
  EXPECT_NEAR(cut.back().to[1], 3000 * system->scales.SY, 1);
  EXPECT_FALSE(system->Busy);
  EXPECT_FALSE(HasLineStart(system->prep));
  EXPECT_EQ(system->job.Job.size(), 0u) << "the line is never stored in the job";
}

}  // namespace
}  // namespace corvane::testing
