#include "ui/ProgramRestart.h"

#include <signal.h>
#include <cerrno>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <cstdlib>
#include <string>

#include "system/SingleInstance.h"
#include "system/System.h"

namespace corvane::ui {
namespace {

constexpr int kLockPollMillis = 50;

bool ProcessAlive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

bool StartNewInstance() {
  QProcess process;
  process.setProgram(QApplication::applicationFilePath());
  process.setArguments(QApplication::arguments().mid(1));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kRestartedFromVariable, QString::number(QApplication::applicationPid()));
  process.setProcessEnvironment(environment);
  return process.startDetached();
}

bool AcquireInstance(SingleInstance& instance) {
  const char* from = std::getenv(kRestartedFromVariable);
  const pid_t previous = from ? static_cast<pid_t>(std::atol(from)) : 0;
  // Programs this instance starts in turn follow nobody.
  ::unsetenv(kRestartedFromVariable);
  for (int waited = 0;; waited += kLockPollMillis) {
    if (instance.Acquire()) return true;
    if (!ProcessAlive(previous) || waited >= kRestartWaitMillis) return false;
    QThread::msleep(kLockPollMillis);
  }
}

void RestartWithoutSaving(System& system) {
  system.log.WriteLog("Restart without saving");
  if (!StartNewInstance()) {
    system.log.WriteLog("The program could not be started again; start it by hand");
    system.host.showError("The program could not be started again; start it by hand.");
  }
  // No closing steps: the event loop ends and the program with it.
  QApplication::exit(0);
}

}  // namespace corvane::ui
