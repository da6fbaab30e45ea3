// How far the board runs on when the program dies in the middle of a cut.
// corvane-sim serves the board on its pseudo-terminal; a child process runs
// the program's whole controller side on a real drawing (processed with kerf
// and leads as the import window sends it) and is killed with SIGKILL once it
// has cut for a while. The board's console is read every few milliseconds:
// the board time from the kill until its motion stops, how long and how far
// of it the board went on cutting (the torch on and the tool moving), and the
// queue it held, over several kills at different moments.
// usage: bench_RunOut [DRAWING] [KILLS]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSimulator.h"
#include "import/ImportSession.h"
#include "link/PtyDevice.h"
#include "link/DeviceChoice.h"
#include "model/JobNormalise.h"
#include "ports/Clock.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"
#include "virtual/MakeUsbDevice.h"


namespace corvane {
namespace {

// What the console's "state" says that matters here.
struct BoardState {
  long millis = 0;
  long x = 0, y = 0;
  int queue = 0;
  bool torch = false;
};

BoardState ReadState(const std::string& control) {
  const std::string text = AskSimulatorControl(control, "state");
  BoardState s;
  std::sscanf(text.c_str(), "time %ld", &s.millis);
  if (const auto at = text.find("position "); at != std::string::npos)
    std::sscanf(text.c_str() + at, "position %ld %ld", &s.x, &s.y);
  if (const auto at = text.find("queue "); at != std::string::npos) std::sscanf(text.c_str() + at, "queue %d", &s.queue);
  s.torch = text.find("torch on") != std::string::npos;
  return s;
}

// The child: the program's controller side cutting the drawing until it is killed.
[[noreturn]] void RunProgram(const std::string& drawing, const std::string& terminal, const std::string& control,
                             const std::string& dataRoot) {
  SteadyClock clock;
  SilentHost host;
  Paths paths;
  paths.dataRoot = dataRoot;
  paths.profileName = "Plasma";
  System system(clock, host, paths);
  system.PrepareStart();
  system.loading = false;
  RecomputeAxisScales(system);
  DeviceChoice choice;
  choice.kind = DeviceChoice::Kind::Pty;
  choice.ptyPath = terminal;
  choice.controlPath = control;
  Controller controller(system, MakeUsbDevice(choice, clock));
  BindControllerFields(system, controller);
  auto& f = system.fields;
  f.setText(Window::Configuration, "xFeedMaxXY", "12000");
  f.setText(Window::Main, "xFeed", "3000");
  f.setText(Window::Main, "eTime", "0");
  f.setChecked(Window::Configuration, "cOhmic", false);

  for (const char* box : {"cOffsetActive", "cLeadIn", "cLeadOut"}) f.setChecked(Window::Import, box, true);
  ImportSession session(system.log);
  if (!session.Preview(drawing, ReadImportReadOptions(f, system.advanced, system.parser), system.parser)) ::_exit(2);
  const ImportProcessOptions options = ReadImportProcessOptions(f, system.advanced, system.parser);
  session.LoadIntoEditor(session.DefaultPlasmaLayers(), {}, false, options);
  auto job = session.JobContours(options);
  if (!job) ::_exit(2);
  controller.connection.Connect();
  if (!controller.link.state.LinkConnected) ::_exit(3);
  controller.connection.ReferencedAxes = 7;
  controller.commands.SetPosition(0, 0, 0, 0);
  ReplaceJob(system.job, std::move(*job));
  system.job.ProjectOriginX = 1000;
  system.job.ProjectOriginY = 1000;
  clock.sleepMillis(1100);  // the start lock
  controller.runner.Start();
  ::_exit(0);
}

struct RunOut {
  double seconds = 0, torchSeconds = 0, torchMm = 0;
  int queued = 0;
};

// Steps per millimetre of X and Y as the program's default settings give them.
std::pair<double, double> StepsPerMm(const std::string& folder) {
  SteadyClock clock;
  SilentHost host;
  Paths paths;
  paths.dataRoot = folder + "/scales/";
  System system(clock, host, paths);
  system.PrepareStart();
  system.loading = false;
  RecomputeAxisScales(system);
  return {system.scales.SX * 100, system.scales.SY * 100};
}

RunOut KillOnce(const std::string& simulator, const std::string& drawing, const std::string& folder, int cutMillis,
                std::pair<double, double> stepsPerMm) {
  const auto [perMmX, perMmY] = stepsPerMm;
  const std::string terminal = folder + "/tty", control = folder + "/tty.ctl";
  const pid_t sim = SpawnSimulator(simulator, terminal, control);
  if (sim < 0) return {};

  const pid_t program = ::fork();
  if (program == 0) RunProgram(drawing, terminal, control, folder + "/data/");
  // Wait until the torch has been cutting for the given time, then kill.
  long cutSince = -1;
  BoardState s;
  for (int i = 0; i < 20000; ++i) {
    s = ReadState(control);
    if (s.torch && cutSince < 0) cutSince = s.millis;
    if (!s.torch) cutSince = -1;
    if (cutSince >= 0 && s.millis - cutSince >= cutMillis) break;
    ::usleep(2000);
  }
  ::kill(program, SIGKILL);
  ::waitpid(program, nullptr, 0);
  const BoardState atKill = ReadState(control);
  RunOut r;
  r.queued = atKill.queue;
  BoardState last = atKill;
  long stoppedAt = atKill.millis;
  // The run-out ends when the queue is empty and the board stands still.
  for (int i = 0; i < 20000; ++i) {
    const BoardState now = ReadState(control);
    const double mm = std::hypot(double(now.x - last.x) / perMmX, double(now.y - last.y) / perMmY);
    // Cutting: the torch burns and the tool moves.
    if (last.torch && mm > 0) {
      r.torchMm += mm;
      r.torchSeconds += (now.millis - last.millis) / 1000.0;
    }
    if (now.x != last.x || now.y != last.y || now.queue > 0) stoppedAt = now.millis;
    if (now.queue == 0 && now.millis - stoppedAt > 200) break;
    last = now;
    ::usleep(2000);
  }
  r.seconds = (stoppedAt - atKill.millis) / 1000.0;
  EndSimulator(sim);
  return r;
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
  using namespace corvane;
  const std::string drawing = argc > 1 ? argv[1] : std::string(CORVANE_CORPUS_DIR) + "/dxf/irnas__Bottom_plate.DXF";
  const int kills = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string simulator = SiblingSimulator();
  double worst = 0, worstMm = 0, sum = 0, worstMotion = 0;
  char scales[] = "/tmp/corvane-runout-scales-XXXXXX";
  if (!::mkdtemp(scales)) return 1;
  const std::pair<double, double> stepsPerMm = StepsPerMm(scales);
  for (int k = 0; k < kills; ++k) {
    char folder[] = "/tmp/corvane-runout-XXXXXX";
    if (!::mkdtemp(folder)) return 1;
    const RunOut r = KillOnce(simulator, drawing, folder, 1500 + 700 * k, stepsPerMm);
    std::printf("kill %d: %d entries queued, the board moved %.2f s more, of them %.2f s and %.1f mm cutting\n",
                k + 1, r.queued, r.seconds, r.torchSeconds, r.torchMm);
    worst = std::max(worst, r.torchSeconds);
    worstMotion = std::max(worstMotion, r.seconds);
    worstMm = std::max(worstMm, r.torchMm);
    sum += r.torchSeconds;
    std::string cleanup = std::string("rm -rf ") + folder;
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", folder);
  }
  if (std::system((std::string("rm -rf ") + scales).c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", scales);
  std::printf("run-out after kill -9: cutting on for mean %.2f s, worst %.2f s and %.1f mm (target <= 1 s); "
              "all motion at most %.2f s\n",
              sum / kills, worst, worstMm, worstMotion);
  return 0;
}
