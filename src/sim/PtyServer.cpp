#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace corvane::sim {
namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) { gStop = 1; }

std::int64_t SteadyNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

PtyServer::PtyServer(VirtualBoard& board, Console& console, PtyServerOptions options)
    : board_(board), console_(console), options_(std::move(options)) {}

PtyServer::~PtyServer() {
  for (auto& c : clients_) ::close(c.fd);
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(options_.controlPath.c_str());
  }
  closeTerminal();
}

bool PtyServer::openTerminal(std::string& error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  ptyPath_ = ::ptsname(master_);
  // Our own handle on the terminal keeps it alive between clients, and raw
  // mode keeps the line discipline from echoing or editing the frames.
  slave_ = ::open(ptyPath_.c_str(), O_RDWR | O_NOCTTY);
  termios raw{};
  if (slave_ < 0 || ::tcgetattr(slave_, &raw) != 0) {
    error = "cannot open " + ptyPath_ + ": " + std::strerror(errno);
    return false;
  }
  ::cfmakeraw(&raw);
  ::tcsetattr(slave_, TCSANOW, &raw);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!options_.linkPath.empty()) {
    ::unlink(options_.linkPath.c_str());
    if (::symlink(ptyPath_.c_str(), options_.linkPath.c_str()) != 0) {
      error = "cannot create the link " + options_.linkPath + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

// The link goes with the terminal: the terminal's number is free again, and a
// link left behind would lead a client to whatever program gets it next.
void PtyServer::closeTerminal() {
  if (master_ >= 0 && !options_.linkPath.empty()) ::unlink(options_.linkPath.c_str());
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  outgoing_.clear();
}

// A pulled cable makes the terminal vanish, as a USB serial device does: the
// client's next read or write fails, and the link is gone. Plugged back in,
// the board comes up on a new terminal and the link is made again.
void PtyServer::followCable() {
  if (board_.unplugged() && master_ >= 0) {
    closeTerminal();
    std::printf("pty: closed (unplugged)\n");
    std::fflush(stdout);
  } else if (!board_.unplugged() && master_ < 0) {
    std::string error;
    if (openTerminal(error))
      std::printf("pty: %s\n", ptyPath_.c_str());
    else
      std::printf("error: %s\n", error.c_str());
    std::fflush(stdout);
  }
}

bool PtyServer::open(std::string& error) {
  if (!openTerminal(error)) return false;
  if (options_.controlPath.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    options_.controlPath = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-sim-" +
                           std::to_string(::getpid()) + ".sock";
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (options_.controlPath.size() >= sizeof address.sun_path) {
    error = "control socket path too long: " + options_.controlPath;
    return false;
  }
  std::strcpy(address.sun_path, options_.controlPath.c_str());
  ::unlink(options_.controlPath.c_str());
  listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_, 4) != 0) {
    error = "cannot open the control socket " + options_.controlPath + ": " + std::strerror(errno);
    return false;
  }
  stdinOpen_ = options_.readStdin;
  startNanos_ = SteadyNanos();
  return true;
}

std::int64_t PtyServer::elapsedMicros() const { return (SteadyNanos() - startNanos_) / 1000; }

void PtyServer::pumpBoard() {
  board_.advanceTo(elapsedMicros());
  const std::size_t ready = board_.queued().value_or(0);
  if (ready == 0) return;
  const std::size_t at = outgoing_.size();
  outgoing_.resize(at + ready);
  board_.read(std::span(outgoing_).subspan(at));
}

void PtyServer::flushToTerminal() {
  while (!outgoing_.empty()) {
    const ssize_t n = ::write(master_, outgoing_.data(), outgoing_.size());
    if (n <= 0) return;
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + n);
  }
}

void PtyServer::readTerminal() {
  std::uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    board_.advanceTo(elapsedMicros());
    // An unplugged board takes nothing: the bytes are lost on the way.
    board_.write(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)));
    pumpBoard();
  }
}

bool PtyServer::readStdinLines() {
  char buffer[1024];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n <= 0) {
    stdinOpen_ = false;
    return true;
  }
  stdinBuffer_.append(buffer, static_cast<std::size_t>(n));
  for (std::size_t end; (end = stdinBuffer_.find('\n')) != std::string::npos;) {
    const std::string line = stdinBuffer_.substr(0, end);
    stdinBuffer_.erase(0, end + 1);
    board_.advanceTo(elapsedMicros());
    if (console_.execute(line) == Console::Result::Quit) return false;
    followCable();
  }
  return true;
}

void PtyServer::acceptControl() {
  const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd >= 0) clients_.push_back({fd, {}});
}

bool PtyServer::serveControl(ControlClient& client) {
  char buffer[1024];
  const ssize_t n = ::read(client.fd, buffer, sizeof buffer);
  if (n <= 0) return false;
  client.input.append(buffer, static_cast<std::size_t>(n));
  for (std::size_t end; (end = client.input.find('\n')) != std::string::npos;) {
    std::string line = client.input.substr(0, end);
    client.input.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    board_.advanceTo(elapsedMicros());
    std::string reply;
    const Console::Result result =
        console_.executeTo(line, [&reply](const std::string& text) { reply += text + "\n"; });
    if (result == Console::Result::Quit) quit_ = true;
    // An "unplug" or "plug" has taken effect by the time the client reads "ok".
    followCable();
    reply += result == Console::Result::Error ? "error\n" : "ok\n";
    WriteAll(client.fd, reply);
    pumpBoard();
  }
  return true;
}

void PtyServer::run() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  std::vector<pollfd> fds;
  while (!quit_ && !gStop) {
    followCable();
    pumpBoard();
    flushToTerminal();
    fds.clear();
    fds.push_back({master_, static_cast<short>(POLLIN | (outgoing_.empty() ? 0 : POLLOUT)), 0});
    fds.push_back({listen_, POLLIN, 0});
    fds.push_back({stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0});
    for (const auto& c : clients_) fds.push_back({c.fd, POLLIN, 0});
    // Replies are due to the microsecond (a latency of 0.5 ms must not become 1 ms).
    std::int64_t waitMicros = 100000;
    if (const auto next = board_.nextEventMicros())
      waitMicros = std::clamp<std::int64_t>(*next - elapsedMicros(), 0, 100000);
    const timespec timeout{static_cast<time_t>(waitMicros / 1000000), static_cast<long>(waitMicros % 1000000) * 1000};
    if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) readTerminal();
    if (fds[1].revents & POLLIN) acceptControl();
    if (fds[2].revents & (POLLIN | POLLHUP)) {
      if (!readStdinLines()) quit_ = true;
    }
    for (std::size_t i = 3; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      auto it = std::find_if(clients_.begin(), clients_.end(),
                             [fd = fds[i].fd](const ControlClient& c) { return c.fd == fd; });
      if (it != clients_.end() && !serveControl(*it)) {
        ::close(it->fd);
        clients_.erase(it);
      }
    }
  }
}

}  // namespace corvane::sim
