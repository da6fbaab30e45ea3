// Plans a large generated job with both planners and times the job's display list
// and the cutting plan of one long contour.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "BenchPlanning.h"
#include "model/JobNormalise.h"
#include "model/JobRedraw.h"
#include "model/PlanCut.h"
#include "model/PlanPreview.h"

using namespace corvane;
using Seconds = std::chrono::duration<double>;

namespace {

// An arc of `vertices` points around (cx, cy), flattened as a reader would.
CNCpath Arc(std::mt19937& rng, std::int32_t cx, std::int32_t cy, int vertices) {
  std::uniform_real_distribution<double> radius(500, 4000), sweep(0.5, 2 * M_PI), start(0, 2 * M_PI);
  const double r = radius(rng), a0 = start(rng), da = sweep(rng) / (vertices - 1);
  CNCpath c{{kKindCut, 0}};
  for (int i = 0; i < vertices; ++i)
    c.push_back({cx + static_cast<std::int32_t>(std::lround(r * std::cos(a0 + i * da))),
                 cy + static_cast<std::int32_t>(std::lround(r * std::sin(a0 + i * da)))});
  return c;
}

template <class F>
double Time(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return Seconds(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
  const BenchPlanning bench = MakeBenchPlanning();
  const PlannerSettings& settings = bench.settings;
  const PlanContext ctx{settings, bench.scales, bench.speeds, nullptr};
  std::int32_t lastRamp = settings.accelXY;

  std::mt19937 rng(42);
  std::uniform_int_distribution<int> vertexCount(50, 500);
  tCNCPath contours;
  contours.reserve(20000);
  std::size_t totalVertices = 0;
  for (int k = 0; k < 20000; ++k) {
    contours.push_back(Arc(rng, (k % 200) * 10000, (k / 200) * 10000, vertexCount(rng)));
    totalVertices += contours.back().size() - 1;
  }
  JobState job;
  ReplaceJob(job, std::move(contours));
  std::printf("job: %zu contours, %zu vertices\n", job.Job.size(), totalVertices);

  std::size_t records = 0;
  const double cutTime = Time([&] {
    for (const CNCpath& c : job.Job) records += PlanCut(c, 4000, ctx, PlanStart{}, lastRamp).path.size();
  });
  std::printf("PlanCut:     %.0f contours/s (%.2f s for the job, %zu records)\n", job.Job.size() / cutTime,
              cutTime, records);
  records = 0;
  const double previewTime = Time([&] {
    for (const CNCpath& c : job.Job) records += PlanPreview(c, 4000, ctx, PlanStart{}).path.size();
  });
  std::printf("PlanPreview: %.0f contours/s (%.2f s for the job, %zu records)\n", job.Job.size() / previewTime,
              previewTime, records);

  PreparationState prep;
  prep.View = FitView(job.JobExtentX, job.JobExtentY, 1600, 1000, 10);
  RedrawSettings redraw;
  redraw.feed = 4000;
  redraw.analysisView = true;
  redraw.limits = {true, 3000000, 2000000};
  job.CurrentContour = 10000;
  std::size_t items = 0;
  std::vector<double> drawTimes;
  for (int i = 0; i < 5; ++i)
    drawTimes.push_back(Time([&] { items = RedrawJob(job, prep, redraw, ctx)->items.size(); }));
  std::sort(drawTimes.begin(), drawTimes.end());
  std::printf("display list of the whole job: %.1f ms median of 5 (%zu items)\n", drawTimes[2] * 1e3, items);

  std::mt19937 arcRng(7);
  const CNCpath big = Arc(arcRng, 0, 0, 2000);
  CNCpath zigzag{{kKindCut, 0}};
  std::uniform_int_distribution<int> step(-3000, 3000);
  ContourPoint p{0, 0};
  for (int i = 0; i < 2000; ++i) {
    p = {p.x + step(rng), p.y + step(rng)};
    zigzag.push_back(p);
  }
  const std::pair<const char*, const CNCpath*> samples[] = {{"arc", &big}, {"zigzag", &zigzag}};
  for (const auto& [name, contour] : samples) {
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) times.push_back(Time([&] { PlanCut(*contour, 4000, ctx, PlanStart{}, lastRamp); }));
    std::sort(times.begin(), times.end());
    std::printf("PlanCut of a 2000-vertex %s: median %.3f ms, worst %.3f ms (target < 1 ms)\n", name,
                times[times.size() / 2] * 1e3, times.back() * 1e3);
  }
  return 0;
}
