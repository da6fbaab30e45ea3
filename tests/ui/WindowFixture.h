#pragma once
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <memory>

#include "support/BoardFixture.h"
#include "support/SystemFixture.h"
#include "system/CommandLine.h"
#include "ui/MainWindow.h"
#include "ui/QtApp.h"
#include "ui/QtHost.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"

namespace corvane::testing {

// A System on fake time with the Qt host and a temporary data root.
struct UiSystem {
  UiSystem() {
    QtApp();
    Paths paths;
    paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
    paths.dataRoot = root.path() + "Quorvatek/";
    paths.profileName = "Wood";
    system = std::make_unique<System>(clock, host, paths);
  }
  TempDir root;
  FakeClock clock{{2026, 12, 9, 9, 5, 0, 0}};
  ui::QtHost host;
  std::unique_ptr<System> system;
};

// A created main window on a UiSystem; closed (with the closing steps) at the end.
struct OpenWindow : UiSystem {
  OpenWindow() : window(*system, nullptr) {
    host.setMainWindow(&window);
    created = window.create();
  }
  ~OpenWindow() {
    window.close();
    host.setMainWindow(nullptr);
  }
  // Shows the window and waits for its first-show steps.
  bool showAndWait() {
    QSignalSpy firstShow(&window, &ui::MainWindow::firstShowFinished);
    window.show();
    return firstShow.wait(2000);
  }
  ui::MainWindow window;
  bool created = false;
};

// An OpenWindow talking to the in-process virtual board; closed while its
// controller still exists, as the program's closing needs it.
struct VirtualBoardWindow : OpenWindow {
  VirtualBoardWindow()
      : controller(MakeController(*system, ParseCommandLine({"--device=virtual"}))) {
    BindControllerFields(*system, *controller);
    window.attachController(controller.get());
  }
  ~VirtualBoardWindow() { window.close(); }
  std::unique_ptr<Controller> controller;
};

// The same with a tap on the wire: every frame the program writes is kept.
struct TappedBoardWindow : OpenWindow {
  TappedBoardWindow()
      : controller(MakeWrappedVirtualController(*system, [this](UsbDevice& inner) {
          auto made = std::make_unique<WireTap>(inner);
          tap = made.get();
          return made;
        })) {
    window.attachController(controller.get());
  }
  ~TappedBoardWindow() { window.close(); }
  // Commands written from frame `from` on.
  std::vector<std::uint8_t> codesSince(std::size_t from) const {
    const auto all = tap->commandCodes();
    return {all.begin() + long(std::min(from, all.size())), all.end()};
  }
  std::size_t frames() const { return tap->commandCodes().size(); }
  sim::Board& board() { return controller->device.board->board(); }
  // Keeps the stream record for the stream checker, as the board saw it.
  void RecordStream() {
    board().recordExecuted(true);
    tap->onWrite = [this](const std::vector<std::uint8_t>& frame) {
      if (frame.size() != wire::kFrameSize) return;
      StreamEvent e;
      e.micros = clock.nowMicros();
      e.request = wire::DecodeRequest(
          std::span<const std::uint8_t, wire::kFrameSize>(frame.data(), wire::kFrameSize));
      e.fillOnArrival = board().queueFill();
      stream.push_back(e);
    };
  }
  std::vector<StreamEvent> stream;
  WireTap* tap = nullptr;
  std::unique_ptr<Controller> controller;
};

// A key event as the platform delivers it: to the window first, which hands
// it to its focus widget. Each event is stamped 100 ms after the last, as a
// hand types; a non-zero `timestamp` stamps it so (the platform's repeat
// gives its key-up and the following press one moment).
inline void Key(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
                const QString& text = {}, bool autoRepeat = false, quint64 timestamp = 0) {
  static quint64 typed = 0;
  typed = timestamp ? timestamp : typed + 100;
  QKeyEvent event(type, key, modifiers, text, autoRepeat);
  event.setTimestamp(typed);
  QCoreApplication::sendEvent(window, &event);
}
inline void Press(QWindow* window, int key, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}) {
  Key(window, QEvent::KeyPress, key, modifiers, text);
  Key(window, QEvent::KeyRelease, key, modifiers, text);
}
inline long Count(const std::vector<std::uint8_t>& codes, std::uint8_t code) {
  return std::count(codes.begin(), codes.end(), code);
}

// A shown TappedBoardWindow connected to its board.
struct ConnectedWindow : TappedBoardWindow {
  ConnectedWindow() {
    ok = created && showAndWait() && controller->link.state.LinkConnected;
    main = window.windowHandle();
    QTest::qWait(50);
  }
  bool ok = false;
  QWindow* main = nullptr;
};

}  // namespace corvane::testing
