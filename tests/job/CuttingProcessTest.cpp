#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "job/JobFixture.h"
#include "model/Geometry.h"
#include "model/MoveSpeeds.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

struct CuttingProcessTest : JobFixture, ::testing::Test {
  CuttingProcessTest() {
    set(kConfig, "xFeedMaxXY", "6000");
    set(kMain, "xFeed", "2000");
    set(kMain, "eTime", "300");
    set(kConfig, "xSmall", "25.4");
    system->job.ProjectOriginX = 2000;
    system->job.ProjectOriginY = 3000;
    Connect();
    system->StopRequested = false;
    system->Busy = true;
  }
  CuttingProcess& cutting() { return controller->cutting; }
  void Cut(const CNCpath& contour) {
    cutting().CutContour(contour);
    controller->commands.WaitIdle();
  }
  // Heights above the sensed surface that the board was sent to, in 0.01 mm.
  std::vector<std::int32_t> aboveSurface() {
    std::vector<std::int32_t> out;
    for (const auto& e : executedWith(cmd::kZAboveMaterial))
      out.push_back(static_cast<std::int32_t>(std::lround(e.request.p[2] / system->scales.SZ)));
    return out;
  }
  std::vector<sim::ExecutedEntry> cuts() {
    std::vector<sim::ExecutedEntry> out;
    for (const auto& e : executedWith(cmd::kXyLine))
      if (e.torchOn) out.push_back(e);
    return out;
  }
};

TEST_F(CuttingProcessTest, PiercingHeightFollowsThePiercingTime) {
  tick(kConfig, "cOhmic");
  struct Case {
    const char* eTime;
    std::int32_t firstHeight;
  } cases[] = {{"99", 254}, {"100", 508}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.eTime);
    board().board().clearExecuted();
    set(kMain, "eTime", c.eTime);
    cutting().LastSensePoint = {-100000, -100000};
    Cut(Square(0, 0, 5000));
    const auto heights = aboveSurface();
    ASSERT_GE(heights.size(), 2u);
    // The second command of the pair is the target height (the first brakes).
    EXPECT_EQ(heights[1], c.firstHeight);
    EXPECT_EQ(heights.back(), 254) << "cuts at the cutting height";
  }
}

TEST_F(CuttingProcessTest, SmallContoursUseCuttingSpeedTwoAndNeverTheHeightControl) {
  set(kMain, "eTHC", "on");
  set(kMain, "xFeed2", "50%");
  Cut(Square(0, 0, 2000));
  EXPECT_EQ(cutting().ContourSpeedClass, 2);
  std::int32_t fastest = 0;
  for (const auto& r : system->job.PlannedPath) fastest = std::max(fastest, r.speed);
  EXPECT_EQ(fastest, 1000) << "50 % of 2000 mm/min";
  for (const auto& e : cuts()) EXPECT_EQ(e.request.p[2], 0) << "THC on a small contour";

  board().board().clearExecuted();
  Cut(Square(0, 0, 8000));
  EXPECT_EQ(cutting().ContourSpeedClass, 1);
  bool thc = false;
  for (const auto& e : cuts()) thc = thc || e.request.p[2] != 0;
  EXPECT_TRUE(thc) << "a normal contour cuts under THC with the button down";
}

TEST_F(CuttingProcessTest, MarkerContoursNeverSenseOrFireAndNeedTheirHead) {
  const CNCpath marker = Square(0, 0, 5000, kKindMarker);
  Cut(marker);
  EXPECT_EQ(host.errorLabel, "Change tool to : SCRIBBER");
  EXPECT_TRUE(system->StopRequested);
  EXPECT_TRUE(executedWith(cmd::kXyLine).empty()) << "nothing of the contour is cut";

  system->StopRequested = false;
  set(kConfig, "xSpec11", "10");
  set(kConfig, "xSpec12", "0");
  set(kMain, "eMarkerTime", "700");
  board().board().clearExecuted();
  Cut(marker);
  EXPECT_TRUE(executedWith(cmd::kProbe).empty());
  EXPECT_TRUE(executedWith(cmd::kTorchOn).empty());
  const auto dwells = executedWith(cmd::kDwell);
  EXPECT_TRUE(std::any_of(dwells.begin(), dwells.end(), [](const auto& e) { return e.request.p[0] == 700; }));
  // The marker head sits 10 mm to the right of the torch: the job moves left.
  const auto lines = executedWith(cmd::kXyLine);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().to[0], std::lround((2000 - 1000) * system->scales.SX));
}

TEST_F(CuttingProcessTest, MarkOnlyPiercesAtThePiercingHeightAndCutsNothing) {
  tick(kConfig, "cOhmic");
  cutting().ui.markOnlyDown = [] { return true; };
  set(kMain, "eTime", "50");
  Cut(Square(0, 0, 5000));
  const auto heights = aboveSurface();
  ASSERT_FALSE(heights.empty());
  EXPECT_EQ(heights.back(), 508) << "pierced at the piercing height even with a short time";
  EXPECT_TRUE(cuts().empty()) << "no cutting move";
  EXPECT_EQ(executedWith(cmd::kTorchOn).size(), 2u);
}

TEST_F(CuttingProcessTest, MillingCutsInPassesDownToTheDepth) {
  tick(kConfig, "cSpec1a");
  board().board().machine().layout().floatingTravel = 4000;  // a spindle, no floating head to trip
  set(kMain, "xDepth", "10.16");
  set(kMain, "xDepthP", "2.54");
  Cut(Square(0, 0, 5000));
  const std::int32_t surface = system->job.ProjectOriginZ;
  // The heights at which the board travelled the contour.
  std::vector<std::int32_t> passes;
  for (const auto& e : executedWith(cmd::kXyLine)) {
    const auto z = static_cast<std::int32_t>(std::lround(e.from[2] / system->scales.SZ));
    if (z < surface && (passes.empty() || passes.back() != z)) passes.push_back(z);
  }
  EXPECT_EQ(passes, (std::vector<std::int32_t>{surface - 254, surface - 508, surface - 762, surface - 1016}));
  EXPECT_TRUE(executedWith(cmd::kProbe).empty()) << "milling never senses";
}

// The point `length` before the end of a contour, walking back along it.
Point64 BeforeTheEnd(const CNCpath& c, double length) {
  for (std::size_t i = c.size() - 1; i >= 2; --i) {
    const double segment = Dist(c[i - 1], c[i]);
    if (segment >= length) {
      const double t = length / segment;
      return {std::llround(c[i].x + (c[i - 1].x - c[i].x) * t),
              std::llround(c[i].y + (c[i - 1].y - c[i].y) * t)};
    }
    length -= segment;
  }
  return {c[1].x, c[1].y};
}

// With a lead-out along the contour the torch goes off where the lead-out
// begins, its length before the end, whether the zone starts inside the last
// segment (which the planner splits there) or at a vertex: all before it is
// cut with the torch on, the lead-out travelled with it off.
TEST_F(CuttingProcessTest, TheTorchGoesOffWhereTheLeadOutBegins) {
  constexpr Window kImport = Window::Import;
  tick(kImport, "cLeadOut");
  tick(kImport, "cLeadOut2");
  set(kImport, "eInOut", "1");
  const double leadOut = 10 * 100.0 / 1 / 2;  // track bar 10: 5 mm
  struct Case {
    const char* what;
    CNCpath contour;
  };
  const Case cases[] = {
      {"zone inside the last segment", Square(0, 0, 5000)},
      {"zone at a vertex",
       {{kKindCut, 0}, {0, 0}, {5000, 0}, {5000, 5000}, {0, 5000}, {10, 500}, {0, 0}}},
  };
  const auto& sc = system->scales;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    board().board().clearExecuted();
    Cut(c.contour);
    const auto& run = executed();
    const auto off = std::find_if(
        run.begin(), run.end(), [](const auto& e) { return e.request.command == cmd::kTorchOff; });
    ASSERT_NE(off, run.end());
    const Point64 zone = BeforeTheEnd(c.contour, leadOut);
    const double x = off->to[0] / sc.SX - system->job.ProjectOriginX,
                 y = off->to[1] / sc.SY - system->job.ProjectOriginY;
    EXPECT_NEAR(x, zone.x, 25) << "the torch went off away from the lead-out's start";
    EXPECT_NEAR(y, zone.y, 25) << "the torch went off away from the lead-out's start";
    const auto travelled = std::count_if(off, run.end(), [](const auto& e) {
      return e.request.command == cmd::kXyLine && !e.torchOn && !(e.from == e.to);
    });
    EXPECT_GE(travelled, 1) << "the lead-out is travelled with the torch off";
    const auto end = std::find_if(run.rbegin(), run.rend(),
                                  [](const auto& e) { return e.request.command == cmd::kXyLine; });
    EXPECT_NEAR(end->to[0] / sc.SX - system->job.ProjectOriginX, c.contour.back().x, 1);
    EXPECT_NEAR(end->to[1] / sc.SY - system->job.ProjectOriginY, c.contour.back().y, 1);
  }
}

// A depth that is no whole number of pass depths: the passes go down by the
// pass depth and the last one to the depth itself, unless what is left is
// within 0.05 mm of it.
TEST_F(CuttingProcessTest, MillingEndsWithAPassToTheDepthWhereThePassesDoNotDivideIt) {
  tick(kConfig, "cSpec1a");
  board().board().machine().layout().floatingTravel = 8000;  // a spindle, no floating head to trip
  struct Case {
    const char* depth;
    const char* pass;
    std::vector<std::int32_t> levels;  // below the surface, 0.01 mm
  };
  const Case cases[] = {
      {"10", "3", {300, 600, 900, 1000}},
      {"9.1", "3", {300, 600, 900, 910}},
      {"9.03", "3", {300, 600, 900}},  // 0.03 mm left: no pass for it
      {"2", "3", {200}},
  };
  const std::int32_t surface = system->job.ProjectOriginZ;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.depth) + " mm in passes of " + c.pass);
    board().board().clearExecuted();
    set(kMain, "xDepth", c.depth);
    set(kMain, "xDepthP", c.pass);
    Cut(Square(0, 0, 5000));
    std::vector<std::int32_t> passes;
    for (const auto& e : executedWith(cmd::kXyLine)) {
      const auto z = static_cast<std::int32_t>(std::lround(e.from[2] / system->scales.SZ));
      if (z < surface && (passes.empty() || passes.back() != surface - z))
        passes.push_back(surface - z);
    }
    EXPECT_EQ(passes, c.levels);
  }
}

TEST_F(CuttingProcessTest, OxygenPreheatsAtItsHeightBeforeFiring) {
  tick(kConfig, "cSpec1");
  set(kMain, "ePreHeatTime", "5");
  set(kMain, "xPreHeatHeight", "15.24");
  Cut(Square(0, 0, 5000));
  const auto& run = executed();
  const auto firstTorch = std::find_if(run.begin(), run.end(), [](const auto& e) { return e.request.command == cmd::kTorchOn; });
  ASSERT_NE(firstTorch, run.end());
  const auto heat = std::find_if(run.begin(), firstTorch, [](const auto& e) {
    return e.request.command == cmd::kDwell && e.request.p[0] == 5000;
  });
  ASSERT_NE(heat, firstTorch) << "a 5 s pre-heat before the torch";
  EXPECT_EQ(std::lround(heat->from[2] / system->scales.SZ), system->job.ProjectOriginZ + 1524);
}

}  // namespace
}  // namespace corvane::testing
