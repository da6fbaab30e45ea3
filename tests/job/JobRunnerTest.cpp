#include <gtest/gtest.h>

#include "model/PositionText.h"

#include <cmath>
#include <filesystem>
#include <functional>

#include "job/JobFixture.h"
#include "model/Geometry.h"
#include "wire/Codes.h"

namespace corvane::testing {
namespace {

namespace cmd = wire::cmd;
constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

struct JobRunnerTest : JobFixture, ::testing::Test {
  JobRunnerTest() {
    set(kConfig, "xFeedMaxXY", "6000");
    set(kMain, "xFeed", "2000");
    set(kMain, "eTime", "300");
    tick(kConfig, "cOhmic");
    set(kConfig, "xCor1", "0");
    system->job.Job = {Square(0, 0, 5000), Square(8000, 0, 3000)};
    system->job.ProjectOriginX = 2000;
    system->job.ProjectOriginY = 3000;
    system->job.JobExtentX = 11000;
    system->job.JobExtentY = 5000;
  }
  StreamRules rules() const { return {.rapidLevel = SpeedLevel(6000, system->speeds.X)}; }
  JobRunner& runner() { return controller->runner; }
};

// The board's record of one contour's process: where it sensed, fired and
// stopped the torch, and the XY moves cut in between.
struct ContourRun {
  int probes = 0, torchOns = 0, torchOffs = 0;
  std::vector<sim::ExecutedEntry> cuts;
};

std::vector<ContourRun> SplitByTorch(const std::vector<sim::ExecutedEntry>& executed) {
  std::vector<ContourRun> runs(1);
  for (const auto& e : executed) {
    ContourRun& run = runs.back();
    switch (e.request.command) {
      case cmd::kProbe:
        ++run.probes;
        break;
      case cmd::kTorchOn:
        ++run.torchOns;
        break;
      case cmd::kTorchOff:
        ++run.torchOffs;
        if (!run.cuts.empty()) runs.emplace_back();
        break;
      case cmd::kXyLine:
        if (e.torchOn) run.cuts.push_back(e);
        break;
      default:
        break;
    }
  }
  if (runs.back().cuts.empty() && runs.size() > 1) runs.pop_back();
  return runs;
}

TEST_F(JobRunnerTest, AWholeJobSensesPiercesCutsAndEndsOnThePlannedPath) {
  Connect();
  system->store.JobSentFromImport = true;
  Record();
  runner().Start();

  EXPECT_TRUE(logged("---- Work start ----"));
  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_TRUE(logged("Save : LastGood"));
  // The log file tells the phases apart: the run's lines carry 010, its end 011.
  const std::string file = testing::ReadFileText(system->log.path());
  EXPECT_NE(file.find("|010| "), std::string::npos);
  EXPECT_NE(file.find("|011| "), std::string::npos);
  EXPECT_NE(file.find("|011| ", file.find("Work time :") - 20), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(system->paths.storeFolder() + "LastGood.cnc"));
  EXPECT_EQ(system->job.CurrentContour, 2);
  EXPECT_FALSE(system->Busy);
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{}) << DescribeStream(stream);

  const auto runs = SplitByTorch(executed());
  ASSERT_EQ(runs.size(), 2u);
  const auto& sx = system->scales;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    SCOPED_TRACE("contour " + std::to_string(k));
    EXPECT_GE(runs[k].probes, 1) << "sensed before piercing";
    EXPECT_EQ(runs[k].torchOns, 2);
    // Every vertex of the square is reached, within one step, with the torch on.
    const CNCpath& c = system->job.Job[k];
    for (std::size_t v = 2; v < c.size(); ++v) {
      const double x = (system->job.ProjectOriginX + c[v].x) * sx.SX;
      const double y = (system->job.ProjectOriginY + c[v].y) * sx.SY;
      const bool reached = std::any_of(runs[k].cuts.begin(), runs[k].cuts.end(), [&](const auto& e) {
        return std::abs(e.to[0] - x) <= 1 && std::abs(e.to[1] - y) <= 1 && e.completed;
      });
      EXPECT_TRUE(reached) << "vertex " << v;
    }
  }
  EXPECT_EQ(system->parser.ParseInt1(system->fields.text(kConfig, "eSpec4")), 4) << "two pierces per contour";
}

// After each contour "Material / Project position" Z shows the job origin's Z
// the contour used, in the field's format: also without sensing, when a typed
// value that was never applied stood there.
TEST_F(JobRunnerTest, EachContourShowsTheOriginZInItsField) {
  system->fields.setChecked(kConfig, "cOhmic", false);
  Connect();
  set(kMain, "xZM", "99");
  system->job.ProjectOriginZ = 1550;
  std::vector<std::string> shown;
  runner().ui.highlightContour = [&](int, Rgb colour, int) {
    if (colour == colours::kGreen) shown.push_back(system->fields.text(kMain, "xZM"));
  };
  runner().Start();
  ASSERT_TRUE(logged("Finish work OK"));
  ASSERT_GE(shown.size(), 2u);
  for (const std::string& text : shown) EXPECT_NE(text, "99");
  EXPECT_EQ(system->fields.text(kMain, "xZM"), FormatOriginField(system->job.ProjectOriginZ, false));
}


// The operator stops mid-contour: the job keeps its contour and stop point,
// nothing moves after the stop, and Resume finishes the cut from there.
TEST_F(JobRunnerTest, AStoppedJobResumesAtTheStopPointAndFinishes) {
  Connect();
  Record();
  bool pressed = false;
  host.onProcessEvents = [&] {
    if (pressed) return;
    const auto runs = SplitByTorch(executed());
    if (runs.empty() || runs[0].cuts.size() < 3) return;
    pressed = true;
    MarkOperator(StreamEvent::Kind::OperatorStop);
    controller->commands.StopMotion();
  };
  runner().Start();
  ASSERT_TRUE(pressed);
  EXPECT_TRUE(logged("Working stopped"));
  EXPECT_EQ(system->job.CurrentContour, 0);
  const Point2 stop = system->job.StopPoint;
  EXPECT_NE(stop, (Point2{0, 0}));
  const CNCpath& square = system->job.Job[0];
  bool onContour = false;
  for (std::size_t j = 2; j < square.size(); ++j)
    onContour = onContour || NearSegment(Point64{stop.x, stop.y}, square[j - 1], square[j], 60);
  EXPECT_TRUE(onContour) << "stopped at " << stop.x << "," << stop.y;

  runner().Start();
  EXPECT_FALSE(logged("Finish work OK")) << "Start within a second of the stop is ignored";

  clock.advance(1100000);
  host.onProcessEvents = nullptr;
  MarkOperator(StreamEvent::Kind::OperatorStart);
  const std::size_t before = executed().size();
  runner().Resume();
  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_EQ(system->job.CurrentContour, 2);
  EXPECT_EQ(StreamFaults(rules()), std::vector<std::string>{}) << DescribeStream(stream);

  // After the resume the first cut begins where the stop left the tool.
  const std::vector<sim::ExecutedEntry> after(executed().begin() + long(before), executed().end());
  const auto first = std::find_if(after.begin(), after.end(),
                                  [](const auto& e) { return e.request.command == cmd::kXyLine && e.torchOn; });
  ASSERT_NE(first, after.end());
  const auto& s = system->scales;
  EXPECT_NEAR(first->from[0], (system->job.ProjectOriginX + stop.x) * s.SX, 60 * s.SX);
  EXPECT_NEAR(first->from[1], (system->job.ProjectOriginY + stop.y) * s.SY, 60 * s.SY);
}

TEST_F(JobRunnerTest, StartsAreRefusedWithAReason) {
  Connect();
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::function<bool()> refused;
  };
  const Case cases[] = {
      {"X limit switch",
       [&] {
         board().board().setInput(sim::Input::SwitchX, true);
         controller->commands.ReadStatusB();
       },
       [&] { return controller->link.state.StatusCode == wire::alarm::kLimitX; }},
      {"job off the table",
       [&] {
         tick(kConfig, "cLimits");
         system->store.SoftLimitX = 10000;
         system->store.SoftLimitY = 100000;
       },
       [&] { return !host.messages.empty() && host.messages.back() == "SOFT LIMITS !!!"; }},
      {"a contour outside the job box",
       [&] {
         tick(kConfig, "cLimits");
         system->store.SoftLimitX = system->store.SoftLimitY = 100000;
         system->job.Job.push_back(Square(-3000, 0, 1000));
       },
       [&] {
         return !host.messages.empty() &&
                host.messages.back().starts_with("SOFT LIMITS !!! Contour 3 leaves the table");
       }},
      {"on the rotary axis only Y can leave the table",
       [&] {
         tick(kConfig, "cLimits");
         system->rotary.active = true;
         system->store.SoftLimitX = 100;
         system->store.SoftLimitY = 1000;
       },
       [&] { return !host.messages.empty() && host.messages.back() == "SOFT LIMIT Y !!!"; }},
      {"external alarm latched", [&] { runner().AlarmLatched = true; }, [] { return true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto jobBefore = system->job.Job;
    c.arrange();
    host.logPane.clear();
    clock.advance(1100000);
    runner().Start();
    EXPECT_TRUE(c.refused());
    EXPECT_FALSE(logged("---- Work start ----"));
    board().board().setInput(sim::Input::SwitchX, false);
    controller->commands.ReadStatusB();
    tick(kConfig, "cLimits", false);
    runner().AlarmLatched = false;
    system->rotary.active = false;
    system->job.Job = jobBefore;
  }
}

// The pre-flight check takes every vertex where the tool will stand: X
// against the X limit, Y against the Y limit (a table longer than it is
// wide), and a marker contour shifted by the marker head's offset.
TEST_F(JobRunnerTest, PreflightChecksEachAxisAgainstItsOwnLimitWhereTheToolStands) {
  tick(kConfig, "cLimits");
  system->store.SoftLimitX = 100000;  // 1 m
  system->store.SoftLimitY = 200000;  // 2 m
  system->job.ProjectOriginX = 2000;
  system->job.ProjectOriginY = 3000;
  struct Case {
    const char* what;
    CNCpath contour;
    const char* markerX;
    const char* markerY;
    int leaving;  // -1: stays on the table; else the vertex (machine X, Y) it leaves at
    std::int32_t x, y;
  };
  const Case cases[] = {
      {"Y beyond X's limit, within its own", Square(0, 140000, 5000), "0", "0", -1, 0, 0},
      {"Y beyond its own limit", Square(0, 195000, 5000), "0", "0", 0, 7000, 203000},
      {"X beyond its own limit, within Y's", Square(95000, 0, 5000), "0", "0", 0, 102000, 3000},
      {"cut at X 0", Square(-2000, 0, 5000), "30", "0", -1, 0, 0},
      {"a marker 30 mm to the right leaves at X 0", Square(-2000, 0, 5000, kKindMarker), "30", "0",
       0, -3000, 3000},
      {"a marker 40 mm up leaves at Y 0", Square(0, -3000, 5000, kKindMarker), "0", "40", 0, 2000,
       -4000},
      {"a marker 20 mm to the left comes back", Square(-4000, 0, 5000, kKindMarker), "-20", "0", -1,
       0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    system->job.Job = {c.contour};
    set(kConfig, "xSpec11", c.markerX);
    set(kConfig, "xSpec12", c.markerY);
    const PreflightReport r = runner().Preflight();
    EXPECT_EQ(r.leavingContour, c.leaving);
    if (c.leaving < 0) continue;
    EXPECT_EQ(r.leavingX, c.x);
    EXPECT_EQ(r.leavingY, c.y);
  }
}

// A square cut as the import attaches leads: pierce, a lead-in of `in`
// points, the joining point M, round the square back to M, and a lead-out.
CNCpath SquareWithLeads(int in, int out) {
  const ContourPoint m{5000, 2500};
  CNCpath c{{kKindCut, 0}};
  for (int i = in; i >= 1; --i) c.push_back({m.x + 100 * i, m.y});
  c.push_back(m);
  for (ContourPoint p : {ContourPoint{5000, 5000}, {0, 5000}, {0, 0}, {5000, 0}}) c.push_back(p);
  c.push_back(m);
  for (int i = 1; i <= out; ++i) c.push_back({m.x + 100 * i, m.y + 50 * i});
  return c;
}

// The pre-flight line counts a contour as open only when its cut, leads left
// aside, does not come back to where it began.
TEST_F(JobRunnerTest, PreflightCountsClosedContoursWithLeadsAsClosed) {
  CNCpath open{{kKindCut, 0}, {0, 0}, {5000, 0}, {5000, 5000}, {0, 5000}};
  const struct {
    const char* what;
    CNCpath contour;
    bool closed;
  } cases[] = {
      {"closed without leads", Square(0, 0, 5000), true},
      {"closed with a lead-in and a lead-out", SquareWithLeads(1, 2), true},
      {"closed with the longest lead-in and lead-out", SquareWithLeads(15, 14), true},
      {"closed with a lead-in only", SquareWithLeads(15, 0), true},
      {"open", open, false},
      {"a single segment", CNCpath{{kKindCut, 0}, {0, 0}, {5000, 0}}, false},
  };
  int opened = 0;
  system->job.Job.clear();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CutPathClosed(c.contour), c.closed);
    system->job.Job.push_back(c.contour);
    if (!c.closed && c.contour.size() > 3) ++opened;
  }
  EXPECT_EQ(runner().Preflight().open, opened);
  EXPECT_EQ(runner().Preflight().contours, int(std::size(cases)));
}

TEST_F(JobRunnerTest, DisabledContoursAndADryRunNeverFireTheTorch) {
  Connect();
  for (auto& c : system->job.Job) c[0].x = kKindDisabled;
  runner().Start();
  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_TRUE(executedWith(cmd::kTorchOn).empty());
  EXPECT_TRUE(executedWith(cmd::kProbe).empty());

  for (auto& c : system->job.Job) c[0].x = kKindCut;
  clock.advance(1100000);
  runner().ui.shiftHeld = [] { return true; };
  runner().Start();
  EXPECT_EQ(system->job.CurrentContour, 2);
  EXPECT_TRUE(executedWith(cmd::kTorchOn).empty()) << "Shift at Start: a dry run";
  EXPECT_FALSE(executedWith(cmd::kXyLine).empty());
}

// Without a controller the same runner animates the whole job.
TEST_F(JobRunnerTest, OfflineTheJobRunsAsASimulation) {
  system->job.ProjectOriginZ = 2500;
  system->job.MachinePosition = system->job.LastCommanded = {0, 0, 8000, 0};
  clock.advance(1100000);
  std::int32_t furthestX = 0;
  host.onProcessEvents = [&] { furthestX = std::max(furthestX, system->job.MachinePosition.x); };
  runner().Start();
  EXPECT_TRUE(logged("---- Simulation start ----"));
  EXPECT_TRUE(logged("Finish work OK"));
  EXPECT_FALSE(logged("Save : LastGood"));
  EXPECT_EQ(system->job.CurrentContour, 2);
  EXPECT_EQ(furthestX, system->job.ProjectOriginX + 11000) << "the shown tool went round the second square";
  EXPECT_EQ(system->job.MachinePosition.x, system->job.ProjectOriginX + 8000);
  EXPECT_EQ(system->job.MachinePosition.y, system->job.ProjectOriginY);
}


TEST_F(JobRunnerTest, SpeedStepsDuringACutReachTheBoardAndTheSpeedField) {
  Connect();
  system->Busy = true;
  controller->commands.status.ActualSpeed = 2000;
  controller->cutting.ContourSpeedClass = 1;
  runner().ChangeSpeed(+1);
  EXPECT_EQ(system->fields.text(kMain, "xFeed"), "2040");
  EXPECT_EQ(board().board().feedOverrideSteps(), 1);
  runner().ChangeSpeed(-1);
  EXPECT_EQ(system->fields.text(kMain, "xFeed"), std::to_string(std::lround(2040 / 1.02)));
  EXPECT_EQ(board().board().feedOverrideSteps(), 0);

  controller->cutting.ContourSpeedClass = 2;
  set(kMain, "xFeed2", "50%");
  runner().ChangeSpeed(+1);
  EXPECT_EQ(system->fields.text(kMain, "xFeed2"), "50%") << "a percentage follows the cutting speed";
  controller->commands.status.ActualSpeed = 5;
  runner().ChangeSpeed(+1);
  EXPECT_EQ(board().board().feedOverrideSteps(), 1) << "not while standing";
}

}  // namespace
}  // namespace corvane::testing
