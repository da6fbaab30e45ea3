#include <gtest/gtest.h>

#include <functional>

#include "job/JobFixture.h"
#include "wire/Codes.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

bool IsMove(std::uint8_t code) {
  return code == cmd::kXyLine || code == cmd::kZMove || code == cmd::kZAboveMaterial || code == cmd::kProbe;
}

// Faults in the middle of a job: each ends the job in a defined state with a
// log line, keeps the stop point for Resume and moves nothing after it.
struct JobFaultsTest : JobFixture, ::testing::Test {
  JobFaultsTest() {
    set(kConfig, "xFeedMaxXY", "6000");
    set(kMain, "xFeed", "2000");
    tick(kConfig, "cOhmic");
    system->job.Job = {Square(1000, 1000, 5000), Square(8000, 1000, 3000)};
    system->job.ProjectOriginX = 2000;
    system->job.ProjectOriginY = 3000;
    Connect();
  }
  int cutsSoFar() {
    int n = 0;
    for (const auto& e : executed()) n += e.request.command == cmd::kXyLine && e.torchOn;
    return n;
  }
  // Runs the job with `fault` applied once the board has cut `after` moves;
  // returns the board time the fault happened.
  double RunWithFault(int after, const std::function<void()>& fault) {
    double at = -1;
    host.onProcessEvents = [&] {
      if (at >= 0 || cutsSoFar() < after) return;
      at = static_cast<double>(board().nowMicros());
      fault();
    };
    controller->runner.Start();
    host.onProcessEvents = nullptr;
    return at;
  }
  std::vector<std::string> movesAfter(double micros) {
    std::vector<std::string> out;
    for (const auto& e : executed())
      if (IsMove(e.request.command) && e.startMicros > micros + 1 && !(e.from == e.to))
        out.push_back(std::to_string(e.request.command) + " at " + std::to_string(e.startMicros));
    return out;
  }
  void ExpectStoppedInContour(int contour) {
    EXPECT_TRUE(logged("Working stopped"));
    EXPECT_FALSE(logged("Finish work OK"));
    EXPECT_EQ(system->job.CurrentContour, contour);
    EXPECT_NE(system->job.StopPoint, (Point2{0, 0})) << "the stop point is kept for Resume";
    EXPECT_FALSE(system->Busy);
  }
};

TEST_F(JobFaultsTest, AnAlarmMidContourStopsTheJobAndNothingMovesAfter) {
  const double at = RunWithFault(2, [&] { board().board().setInput(sim::Input::Collision, true); });
  ASSERT_GE(at, 0);
  ExpectStoppedInContour(0);
  EXPECT_TRUE(logged("Alarm 102: COLISION SWITCH !") || controller->link.state.StatusCode == wire::alarm::kCollision);
  EXPECT_EQ(movesAfter(at), std::vector<std::string>{});
}

TEST_F(JobFaultsTest, AStopDuringThePierceDwellEndsTheDwell) {
  set(kMain, "eTime", "5000");
  double at = -1;
  host.onProcessEvents = [&] {
    if (at >= 0) return;
    for (const auto& e : executed())
      if (e.request.command == cmd::kDwell && e.request.p[0] == 5000 && e.endMicros == e.startMicros &&
          board().board().queueFill() > 0) {
        at = static_cast<double>(board().nowMicros());
        controller->commands.StopMotion();
        return;
      }
  };
  controller->runner.Start();
  ASSERT_GE(at, 0) << "the dwell was never running";
  ExpectStoppedInContour(0);
  EXPECT_EQ(movesAfter(at), std::vector<std::string>{});
  EXPECT_TRUE(executedWith(cmd::kXyLine).empty() || !executed().back().torchOn);
}

TEST_F(JobFaultsTest, AnOhmicSensorThatNeverTouchesIsBlownOutOnceThenTheJobStops) {
  board().board().machine().layout().materialSurface.reset();
  tick(kConfig, "cSpec5");
  controller->runner.Start();
  ExpectStoppedInContour(0);
  EXPECT_TRUE(logged("OHMIC Auto blowing out"));
  EXPECT_EQ(controller->link.state.StatusCode, wire::alarm::kMaterialDetection);
  EXPECT_EQ(cutsSoFar(), 0);
}

TEST_F(JobFaultsTest, ALostArcStopsTheJobBeforeItCuts) {
  board().board().machine().layout().arcAvailable = false;
  tick(kConfig, "cArcOk");
  controller->runner.Start();
  ExpectStoppedInContour(0);
  EXPECT_EQ(controller->link.state.StatusCode, wire::alarm::kArcOk);
  EXPECT_EQ(cutsSoFar(), 0) << "no cutting move without an arc";
}

// The board unplugged mid-job: the job stops where the board was last seen,
// instead of finishing as a simulation and reporting the sheet as cut.
TEST_F(JobFaultsTest, ALostLinkStopsTheJobAndKeepsTheStopPoint) {
  const double at = RunWithFault(2, [&] { board().unplug(); });
  ASSERT_GE(at, 0);
  EXPECT_TRUE(logged("Controller lost: job stopped"));
  ExpectStoppedInContour(0);
  EXPECT_FALSE(controller->link.state.LinkConnected);
  EXPECT_FALSE(logged("Save : LastGood"));
}

TEST_F(JobFaultsTest, AnEmptyJobStartsAndEndsWithoutMotion) {
  system->job.Job.clear();
  controller->runner.Start();
  EXPECT_TRUE(logged("Finish work OK"));
  for (const auto& e : executed()) EXPECT_FALSE(IsMove(e.request.command) && !(e.from == e.to));
}

}  // namespace
}  // namespace corvane::testing
