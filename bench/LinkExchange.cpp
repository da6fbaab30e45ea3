// The program's controller exchange against corvane-sim over its
// pseudo-terminal, beside a raw client on the same terminal in the same run:
// status A/B alternately, then a stream of XY lines with the queue throttle.
// Prints exchanges per second, median and 99th-percentile round trip of both,
// our rate as a share of the raw one (the target is at least 80 %), and the
// system calls and processor time each exchange costs. Ours runs twice: with
// the board's echo of the request counter taken, and as for a board without it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSimulator.h"
#include "link/ControllerLink.h"
#include "link/PtyDevice.h"
#include "machine/MachineCommands.h"
#include "ports/Clock.h"
#include "system/System.h"
#include "wire/Commands.h"
#include "wire/Frame.h"


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
  long calls = 0;          // system calls on the terminal
  double cpuMicros = 0;    // processor time of this thread
  void add(const Figures& other) {
    roundTrips.insert(roundTrips.end(), other.roundTrips.begin(), other.roundTrips.end());
    totalMicros += other.totalMicros;
    untimed += other.untimed;
    failures += other.failures;
    calls += other.calls;
    cpuMicros += other.cpuMicros;
  }
  std::int64_t exchanges() const { return static_cast<std::int64_t>(roundTrips.size()) + untimed; }
  double rate() const { return exchanges() * 1e6 / std::max<std::int64_t>(totalMicros, 1); }
  std::int64_t percentile(double p) {
    std::sort(roundTrips.begin(), roundTrips.end());
    return roundTrips.empty() ? 0 : roundTrips[static_cast<std::size_t>(p * (roundTrips.size() - 1))];
  }
};

double ThreadCpuMicros() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// A move of one step back and forth at a fast level, so the board's queue
// drains while the stream runs and the throttle mostly just polls.
void SetLine(std::array<std::int32_t, 5>& p, int n) {
  p = {n % 2, n % 2, 0, 0, 300};
}

// Our side: the shared records, the exchange, QueueThrottle before each line.
Figures RunOurs(MachineCommands& commands, ControllerLink& link, const PtyDevice& device, Clock& clock, int round) {
  Figures f;
  const long calls = device.systemCalls().total();
  const double cpu = ThreadCpuMicros();
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
  f.calls = device.systemCalls().total() - calls;
  f.cpuMicros = ThreadCpuMicros() - cpu;
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
    ++calls;
    if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return false;
    wire::FrameBytes in{};
    std::size_t got = 0;
    while (got < in.size()) {
      pollfd watch{fd_, POLLIN, 0};
      calls += 2;
      if (::poll(&watch, 1, 100) <= 0) return false;
      const ssize_t n = ::read(fd_, in.data() + got, in.size() - got);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    if (!wire::ChecksumValid(in)) return false;
    reply = wire::DecodeReply(in);
    return true;
  }
  long calls = 0;

 private:
  int fd_;
  std::uint8_t sequence_ = 0;
};

Figures RunRaw(RawClient& raw, Clock& clock, int round) {
  Figures f;
  const long calls = raw.calls;
  const double cpu = ThreadCpuMicros();
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
  f.calls = raw.calls - calls;
  f.cpuMicros = ThreadCpuMicros() - cpu;
  return f;
}

void Print(const char* name, Figures& f) {
  const double n = static_cast<double>(std::max<std::int64_t>(f.exchanges(), 1));
  std::printf("%-14s %8lld exchanges  %7.0f /s  median %5lld us  p99 %5lld us  failed %d  %.2f syscalls and %.1f us CPU per exchange\n",
              name, static_cast<long long>(f.exchanges()), f.rate(), static_cast<long long>(f.percentile(0.5)),
              static_cast<long long>(f.percentile(0.99)), f.failures, f.calls / n, f.cpuMicros / n);
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
  const pid_t child = SpawnSimulator(simulator, terminal, control);
  if (child < 0) {
    std::fprintf(stderr, "cannot start %s\n", simulator.c_str());
    return 1;
  }
  SteadyClock clock;

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
    EndSimulator(child);
    return 1;
  }
  unit.ApplyParameters(kControllerLinkParameters);
  link.request.frameFlag = 1;
  link.state.LinkConnected = true;
  link.raisePriorityWhileWaiting = false;  // as the program does for a simulator
  RawClient raw(terminal);

  Figures echoed, plain, rawFigures;
  for (int round = 0; round < kRounds; ++round) {
    link.state.SequenceEcho = true;
    echoed.add(RunOurs(commands, link, device, clock, round));
    link.state.SequenceEcho = false;
    plain.add(RunOurs(commands, link, device, clock, round));
    rawFigures.add(RunRaw(raw, clock, round));
  }
  Print("exchange/echo", echoed);
  Print("exchange/plain", plain);
  Print("raw", rawFigures);
  std::printf("exchange rate / raw rate: %.1f %% with the echo, %.1f %% without (target >= 80 %%)\n",
              100.0 * echoed.rate() / rawFigures.rate(), 100.0 * plain.rate() / rawFigures.rate());
  const PtyDevice::SystemCalls& c = device.systemCalls();
  std::printf("our terminal calls: %ld reads (%ld empty), %ld polls, %ld writes\n", c.reads, c.emptyReads, c.polls,
              c.writes);
  std::printf("retries %d, worst attempt %d\n", link.state.RetryCount, link.state.WorstAttempt);

  EndSimulator(child);
  return 0;
}
