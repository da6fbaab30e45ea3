#include "ui/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace corvane::ui {
namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte into the pipe.
void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(signalPipe[1], &byte, 1);
    emit terminationRequested();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace corvane::ui
