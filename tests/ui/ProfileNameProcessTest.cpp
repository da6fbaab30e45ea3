#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "store/FolderSnapshot.h"
#include "support/TempDir.h"
#include "ui/QtApp.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// The real program started with a profile name that is no folder of its own
// ends at once with the reason, before it makes or writes anything but the
// reason in the day's log; also where the name's folder exists (".." is the
// data root, "." the profiles folder, "LOGS" the shared logs).
TEST(ProgramStart, ARefusedProfileNameEndsWithTheReasonAndMakesNothing) {
  testing::QtApp();
  testing::TempDir dir;
  const std::string root = dir.path() + "Quorvatek/";
  const std::string log = root + "CorvaneCNC/LOGS/" +
                          QDate::currentDate().toString("yyyy_MM_dd").toStdString() + ".txt";
  fs::create_directories(root + "CorvaneCNC/Plasma/STORE");
  fs::create_directories(root + "CorvaneCNC/LOGS");
  testing::WriteFileText(log, "");
  fs::create_directories(dir.path() + "run");

  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"..", R"(".." names no folder of its own)"},
      {".", R"("." names no folder of its own)"},
      {"../..", R"(the name holds "/")"},
      {"LOGS", R"("LOGS" is the folder of the program's logs)"},
      {"-x", R"(a name beginning with "-" reads as an option)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto before = testing::FolderSnapshot(dir.path());
    QProcess program;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CORVANE_DATA_ROOT", QString::fromStdString(root));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.path() + "run"));
    program.setProcessEnvironment(env);
    program.start(QString(CORVANE_BIN_DIR) + "/corvane", {c.name, "--device=virtual"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 2);
    const std::string refusal =
        "Profile name not usable: \"" + std::string(c.name) + "\": " + c.reason;
    EXPECT_EQ(program.readAllStandardError().toStdString().rfind(refusal + "\n", 0), 0u);

    auto after = testing::FolderSnapshot(dir.path());
    const std::string logKey = fs::relative(log, dir.path()).generic_string();
    const std::string added = after[logKey].substr(before.at(logKey).size());
    EXPECT_NE(added.find(refusal + "\r\n"), std::string::npos) << added;
    after[logKey] = before.at(logKey);
    EXPECT_EQ(after, before) << "nothing else is made or written";
  }
}

}  // namespace
}  // namespace corvane
