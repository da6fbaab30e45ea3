// The yardstick for the program's start-up: a bare Qt window of the main
// window's size, titled "Bare window", that shows and waits to be closed.
// The start-up day times it beside the program in the same run.
#if __has_include(<QtWidgets/QWidget>)
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Bare window");
  window.resize(1280, 800);
  window.show();
  return app.exec();
}
#else
#include <cstdio>
int main() {
  std::puts("BareWindow: built without Qt Widgets");
  return 0;
}
#endif
