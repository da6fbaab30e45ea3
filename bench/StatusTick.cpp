// What one status tick costs the program against the in-process board:
// status A and status B with every state update after them, the field reads of
// the speed snap and of the start/stop inputs included. The program and the
// board run on fake time, 20 ms a read as the main window's refresh paces
// them, so a cutting tool really moves between reads; the wall clock measures.
// Run with the board idle, with the tool cutting (Busy, moving), and the
// refresh as the main window runs it (one read, the alarm check).
// Prints microseconds per tick (median, 99th percentile and mean over batches).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSystem.h"
#include "link/DeviceChoice.h"
#include "machine/MachineCommands.h"
#include "ports/Clock.h"
#include "system/System.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

// Ticks are timed in batches: one tick is shorter than the clock's microsecond.
constexpr int kBatch = 1000;
constexpr int kBatches = 200;

struct Figures {
  std::vector<double> micros;
  double median() {
    std::sort(micros.begin(), micros.end());
    return micros[micros.size() / 2];
  }
  double p99() {
    std::sort(micros.begin(), micros.end());
    return micros[static_cast<std::size_t>(0.99 * (micros.size() - 1))];
  }
  double mean() const {
    double sum = 0;
    for (double m : micros) sum += m;
    return sum / static_cast<double>(micros.size());
  }
};

constexpr std::int64_t kReadMicros = 20000;

template <typename Setup, typename Tick>
Figures Measure(Clock& wall, Setup setup, Tick tick) {
  Figures f;
  f.micros.reserve(kBatches);
  for (int batch = 0; batch < kBatches; ++batch) {
    setup(batch);
    const std::int64_t t0 = wall.nowMicros();
    for (int i = 0; i < kBatch; ++i) tick();
    f.micros.push_back(static_cast<double>(wall.nowMicros() - t0) / kBatch);
  }
  return f;
}

void Print(const char* name, Figures f) {
  std::printf("%-28s median %7.3f us  p99 %7.3f us  mean %7.3f us per tick\n", name, f.median(),
              f.p99(), f.mean());
}

}  // namespace
}  // namespace corvane

int main() {
  using namespace corvane;
  char folder[] = "/tmp/corvane-status-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  SteadyClock wall;
  FakeClock clock;
  SilentHost host;
  Paths paths;
  paths.dataRoot = std::string(folder) + "/data/";
  System system(clock, host, paths);
  UseBenchAxes(system);

  Controller controller(system, MakeUsbDevice(ParseDeviceChoice("virtual"), clock));
  BindControllerFields(system, controller);
  controller.connection.Connect();
  if (!controller.link.state.LinkConnected) {
    std::fprintf(stderr, "the virtual board did not connect\n");
    return 1;
  }
  MachineCommands& commands = controller.commands;
  const auto tick = [&] {
    clock.advance(kReadMicros);
    commands.ReadStatusA();
    clock.advance(kReadMicros);
    commands.ReadStatusB();
  };
  const auto refresh = [&] {
    clock.advance(kReadMicros);
    commands.RefreshStatus();
  };
  const auto idle = [](int) {};
  // Each batch cuts a line across the table and back, long enough to keep the
  // tool moving through the whole batch (about 80 s at this level).
  const auto cut = [&](int batch) {
    commands.StopMotion();
    system.StopRequested = false;
    controller.link.request.p = {batch % 2 ? 10000 : 90000, 20000, 0, 0, 100};
    commands.Send(wire::cmd::kXyLine);
  };

  Print("idle, A + B", Measure(wall, idle, tick));
  system.Busy = true;
  Print("cutting, A + B", Measure(wall, cut, tick));
  std::printf("%-28s %d mm/min\n", "  speed shown while cutting", commands.status.ActualSpeed);
  Print("cutting, 20 ms refresh", Measure(wall, cut, refresh));
  system.Busy = false;
  commands.StopMotion();
  return 0;
}
