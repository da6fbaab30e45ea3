#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
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

}  // namespace
}  // namespace corvane
