#include <gtest/gtest.h>

#include <string>

#include "reliability/JobChecks.h"
#include "reliability/LineJob.h"

namespace corvane::testing {
namespace {

// A zigzag of `teeth` sharp teeth (2 mm wide, 3 mm high) from (x, y): every
// vertex is a corner the planner keeps, so each is a queue entry of its own.
CNCpath Zigzag(std::int32_t x, std::int32_t y, int teeth) {
  CNCpath c{{kKindCut, 0}};
  for (int i = 0; i <= 2 * teeth; ++i) c.push_back({x + i * 100, y + (i % 2) * 300});
  return c;
}

// The board's cuts of the record from entry `first` on.
std::vector<CutMove> CutsFrom(LineJob& fx, std::size_t first) {
  return CutsInJob(fx.executed(), first, fx.system->scales, fx.system->job);
}

// Stretches the resumed run cuts a second time: midpoints of the earlier cuts it passes again.
int CutTwice(LineJob& fx, std::size_t resumedFrom) {
  const std::vector<sim::ExecutedEntry> before(fx.executed().begin(), fx.executed().begin() + resumedFrom);
  const auto earlier = CutsInJob(before, 0, fx.system->scales, fx.system->job);
  const auto resumed = CutsFrom(fx, resumedFrom);
  int twice = 0;
  for (const CutMove& m : earlier) twice += AnyCutAt(resumed, {(m.from.x + m.to.x) / 2, (m.from.y + m.to.y) / 2});
  return twice;
}

// The cable pulled in the middle of a contour longer than the board's queue:
// the board runs out what it holds and stops mid-contour with the torch on.
// After plug, connect and Resume the program takes up that contour where the
// board stands, not a later contour that passes nearby (the last one runs
// along the zigzag's foot), and the job ends only once every contour is cut.
TEST(RunOutResume, APulledCableInsideALongContourResumesWhereTheBoardStopped) {
  LineJob fx;
  CNCpath foot{{kKindCut, 0}, {1000, 1000}, {1000 + 2 * 1400 * 100, 1000}};
  fx.system->job.Job = {Zigzag(1000, 1000, 1400), Square(1000, 5000, 2000), foot};
  fx.Connect();
  fx.system->job.ProjectOriginX = fx.system->job.MachinePosition.x;
  fx.system->job.ProjectOriginY = fx.system->job.MachinePosition.y;

  bool pulled = false;
  fx.host.onProcessEvents = [&] {
    const JournalRecord& last = fx.controller->runner.journal().last();
    if (pulled || last.contour != 0 || last.vertex < 600) return;
    pulled = true;
    fx.board().unplug();
  };
  fx.controller->runner.Start();
  fx.host.onProcessEvents = nullptr;
  ASSERT_TRUE(pulled);
  EXPECT_TRUE(fx.logged("Controller lost: job stopped"));
  EXPECT_EQ(fx.system->job.CurrentContour, 0);
  // The last position the program read lies off the drawn line (0.95 mm
  // below the zigzag's nearest foot), as a reading taken on a move between
  // two far vertices does: it must not send the resume to another contour.
  Point2& stop = fx.system->job.StopPoint;
  stop = {1000 + (stop.x - 1000 + 100) / 200 * 200, 1000 - 95};
  // The board runs on to the end of its queue while the operator finds the plug.
  ASSERT_GT(fx.board().board().queueFill(), 0);
  while (fx.board().board().queueFill() > 0) {
    fx.clock.advance(100000);
    fx.board().advanceTo(fx.board().nowMicros() + 100000);
  }
  EXPECT_TRUE(fx.board().board().torchOn()) << "the queue ran out inside the contour";
  fx.board().plugIn();
  fx.controller->connection.Connect();
  ASSERT_TRUE(fx.controller->link.state.LinkConnected);
  fx.controller->connection.ReferencedAxes = 7;
  fx.clock.advance(2000000);
  const std::size_t resumedFrom = fx.executed().size();
  fx.controller->runner.Resume();

  EXPECT_TRUE(fx.logged("The board went on without the link to contour 1: resuming where it stands"));
  EXPECT_TRUE(fx.logged("Finish work OK"));
  EXPECT_EQ(UncutContours(fx.executed(), fx.system->scales, fx.system->job), std::vector<int>{});
  EXPECT_LE(CutTwice(fx, resumedFrom), 2) << "nothing cut a second time but the resumed contour's lead-in";
}

// The board stopped on the contour's last segment short of its end: the rest
// of that segment is cut on Resume; only the end itself, with the torch off,
// makes the contour done.
TEST(RunOutResume, StoppingOnTheLastSegmentShortOfItsEndLeavesItForTheResume) {
  LineJob fx;
  // One long last segment, so the queue runs out on it.
  CNCpath contour = Zigzag(1000, 1000, 1200);
  contour.push_back({contour.back().x, contour.back().y + 20000});
  fx.system->job.Job = {contour, Square(1000, 30000, 2000)};
  fx.Connect();
  fx.system->job.ProjectOriginX = fx.system->job.MachinePosition.x;
  fx.system->job.ProjectOriginY = fx.system->job.MachinePosition.y;

  bool pulled = false;
  const std::int32_t lastVertex = static_cast<std::int32_t>(contour.size()) - 2;
  fx.host.onProcessEvents = [&] {
    const JournalRecord& last = fx.controller->runner.journal().last();
    if (pulled || last.contour != 0 || last.vertex < lastVertex) return;
    pulled = true;
    fx.board().unplug();
  };
  // The board stops on the last segment: an E-stop pressed at the machine
  // while the cable is out, 5 mm into the 200 mm segment.
  fx.controller->runner.Start();
  fx.host.onProcessEvents = nullptr;
  ASSERT_TRUE(pulled);
  fx.board().board().setInput(sim::Input::EStop, true);
  fx.board().board().setInput(sim::Input::EStop, false);
  fx.board().plugIn();
  fx.controller->connection.Connect();
  ASSERT_TRUE(fx.controller->link.state.LinkConnected);
  fx.controller->connection.ReferencedAxes = 7;
  fx.clock.advance(2000000);
  fx.controller->runner.Resume();

  EXPECT_TRUE(fx.logged("The board went on without the link to contour 1: resuming where it stands"));
  EXPECT_TRUE(fx.logged("Finish work OK"));
  EXPECT_EQ(UncutContours(fx.executed(), fx.system->scales, fx.system->job), std::vector<int>{});
}

}  // namespace
}  // namespace corvane::testing
