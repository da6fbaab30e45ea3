#include <gtest/gtest.h>

#include <QApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "store/Presets.h"
#include "ui/ImportWindow.h"
#include "ui/PresetBox.h"
#include "ui/ProfileButtons.h"
#include "ui/WindowFixture.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

using testing::ConnectedWindow;
using testing::Count;
using testing::Key;
using testing::Press;
namespace cmd = wire::cmd;

// The window with its fields wired to the controller (the external inputs
// follow the configuration) and an operator who stops every job at once,
// after `duringJob` when set: `jobs` counts the jobs that began.
struct StartWindow : ConnectedWindow {
  StartWindow() {
    BindControllerFields(*system, *controller);
    clock.addListener([this](std::int64_t) {
      if (!system->Busy || stopping) return;
      stopping = true;
      ++jobs;
      QTimer::singleShot(0, [this] {
        if (duringJob) duringJob(*this);
        QCoreApplication::postEvent(main, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
      });
    });
    clock.advance(2000000);  // past the start lock of the program's start
  }
  // Starts as `start` does; true when a job began.
  bool starts(const std::function<void(StartWindow&)>& start) {
    const int before = jobs;
    stopping = false;
    start(*this);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !system->Busy; }, 5000)) << "the job never stopped";
    return jobs > before;
  }
  // The board's input read by the refresh.
  void input(sim::Input which, bool on, std::uint32_t bit) {
    board().setInput(which, on);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ((controller->link.state.StatusWord & bit) != 0) == on; }, 2000));
  }
  std::function<void(StartWindow&)> duringJob;
  int jobs = 0;
  bool stopping = true;
};

constexpr int kIn1StartStop = 2, kIn2Alarm = 4;

// One press of the external start button on In1: the start follows its
// read after a short delay.
void ExternalStart(StartWindow& u) {
  u.input(sim::Input::In1, true, wire::status::kIn1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return u.controller->commands.status.StartPending; }, 2000));
  QTest::qWait(50);
  u.input(sim::Input::In1, false, wire::status::kIn1);
}

const struct StartPath {
  const char* name;
  std::function<void(StartWindow&)> start;
} kStartPaths[] = {
    {"START button", [](StartWindow& u) { u.window.findChild<QToolButton*>("sStart")->click(); }},
    {"F5", [](StartWindow& u) { Press(u.main, Qt::Key_F5); }},
    {"Ctrl+F5", [](StartWindow& u) { Press(u.main, Qt::Key_F5, Qt::ControlModifier); }},
    {"external start input", ExternalStart},
};

// In2 wired as the alarm input: while it is active no start of any kind
// runs, and a key pressed meanwhile does not clear the alarm; once it has
// gone, a key acknowledges it and the same start runs.
TEST(JobStart, NoStartRunsWhileTheIn2AlarmHolds) {
  for (const StartPath& path : kStartPaths) {
    SCOPED_TRACE(path.name);
    StartWindow u;
    ASSERT_TRUE(u.ok);
    u.system->fields.selectChoice(Window::Configuration, "cIn1", kIn1StartStop);
    u.system->fields.selectChoice(Window::Configuration, "cIn2", kIn2Alarm);
    u.system->job.CurrentContour = 0;
    u.input(sim::Input::In2, true, wire::status::kIn2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return u.window.in2AlarmLatched(); }, 2000));
    u.clock.advance(2000000);
    const std::size_t from = u.frames();
    EXPECT_FALSE(u.starts(path.start));
    Press(u.main, Qt::Key_Shift);
    EXPECT_TRUE(u.window.in2AlarmLatched()) << "the input still holds";
    EXPECT_FALSE(u.starts(path.start));
    EXPECT_EQ(Count(u.codesSince(from), cmd::kTorchOn), 0);

    u.input(sim::Input::In2, false, wire::status::kIn2);
    EXPECT_TRUE(u.window.in2AlarmLatched()) << "until a key";
    Press(u.main, Qt::Key_Shift);
    EXPECT_FALSE(u.window.in2AlarmLatched());
    EXPECT_TRUE(u.starts(path.start));
  }
}

// A stop locks every start for one second of the program's clock.
TEST(JobStart, AStopLocksTheStartForOneSecond) {
  StartWindow u;
  ASSERT_TRUE(u.ok);
  Press(u.main, Qt::Key_Escape);
  EXPECT_TRUE(u.window.timer("TStop")->isActive());
  const auto f5 = [](StartWindow& w) { Press(w.main, Qt::Key_F5); };
  EXPECT_FALSE(u.starts(f5));
  u.clock.advance(900000);
  EXPECT_FALSE(u.starts(f5)) << "0.9 s after the stop";
  u.clock.advance(200000);
  EXPECT_TRUE(u.starts(f5)) << "1.1 s after the stop";
}

// After a preset is chosen, and after a stop, the keyboard is at the zoom
// bar: the keys a text field would keep act on the machine and the job.
TEST(ZoomBarFocus, APresetChoiceOrAStopGivesTheKeysBack) {
  const struct {
    const char* key;
    std::function<void(ConnectedWindow&)> press;
    std::function<bool(ConnectedWindow&, std::size_t from)> acted;
  } keys[] = {
      {"Space", [](ConnectedWindow& u) { Press(u.main, Qt::Key_Space, {}, " "); },
       [](ConnectedWindow& u, std::size_t) {
         return u.window.findChild<QToolButton*>("SpeedButton12")->isChecked();
       }},
      {"Enter", [](ConnectedWindow& u) { Press(u.main, Qt::Key_Return, {}, "\r"); },
       [](ConnectedWindow& u, std::size_t from) { return Count(u.codesSince(from), cmd::kEnterKey) == 1; }},
      {"Home", [](ConnectedWindow& u) { Press(u.main, Qt::Key_Home); },
       [](ConnectedWindow& u, std::size_t) { return u.system->job.CurrentContour == -1; }},
      {"Ctrl+Z", [](ConnectedWindow& u) { Press(u.main, Qt::Key_Z, Qt::ControlModifier, QString(QChar(26))); },
       [](ConnectedWindow& u, std::size_t) { return u.system->job.ProjectOriginX != 4321; }},
  };
  const struct {
    const char* after;
    std::function<void(ConnectedWindow&)> run;
  } moments[] = {
      {"a preset chosen",
       [](ConnectedWindow& u) {
         auto* box = u.window.findChild<ui::PresetBox*>("PresetBox");
         box->setFocus();
         emit box->textActivated("Thin");
       }},
      {"a stop",
       [](ConnectedWindow& u) {
         u.window.findChild<QLineEdit*>("xFeed")->setFocus();
         Press(u.main, Qt::Key_Escape);
       }},
  };
  for (const auto& moment : moments)
    for (const auto& key : keys) {
      SCOPED_TRACE(std::string(key.key) + " after " + moment.after);
      ConnectedWindow u;
      ASSERT_TRUE(u.ok);
      ASSERT_TRUE(SavePreset(*u.system, "Thin"));
      u.window.findChild<ui::PresetBox*>("PresetBox")->reload();
      u.window.activateWindow();
      ASSERT_TRUE(QTest::qWaitFor([&] { return u.window.isActiveWindow(); }));
      u.system->job.CurrentContour = 1;
      u.system->job.ProjectOriginX = 4321;
      moment.run(u);
      EXPECT_EQ(QApplication::focusWidget(), u.window.findChild<QSlider*>("zoom"));
      const std::size_t from = u.frames();
      key.press(u);
      EXPECT_TRUE(key.acted(u, from));
    }
}

// While a job runs, the commands that would replace it are refused in the
// error label, without a dialog (one would hold the running job): the job
// stays and runs on to its stop.
TEST(JobStart, NothingOpensOrReplacesTheRunningJob) {
  struct Commands {
    explicit Commands(StartWindow& u) : import(*u.system) {
      ui::AddProfileButtons(grid, 0, *u.system, u.window);
    }
    ui::ImportWindow import;
    QWidget panel;
    QGridLayout grid{&panel};
  };
  const struct {
    const char* command;
    std::function<void(StartWindow&, Commands&)> run;
  } cases[] = {
      {"Open Project",
       [](StartWindow& u, Commands&) { u.window.findChild<QPushButton*>("sOpen")->click(); }},
      {"Import", [](StartWindow&, Commands& c) { c.import.Open(); }},
      {"Load Config", [](StartWindow&, Commands& c) { c.panel.findChild<QPushButton*>("LoadConfig")->click(); }},
      {"send to job", [](StartWindow&, Commands& c) { c.import.SendToJob(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    StartWindow u;
    ASSERT_TRUE(u.ok);
    Commands commands(u);
    ASSERT_TRUE(commands.import.PreviewFile(
        QString::fromStdString(u.system->paths.programFolder + "example/CorvaneCNC.plt")));
    commands.import.findChild<QPushButton*>("LoadButton")->click();
    ASSERT_FALSE(commands.import.session().cutting.empty());
    const tCNCPath job = u.system->job.Job;
    // A dialog that opens after all is noted and closed: the test fails instead of waiting.
    QStringList dialogs;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        dialogs << modal->metaObject()->className();
        modal->close();
      }
    });
    closer.start(20);
    QString shown;
    u.duringJob = [&](StartWindow& w) {
      c.run(w, commands);
      shown = w.window.errorText();
      EXPECT_EQ(w.system->job.Job, job);
    };
    EXPECT_TRUE(u.starts([](StartWindow& w) { Press(w.main, Qt::Key_F5); }));
    EXPECT_EQ(shown.toStdString(), System::kBusyRefusal);
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(", ").toStdString();
    EXPECT_FALSE(commands.import.isVisible());
    EXPECT_EQ(u.system->job.Job, job);
  }
}

}  // namespace
}  // namespace corvane
