#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "job/Analysis.h"
#include "job/AnalysisGraph.h"
#include "model/Geometry.h"
#include "model/PlanCut.h"
#include "support/SystemFixture.h"
#include "system/FieldSettings.h"

namespace corvane {
// Pixels read as (x, y) in failure messages.
void PrintTo(const ScreenPoint& p, std::ostream* out) { *out << "(" << p.x << ", " << p.y << ")"; }
}  // namespace corvane

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
constexpr Window kImport = Window::Import;

// A closed square contour of `size` (0.01 mm) with its corner at (x, y).
CNCpath Square(std::int32_t x, std::int32_t y, std::int32_t size, std::int32_t kind = kKindCut) {
  return {{kind, 0}, {x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

double Perimeter(const CNCpath& c) {
  double sum = 0;
  for (std::size_t i = 2; i < c.size(); ++i) sum += Dist(c[i - 1], c[i]);
  return sum;
}

std::vector<DisplayPolyline> Lines(const DisplayList& list, int width) {
  std::vector<DisplayPolyline> out;
  for (const auto& item : list.items)
    if (const auto* line = std::get_if<DisplayPolyline>(&item); line && line->width == width) out.push_back(*line);
  return out;
}

std::vector<DisplayText> Texts(const DisplayList& list) {
  std::vector<DisplayText> out;
  for (const auto& item : list.items)
    if (const auto* text = std::get_if<DisplayText>(&item)) out.push_back(*text);
  return out;
}

struct AnalysisTest : SystemFixture, ::testing::Test {
  AnalysisTest() {
    system->loading = false;
    RecomputeAxisScales(*system);
    set(kConfig, "xFeedMaxXY", "6000");
    set(kConfig, "xFeedMaxZ", "1500");
    set(kMain, "xFloatH", "12.7");
    set(kMain, "eTime", "400");
    // 0.01 mm a pixel (10 units), job origin at the bottom left of a 1000 × 1000 view.
    system->prep.View = ViewTransform{10.0, 0, 0, 1000, 1000};
  }
  void set(Window w, const char* name, const std::string& text) { system->fields.setText(w, name, text); }
  void tick(Window w, const char* name, bool on = true) { system->fields.setChecked(w, name, on); }
  // Every record planned at the requested speed: the safety speed is above it, so
  // there are no corners to slow for and no ramps, and the time is length / speed.
  void PlanWithoutRamps() { set(kConfig, "xFeedMinXY", "9999"); }
  // The plan the cut would make, for comparing with what the analysis drew.
  CNCpath2 PlanOf(const CNCpath& contour, std::int32_t speed) {
    const PlannerSettings settings = ReadPlannerSettings(*system, true);
    std::int32_t ramp = settings.accelXY;
    return PlanCut(contour, speed, {settings, system->scales, system->speeds}, PlanStart{}, ramp).path;
  }
};

TEST_F(AnalysisTest, AnEmptyJobShowsNothingToCut) {
  const AnalysisResult r = AnalyseJob(*system, false);
  EXPECT_EQ(r.lines, (std::array<std::string, 3>{"Piercing       : 0", "Total Length   : 0mm",
                                                   "Estimated Time : 00:00"}));
  EXPECT_TRUE(Lines(r.picture, 3).empty());
  std::vector<std::string> shown;
  for (const auto& t : Texts(r.picture)) shown.push_back(t.text);
  EXPECT_EQ(shown, std::vector<std::string>(r.lines.begin(), r.lines.end()));
  EXPECT_EQ(r.picture.background, colours::kWhite);
}

// The summary's white ground never hides the job: it goes to the first
// corner the plans leave free, and over a job that fills the view the lines
// stand without it. (View: 1000 x 1000 pixels, 10 units each, y up.)
TEST_F(AnalysisTest, TheSummaryGroundLeavesTheJobVisible) {
  enum class Ground { TopLeft, TopRight, None };
  struct Case {
    const char* name;
    CNCpath contour;
    Ground ground;
  };
  const Case cases[] = {
      {"a small job at the bottom left", Square(1000, 1000, 2000), Ground::TopLeft},
      {"a job under the top left corner", Square(0, 4000, 5900), Ground::TopRight},
      {"a job filling the view", Square(0, 0, 9990), Ground::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    system->job.Job = {c.contour};
    const AnalysisResult r = AnalyseJob(*system, false);
    std::size_t longest = 0;
    for (const std::string& line : r.lines) longest = std::max(longest, line.size());
    const int width = static_cast<int>(longest) * 7;
    std::optional<ScreenPoint> groundAt;
    if (c.ground == Ground::TopLeft) groundAt = ScreenPoint{10, 50};
    if (c.ground == Ground::TopRight) groundAt = ScreenPoint{1000 - width - 10, 50};
    std::vector<DisplayPolygon> grounds;
    for (const DisplayItem& item : r.picture.items)
      if (const auto* p = std::get_if<DisplayPolygon>(&item)) grounds.push_back(*p);
    ASSERT_EQ(grounds.size(), groundAt ? 1u : 0u);
    const auto texts = Texts(r.picture);
    ASSERT_EQ(texts.size(), 3u);
    if (!groundAt) continue;
    EXPECT_EQ(grounds[0].points.front(), *groundAt);
    EXPECT_EQ(texts[0].at.x, groundAt->x);
    const ScreenPoint far = grounds[0].points[2];
    for (const auto& line : Lines(r.picture, 3))
      for (const ScreenPoint& p : line.points)
        EXPECT_FALSE(p.x >= groundAt->x && p.x <= far.x && p.y >= groundAt->y && p.y <= far.y)
            << p.x << "," << p.y;
  }
}

// Counts, length and time from the geometry: with every record at the
// requested speed the motion time is the travel to each start at the maximum
// speed plus each perimeter at its cutting speed, and two floating-height
// lifts per contour at the Z speed; lengths over mm/min are 0.01 min.
TEST_F(AnalysisTest, EstimateFollowsTheGeometryOfEveryContour) {
  struct Case {
    const char* name;
    tCNCPath job;
    const char* feed;
    const char* feed2;
    std::vector<std::int32_t> speeds;  // the speed each contour is cut at
  };
  const Case cases[] = {
      {"one normal square", {Square(1000, 1000, 8000)}, "2000", "1000", {2000}},
      {"a disabled and a marker contour count like any other",
       {Square(0, 0, 5000, kKindDisabled), Square(6000, 0, 4000, kKindMarker), Square(0, 6000, 6000)},
       "2400", "1000", {2400, 2400, 2400}},
      // "Apply Cutting Speed 2" is read in whole millimetres: 25.4 is 25 mm.
      {"small contours at a share of the cutting speed",
       {Square(0, 0, 1500), Square(3000, 0, 2500), Square(6000, 0, 2540)}, "2000", "50%", {1000, 1000, 2000}},
      {"small contours at their own speed", {Square(0, 0, 1000), Square(2000, 0, 9000)}, "3000", "700",
       {700, 3000}},
      {"never faster than the machine", {Square(0, 0, 9000), Square(500, 500, 800)}, "9000", "8000",
       {6000, 6000}},
  };
  PlanWithoutRamps();
  // Every contour's travel is measured from where the machine was last sent,
  // whatever the job's origin.
  system->job.LastCommanded = {1500, -2500, 0, 0};
  system->job.ProjectOriginX = 7000;
  system->job.ProjectOriginY = 3000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set(kMain, "xFeed", c.feed);
    set(kMain, "xFeed2", c.feed2);
    system->job.Job = c.job;
    const double n = static_cast<double>(c.job.size());
    double length = 0, motion = 0;
    for (std::size_t k = 0; k < c.job.size(); ++k) {
      const CNCpath& contour = c.job[k];
      length += Perimeter(contour);
      motion += Dist(system->job.LastCommanded, contour[1]) / 6000.0 + Perimeter(contour) / c.speeds[k];
    }
    motion += 1270.0 / 1500.0 * 2 * n;
    const double seconds = motion * 0.6 + 0.7 * n + 0.4 * n;

    const AnalysisResult r = AnalyseJob(*system, false);
    EXPECT_EQ(r.pierces, static_cast<int>(c.job.size()));
    EXPECT_NEAR(r.length, length, 1e-6);
    EXPECT_NEAR(r.seconds, seconds, 1e-6);
    const long whole = std::lround(seconds);
    char time[48];
    std::snprintf(time, sizeof time, "%02ld:%02ld", whole / 60, whole % 60);
    EXPECT_EQ(r.lines[0], "Piercing       : " + std::to_string(c.job.size()));
    EXPECT_EQ(r.lines[1], "Total Length   : " + std::to_string(std::lround(length / 100)) + "mm");
    EXPECT_EQ(r.lines[2], std::string("Estimated Time : ") + time);
  }
}

// The fixed part per contour: 0.7 s, more with a sensor to touch the
// material, most with the floating head switch; the piercing time on top.
TEST_F(AnalysisTest, EachContourAddsTheAllowanceOfItsSensingAndThePiercingTime) {
  struct Case {
    bool ohmic, floating;
    const char* pierceMillis;
    double perContour;  // seconds
  };
  const Case cases[] = {
      {false, false, "0", 0.7},  {false, true, "0", 1.5},   {true, false, "0", 1.0},
      {true, true, "0", 1.0},    {false, false, "500", 1.2}, {false, true, "1500", 3.0},
      {true, false, "250", 1.25},
  };
  system->job.Job = {Square(0, 0, 5000), Square(6000, 0, 5000), Square(0, 6000, 800)};
  set(kMain, "eTime", "0");
  const double bare = AnalyseJob(*system, false).seconds;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("ohmic ") + (c.ohmic ? "on" : "off") + ", floating " + (c.floating ? "on" : "off") +
                 ", pierce " + c.pierceMillis + " ms");
    tick(kConfig, "cOhmic", c.ohmic);
    tick(kConfig, "cFloating", c.floating);
    set(kMain, "eTime", c.pierceMillis);
    EXPECT_NEAR(AnalyseJob(*system, false).seconds - bare, 3 * (c.perContour - 0.7), 1e-9);
  }
}

TEST_F(AnalysisTest, InchModeShowsTheLengthInWholeInches) {
  system->parser.imperial = true;
  system->job.Job = {Square(0, 0, 5000), Square(0, 6000, 2540)};  // 200 mm + 101.6 mm
  const AnalysisResult r = AnalyseJob(*system, false);
  EXPECT_EQ(r.lines[1], "Total Length   : " + std::to_string(std::lround(301.6 / 25.4)) + "\"");
}

// Each planned record is one line from the record before it, its colour
// running from red (slow) to blue (at the planned speed), with a green
// share that tells small contours from normal ones.
TEST_F(AnalysisTest, PlansAreDrawnRecordByRecordInTheSpeedGradient) {
  set(kMain, "xFeed", "3000");
  set(kMain, "xFeed2", "1200");
  const CNCpath normal = Square(1000, 1000, 30000), small = Square(40000, 1000, 2000);
  system->job.Job = {normal, small};
  const AnalysisResult r = AnalyseJob(*system, false);
  const auto lines = Lines(r.picture, 3);

  struct Drawn {
    CNCpath2 plan;
    std::int32_t speed;
    std::uint8_t green;
  };
  const Drawn drawn[] = {{PlanOf(normal, 3000), 3000, 0x30}, {PlanOf(small, 1200), 1200, 0x80}};
  std::size_t at = 0;
  int slow = 0, fast = 0;
  const ViewTransform& view = system->prep.View;
  for (const Drawn& d : drawn) {
    for (std::size_t i = 1; i < d.plan.size(); ++i, ++at) {
      ASSERT_LT(at, lines.size());
      const DisplayPolyline& line = lines[at];
      EXPECT_EQ(line.points, (std::vector<ScreenPoint>{view.ToScreen(d.plan[i - 1].x, d.plan[i - 1].y),
                                                       view.ToScreen(d.plan[i].x, d.plan[i].y)}));
      const auto v = static_cast<std::uint8_t>(std::lround(250.0 * d.plan[i].speed / d.speed));
      EXPECT_EQ(line.colour, (Rgb{static_cast<std::uint8_t>(255 - v), d.green, v})) << "record " << i;
      (v < 128 ? slow : fast) += 1;
    }
  }
  EXPECT_EQ(at, lines.size());
  EXPECT_GT(slow, 0) << "corners and ends are slow";
  EXPECT_GT(fast, 0) << "long sides reach the cutting speed";
}

// The anti-dive tail (magenta, normal contours only) and the lead-out (red)
// show only once the button carries its "shown" mark from the press before.
TEST_F(AnalysisTest, ZoneColoursShowOnlyOnTheSecondPress) {
  tick(kImport, "cLeadOut");
  tick(kImport, "cLeadOut2");
  set(kMain, "xFeed", "3000");
  set(kMain, "xFeed2", "1200");
  const CNCpath normal = Square(1000, 1000, 30000), small = Square(40000, 1000, 2000);
  system->job.Job = {normal, small};
  const auto count = [](const CNCpath2& plan, double marker) {
    return std::count_if(plan.begin() + 1, plan.end(), [&](const PlannedRecord& r) { return r.angle == marker; });
  };
  const CNCpath2 normalPlan = PlanOf(normal, 3000), smallPlan = PlanOf(small, 1200);
  const auto magenta = count(normalPlan, kMarkerAntiDive);
  const auto red = count(normalPlan, kMarkerLeadOut) + count(smallPlan, kMarkerLeadOut);
  ASSERT_GT(magenta, 0);
  ASSERT_GT(red, 0);
  ASSERT_GT(count(smallPlan, kMarkerAntiDive), 0) << "the small contour has an anti-dive tail too";

  const auto coloured = [&](bool shown, Rgb colour) {
    const auto lines = Lines(AnalyseJob(*system, shown).picture, 3);
    return std::count_if(lines.begin(), lines.end(), [&](const DisplayPolyline& l) { return l.colour == colour; });
  };
  EXPECT_EQ(coloured(false, Rgb{255, 0, 255}), 0);
  EXPECT_EQ(coloured(false, colours::kRed), 0);
  EXPECT_EQ(coloured(true, Rgb{255, 0, 255}), magenta);
  EXPECT_EQ(coloured(true, colours::kRed), red);
}

// A contour small enough to be pointed gets a green cross of two 6-pixel
// diagonals at its box centre; without a pointing time none does.
TEST_F(AnalysisTest, PointedContoursAreMarkedWithACrossAtTheirCentre) {
  set(kConfig, "eSpec1a", "5");
  const CNCpath point = Square(2000, 3000, 400), cut = Square(10000, 10000, 6000);
  system->job.Job = {cut, point, {{kKindCut, 0}, {20000, 20000}}};
  const auto crosses = [&] {
    std::vector<DisplayPolyline> out;
    for (const auto& l : Lines(AnalyseJob(*system, false).picture, 2))
      if (l.colour == colours::kGreen) out.push_back(l);
    return out;
  };
  for (const char* time : {"100", "0"}) {
    SCOPED_TRACE(std::string("pointing time ") + time);
    set(kConfig, "eSpec1", time);
    const bool pointing = std::string(time) != "0";
    // Pointing or not, a contour of a single vertex is always a point.
    std::vector<Point2> centres;
    if (pointing) centres.push_back({2200, 3200});
    centres.push_back({20000, 20000});
    const auto marks = crosses();
    ASSERT_EQ(marks.size(), 2 * centres.size());
    for (std::size_t k = 0; k < centres.size(); ++k) {
      const ScreenPoint c = system->prep.View.ToScreen(centres[k].x, centres[k].y);
      for (const DisplayPolyline& diagonal : {marks[2 * k], marks[2 * k + 1]}) {
        ASSERT_EQ(diagonal.points.size(), 2u);
        const ScreenPoint a = diagonal.points[0], b = diagonal.points[1];
        EXPECT_EQ(a.x + b.x, 2 * c.x);
        EXPECT_EQ(a.y + b.y, 2 * c.y);
        EXPECT_EQ(std::abs(b.x - a.x), 6);
        EXPECT_EQ(std::abs(b.y - a.y), 6);
      }
      EXPECT_NE(marks[2 * k].points[1].y - marks[2 * k].points[0].y,
                marks[2 * k + 1].points[1].y - marks[2 * k + 1].points[0].y)
          << "the two diagonals cross";
    }
  }
}

// --- The graph window ---

constexpr int kW = kAnalysisGraphWidth, kH = kAnalysisGraphHeight;

struct Trace {
  std::vector<DisplayPolyline> across;  // the two baselines
  std::vector<DisplayPolyline> series;
};

Trace Split(const DisplayList& list) {
  Trace t;
  for (const auto& item : list.items) {
    const auto& line = std::get<DisplayPolyline>(item);
    const bool flat = line.points.size() == 2 && line.points[0].y == line.points[1].y &&
                      line.points[0].x == 0 && line.points[1].x == kW;
    (flat ? t.across : t.series).push_back(line);
  }
  return t;
}

// A value v is drawn v / 10 pixels above its series' baseline, one value
// every 3 pixels; gaps are passed over and the line joins their neighbours.
TEST(AnalysisGraphTest, SeriesStandAboveTheirBaselinesAndSkipGaps) {
  std::vector<std::int32_t> one(12, kAnalysisGap), two(40, 0);
  one[0] = 35000;  // the start, read as 100 units a pixel 100 pixels lower
  for (std::size_t i : {1, 2, 5, 11}) one[i] = static_cast<std::int32_t>(i) * 100;
  for (std::size_t i = 0; i < two.size(); ++i) two[i] = i % 7 == 3 ? kAnalysisGap : static_cast<std::int32_t>(i * 50);

  const DisplayList list = DrawAnalysisGraph(one, two, kW, kH);
  EXPECT_EQ(list.background, colours::kBlack);
  const Trace t = Split(list);
  ASSERT_EQ(t.across.size(), 2u);
  const int base1 = kH - 200, base2 = kH - 100;
  EXPECT_EQ(t.across[0].points[0].y, base1);
  EXPECT_EQ(t.across[1].points[0].y, base2);
  EXPECT_NE(t.across[0].colour, t.across[1].colour);
  ASSERT_EQ(t.series.size(), 2u);

  std::vector<ScreenPoint> expect1{{1, kH - 350 + 100}};
  for (int i : {1, 2, 5, 11}) expect1.push_back({3 * i, base1 - i * 10});
  EXPECT_EQ(t.series[0].points, expect1);

  std::vector<ScreenPoint> expect2{{1, kH + 100}};
  for (int i = 1; i < 40; ++i)
    if (i % 7 != 3) expect2.push_back({3 * i, base2 - i * 5});
  EXPECT_EQ(t.series[1].points, expect2);
  EXPECT_NE(t.series[0].colour, t.series[1].colour);
}

TEST(AnalysisGraphTest, ASeriesIsDrawnFromElevenValuesOn) {
  for (std::size_t size : {0, 10, 11}) {
    SCOPED_TRACE(size);
    const std::vector<std::int32_t> values(size, 1000);
    EXPECT_EQ(Split(DrawAnalysisGraph(values, {}, kW, kH)).series.size(), size >= 11 ? 1u : 0u);
    EXPECT_EQ(Split(DrawAnalysisGraph({}, values, kW, kH)).series.size(), size >= 11 ? 1u : 0u);
  }
}

// Recorded samples sweep left to right and start again at the left once the
// window is full; the trace starts level with its first sample, and a gap
// after the newest separates it from the last sweep.
TEST(AnalysisGraphTest, SamplesSweepAcrossTheWindow) {
  JobState job;
  const int width = 60;  // values 1..19 fit
  const auto speed = [](int k) { return 500 + 37 * k; };
  const auto volts = [](int k) { return k % 4 == 0 ? kAnalysisGap : 1000 + k; };
  for (int k = 0; k < 19; ++k) RecordAnalysisSample(job, speed(k), volts(k), width);
  // Full: the gap has moved round to the left, where the next sweep begins.
  const Trace full = Split(DrawAnalysisGraph(job.AnalysisSeries1, job.AnalysisSeries2, kW, kH));
  ASSERT_EQ(full.series.size(), 2u);
  ASSERT_GE(full.series[0].points.size(), 2u);
  EXPECT_EQ(full.series[0].points[1].x, 6);
  EXPECT_EQ(full.series[0].points.back().x, 57);
  for (int k = 19; k < 25; ++k) RecordAnalysisSample(job, speed(k), volts(k), width);
  ASSERT_EQ(job.AnalysisSeries1.size(), kAnalysisSamples);
  ASSERT_EQ(job.AnalysisSeries2.size(), kAnalysisSamples);

  // Samples 0..18 filled slots 1..19, then 19..24 overwrote slots 1..6; slot 7 is the gap.
  const auto slotOf = [](int k) { return k < 19 ? k + 1 : k - 18; };
  const auto row = [](int value, int baseline) { return static_cast<int>(std::lround(kH - value / 10.0)) - baseline; };
  const Trace t = Split(DrawAnalysisGraph(job.AnalysisSeries1, job.AnalysisSeries2, kW, kH));
  ASSERT_EQ(t.series.size(), 2u);
  // Sample 19 is the newest in slot 1, where both traces start level with it.
  std::vector<ScreenPoint> expect1{{1, row(speed(19), 200)}};
  std::vector<ScreenPoint> expect2{{1, row(volts(19) == kAnalysisGap ? 0 : volts(19), 100)}};
  for (int slot = 1; slot < 20; ++slot) {
    if (slot == 7) continue;
    for (int k = 24; k >= 0; --k) {
      if (slotOf(k) != slot) continue;
      expect1.push_back({3 * slot, row(speed(k), 200)});
      if (volts(k) != kAnalysisGap) expect2.push_back({3 * slot, row(volts(k), 100)});
      break;
    }
  }
  EXPECT_EQ(t.series[0].points, expect1);
  EXPECT_EQ(t.series[1].points, expect2);
}

}  // namespace
}  // namespace corvane::testing
