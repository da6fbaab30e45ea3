#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>

#include "job/CutCoverage.h"
#include "job/JobFixture.h"
#include "reliability/PtyRig.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

// The simulator's cable pulled while the second contour is being cut, over the
// real terminal: the program stops without hanging and keeps the stop point,
// while the board runs out what it had queued (the rest of that contour).
// With the cable back, a new connection and Resume finish the job, and the
// board's cuts of both runs together are the whole job, with nothing cut
// twice but the lead-in of the resumed contour.
TEST(LinkLoss, ThePulledCableStopsTheJobAndResumeAfterReconnectingFinishesIt) {
  PtyRig rig;
  ASSERT_TRUE(rig.StartServer());
  System& s = *rig.system;
  s.fields.setText(kConfig, "xFeedMaxXY", "12000");
  s.fields.setText(kMain, "xFeed", "3000");
  s.fields.setText(kMain, "eTime", "0");
  s.fields.setText(kConfig, "xCor1", "0");
  s.fields.setChecked(kConfig, "cOhmic", false);
  ASSERT_TRUE(rig.Connect());
  s.job.Job = {Square(1000, 1000, 3000), Square(5000, 1000, 3000), Square(9000, 1000, 3000)};
  s.job.ProjectOriginX = s.job.MachinePosition.x;
  s.job.ProjectOriginY = s.job.MachinePosition.y;

  bool pulled = false;
  rig.host.onProcessEvents = [&] {
    const JournalRecord& last = rig.controller->runner.journal().last();
    if (pulled || last.contour < 1 || last.vertex < 2) return;
    pulled = true;
    rig.Control("unplug");
  };
  rig.controller->runner.Start();
  rig.host.onProcessEvents = nullptr;
  ASSERT_TRUE(pulled);
  const auto logged = [&](const std::string& line) {
    return std::find(rig.host.logPane.begin(), rig.host.logPane.end(), line) != rig.host.logPane.end();
  };
  EXPECT_TRUE(logged("Controller lost: job stopped"));
  EXPECT_TRUE(logged("Working stopped"));
  EXPECT_EQ(s.job.CurrentContour, 1);
  ASSERT_NE(s.job.StopPoint, (Point2{0, 0})) << "the stop point is kept";

  // The cable goes back once the board has run out what it had queued, as it
  // does while the operator finds the plug.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (rig.Control("state").find("queue 0,") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    ::poll(nullptr, 0, 20);
  ASSERT_NE(rig.Control("plug").find("ok"), std::string::npos);
  rig.controller->connection.Connect();
  ASSERT_TRUE(rig.controller->link.state.LinkConnected);
  rig.controller->connection.ReferencedAxes = 7;
  rig.clock.skip(2000000);
  const double resumedAt = static_cast<double>(rig.BoardMicros());
  rig.controller->runner.Resume();
  EXPECT_TRUE(logged("Finish work OK"));
  rig.StopServer();

  const auto& executed = rig.board().board().executed();
  std::size_t before = 0;
  while (before < executed.size() && executed[before].startMicros < resumedAt) ++before;
  const auto all = CutsInJob(executed, 0, s.scales, s.job), resumed = CutsInJob(executed, before, s.scales, s.job);
  const auto earlier = CutsInJob(std::vector<sim::ExecutedEntry>(executed.begin(), executed.begin() + before), 0,
                                 s.scales, s.job);
  const CNCpath& first = s.job.Job[0];
  EXPECT_TRUE(logged("The board went on without the link to contour 2: resuming where it stands"));
  for (const CNCpath& c : s.job.Job) EXPECT_TRUE(Covers(all, c, {c[1].x, c[1].y})) << "no gap";
  // Every stretch cut twice: the midpoints of the earlier cuts that the resumed run passes again.
  int twice = 0;
  for (const CutMove& m : earlier)
    twice += AnyCutAt(resumed, {(m.from.x + m.to.x) / 2, (m.from.y + m.to.y) / 2});
  EXPECT_LE(twice, 1) << "nothing cut a second time but the lead-in of the resumed contour";
  EXPECT_FALSE(AnyCutAt(resumed, {(first[2].x + first[3].x) / 2, (first[2].y + first[3].y) / 2}));
}

}  // namespace
}  // namespace corvane::testing
