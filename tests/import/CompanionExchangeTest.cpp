#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "ReaderHarness.h"
#include "import/CompanionExchange.h"
#include "import/ThreeDExport.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using Outcome = CompanionStart::Outcome;

// The programs a test started detached (they are not our children): killed
// at its end, each by its id and only while it still runs that program.
struct StartedPrograms {
  std::vector<std::pair<int, std::string>> started;
  void Track(int pid, const std::string& executable) { started.emplace_back(pid, executable); }
  ~StartedPrograms() {
    for (const auto& [pid, executable] : started) {
      const auto running = ProcessesRunning(executable);
      if (std::find(running.begin(), running.end(), pid) != running.end()) kill(pid, SIGKILL);
    }
  }
};

// The real waits of the suite, for processes of their own; false after 10 s.
template <typename Condition>
bool WaitUntil(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

struct Exchange : ::testing::Test, ReaderHarness {
  TempDir program, data;
  Paths paths{program.path(), data.path(), "Plasma"};
  StartedPrograms programs;  // ends before the folders go
  const CompanionFiles files = CompanionFilesOf(paths);

  // Installs a shell script as a program of the program folder.
  void Install(const std::string& path, const std::string& body, mode_t mode = 0755) {
    WriteFileText(path, "#!/bin/sh\n" + body);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }

  // A companion that exports at once, as the operator would: the drawing (naming the
  // folder it runs in), then the marker; then it stays open.
  void InstallFakeCompanion() {
    Install(files.executable, "mkdir -p '" + data.path() + "Lintora'\n" +
                                  "printf '<drawing><!-- %s --></drawing>' \"$(pwd -P)\" > '" + files.drawing + "'\n" +
                                  ": > '" + files.marker + "'\n" + "while :; do sleep 0.2; done\n");
  }
};

TEST_F(Exchange, FakeCompanionStartsInItsFolderAndItsExportIsTakenOnce) {
  InstallFakeCompanion();
  EXPECT_FALSE(FindCompanion(paths).running);
  const CompanionStart start = StartCompanion(paths, log);
  ASSERT_EQ(start.outcome, Outcome::Started) << start.message;
  programs.Track(start.pid, files.executable);
  const CompanionStatus status = FindCompanion(paths);
  EXPECT_TRUE(status.installed);
  EXPECT_TRUE(status.running);
  EXPECT_EQ(status.pid, start.pid);

  std::optional<std::string> drawing;
  ASSERT_TRUE(WaitUntil([&] { return (drawing = PollCompanionExport(paths, log)).has_value(); }))
      << "no export within 10 s";
  EXPECT_EQ(*drawing, data.path() + "Lintora/export.2d");
  EXPECT_FALSE(fs::exists(files.marker));
  EXPECT_FALSE(PollCompanionExport(paths, log)) << "the same export taken twice";
  EXPECT_NE(ReadFileText(*drawing).find(fs::canonical(program.path() + "Lintora").string()), std::string::npos)
      << ReadFileText(*drawing);

  TempDir fileList;
  WriteFileText(fileList.file(kCompanionCopyName), "an earlier export");
  const auto copy = CopyCompanionExport(*drawing, fileList.path(), log);
  ASSERT_TRUE(copy);
  EXPECT_EQ(*copy, fileList.path() + "From Lintora.2d");
  EXPECT_EQ(ReadFileText(*copy), ReadFileText(*drawing));

  const CompanionStart again = StartCompanion(paths, log);
  EXPECT_EQ(again.outcome, Outcome::AlreadyRunning);
  EXPECT_EQ(again.pid, start.pid);
  EXPECT_TRUE(again.message.empty());
}

TEST_F(Exchange, MissingCompanionIsToldToTheOperatorAndAnOldMarkerCleared) {
  WriteFileText(files.marker, "");
  const CompanionStart start = StartCompanion(paths, log);
  EXPECT_EQ(start.outcome, Outcome::NotInstalled);
  EXPECT_EQ(start.message,
            "The drawing program Lintora is not installed (looked for " + program.path() + "Lintora/Lintora)");
  EXPECT_TRUE(Logged(start.message));
  EXPECT_FALSE(fs::exists(files.marker));
  EXPECT_FALSE(FindCompanion(paths).installed);
}

TEST_F(Exchange, CompanionThatCannotRunGivesTheReason) {
  Install(files.executable, "exit 0\n", 0644);
  const CompanionStart start = StartCompanion(paths, log);
  EXPECT_EQ(start.outcome, Outcome::Failed);
  EXPECT_EQ(start.pid, 0);
  EXPECT_NE(start.message.find("The drawing program Lintora could not be started (" + files.executable + "): "),
            std::string::npos)
      << start.message;
  EXPECT_NE(start.message.find("Permission denied"), std::string::npos) << start.message;
  EXPECT_TRUE(Logged(start.message));
}

TEST_F(Exchange, ACompiledCompanionIsFoundRunningByItsExecutable) {
  fs::create_directories(files.workingFolder);
  fs::copy_file("/bin/sleep", files.executable);
  const pid_t child = fork();
  if (child == 0) {
    execl(files.executable.c_str(), "Lintora", "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(child, 0);
  EXPECT_TRUE(WaitUntil([&] { return FindCompanion(paths).running; }));  // once the child has executed it
  EXPECT_EQ(FindCompanion(paths).pid, child);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_FALSE(FindCompanion(paths).running);
}

TEST_F(Exchange, PollTakesOnlyAMarkerAndNeverLeavesIt) {
  struct Case {
    const char* what;
    bool marker, drawing;
    const char* logged;  // nullptr: nothing
  };
  const Case cases[] = {
      {"nothing exported", false, false, nullptr},
      {"drawing still being written", false, true, nullptr},
      {"marker without drawing", true, false, "Lintora: export marker without a drawing"},
  };
  for (const Case& c : cases) {
    fs::remove_all(data.path() + "Lintora");
    host.logPane.clear();
    if (c.marker) WriteFileText(files.marker, "");
    if (c.drawing) WriteFileText(files.drawing, "<drawing/>");
    EXPECT_FALSE(PollCompanionExport(paths, log)) << c.what;
    EXPECT_FALSE(fs::exists(files.marker)) << c.what;
    EXPECT_EQ(fs::exists(files.drawing), c.drawing) << c.what;
    EXPECT_EQ(host.logPane.size(), c.logged ? 1u : 0u) << c.what;
    if (c.logged) {
      EXPECT_TRUE(Logged(c.logged)) << c.what;
    }
  }
}

TEST_F(Exchange, ThreeDViewerIsOptionalAndStartsInItsFolder) {
  EXPECT_FALSE(StartThreeDViewer(paths, log));
  EXPECT_TRUE(Logged("3D viewer not installed (looked for " + program.path() + "3d/3d)"));

  const std::string viewer = program.path() + "3d/3d";
  Install(viewer, "while :; do sleep 0.2; done\n");
  ASSERT_EQ(ThreeDViewerExecutable(paths), viewer);
  ASSERT_TRUE(StartThreeDViewer(paths, log));
  // The shell's own forks run the script too until they execute their command.
  const auto running = ProcessesRunning(viewer);
  for (const int pid : running) programs.Track(pid, viewer);
  ASSERT_FALSE(running.empty());
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(running[0]) + "/cwd"), fs::canonical(program.path() + "3d"));
  EXPECT_GE(CloseThreeDViewers(paths, log), 1);
  EXPECT_TRUE(WaitUntil([&] { return ProcessesRunning(viewer).empty(); })) << "the viewer did not close";

  Install(program.path() + "3d/3d.exe", "exit 0\n");
  EXPECT_EQ(ThreeDViewerExecutable(paths), program.path() + "3d/3d.exe");
}

}  // namespace
}  // namespace corvane::testing
