#include <gtest/gtest.h>

#include <cmath>

#include "model/AngleAlignment.h"
#include "model/ContourNavigation.h"
#include "model/JobNormalise.h"
#include "model/JobPlacement.h"
#include "model/PathPick.h"
#include "model/PlannerFixture.h"
#include "support/SystemFixture.h"

namespace corvane {
namespace {

using testing::Contour;

TEST(JobNormalise, ShiftsToZeroAndRecordsExtentAndBoxes) {
  JobState state;
  ReplaceJob(state, {Contour({{-5000, -3000}, {-1000, -3000}, {-1000, -200}}), Contour({{-4000, -2500}}, kKindMarker)});
  EXPECT_EQ(state.Job[0][1], (ContourPoint{0, 0}));
  EXPECT_EQ(state.Job[0][3], (ContourPoint{4000, 2800}));
  EXPECT_EQ(state.Job[0][0], (ContourPoint{kKindCut, 0}));  // headers are not vertices
  EXPECT_EQ(state.JobExtentX, 4000);
  EXPECT_EQ(state.JobExtentY, 2800);
  ASSERT_EQ(state.ContourBoxes.size(), 2u);
  EXPECT_EQ(state.ContourBoxes[1].minX, 1000);
  EXPECT_EQ(state.ContourBoxes[1].maxY, 500);
  EXPECT_EQ(state.CurrentContour, -1);

  ReplaceJob(state, {Contour({{700, 900}})});  // a single point still has a 1 mm extent
  EXPECT_EQ(state.Job[0][1], (ContourPoint{0, 0}));
  EXPECT_EQ(state.JobExtentX, 100);
  EXPECT_EQ(state.JobExtentY, 100);

  // Boxes of contours far out on a large table are true boxes.
  ReplaceJob(state, {Contour({{0, 0}}), Contour({{1500000, 1200000}, {1600000, 1300000}})});
  EXPECT_EQ(state.ContourBoxes[1].minX, 1500000);
  EXPECT_EQ(state.ContourBoxes[1].minY, 1200000);
}

TEST(JobNormalise, ViewFitCentresTheJob) {
  // A wide job in an 800 × 600 view: base = 120000 × 4 div 3 div 800 = 200.
  const ViewTransform v = FitView(120000, 30000, 800, 600, 10);
  EXPECT_EQ(v.scale, 200);
  EXPECT_EQ(v.offsetX, (800 - 120000 / 200) / 2);
  EXPECT_EQ(v.offsetY, (600 - 30000 / 200) / 2);
  EXPECT_EQ(FitView(120000, 30000, 800, 600, 20).scale, 800);  // zoom² / 100
  EXPECT_EQ(FitView(100, 100, 800, 600, 10).scale, 1);          // never below one
  EXPECT_EQ(v.ToScreen(0, 0), (ScreenPoint{v.offsetX, 600 - v.offsetY}));
  EXPECT_EQ(v.ToJob(v.offsetX + 10, 600 - v.offsetY - 5), (Point2{2000, 1000}));
}

// A job centred on a tube's top face starts left of 0: all of it is fitted
// and centred, and the size shown is its whole width.
TEST(JobNormalise, AJobLeftOfTheOriginIsFittedWhole) {
  JobState job;
  ReplaceJob(job, {{{kKindCut, 0}, {0, 0}, {80000, 0}, {80000, 30000}, {0, 0}}}, 60000);
  ASSERT_EQ(JobStartX(job), -30000);
  const ViewTransform v = FitView(job.JobExtentX, job.JobExtentY, 800, 600, 10, JobStartX(job));
  const int left = v.ToScreen(-30000, 0).x, right = v.ToScreen(job.JobExtentX, 0).x;
  EXPECT_GE(left, 0);
  EXPECT_LE(right, 800);
  EXPECT_NEAR(left, 800 - right, 2) << "centred";
  ReplaceJob(job, {{{kKindCut, 0}, {5000, 0}, {7000, 0}}});
  EXPECT_EQ(JobStartX(job), 0) << "a flat job starts at 0";
}

struct PlacementCase {
  PlacementButton button;
  std::int32_t originX, originY;
  ReferenceCorner corner;
  std::string log;
};

TEST(JobPlacement, NineButtonsPutTheirPointUnderTheLaser) {
  // Laser at (100000 + 1000, 50000 − 500); job 30001 × 20001 (odd: the centre rounds down).
  const PlacementCase cases[] = {
      {PlacementButton::LeftTop, 101000, 49500 - 20001, ReferenceCorner::UpperLeft, "Mat:X101000 Y29499"},
      {PlacementButton::Top, 7, 49500 - 20001, ReferenceCorner::None, "Mat:Y29499"},
      {PlacementButton::RightTop, 101000 - 30001, 29499, ReferenceCorner::UpperRight, "Mat:X70999 Y29499"},
      {PlacementButton::Left, 101000, 8, ReferenceCorner::None, "Mat:X101000 Y8"},
      {PlacementButton::Centre, 101000 - 15000, 49500 - 10000, ReferenceCorner::None, "Mat:X86000 Y39500"},
      {PlacementButton::Right, 70999, 8, ReferenceCorner::None, "Mat:X70999 Y8"},
      {PlacementButton::LeftBottom, 101000, 49500, ReferenceCorner::LowerLeft, "Mat:X101000 Y49500"},
      {PlacementButton::Bottom, 7, 49500, ReferenceCorner::None, "Mat:Y49500"},
      {PlacementButton::RightBottom, 70999, 49500, ReferenceCorner::LowerRight, "Mat:X70999 Y49500"},
  };
  for (const auto& c : cases) {
    testing::SystemFixture fx;
    JobState& job = fx.system->job;
    job.JobExtentX = 30001, job.JobExtentY = 20001;
    job.ProjectOriginX = 7, job.ProjectOriginY = 8;
    job.MachinePosition = {100000, 50000, 0, 0};
    PreparationState prep;
    prep.LaserOffsetX = 1000, prep.LaserOffsetY = -500;
    prep.Corner = ReferenceCorner::UpperRight;
    const PlacementResult r = PlaceJob(c.button, job, prep, fx.system->log, fx.host, false);
    ASSERT_TRUE(r.applied);
    EXPECT_EQ(job.ProjectOriginX, c.originX) << c.log;
    EXPECT_EQ(job.ProjectOriginY, c.originY) << c.log;
    EXPECT_EQ(prep.Corner, c.corner) << c.log;
    ASSERT_FALSE(fx.host.logPane.empty());
    EXPECT_EQ(fx.host.logPane.back(), c.log);
    EXPECT_EQ(r.fieldXM, NumberParser::FloatToText(c.originX / 100.0));
    const bool zeroes = c.button == PlacementButton::Left || c.button == PlacementButton::Bottom ||
                        c.button == PlacementButton::LeftBottom;
    EXPECT_EQ(r.setPosition.has_value(), zeroes) << c.log;
    EXPECT_EQ(fx.host.sounds.size(), c.button == PlacementButton::LeftBottom ? 1u : 0u);
  }
}

TEST(JobPlacement, ZeroButtonsSanitiseTheMachinePosition) {
  struct Case { std::int32_t x, y; PlacementButton button; std::int32_t expectX, expectY; } cases[] = {
      {-300, 2500000, PlacementButton::LeftBottom, 0, 500000},
      {2000000, -1, PlacementButton::Left, 500000, -1},   // only the axis the button sets
      {-5, -7, PlacementButton::Bottom, -5, 0},
      {1999999, 0, PlacementButton::LeftBottom, 1999999, 0},
      {-300, -300, PlacementButton::Centre, -300, -300},  // other buttons leave it alone
  };
  for (const auto& c : cases) {
    testing::SystemFixture fx;
    JobState& job = fx.system->job;
    job.MachinePosition = {c.x, c.y, 0, 0};
    PreparationState prep;
    const PlacementResult r = PlaceJob(c.button, job, prep, fx.system->log, fx.host, true);
    EXPECT_EQ(job.MachinePosition.x, c.expectX);
    EXPECT_EQ(job.MachinePosition.y, c.expectY);
    if (r.setPosition) {
      EXPECT_EQ(r.setPosition->x, c.expectX);
    }
  }
  testing::SystemFixture fx;
  fx.system->job.MachinePosition = {2540, 5080, 0, 0};
  PreparationState prep;
  const PlacementResult r = PlaceJob(PlacementButton::LeftBottom, fx.system->job, prep, fx.system->log, fx.host, true);
  EXPECT_EQ(r.fieldXM, "1.000");
  EXPECT_EQ(r.fieldYM, "2.000");
  prep.AngleActive = true;  // placement waits while the job is rotated
  EXPECT_FALSE(PlaceJob(PlacementButton::Centre, fx.system->job, prep, fx.system->log, fx.host, true).applied);
}

class AngleAlignmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReplaceJob(job, {Contour({{0, 0}, {40000, 0}, {40000, 20000}, {0, 20000}, {0, 0}})});
    job.ProjectOriginX = 10000, job.ProjectOriginY = 5000;
  }
  // Puts the laser (no offset) at job point (x, y).
  void LaserAt(double x, double y) {
    job.MachinePosition.x = static_cast<std::int32_t>(std::lround(job.ProjectOriginX + x));
    job.MachinePosition.y = static_cast<std::int32_t>(std::lround(job.ProjectOriginY + y));
  }
  JobState job;
  PreparationState prep;
  testing::RecordingHost host;
};

TEST_F(AngleAlignmentTest, RefusesWithoutCornerOrTooCloseToIt) {
  LaserAt(30000, 1000);
  EXPECT_FALSE(AlignToSheetAngle(job, prep, host));
  EXPECT_EQ(host.beeps, 1);
  prep.Corner = ReferenceCorner::LowerLeft;
  LaserAt(4999, 4999);
  EXPECT_FALSE(AlignToSheetAngle(job, prep, host));
  EXPECT_EQ(host.beeps, 2);
  EXPECT_FALSE(prep.AngleActive);
  EXPECT_EQ(job.Job[0][2], (ContourPoint{40000, 0}));
}

TEST_F(AngleAlignmentTest, AnEdgeThroughTheLaserPointIsRotatedOntoIt) {
  const double tilt = 2.0 * M_PI / 180;
  struct Case { ReferenceCorner corner; Point2 c; double alongX, alongY; } cases[] = {
      {ReferenceCorner::LowerLeft, {0, 0}, 30000, 0},           // along the bottom edge to the right
      {ReferenceCorner::LowerLeft, {0, 0}, 0, 15000},           // or up the left edge
      {ReferenceCorner::UpperLeft, {0, 20000}, 30000, 0},       // along the top edge to the right
      {ReferenceCorner::UpperRight, {40000, 20000}, -30000, 0}, // along the top edge to the left
      {ReferenceCorner::LowerRight, {40000, 0}, -30000, 0},     // along the bottom edge to the left
      {ReferenceCorner::LowerRight, {40000, 0}, 0, 15000},      // up the right edge
  };
  for (const auto& k : cases) {
    SetUp();
    prep = PreparationState{};
    prep.Corner = k.corner;
    // The sheet edge is turned by +2°: the laser sits on the turned edge.
    const double x = k.c.x + k.alongX * std::cos(tilt) - k.alongY * std::sin(tilt);
    const double y = k.c.y + k.alongX * std::sin(tilt) + k.alongY * std::cos(tilt);
    LaserAt(x, y);
    ASSERT_TRUE(AlignToSheetAngle(job, prep, host));
    EXPECT_TRUE(prep.AngleActive);
    // The corner stays where it was.
    bool cornerKept = false;
    for (std::size_t i = 1; i < job.Job[0].size(); ++i)
      cornerKept = cornerKept || (job.Job[0][i].x == k.c.x && job.Job[0][i].y == k.c.y);
    EXPECT_TRUE(cornerKept);
    // One edge of the rotated frame leaves the corner straight towards the laser.
    const std::array<Point2, 5>& frame = prep.AngleFrame;
    const double laserHeading = std::atan2(y - k.c.y, x - k.c.x);
    bool edgeFound = false;
    for (const Point2& p : frame) {
      if (p.x == k.c.x && p.y == k.c.y) continue;
      const double h = std::atan2(p.y - k.c.y, p.x - k.c.x);
      edgeFound = edgeFound || std::fabs(std::remainder(h - laserHeading, 2 * M_PI)) < 2e-4;
    }
    EXPECT_TRUE(edgeFound) << static_cast<int>(k.corner) << " " << k.alongX << " " << k.alongY;
    ReleaseSheetAngle(job, prep, host);
    EXPECT_FALSE(prep.AngleActive);
    EXPECT_EQ(job.Job[0][2], (ContourPoint{40000, 0}));
  }
}

TEST(ContourNavigation, ControlsMoveTheCurrentContourWithinTheJob) {
  JobState job;
  job.Job.assign(5, Contour({{0, 0}}));
  testing::RecordingHost host;
  job.StopPoint = {5, 5};
  StepContourBack(job, host);
  EXPECT_EQ(job.CurrentContour, 0);
  EXPECT_EQ(job.StopPoint, (Point2{}));
  StepContourForward(job, host);
  StepContourForward(job, host);
  EXPECT_EQ(job.CurrentContour, 2);
  JumpToLastContour(job, host);
  StepContourForward(job, host);
  EXPECT_EQ(job.CurrentContour, 4);
  RewindToStart(job, host);
  EXPECT_EQ(job.CurrentContour, -1);
  EXPECT_TRUE(SeekContourOnBar(job, host, 150, 200, false));
  EXPECT_EQ(job.CurrentContour, 3);  // round(4 × 150 / 200)
  EXPECT_TRUE(SeekContourOnBar(job, host, 260, 200, false));
  EXPECT_EQ(job.CurrentContour, 4);  // dragged past the end of the bar
  EXPECT_FALSE(SeekContourOnBar(job, host, 10, 200, true));
  EXPECT_EQ(job.CurrentContour, 4);
  EXPECT_EQ(host.redraws, 8);
  JobState empty;
  StepContourBack(empty, host);
  EXPECT_EQ(empty.CurrentContour, -1);
}

class PathPickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReplaceJob(job, {Contour({{0, 0}, {10000, 0}, {10000, 10000}}),
                     Contour({{0, 5000}, {10000, 5000}}, kKindMarker),
                     Contour({{0, 5000}, {10000, 5000}}, kKindDisabled),
                     Contour({{0, 2000}, {8000, 2000}, {8000, 3000}})});
    view = FitView(job.JobExtentX, job.JobExtentY, 500, 500, 10);  // scale 26: three pixels = 78
    job.ProjectOriginX = 100000, job.ProjectOriginY = 200000;
  }
  ScreenPoint At(std::int32_t x, std::int32_t y) const { return view.ToScreen(x, y); }
  JobState job;
  ViewTransform view;
};

TEST_F(PathPickTest, PicksCuttingContoursOnlyAndSnapsOntoTheSegment) {
  ASSERT_EQ(view.scale, 26);
  EXPECT_TRUE(PickOnView(job, view, At(6000, 40)));
  EXPECT_EQ(job.ResumeContour, 0);
  EXPECT_EQ(job.ResumeVertex, 2);
  EXPECT_EQ(job.ResumePoint.y, 0);  // snapped onto the bottom edge
  EXPECT_NEAR(job.ResumePoint.x, 6000, 13);

  EXPECT_TRUE(PickOnView(job, view, At(8000, 2500)));  // the last segment hit wins
  EXPECT_EQ(job.ResumeContour, 3);
  EXPECT_EQ(job.ResumeVertex, 3);
  EXPECT_EQ(job.ResumePoint.x, 8000);

  EXPECT_FALSE(PickOnView(job, view, At(5000, 5000)));  // marker and disabled lines are not picked
  EXPECT_EQ(job.ResumeContour, 3);
  const auto items = PathPopupItems(false);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[1].text, "Cut All from this object");
  EXPECT_FALSE(items[1].enabled);
  EXPECT_FALSE(items[2].enabled);
  EXPECT_TRUE(items[0].enabled);
  EXPECT_TRUE(PathPopupItems(true)[2].enabled);
}

TEST_F(PathPickTest, SeamsForMovesAndSingleLines) {
  job.ResumePoint = {1000, 2000};
  SoftLimits limits{true, 150000, 300000};
  EXPECT_EQ(MoveHereTarget(job, limits), (Point2{101000, 202000}));
  EXPECT_EQ(MoveToZeroTarget(job, limits), (Point2{100000, 200000}));
  job.ResumePoint = {60000, 0};
  EXPECT_FALSE(MoveHereTarget(job, limits).has_value());  // X 160000 beyond the limit
  EXPECT_TRUE(MoveHereTarget(job, SoftLimits{false, 150000, 300000}).has_value());

  PreparationState prep;
  job.ResumePoint = {3000, 4000};
  job.MachinePosition = {100500, 200700, 0, 0};
  auto line = SingleLineToPick(job, prep, limits);  // no start marked: from the torch
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(*line, Contour({{500, 700}, {3000, 4000}}, kKindSingleLine));
  job.ResumePoint = {1000, 1000};
  MarkLineStart(prep, job);
  EXPECT_EQ(prep.LineStart, (Point2{101000, 201000}));
  job.ResumePoint = {2000, 1500};
  line = SingleLineToPick(job, prep, limits);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(*line, Contour({{1000, 1000}, {2000, 1500}}, kKindSingleLine));
  job.ResumePoint = {-200000, 0};
  EXPECT_FALSE(SingleLineToPick(job, prep, limits).has_value());

  job.ResumeContour = 3;
  StartFromPick(job, true);
  EXPECT_EQ(job.CurrentContour, 3);
  EXPECT_EQ(job.ResumeMode, 1);
}

}  // namespace
}  // namespace corvane
