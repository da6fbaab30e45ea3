#include "ui/UiWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

namespace corvane::ui {

void WaitProcessing(int millis) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < millis) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
}

}  // namespace corvane::ui
