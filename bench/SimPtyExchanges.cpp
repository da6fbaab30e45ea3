// Exchanges 100 000 status requests with corvane-sim over its pseudo-terminal
// from a raw client and prints the rate and the round-trip times.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "wire/Commands.h"
#include "wire/Frame.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExchanges = 100000;

std::string SimulatorPath(int argc, char** argv) {
  if (argc > 1) return argv[1];
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "corvane-sim";
  std::string path(self, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + "corvane-sim";
}

bool ReadReply(int fd, std::uint8_t* reply) {
  std::size_t got = 0;
  while (got < corvane::wire::kFrameSize) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) return false;
    const ssize_t n = ::read(fd, reply + got, corvane::wire::kFrameSize - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string simulator = SimulatorPath(argc, argv);
  char folder[] = "/tmp/corvane-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  const std::string link = std::string(folder) + "/board";
  const std::string control = std::string(folder) + "/ctl";
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(simulator.c_str(), simulator.c_str(), "--no-stdin", "--link", link.c_str(), "--control",
            control.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int fd = -1;
  for (int i = 0; i < 500 && fd < 0; ++i) {
    fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) ::usleep(10000);
  }
  if (fd < 0) {
    std::fprintf(stderr, "cannot open the terminal of %s\n", simulator.c_str());
    ::kill(child, SIGTERM);
    return 1;
  }
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);

  std::vector<double> roundTrips;
  roundTrips.reserve(kExchanges);
  corvane::wire::ControllerRequest request{{1, 1, 1, 1, 100}, 0, 1, 0};
  std::uint8_t reply[corvane::wire::kFrameSize];
  int failures = 0;
  const auto start = Clock::now();
  for (int i = 0; i < kExchanges; ++i) {
    request.command = i % 2 ? corvane::wire::cmd::kStatusB : corvane::wire::cmd::kStatusA;
    ++request.sequence;
    const auto frame = corvane::wire::EncodeRequest(request);
    const auto t0 = Clock::now();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()) ||
        !ReadReply(fd, reply) || !corvane::wire::ChecksumValid(reply)) {
      ++failures;
      continue;
    }
    roundTrips.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  ::kill(child, SIGTERM);
  ::waitpid(child, nullptr, 0);
  ::rmdir(folder);

  std::sort(roundTrips.begin(), roundTrips.end());
  if (roundTrips.empty()) {
    std::fprintf(stderr, "no exchange succeeded\n");
    return 1;
  }
  const double median = roundTrips[roundTrips.size() / 2];
  const double p99 = roundTrips[roundTrips.size() * 99 / 100];
  std::printf("status exchanges over the pty: %d in %.2f s, %d failed\n", kExchanges, seconds,
              failures);
  std::printf("exchanges/s: %.0f\n", kExchanges / seconds);
  std::printf("round trip median: %.1f us, p99: %.1f us\n", median, p99);
  return failures == 0 ? 0 : 1;
}
