// The program's controller exchange against corvane-sim over its
// pseudo-terminal, beside a raw client on the same terminal in the same run:
// status A/B alternately, then a stream of XY lines with the queue throttle.
// Prints exchanges per second, median and 99th-percentile round trip of both,
// and our rate as a share of the raw one (the target is at least 80 %).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/ControllerLink.h"
#include "link/PtyDevice.h"
#include "machine/MachineCommands.h"
#include "ports/Clock.h"
#include "system/System.h"
#include "wire/Commands.h"
#include "wire/Frame.h"

extern char** environ;

namespace corvane {
namespace {

// Both clients run in many short turns, so the load of the machine at any
// moment falls on both alike.
constexpr int kStatusExchanges = 1000;
constexpr int kLineExchanges = 100;
constexpr int kRounds = 40;

struct Figures {
  std::vector<std::int64_t> roundTrips;  // microseconds
  std::int64_t totalMicros = 0;
  std::int64_t untimed = 0;  // status polls inside the throttle
  int failures = 0;
  void add(const Figures& other) {
    roundTrips.insert(roundTrips.end(), other.roundTrips.begin(), other.roundTrips.end());
    totalMicros += other.totalMicros;
    untimed += other.untimed;
    failures += other.failures;
  }
  std::int64_t exchanges() const { return static_cast<std::int64_t>(roundTrips.size()) + untimed; }
  double rate() const { return exchanges() * 1e6 / std::max<std::int64_t>(totalMicros, 1); }
  std::int64_t percentile(double p) {
    std::sort(roundTrips.begin(), roundTrips.end());
    return roundTrips.empty() ? 0 : roundTrips[static_cast<std::size_t>(p * (roundTrips.size() - 1))];
  }
};

// A move of one step back and forth at a fast level, so the board's queue
// drains while the stream runs and the throttle mostly just polls.
void SetLine(std::array<std::int32_t, 5>& p, int n) {
  p = {n % 2, n % 2, 0, 0, 300};
}

// Our side: the shared records, the exchange, QueueThrottle before each line.
Figures RunOurs(MachineCommands& commands, ControllerLink& link, Clock& clock, int round) {
  Figures f;
  commands.ui.redrawStatusPanel = [&f] { ++f.untimed; };
  const std::int64_t start = clock.nowMicros();
  auto timed = [&](std::uint8_t code) {
    const std::int64_t t0 = clock.nowMicros();
    if (!commands.Send(code)) ++f.failures;
    f.roundTrips.push_back(clock.nowMicros() - t0);
  };
  for (int i = 0; i < kStatusExchanges; ++i) timed(i % 2 ? wire::cmd::kStatusB : wire::cmd::kStatusA);
  std::array<std::int32_t, 5> p{};
  for (int i = round * kLineExchanges; i < (round + 1) * kLineExchanges; ++i) {
    commands.QueueThrottle();
    SetLine(p, i);
    for (int k = 0; k < 5; ++k) link.request.p[k] = p[k];
    timed(wire::cmd::kXyLine);
  }
  f.totalMicros = clock.nowMicros() - start;
  return f;
}

// The raw client: encode, write, block in poll until 24 bytes are in.
class RawClient {
 public:
  explicit RawClient(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~RawClient() { ::close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool exchange(std::uint8_t code, const std::array<std::int32_t, 5>& p, wire::ControllerReply& reply) {
    wire::ControllerRequest request{p, code, 1, ++sequence_};
    const auto frame = wire::EncodeRequest(request);
    if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return false;
    wire::FrameBytes in{};
    std::size_t got = 0;
    while (got < in.size()) {
      pollfd watch{fd_, POLLIN, 0};
      if (::poll(&watch, 1, 100) <= 0) return false;
      const ssize_t n = ::read(fd_, in.data() + got, in.size() - got);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    if (!wire::ChecksumValid(in)) return false;
    reply = wire::DecodeReply(in);
    return true;
  }

 private:
  int fd_;
  std::uint8_t sequence_ = 0;
};

Figures RunRaw(RawClient& raw, Clock& clock, int round) {
  Figures f;
  wire::ControllerReply reply;
  const std::int64_t start = clock.nowMicros();
  auto timed = [&](std::uint8_t code, const std::array<std::int32_t, 5>& p) {
    const std::int64_t t0 = clock.nowMicros();
    if (!raw.exchange(code, p, reply)) ++f.failures;
    f.roundTrips.push_back(clock.nowMicros() - t0);
  };
  for (int i = 0; i < kStatusExchanges; ++i) timed(i % 2 ? wire::cmd::kStatusB : wire::cmd::kStatusA, {});
  std::array<std::int32_t, 5> p{};
  std::int32_t fill = 0;
  for (int i = round * kLineExchanges; i < (round + 1) * kLineExchanges; ++i) {
    if ((i + 1) % 26 == 0 || fill >= 2300) {
      do {
        ++f.untimed;
        if (!raw.exchange(wire::cmd::kStatusA, {}, reply)) ++f.failures;
        fill = reply.queueFill();
      } while (fill >= 2300);
    }
    SetLine(p, i);
    timed(wire::cmd::kXyLine, p);
    fill = reply.queueFill();
  }
  f.totalMicros = clock.nowMicros() - start;
  return f;
}

void Print(const char* name, Figures& f) {
  std::printf("%-8s %9lld exchanges  %9.0f /s  median %5lld us  p99 %5lld us  failed %d\n", name,
              static_cast<long long>(f.exchanges()), f.rate(), static_cast<long long>(f.percentile(0.5)),
              static_cast<long long>(f.percentile(0.99)), f.failures);
}

std::string SiblingSimulator() {
  std::vector<char> self(4096);
  const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  const std::string path(self.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1) + "corvane-sim";
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
  using namespace corvane;
  std::string simulator = argc > 1 ? argv[1] : SiblingSimulator();
  char folder[] = "/tmp/corvane-link-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  const std::string terminal = std::string(folder) + "/tty";
  const std::string control = std::string(folder) + "/tty.ctl";
  std::vector<std::string> args = {simulator, "--no-stdin", "--link", terminal, "--control", control};
  std::vector<char*> argv2;
  for (auto& a : args) argv2.push_back(a.data());
  argv2.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  if (posix_spawn(&child, simulator.c_str(), &actions, nullptr, argv2.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", simulator.c_str());
    return 1;
  }
  posix_spawn_file_actions_destroy(&actions);

  SteadyClock clock;
  for (int i = 0; i < 500 && (::access(terminal.c_str(), F_OK) != 0 || ::access(control.c_str(), F_OK) != 0); ++i)
    clock.sleepMillis(10);

  SilentHost host;
  Paths paths;
  paths.dataRoot = std::string(folder) + "/data/";
  System system(clock, host, paths);
  system.StopRequested = false;
  PtyDevice device(terminal, control);
  ConnectionIndicator indicator;
  D2XXUnit unit(device, host, system.log);
  ControllerLink link(unit, clock, host, system.log, indicator, system.StatisticsChanged);
  MachineCommands commands(system, link);
  if (unit.OpenByDescription(kControllerDescription) != ftstatus::kOk) {
    std::fprintf(stderr, "cannot open %s\n", terminal.c_str());
    ::kill(child, SIGTERM);
    return 1;
  }
  unit.ApplyParameters(kControllerLinkParameters);
  link.request.frameFlag = 1;
  link.state.LinkConnected = true;
  link.raisePriorityWhileWaiting = false;  // as the program does for a simulator
  RawClient raw(terminal);

  Figures ours, rawFigures;
  for (int round = 0; round < kRounds; ++round) {
    ours.add(RunOurs(commands, link, clock, round));
    rawFigures.add(RunRaw(raw, clock, round));
  }
  Print("exchange", ours);
  Print("raw", rawFigures);
  std::printf("exchange rate / raw rate: %.1f %% (target >= 80 %%)\n", 100.0 * ours.rate() / rawFigures.rate());
  std::printf("retries %d, worst attempt %d\n", link.state.RetryCount, link.state.WorstAttempt);

  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  return 0;
}
