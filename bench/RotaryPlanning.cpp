// Times the rotary axis' tube work: building a profile's table (done at every
// "OK" / "Exit" of the tube panel), the inverse mapping over a whole table,
// and planning contours round a profile (a vertex at every change of face).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "BenchPlanning.h"
#include "model/PlanCut.h"
#include "model/RotaryAxis.h"

using namespace corvane;
using Seconds = std::chrono::duration<double>;

namespace {

template <class F>
double MedianMillis(int runs, F&& f) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    times.push_back(Seconds(std::chrono::steady_clock::now() - t0).count() * 1e3);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// A contour of `vertices` points winding round the unrolled tube: a ring of
// radius r around (cx, cy), crossing faces and corners on its way.
CNCpath Ring(double cx, double cy, double r, int vertices) {
  CNCpath c{{kKindCut, 0}};
  for (int i = 0; i <= vertices; ++i) {
    const double a = 2 * M_PI * (i % vertices) / vertices;
    c.push_back({static_cast<std::int32_t>(std::lround(cx + r * std::cos(a))),
                 static_cast<std::int32_t>(std::lround(cy + r * std::sin(a)))});
  }
  return c;
}

}  // namespace

int main() {
  const BenchPlanning bench = MakeBenchPlanning(5, 5.0);  // 12800 steps, gear 5
  const AxisScales& scales = bench.scales;
  const SpeedTables& speeds = bench.speeds;
  const PlannerSettings& settings = bench.settings;
  std::printf("A steps per revolution: %d\n", scales.ARev);

  struct Tube {
    const char* name;
    std::int32_t w, h, r;
  };
  for (const Tube t : {Tube{"60 x 40 R3", 6000, 4000, 300}, Tube{"300 x 200 R10", 30000, 20000, 1000}}) {
    const TubeGeometry tube = LimitTube({false, 0, t.w, t.h, t.r});
    ProfileTable table;
    const double build = MedianMillis(11, [&] { table = BuildProfileTable(tube.width, tube.height, tube.radius, scales.ARev); });
    const RotaryMapping mapping(tube, table, scales.ARev, scales.SA, 0);
    std::int64_t sink = 0;
    const double inverse = MedianMillis(5, [&] {
      for (std::int32_t s = 0; s < table.perimeter; ++s) {
        const ProfileEntry& e = table.entries[static_cast<std::size_t>(s)];
        sink += mapping.UnrolledX(e.h, mapping.AWithTurns(e.a, s), true);
      }
    });
    const ProfilePlanning planning = mapping.Planning();
    const PlanContext ctx{settings, scales, speeds, &planning};
    std::int32_t lastRamp = settings.accelXY;
    const CNCpath ring = Ring(table.perimeter / 4.0, 3000, table.perimeter / 4.0, 2000);
    std::size_t records = 0;
    const double plan = MedianMillis(21, [&] { records = PlanCut(ring, 4000, ctx, PlanStart{}, lastRamp).path.size(); });
    std::printf("%-14s P = %6d entries: table %.2f ms, inverse of every entry %.2f ms (sum %lld), "
                "PlanCut of a 2000-vertex ring round it %.2f ms (%zu records)\n",
                t.name, table.perimeter, build, inverse, static_cast<long long>(sink), plan, records);
  }
  return 0;
}
