#pragma once
#include <QApplication>

namespace corvane::testing {

// One QApplication for the whole test program, on the off-screen platform.
inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "corvane-ui-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace corvane::testing
