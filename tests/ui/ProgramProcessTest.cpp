#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <unistd.h>
#include <filesystem>

#include "support/SimulatorProcess.h"
#include "support/TempDir.h"
#include "ui/QtApp.h"

namespace corvane {
namespace {

// Runs the real program off-screen with its own data root and runtime folder.
class ProgramProcess {
 public:
  explicit ProgramProcess(const std::string& dataRoot, const std::string& runtime) {
    testing::QtApp();
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CORVANE_DATA_ROOT", QString::fromStdString(dataRoot));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    process.setProcessEnvironment(env);
    process.setProgram(QString(CORVANE_BIN_DIR) + "/corvane");
  }
  QProcess process;
};

std::string TodaysLog(const std::string& dataRoot) {
  for (const auto& entry : std::filesystem::directory_iterator(dataRoot + "CorvaneCNC/LOGS"))
    return testing::ReadFileText(entry.path().string());
  return {};
}

bool WaitForLog(const std::string& dataRoot, const std::string& text, int millis) {
  for (int waited = 0; waited < millis; waited += 50) {
    if (std::filesystem::exists(dataRoot + "CorvaneCNC/LOGS") &&
        TodaysLog(dataRoot).find(text) != std::string::npos)
      return true;
    QThread::msleep(50);
  }
  return false;
}

TEST(Program, TerminationSignalClosesLikeTheExitButtonAndASecondInstanceEndsSilently) {
  testing::TempDir dir;
  const std::string root = dir.path() + "root/";
  std::filesystem::create_directories(dir.path() + "run");
  ProgramProcess first(root, dir.path() + "run");
  first.process.start();
  ASSERT_TRUE(first.process.waitForStarted());
  ASSERT_TRUE(WaitForLog(root, "Read advanced file", 10000)) << TodaysLog(root);

  ProgramProcess second(root, dir.path() + "run");
  second.process.start();
  ASSERT_TRUE(second.process.waitForFinished(10000));
  EXPECT_EQ(second.process.exitCode(), 0);

  ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
  ASSERT_TRUE(first.process.waitForFinished(10000));
  const std::string log = TodaysLog(root);
  EXPECT_NE(log.find("CloseApp\r\n"), std::string::npos) << log;
  // The second instance wrote nothing: one caption line only.
  EXPECT_EQ(log.find("Corvane CNC v 1.2.1e  /Plasma"), log.rfind("Corvane CNC v 1.2.1e  /Plasma"));
  const std::string settings = testing::ReadFileText(root + "CorvaneCNC/Plasma/STORE/store.fms");
  EXPECT_NE(settings.find("cClose\r\n1\r\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(root + "CorvaneCNC/Plasma/STORE/temp.cnc"));
}

// The program on corvane-sim's terminal: an E-stop pressed on the board's
// console reaches the program's log through the 20 ms status refresh.
TEST(Program, AnEStopPressedOnTheSimulatorReachesTheProgramsLog) {
  const std::string simulator = std::string(CORVANE_BIN_DIR) + "/corvane-sim";
  ASSERT_TRUE(std::filesystem::exists(simulator)) << "build corvane-sim first";
  testing::TempDir dir;
  testing::SimulatorProcess board(simulator, dir);
  ASSERT_TRUE(board.ready());
  const std::string root = dir.path() + "root/";
  std::filesystem::create_directories(dir.path() + "run");
  ProgramProcess program(root, dir.path() + "run");
  program.process.setArguments({QString::fromStdString("--device=pty:" + board.link())});
  program.process.start();
  ASSERT_TRUE(program.process.waitForStarted());
  ASSERT_TRUE(WaitForLog(root, "Communication OK", 20000)) << TodaysLog(root);

  EXPECT_NE(board.control("input estop on").find("ok"), std::string::npos);
  EXPECT_TRUE(WaitForLog(root, "Alarm 100: E-STOP !!!", 5000)) << TodaysLog(root);

  ::kill(static_cast<pid_t>(program.process.processId()), SIGTERM);
  ASSERT_TRUE(program.process.waitForFinished(10000));
  const std::string log = TodaysLog(root);
  EXPECT_EQ(log.find("Alarm 100: E-STOP !!!"), log.rfind("Alarm 100: E-STOP !!!"));
}

TEST(Program, AnUnwritableDataRootEndsWithoutAMainWindow) {
  testing::TempDir dir;
  testing::WriteFileText(dir.file("plain"), "x");
  std::filesystem::create_directories(dir.path() + "run");
  ProgramProcess program(dir.file("plain") + "/root/", dir.path() + "run");
  program.process.start();
  ASSERT_TRUE(program.process.waitForFinished(15000));
  EXPECT_EQ(program.process.exitCode(), 1);
}


// A display of our own with a window manager, so that keys reach the program
// the way an operator's do: through the window manager's focus.
class RealDisplay {
 public:
  RealDisplay() : name(":" + std::to_string(70 + ::getpid() % 200)) {
    server.start("Xvfb", {QString::fromStdString(name), "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
    server.waitForStarted();
    QThread::msleep(500);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(name));
    manager.setProcessEnvironment(env);
    manager.start("openbox", {});
    manager.waitForStarted();
  }
  ~RealDisplay() {
    manager.kill();
    manager.waitForFinished();
    server.kill();
    server.waitForFinished();
  }
  // Runs xdotool on this display; its standard output.
  std::string xdotool(const QStringList& arguments, int millis = 10000) {
    QProcess tool;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(name));
    tool.setProcessEnvironment(env);
    tool.start("xdotool", arguments);
    tool.waitForFinished(millis);
    return tool.readAllStandardOutput().trimmed().toStdString();
  }
  // Waits for the first window whose title matches and gives it the focus;
  // its id, or an empty text when none came.
  QString activate(const QString& title) {
    const std::string found = xdotool({"search", "--sync", "--name", title});
    if (found.empty()) return {};
    const QString id = QString::fromStdString(found.substr(0, found.find('\n')));
    xdotool({"windowactivate", "--sync", id});
    return id;
  }
  std::string name;
  QProcess server, manager;
};

// The real program on a display of its own against the built-in board,
// started, with its own data root.
struct ProgramOnDisplay {
  ProgramOnDisplay() {
    auto env = program.process.processEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", QString::fromStdString(display.name));
    program.process.setProcessEnvironment(env);
    program.process.setArguments({"--device=virtual"});
    program.process.start();
  }
  RealDisplay display;
  testing::TempDir dir;
  std::string root = dir.path() + "root/";
  bool runtimeFolder = std::filesystem::create_directories(dir.path() + "run");
  ProgramProcess program{root, dir.path() + "run"};
};

// F5 starts the job, Esc stops it and F6 resumes it, pressed as keys on the
// focused main window of the real program against the built-in board.
TEST(Program, StartStopAndResumeFromTheKeyboardThroughTheWindowManager) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool"})
    ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " (scripts/install-deps.sh installs it)";
  ProgramOnDisplay run;
  RealDisplay& display = run.display;
  const std::string& root = run.root;
  ProgramProcess& program = run.program;
  ASSERT_TRUE(program.process.waitForStarted());
  ASSERT_TRUE(WaitForLog(root, "Communication OK", 15000)) << TodaysLog(root);
  ASSERT_FALSE(display.activate("Corvane CNC v").isEmpty());
  QThread::msleep(1500);  // past the start lock after the program's start

  display.xdotool({"key", "F5"});
  ASSERT_TRUE(WaitForLog(root, "---- Work start ----", 5000)) << TodaysLog(root);
  QThread::msleep(1500);
  display.xdotool({"key", "Escape"});
  ASSERT_TRUE(WaitForLog(root, "Working stopped", 5000)) << TodaysLog(root);
  QThread::msleep(1200);
  display.xdotool({"key", "F6"});
  QThread::msleep(1500);
  const std::string log = TodaysLog(root);
  EXPECT_NE(log.find("---- Work start ----"), log.rfind("---- Work start ----")) << "resumed: a second start";

  ::kill(static_cast<pid_t>(program.process.processId()), SIGTERM);
  EXPECT_TRUE(program.process.waitForFinished(15000));
}

// Closing the main window through the window manager (Alt+F4 in openbox)
// runs the shutdown and ends the program.
TEST(Program, ClosingTheMainWindowThroughTheWindowManagerEndsTheProgram) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool"})
    ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool;
  ProgramOnDisplay run;
  RealDisplay& display = run.display;
  ProgramProcess& program = run.program;
  ASSERT_TRUE(program.process.waitForStarted());
  ASSERT_TRUE(WaitForLog(run.root, "Communication OK", 15000)) << TodaysLog(run.root);
  ASSERT_FALSE(display.activate("Corvane CNC v").isEmpty());
  display.xdotool({"key", "alt+F4"});
  EXPECT_TRUE(program.process.waitForFinished(15000)) << "the program ran on without its window";
  EXPECT_TRUE(WaitForLog(run.root, "CloseApp", 1000)) << TodaysLog(run.root);
  if (program.process.state() != QProcess::NotRunning) {
    program.process.kill();
    program.process.waitForFinished();
  }
}

// The configuration window from the main window's button: the Machine page
// reached with Ctrl+Tab, a gear typed into its first field, the window closed
// through the window manager; the program's closing saves what was typed.
TEST(Program, ConfigurationTypedThroughTheWindowManagerIsSaved) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool"})
    ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool;
  ProgramOnDisplay run;
  RealDisplay& display = run.display;
  const std::string& root = run.root;
  ProgramProcess& program = run.program;
  ASSERT_TRUE(program.process.waitForStarted());
  ASSERT_TRUE(WaitForLog(root, "Communication OK", 15000)) << TodaysLog(root);
  const QString mainId = display.activate("Corvane CNC v");
  ASSERT_FALSE(mainId.isEmpty());
  // The "Configuration" button of the main window's top bar.
  display.xdotool({"mousemove", "--window", mainId, "798", "23", "click", "1"});
  ASSERT_FALSE(display.activate("^Configuration$").isEmpty());
  QThread::msleep(500);
  // It opens on the Program page; two pages on is the Machine page, whose
  // first field is the X gear.
  display.xdotool({"key", "ctrl+Tab", "ctrl+Tab"});
  QThread::msleep(300);
  display.xdotool({"key", "ctrl+a"});
  display.xdotool({"type", "42.5"});
  QThread::msleep(300);
  display.xdotool({"key", "alt+F4"});
  QThread::msleep(800);

  ::kill(static_cast<pid_t>(program.process.processId()), SIGTERM);
  ASSERT_TRUE(program.process.waitForFinished(15000));
  const std::string settings = testing::ReadFileText(root + "CorvaneCNC/Plasma/STORE/store.fms");
  EXPECT_NE(settings.find("xMoveX\r\n42.5\r\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("eTabSheet\r\n1\r\n"), std::string::npos) << "closed on the Machine page";
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// The import window opened from the toolbar of the real program takes the
// keys through the window manager's focus: Ctrl+E asks where to export, Esc
// closes that dialog, and the window closes without touching the job.
TEST(Program, TheImportWindowTakesItsKeysThroughTheWindowManager) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool"})
    ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " (scripts/install-deps.sh installs it)";
  ProgramOnDisplay run;
  RealDisplay& display = run.display;
  ASSERT_TRUE(run.program.process.waitForStarted());
  ASSERT_TRUE(WaitForLog(run.root, "Communication OK", 15000)) << TodaysLog(run.root);
  const QString main = display.activate("Corvane CNC v");
  ASSERT_FALSE(main.isEmpty());
  QThread::msleep(1000);
  // "Import" is the third toolbar button, after "Open Project" and "Save Project".
  display.xdotool({"mousemove", "--window", main, "226", "19", "click", "1"});
  ASSERT_FALSE(display.activate("^import$").isEmpty()) << "the Import button opens the import window";
  EXPECT_TRUE(WaitForLog(run.root, "Preview: CorvaneCNC.plt", 5000)) << "the sample drawing is shown first";
  display.xdotool({"key", "ctrl+e"});
  EXPECT_FALSE(display.xdotool({"search", "--sync", "--name", "^Export$"}, 5000).empty())
      << "Ctrl+E reached the focused import window";
  display.xdotool({"key", "Escape"});
  QThread::msleep(500);
  EXPECT_TRUE(display.xdotool({"search", "--name", "^Export$"}).empty());

  ::kill(static_cast<pid_t>(run.program.process.processId()), SIGTERM);
  EXPECT_TRUE(run.program.process.waitForFinished(15000));
}

}  // namespace
}  // namespace corvane
