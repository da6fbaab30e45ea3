#include "link/PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "link/D2XXUnit.h"

namespace corvane {

namespace {

constexpr int kReplyWaitMillis = 1;
constexpr int kControlAnswerMillis = 5000;

speed_t SpeedCode(std::uint32_t baudRate) {
  switch (baudRate) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
  }
}

// Changes the terminal's settings through `change`; false when the terminal refuses.
template <typename Change>
bool Reconfigure(int fd, Change change) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  change(settings);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

}  // namespace

std::string AskSimulatorControl(const std::string& socketPath, const std::string& line) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string answer;
  if (socketPath.size() < sizeof(address.sun_path)) {
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const std::string text = line.empty() || line.back() != '\n' ? line + "\n" : line;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
      char chunk[4096];
      // The answer ends with a line "ok" or "error"; a silent simulator is given up on.
      while (answer.find("ok\n") == std::string::npos && answer.find("error\n") == std::string::npos) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, kControlAnswerMillis) <= 0) break;
        const ssize_t n = ::read(fd, chunk, sizeof(chunk));
        if (n <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(n));
      }
    }
  }
  ::close(fd);
  return answer;
}

PtyDevice::PtyDevice(std::string path, std::string controlPath)
    : path_(std::move(path)), controlPath_(std::move(controlPath)) {}

PtyDevice::~PtyDevice() {
  if (fd_ >= 0) ::close(fd_);
}

FtStatus PtyDevice::countDevices(std::uint32_t& count) {
  struct stat info {};
  count = ::stat(path_.c_str(), &info) == 0 ? 1 : 0;
  return ftstatus::kOk;
}

FtStatus PtyDevice::describeDevice(std::uint32_t index, std::string& description) {
  std::uint32_t count = 0;
  countDevices(count);
  if (index >= count) return ftstatus::kDeviceNotFound;
  description = kControllerDescription;
  return ftstatus::kOk;
}

FtStatus PtyDevice::openByDescription(const std::string& description) {
  if (description != kControllerDescription) return ftstatus::kDeviceNotFound;
  if (fd_ >= 0) close();
  fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return errno == ENOENT ? ftstatus::kDeviceNotFound : ftstatus::kDeviceNotOpened;
  if (!Reconfigure(fd_, [](termios& t) { cfmakeraw(&t); t.c_cc[VMIN] = 1; t.c_cc[VTIME] = 0; })) {
    close();
    return ftstatus::kDeviceNotOpened;
  }
  tcflush(fd_, TCIOFLUSH);
  return ftstatus::kOk;
}

FtStatus PtyDevice::close() {
  if (fd_ < 0) return ftstatus::kInvalidHandle;
  ::close(fd_);
  fd_ = -1;
  received_.clear();
  awaiting_ = 0;
  return ftstatus::kOk;
}

std::uint32_t PtyDevice::read(std::uint8_t* buffer, std::uint32_t count) {
  if (fd_ < 0) return 0;
  if (received_.empty()) pull();
  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, received_.size()));
  std::copy_n(received_.begin(), n, buffer);
  received_.erase(received_.begin(), received_.begin() + n);
  awaiting_ -= std::min(awaiting_, n);
  return n;
}

std::uint32_t PtyDevice::write(const std::uint8_t* buffer, std::uint32_t count) {
  if (fd_ < 0) return 0;
  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, buffer + done, count - done);
    ++calls_.writes;
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  // Every frame is answered by one of the same size.
  awaiting_ = done;
  return done;
}

FtStatus PtyDevice::setBaudRate(std::uint32_t baudRate) {
  if (fd_ < 0) return ftstatus::kDeviceNotOpened;
  const speed_t code = SpeedCode(baudRate);
  if (code == B0) return ftstatus::kInvalidBaudRate;
  return Reconfigure(fd_, [code](termios& t) { cfsetspeed(&t, code); }) ? ftstatus::kOk
                                                                       : ftstatus::kIoError;
}

FtStatus PtyDevice::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                           std::uint8_t parity) {
  if (fd_ < 0) return ftstatus::kDeviceNotOpened;
  if ((wordLength != 7 && wordLength != 8) || parity > serial::kEvenParity)
    return ftstatus::kInvalidParameter;
  // A pseudo-terminal holds no parity: it drops the flag, and a request that
  // asks for nothing but the parity it dropped is refused. That is the second
  // identical set-up of a terminal that kept the rest, so parity is not asked for.
  const bool ok = Reconfigure(fd_, [&](termios& t) {
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD);
    t.c_cflag |= wordLength == 7 ? CS7 : CS8;
    if (stopBits == serial::kTwoStopBits) t.c_cflag |= CSTOPB;
  });
  return ok ? ftstatus::kOk : ftstatus::kIoError;
}

FtStatus PtyDevice::setFlowControl(std::uint16_t flowControl, std::uint8_t, std::uint8_t) {
  if (fd_ < 0) return ftstatus::kDeviceNotOpened;
  if (flowControl != serial::kNoFlowControl) return ftstatus::kInvalidParameter;
  const bool ok = Reconfigure(fd_, [](termios& t) {
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  });
  return ok ? ftstatus::kOk : ftstatus::kIoError;
}

// Pulls what the terminal holds into our buffer; false when the terminal is
// hung up (a closed simulator: an unplugged board).
bool PtyDevice::pull() {
  std::uint8_t chunk[256];
  for (;;) {
    const ssize_t n = ::read(fd_, chunk, sizeof(chunk));
    ++calls_.reads;
    if (n > 0) {
      received_.insert(received_.end(), chunk, chunk + n);
      if (static_cast<std::size_t>(n) < sizeof(chunk)) return true;
      continue;
    }
    ++calls_.emptyReads;
    if (n < 0 && errno == EINTR) continue;
    // Non-blocking with a minimum of one byte, an empty terminal answers
    // EAGAIN; a hung-up one answers end of file (0) or EIO.
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

FtStatus PtyDevice::queueStatus(std::uint32_t& receiveCount) {
  if (fd_ < 0) return ftstatus::kDeviceNotOpened;
  if (received_.size() < awaiting_) {
    // A reply is on its way. Like the USB chip's latency period, block briefly
    // in poll for it instead of spinning on empty reads: the simulator shares
    // these few processors and must get to answer. Arriving bytes (or a
    // hang-up) end the wait at once.
    pollfd watch{fd_, POLLIN, 0};
    ++calls_.polls;
    const int ready = ::poll(&watch, 1, kReplyWaitMillis);
    if (ready < 0 && errno != EINTR) return ftstatus::kIoError;
    if (ready > 0 && !pull()) return ftstatus::kIoError;
  } else if (received_.empty() && !pull()) {
    // Nothing expected and nothing held: one read finds stale bytes or a hang-up.
    return ftstatus::kIoError;
  }
  receiveCount = static_cast<std::uint32_t>(received_.size());
  return ftstatus::kOk;
}

FtStatus PtyDevice::setLatencyTimer(std::uint8_t) {
  // A terminal hands bytes on as they come; there is no timer to set.
  return fd_ < 0 ? ftstatus::kDeviceNotOpened : ftstatus::kOk;
}

FtStatus PtyDevice::setBitMode(std::uint8_t mask, std::uint8_t mode) {
  if (fd_ < 0) return ftstatus::kDeviceNotOpened;
  char line[48];
  std::snprintf(line, sizeof(line), "bitmode 0x%02X 0x%02X\n", mask, mode);
  const std::string answer = AskSimulatorControl(controlPath_, line);
  const bool ok = answer == "ok\n" || (answer.size() > 3 && answer.compare(answer.size() - 4, 4, "\nok\n") == 0);
  return ok ? ftstatus::kOk : ftstatus::kIoError;
}

}  // namespace corvane
