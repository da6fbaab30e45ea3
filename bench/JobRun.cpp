// Whole jobs through the program's own runner against the in-process board on
// fake time, wired as the program wires it:
//  (a) the analysis' estimated time against the time the simulated run takes
//      on the board's clock, per job, as the ratio estimate / simulated;
//  (b) process CPU time per frame the program writes while a job streams,
//      against the 625 µs one exchange takes on the 921 600-baud wire
//      (about 1 600 exchanges a second). The board runs in the same process,
//      so the figure is an upper bound of the program's own part.
// Each job runs without a sensor and with the ohmic sensor, the tool starting
// at the home corner as after referencing.
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "import/DrawingFile.h"
#include "job/Analysis.h"
#include "model/JobNormalise.h"
#include "ports/Clock.h"
#include "sim/VirtualBoard.h"
#include "store/FieldValues.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"
#include "wire/Frame.h"

namespace corvane {
namespace {

constexpr double kWireExchangeMicros = 625.0;  // 921 600 baud: about 1 600 exchanges a second

double CpuMicros(clockid_t which) {
  timespec t{};
  clock_gettime(which, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Counts the frames the program writes.
class CountingDevice final : public UsbDevice {
 public:
  explicit CountingDevice(UsbDevice& inner) : inner_(inner) {}
  long frames = 0;

  FtStatus countDevices(std::uint32_t& count) override { return inner_.countDevices(count); }
  FtStatus describeDevice(std::uint32_t index, std::string& d) override { return inner_.describeDevice(index, d); }
  FtStatus openByDescription(const std::string& d) override { return inner_.openByDescription(d); }
  FtStatus close() override { return inner_.close(); }
  std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) override { return inner_.read(buffer, count); }
  std::uint32_t write(const std::uint8_t* buffer, std::uint32_t count) override {
    if (count == wire::kFrameSize) ++frames;
    return inner_.write(buffer, count);
  }
  FtStatus setBaudRate(std::uint32_t rate) override { return inner_.setBaudRate(rate); }
  FtStatus setDataCharacteristics(std::uint8_t w, std::uint8_t s, std::uint8_t p) override {
    return inner_.setDataCharacteristics(w, s, p);
  }
  FtStatus setFlowControl(std::uint16_t f, std::uint8_t on, std::uint8_t off) override {
    return inner_.setFlowControl(f, on, off);
  }
  FtStatus queueStatus(std::uint32_t& n) override { return inner_.queueStatus(n); }
  FtStatus setLatencyTimer(std::uint8_t ms) override { return inner_.setLatencyTimer(ms); }
  FtStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override { return inner_.setBitMode(mask, mode); }

 private:
  UsbDevice& inner_;
};

// One program with its board, connected and referenced, on a fresh fake clock.
struct Bench {
  explicit Bench(const std::string& root) {
    Paths paths;
    paths.dataRoot = root;
    paths.profileName = "Plasma";
    system = std::make_unique<System>(clock, host, paths);
    system->PrepareStart();
    system->loading = false;
    RecomputeAxisScales(*system);
    controller = MakeWrappedVirtualController(*system, [this](UsbDevice& inner) {
      auto counting = std::make_unique<CountingDevice>(inner);
      device = counting.get();
      return counting;
    });
  }

  // As the program stands after referencing: the tool just off the home
  // switches, the material surface as the board's, and the start lock run out.
  bool Connect() {
    constexpr double kOffSwitches = 500;  // 5 mm
    sim::VirtualBoard& board = *controller->device.board;
    board.board().machine().setPhysical(0, static_cast<std::int32_t>(std::lround(kOffSwitches * system->scales.SX)));
    board.board().machine().setPhysical(1, static_cast<std::int32_t>(std::lround(kOffSwitches * system->scales.SY)));
    controller->connection.Connect();
    if (!controller->link.state.LinkConnected) return false;
    controller->connection.ReferencedAxes = 7;
    const auto& at = board.board().machine().physical();
    const auto& s = system->scales;
    controller->commands.SetPosition(static_cast<std::int32_t>(std::lround(at[0] / s.SX)),
                                     static_cast<std::int32_t>(std::lround(at[1] / s.SY)),
                                     static_cast<std::int32_t>(std::lround(at[2] / s.SZ)), 0);
    system->job.ProjectOriginZ = static_cast<std::int32_t>(
        std::lround(board.board().machine().layout().materialSurface.value_or(0) / s.SZ));
    clock.advance(2000000);
    return true;
  }

  FakeClock clock;
  SilentHost host;
  std::unique_ptr<System> system;
  std::unique_ptr<Controller> controller;
  CountingDevice* device = nullptr;
};

CNCpath Polygon(double cx, double cy, double radius, int sides) {
  CNCpath c{{kKindCut, 0}};
  for (int k = 0; k <= sides; ++k) {
    const double a = 2 * M_PI * (k % sides) / sides;
    c.push_back({static_cast<std::int32_t>(std::lround(cx + radius * std::cos(a))),
                 static_cast<std::int32_t>(std::lround(cy + radius * std::sin(a)))});
  }
  return c;
}

CNCpath Rectangle(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  return {{kKindCut, 0}, {x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
}

// A plate with a row of holes: the outline last, as a cut order puts it.
tCNCPath Flange() {
  tCNCPath job;
  for (int k = 0; k < 6; ++k) job.push_back(Polygon(3000 + k * 4000, 3000, 1000, 48));
  job.push_back(Rectangle(0, 0, 26000, 6000));
  return job;
}

tCNCPath Squares() {
  tCNCPath job;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) job.push_back(Rectangle(col * 6000, row * 6000, 5000, 5000));
  return job;
}

// Many small holes: pierces and the small-contour speed dominate.
tCNCPath SmallHoles() {
  tCNCPath job;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 8; ++col) job.push_back(Polygon(col * 2500, row * 2500, 600, 24));
  return job;
}

// One long outline with rounded corners: the cut itself dominates.
tCNCPath LongStrip() {
  CNCpath c{{kKindCut, 0}};
  const double w = 100000, h = 20000, r = 2000;
  const double cx[] = {w - r, r, r, w - r}, cy[] = {h - r, h - r, r, r};
  for (int corner = 0; corner < 4; ++corner)
    for (int k = 0; k <= 12; ++k) {
      const double a = M_PI / 2 * corner + M_PI / 2 * k / 12;
      c.push_back({static_cast<std::int32_t>(std::lround(cx[corner] + r * std::cos(a))),
                   static_cast<std::int32_t>(std::lround(cy[corner] + r * std::sin(a)))});
    }
  c.push_back(c[1]);
  return {c};
}

// A drawing of the corpus read with the DXF reader; paths that continue where
// the one before ended are chained into one contour, every other path is cut
// on its own.
tCNCPath FromDrawing(const std::string& file) {
  SteadyClock clock;
  ProgramLog log(clock, nullptr);
  NumberParser parser(log, nullptr);
  TPaths paths;
  TDXF dxf;
  const DrawingLoad load = ReadDrawingFile(file, DrawingFormat::Dxf, ImportOptions{}, parser, log, paths, dxf, true);
  tCNCPath job;
  if (!load.ok) return job;
  for (const TPath& path : paths) {
    if (path.size() < 3) continue;
    const auto at = [&](std::size_t i) {
      return ContourPoint{static_cast<std::int32_t>(path[i].X), static_cast<std::int32_t>(path[i].Y)};
    };
    const bool continues = !job.empty() && job.back().back() == at(1);
    if (!continues) job.push_back({{kKindCut, 0}, at(1)});
    for (std::size_t i = 2; i < path.size(); ++i) job.back().push_back(at(i));
  }
  return job;
}

struct Run {
  bool finished = false;
  double estimate = 0, simulated = 0;  // seconds
  long frames = 0;
  double cpuMicros = 0;
};

Run RunJob(const std::string& root, const tCNCPath& job, bool ohmic) {
  Run run;
  Bench b(root);
  System& s = *b.system;
  s.fields.setChecked(Window::Configuration, "cOhmic", ohmic);
  s.fields.setText(Window::Configuration, "xCor1", "0");
  if (!b.Connect()) return run;
  ReplaceJob(s.job, job);
  s.job.ProjectOriginX = 5000;
  s.job.ProjectOriginY = 5000;
  s.job.LastCommanded = s.job.MachinePosition;  // where the runner measures from as well
  run.estimate = AnalyseJob(s, false).seconds;

  b.device->frames = 0;
  const std::int64_t t0 = b.clock.nowMicros();
  const double cpu0 = CpuMicros(CLOCK_PROCESS_CPUTIME_ID);
  b.controller->runner.Start();
  run.cpuMicros = CpuMicros(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  run.simulated = static_cast<double>(b.clock.nowMicros() - t0) / 1e6;
  run.frames = b.device->frames;
  run.finished = s.job.CurrentContour == static_cast<std::int32_t>(s.job.Job.size());
  return run;
}

}  // namespace
}  // namespace corvane

int main() {
  using namespace corvane;
  char folder[] = "/tmp/corvane-jobrun-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  const std::string root = std::string(folder) + "/";

  struct Job {
    const char* name;
    tCNCPath contours;
  };
  std::vector<Job> jobs{{"9 squares 50 mm", Squares()},
                        {"flange, 6 holes", Flange()},
                        {"32 small holes", SmallHoles()},
                        {"strip 1000 x 200 mm", LongStrip()}};
  const std::string drawing = std::string(CORVANE_CORPUS_DIR) + "/dxf/cinvaram__arm_angle_x4.dxf";
  if (tCNCPath part = FromDrawing(drawing); !part.empty()) jobs.push_back({"arm_angle_x4.dxf", std::move(part)});
  else std::printf("(%s not read; left out)\n", drawing.c_str());

  std::printf("Analysis estimate against the simulated run (fake time, in-process board)\n");
  std::printf("%-22s %8s | %-30s | %-30s\n", "", "", "        no sensor", "      ohmic sensor");
  std::printf("%-22s %8s | %9s %11s %7s | %9s %11s %7s\n", "job", "contours", "estimate", "simulated", "ratio",
              "estimate", "simulated", "ratio");
  double cpu = 0;
  long frames = 0;
  for (const Job& job : jobs) {
    std::printf("%-22s %8zu", job.name, job.contours.size());
    for (const bool ohmic : {false, true}) {
      const Run run = RunJob(root, job.contours, ohmic);
      if (!run.finished) {
        std::printf(" | %-30s", "did not finish");
        continue;
      }
      std::printf(" | %8.1fs %10.1fs %7.3f", run.estimate, run.simulated, run.estimate / run.simulated);
      cpu += run.cpuMicros;
      frames += run.frames;
    }
    std::printf("\n");
  }
  if (frames == 0) return 1;
  const double perFrame = cpu / static_cast<double>(frames);
  std::printf("\nProcess CPU time per streamed command, board included (%ld frames)\n", frames);
  std::printf("  %.2f us a frame, %.2f %% of the %.0f us a 921 600-baud exchange takes\n", perFrame,
              100 * perFrame / kWireExchangeMicros, kWireExchangeMicros);
  return 0;
}
