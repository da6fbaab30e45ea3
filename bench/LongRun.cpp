// A long job through the program's own runner against the in-process board on
// fake time: by default 100 000 small contours (about a day of cutting).
// Prints the resident memory at the start, along the way and at the end, the
// growth of the day's log and of the job journal per contour, and the
// counters that keep growing with the job, so that a leak, a log that grows
// with every move or a counter near its limit shows.
// usage: bench_LongRun [CONTOURS]
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "ports/Clock.h"
#include "ports/Host.h"
#include "sim/VirtualBoard.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"

namespace corvane {
namespace {

long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long FileBytes(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

// A screen that only watches the run: it samples the memory every tenth of the job.
class WatchingHost final : public SilentHost {
 public:
  std::function<void()> onEvents;
  void processEvents() override {
    if (onEvents) onEvents();
  }
};

// A row of 20 mm holes cut as 12-sided polygons, 25 mm apart, 40 to a row.
tCNCPath Holes(int count) {
  tCNCPath job;
  job.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    const double cx = 1500 + (k % 40) * 2500, cy = 1500 + (k / 40 % 40) * 2500;
    CNCpath c{{kKindCut, 0}};
    for (int v = 0; v <= 12; ++v) {
      const double a = 2 * M_PI * (v % 12) / 12;
      c.push_back({static_cast<std::int32_t>(std::lround(cx + 1000 * std::cos(a))),
                   static_cast<std::int32_t>(std::lround(cy + 1000 * std::sin(a)))});
    }
    job.push_back(std::move(c));
  }
  return job;
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
  using namespace corvane;
  const int contours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  char folder[] = "/tmp/corvane-longrun-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;

  FakeClock clock;
  WatchingHost host;
  Paths paths;
  paths.dataRoot = std::string(folder) + "/";
  paths.profileName = "Plasma";
  System system(clock, host, paths);
  system.PrepareStart();
  system.loading = false;
  RecomputeAxisScales(system);
  DeviceChoice choice;
  choice.kind = DeviceChoice::Kind::Virtual;
  Controller controller(system, MakeUsbDevice(choice, clock));
  BindControllerFields(system, controller);
  system.fields.setChecked(Window::Configuration, "cOhmic", true);
  system.fields.setText(Window::Configuration, "xCor1", "0");

  sim::VirtualBoard& board = *controller.device.board;
  controller.connection.Connect();
  if (!controller.link.state.LinkConnected) {
    std::printf("the in-process board did not connect\n");
    return 1;
  }
  controller.connection.ReferencedAxes = 7;
  const auto& at = board.board().machine().physical();
  const auto& s = system.scales;
  controller.commands.SetPosition(static_cast<std::int32_t>(std::lround(at[0] / s.SX)),
                                  static_cast<std::int32_t>(std::lround(at[1] / s.SY)),
                                  static_cast<std::int32_t>(std::lround(at[2] / s.SZ)), 0);
  system.job.ProjectOriginZ =
      static_cast<std::int32_t>(std::lround(board.board().machine().layout().materialSurface.value_or(0) / s.SZ));
  clock.advance(2000000);
  system.job.Job = Holes(contours);
  system.job.ProjectOriginX = 1000;
  system.job.ProjectOriginY = 1000;
  system.job.JobExtentX = 102000;
  system.job.JobExtentY = 102000;

  const std::string log = system.log.path();
  const std::string journal = controller.runner.journal().path();
  const long logAtStart = FileBytes(log);
  const long rssAtStart = ResidentKiB();
  std::printf("Long run: %d contours of 12 segments, in-process board, fake time\n", contours);
  std::printf("%10s %12s %10s %12s\n", "contours", "board time", "RSS KiB", "log bytes");
  std::printf("%10d %11.1fh %10ld %12ld\n", 0, 0.0, rssAtStart, logAtStart);
  int nextReport = std::max(1, contours / 10);
  host.onEvents = [&] {
    if (system.job.CurrentContour < nextReport) return;
    std::printf("%10d %11.1fh %10ld %12ld\n", system.job.CurrentContour, clock.nowMicros() / 3.6e9, ResidentKiB(),
                FileBytes(log));
    std::fflush(stdout);
    nextReport += std::max(1, contours / 10);
  };
  const auto wall0 = std::chrono::steady_clock::now();
  controller.runner.Start();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  host.onEvents = nullptr;

  const bool finished = system.job.CurrentContour == contours;
  const long rssAtEnd = ResidentKiB();
  const long logGrowth = FileBytes(log) - logAtStart;
  std::printf("%s after %.1f h of board time (%.0f s wall)\n", finished ? "finished" : "NOT FINISHED",
              clock.nowMicros() / 3.6e9, wall);
  std::printf("RSS: start %ld KiB, end %ld KiB (%+ld KiB)\n", rssAtStart, rssAtEnd, rssAtEnd - rssAtStart);
  std::printf("log: %ld bytes for the run, %.2f bytes a contour\n", logGrowth,
              static_cast<double>(logGrowth) / contours);
  std::printf("journal: %ld bytes at the end, %ld syncs (%.2f a contour)\n", FileBytes(journal),
              controller.runner.journal().syncs(),
              static_cast<double>(controller.runner.journal().syncs()) / contours);
  const auto& link = controller.link.state;
  std::printf("counters: request sequence %d (8 bits, wraps by design), retries %d, piercing count %s, "
              "board time %lld us of %lld\n",
              controller.link.request.sequence, link.RetryCount,
              system.fields.text(Window::Configuration, "eSpec4").c_str(),
              static_cast<long long>(clock.nowMicros()), static_cast<long long>(std::numeric_limits<std::int64_t>::max()));
  return finished ? 0 : 1;
}
