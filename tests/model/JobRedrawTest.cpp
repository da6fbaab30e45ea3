#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "model/AngleAlignment.h"
#include "model/JobNormalise.h"
#include "model/JobRedraw.h"
#include "model/PlannerFixture.h"
#include "model/PositionText.h"

namespace corvane {
namespace {

using testing::Contour;

TEST(PositionText, OperatorFormats) {
  EXPECT_EQ(FormatPosition(12345, false), " 0123.45");
  EXPECT_EQ(FormatPosition(-5, false), "-0000.05");
  EXPECT_EQ(FormatPosition(2540, true), " 001.000");
  EXPECT_EQ(FormatPosition(-254000, true), "-100.000");
  EXPECT_EQ(FormatOriginField(12350, false), "123.5");
  EXPECT_EQ(FormatOriginField(2540, true), "1.000");
}

template <class T>
std::vector<T> ItemsOf(const DisplayList& list) {
  std::vector<T> out;
  for (const auto& item : list.items)
    if (const T* t = std::get_if<T>(&item)) out.push_back(*t);
  return out;
}

class JobRedrawTest : public ::testing::Test, public testing::PlannerFixture {
 protected:
  void SetUp() override {
    ReplaceJob(job, {Contour({{0, 0}, {20000, 0}, {20000, 10000}, {0, 0}}),      // large cut
                     Contour({{30000, 0}, {30500, 0}, {30500, 500}, {30000, 0}}),  // small cut
                     Contour({{0, 20000}, {20000, 20000}}, kKindMarker),
                     Contour({{0, 25000}, {20000, 25000}}, kKindDisabled)});
    prep.View = FitView(job.JobExtentX, job.JobExtentY, 800, 600, 10);
    redraw.feed = 3000;
    redraw.feedSmall = 1200;
    redraw.smallSize = 2540;
  }
  DisplayList Draw() {
    auto list = RedrawJob(job, prep, redraw, context());
    EXPECT_TRUE(list.has_value());
    return list.value_or(DisplayList{});
  }
  // The planned-path polylines (width 2).
  std::vector<DisplayPolyline> Plans(const DisplayList& list) {
    std::vector<DisplayPolyline> out;
    for (const auto& line : ItemsOf<DisplayPolyline>(list))
      if (line.width == 2) out.push_back(line);
    return out;
  }
  // The polylines of width 1 (contours) in drawing order, by colour.
  std::vector<Rgb> ContourColours(const DisplayList& list) {
    std::vector<Rgb> out;
    for (const auto& line : ItemsOf<DisplayPolyline>(list))
      if (line.width == 1 && !line.dashed) out.push_back(line.colour);
    return out;
  }
  JobState job;
  PreparationState prep;
  RedrawSettings redraw;
};

TEST_F(JobRedrawTest, NothingWhileLoadingOrWithoutAJob) {
  redraw.loading = true;
  EXPECT_FALSE(RedrawJob(job, prep, redraw, context()).has_value());
  redraw.loading = false;
  JobState empty;
  EXPECT_FALSE(RedrawJob(empty, prep, redraw, context()).has_value());
}

TEST_F(JobRedrawTest, NoContourSelectedDrawsTheWholeJobInBlack) {
  const DisplayList list = Draw();
  using namespace colours;
  EXPECT_EQ(ContourColours(list), (std::vector<Rgb>{kBlack, kBlack, kBlue, kSilver}));
  EXPECT_EQ(ItemsOf<DisplayDot>(list).size(), 3u);  // no dot on the silver contour
  const auto box = ItemsOf<DisplayPolygon>(list);
  ASSERT_EQ(box.size(), 1u);
  EXPECT_EQ(box[0].points.front(), prep.View.ToScreen(0, 0));
  EXPECT_EQ(box[0].points[2], prep.View.ToScreen(job.JobExtentX, job.JobExtentY));
  const auto texts = ItemsOf<DisplayText>(list);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, " 0305.00 x  0250.00");
  EXPECT_TRUE(job.PlannedPath.empty());
}

TEST_F(JobRedrawTest, CurrentContourIsShownByItsPlan) {
  job.CurrentContour = 0;
  DisplayList list = Draw();
  using namespace colours;
  // Contour 0 is drawn only as its plan (navy, width 2); the rest are still to cut.
  EXPECT_EQ(ContourColours(list), (std::vector<Rgb>{kSilver, kSilver, kSilver}));
  auto plans = Plans(list);
  ASSERT_FALSE(plans.empty());
  EXPECT_EQ(plans.front().colour, kNavy);
  EXPECT_EQ(plans.front().width, 2);
  ASSERT_FALSE(job.PlannedPath.empty());
  EXPECT_EQ(job.PlannedPath.front().speed, 3000);  // the preview plans at xFeed

  job.CurrentContour = 1;  // fits the small square: xFeed2, purple
  list = Draw();
  EXPECT_EQ(ContourColours(list), (std::vector<Rgb>{kGreen, kSilver, kSilver}));
  ASSERT_FALSE(Plans(list).empty());
  EXPECT_EQ(Plans(list).front().colour, kPurple);
  EXPECT_EQ(job.PlannedPath.front().speed, 1200);

  job.CurrentContour = 2;  // a marker: plan and line, both blue
  list = Draw();
  EXPECT_EQ(ContourColours(list), (std::vector<Rgb>{kGreen, kGreen, kBlue, kSilver}));
  ASSERT_FALSE(Plans(list).empty());
  EXPECT_EQ(Plans(list).front().colour, kBlue);

  const CNCpath2 running = job.PlannedPath;  // busy: the plan being cut stays as it is
  job.CurrentContour = 0;
  redraw.busy = true;
  list = Draw();
  EXPECT_EQ(job.PlannedPath.size(), running.size());
  EXPECT_EQ(job.PlannedPath.front().x, running.front().x);
  EXPECT_EQ(Plans(list).front().colour, kNavy);
}

TEST_F(JobRedrawTest, SoftLimitFrameShowsWhetherTheJobFits) {
  redraw.limits = {true, 100000, 100000};
  job.ProjectOriginX = 1000, job.ProjectOriginY = 1000;
  auto frames = [&] {
    std::vector<DisplayPolyline> out;
    for (const auto& l : ItemsOf<DisplayPolyline>(Draw()))
      if (l.colour == colours::kOrange || l.colour == colours::kRed) out.push_back(l);
    return out;
  };
  auto f = frames();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_TRUE(f[0].dashed);
  EXPECT_EQ(f[0].colour, colours::kOrange);
  EXPECT_EQ(f[0].points.front(), prep.View.ToScreen(-1000, -1000));
  job.ProjectOriginX = -1;
  f = frames();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].colour, colours::kRed);
  EXPECT_EQ(f[0].width, 5);
  job.ProjectOriginX = 100000 - job.JobExtentX + 1;
  EXPECT_EQ(frames()[0].colour, colours::kRed);
}

TEST_F(JobRedrawTest, RotatedFrameReplacesTheBoxAndHiddenContoursAreSkipped) {
  prep.AngleActive = true;
  prep.AngleFrame = JobFrame(1000, 1000);
  prep.AngleFrame[1] = {1000, 200};
  const DisplayList list = Draw();
  const auto polygons = ItemsOf<DisplayPolygon>(list);
  ASSERT_EQ(polygons.size(), 1u);
  EXPECT_EQ(polygons[0].points[1], prep.View.ToScreen(1000, 200));

  prep.View.offsetX = -100000;  // everything scrolled out of the view
  EXPECT_TRUE(ContourColours(*RedrawJob(job, prep, redraw, context())).empty());
}

TEST_F(JobRedrawTest, RepeatedPixelsAreDrawnOnce) {
  ReplaceJob(job, {Contour({{0, 0}, {1, 0}, {2, 1}, {30000, 0}})});
  prep.View = FitView(job.JobExtentX, job.JobExtentY, 800, 600, 10);
  const auto lines = ItemsOf<DisplayPolyline>(Draw());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points.size(), 2u);
}

// The rotary guide lines: vertical lines over the whole view height.
class RotaryGuideLines : public JobRedrawTest {
 protected:
  void SetUp() override {
    ReplaceJob(job, {Contour({{0, 0}, {20000, 0}, {20000, 3000}})});
    job.ProjectOriginX = 1000;
    // 0.5 mm a pixel, job X 0 at column 100: column = x / 50 + 100.
    prep.View.scale = 50;
    prep.View.offsetX = 100;
    prep.View.offsetY = 0;
    prep.View.width = 1000;
    prep.View.height = 500;
    redraw.rotary = true;
  }
  struct Guide {
    int x;
    Rgb colour;
    LineStyle style;
    friend bool operator<(const Guide& a, const Guide& b) { return a.x < b.x; }
    friend bool operator==(const Guide& a, const Guide& b) {
      return a.x == b.x && a.colour == b.colour && a.style == b.style;
    }
    friend std::ostream& operator<<(std::ostream& out, const Guide& g) {
      return out << g.x << (g.colour == colours::kGreen ? " green" : " blue")
                 << (g.style == LineStyle::DashDot ? " dash-dot" : " solid");
    }
  };
  std::vector<Guide> Guides() {
    std::vector<Guide> out;
    for (const auto& l : ItemsOf<DisplayPolyline>(Draw()))
      if (l.points.size() == 2 && l.points[0] == ScreenPoint{l.points[0].x, 0} &&
          l.points[1] == ScreenPoint{l.points[0].x, prep.View.height}) {
        EXPECT_EQ(l.width, 1);
        EXPECT_FALSE(l.dashed);
        out.push_back({l.points[0].x, l.colour, l.style});
      }
    std::sort(out.begin(), out.end());
    return out;
  }
  static std::vector<Guide> Expected(std::initializer_list<int> green, std::initializer_list<int> corners,
                                     std::initializer_list<int> radii) {
    std::vector<Guide> out;
    for (int x : green) out.push_back({x, colours::kGreen, LineStyle::DashDot});
    for (int x : corners) out.push_back({x, colours::kSkyBlue, LineStyle::Solid});
    for (int x : radii) out.push_back({x, colours::kSkyBlue, LineStyle::DashDot});
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST_F(RotaryGuideLines, AProfileShowsItsOriginFacesCornersAndCornerRadii) {
  redraw.tube = LimitTube({false, 0, 6000, 4000, 300});  // 60 × 40 R3: a face pair every 100 mm
  // Origin at job X −10 mm: three lines; faces every 50 mm from the side's middle
  // (40 mm); corners (20 and 60 mm, then every 100 mm) two solid lines each, the
  // corner radii's ends 3 mm either side dash-dot; up to one period past the job.
  const std::vector<Guide> expected =
      Expected({78, 80, 82, 180, 280, 380, 480, 580, 680, 780},
               {139, 141, 219, 221, 339, 341, 419, 421, 539, 541, 619, 621, 739, 741, 819, 821},
               {134, 146, 214, 226, 334, 346, 414, 426, 534, 546, 614, 626, 734, 746, 814, 826});
  EXPECT_EQ(Guides(), expected);
  EXPECT_TRUE(ItemsOf<DisplayPolygon>(Draw()).empty()) << "no job box on a tube";
}

TEST_F(RotaryGuideLines, APipeShowsADoubleOriginAndItsCircumference) {
  redraw.tube = LimitTube({true, 5000, 0, 0, 0});  // Ø 50: 157.08 mm round
  // The origin at −10 mm (column 80) two lines; one turn further (147.08 mm,
  // column 394) the circumference; one turn back lies left of the view.
  EXPECT_EQ(Guides(), Expected({79, 81, 394}, {}, {}));
}

TEST_F(RotaryGuideLines, AFlatJobHasNone) {
  redraw.rotary = false;
  redraw.tube = LimitTube({false, 0, 6000, 4000, 300});
  EXPECT_TRUE(Guides().empty());
  EXPECT_EQ(ItemsOf<DisplayPolygon>(Draw()).size(), 1u) << "the job box";
}

TEST(PlannedPathColours, AnalysisViewColoursBySpeed) {
  ViewTransform view;
  CNCpath2 plan(8);
  const std::int32_t f = 1000;
  const std::int32_t speeds[] = {1000, 300, 500, 700, 1000, 1000, 1000, 1000};
  for (std::size_t i = 0; i < plan.size(); ++i) {
    plan[i].x = static_cast<std::int32_t>(i) * 100;
    plan[i].speed = speeds[i];
    plan[i].length = 100;
  }
  DisplayList list;
  AppendPlannedPath(list, plan, view, colours::kNavy, f, 250, true);
  using namespace colours;
  // 300 < 0.4F red, 500 < 0.65F orange, 700 ≤ 0.7F sky blue, then blue for one ramp
  // (250: two segments) after the last slow vertex, then the contour colour.
  const std::vector<std::pair<Rgb, std::size_t>> expected = {
      {kRed, 2}, {kOrange, 2}, {kSkyBlue, 2}, {kBlue, 3}, {kNavy, 3}};
  const auto lines = ItemsOf<DisplayPolyline>(list);
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].colour, expected[i].first) << i;
    EXPECT_EQ(lines[i].points.size(), expected[i].second) << i;
  }
  DisplayList plain;
  AppendPlannedPath(plain, plan, view, colours::kNavy, f, 250, false);
  ASSERT_EQ(ItemsOf<DisplayPolyline>(plain).size(), 1u);
  EXPECT_EQ(ItemsOf<DisplayPolyline>(plain)[0].points.size(), 8u);
}

}  // namespace
}  // namespace corvane
