#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "FolderSnapshot.h"
#include "StoreFixture.h"
#include "store/DesktopLauncher.h"
#include "store/Profiles.h"
#include "system/Paths.h"
#include "system/System.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FolderSnapshot;
using testing::ReadFileText;
using testing::WriteFileText;

// A data root and a program folder of the test's own, with a log that only
// echoes, so a test sees every folder the profile code makes.
struct ProfilesTest : ::testing::Test {
  ProfilesTest() {
    WriteFileText(program.file("store/advanced.txt"), "template options");
    WriteFileText(program.file("store/store.fms"), "template settings");
    WriteFileText(program.file("logo.bmp"), "template logo");
  }
  Paths pathsOf(const std::string& profile) const {
    return {program.path(), root.path() + "Quorvatek/", profile};
  }
  std::map<std::string, std::string> profileContent(const std::string& profile) const {
    return FolderSnapshot(pathsOf(profile).profileFolder());
  }

  testing::TempDir program;
  testing::TempDir root;
  FakeClock clock;
  testing::RecordingHost host;
  ProgramLog log{clock, &host};
};

TEST_F(ProfilesTest, TheFirstProfileComesFromTheProgramFoldersTemplate) {
  ASSERT_TRUE(CreateProfile(pathsOf("Plasma"), log));
  EXPECT_EQ(profileContent("Plasma"),
            (std::map<std::string, std::string>{{"STORE", "<folder>"},
                                                {"STORE/advanced.txt", "template options"},
                                                {"STORE/store.fms", "template settings"},
                                                {"logo.bmp", "template logo"}}));
  EXPECT_EQ(host.logPane, (std::vector<std::string>{"Created : \"Plasma\" profile in:",
                                                    pathsOf("Plasma").profileFolder()}));
}

TEST_F(ProfilesTest, LaterProfilesCopyPlasmasCurrentStoreWithSettingsPresetsAndJob) {
  ASSERT_TRUE(CreateProfile(pathsOf("Plasma"), log));
  const Paths plasma = pathsOf("Plasma");
  WriteFileText(plasma.storeFolder() + "store.fms", "Plasma's settings");
  WriteFileText(plasma.storeFolder() + "par_Steel 5", "a preset");
  WriteFileText(plasma.storeFolder() + "temp.cnc", std::string("\x39\x30\0\0\x31\xd4\0\0", 8));
  WriteFileText(plasma.profileFolder() + "logo.bmp", "Plasma's logo");
  WriteFileText(program.file("store/only-in-template.txt"), "not for later profiles");

  ASSERT_TRUE(CreateProfile(pathsOf("Big_Table"), log));

  EXPECT_EQ(profileContent("Big_Table"), profileContent("Plasma"));
  EXPECT_EQ(host.logPane.back(), pathsOf("Big_Table").profileFolder());
}

TEST_F(ProfilesTest, ACopyThatFailsLeavesNoHalfProfile) {
  ASSERT_TRUE(CreateProfile(pathsOf("Plasma"), log));
  fs::create_symlink(root.file("gone"), pathsOf("Plasma").storeFolder() + "dangling");
  const auto before = FolderSnapshot(root.path());

  EXPECT_FALSE(CreateProfile(pathsOf("Wood"), log));

  EXPECT_EQ(FolderSnapshot(root.path()), before) << "the next start tries again";
  EXPECT_EQ(host.logPane.back().rfind("Cannot copy the store of", 0), 0u) << host.logPane.back();
}

TEST_F(ProfilesTest, ANameThatIsNoSingleFolderMakesNothing) {
  ASSERT_TRUE(CreateProfile(pathsOf("Plasma"), log));
  const auto before = FolderSnapshot(root.path());
  for (const char* name : {"", ".", "..", "a/b", "../Quorvatek", "line\nbreak", "tab\there"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsUsableProfileName(name));
    EXPECT_FALSE(CreateProfile(pathsOf(name), log));
    EXPECT_EQ(host.logPane.back(), ProfileNameRefusal(name));
    EXPECT_EQ(FolderSnapshot(root.path()), before);
  }
  for (const char* name : {"Plasma 2", "Stół", "a.b", "...", "50%"})
    EXPECT_TRUE(IsUsableProfileName(name));
}

TEST(ProfileName, OnlyAFolderOfItsOwnBesideTheLogsIsAProfile) {
  const struct {
    std::string name;
    const char* problem;  // "" for a usable name
  } cases[] = {
      {"Plasma", ""},
      {"Big_Table", ""},
      {"Stół 2", ""},
      {"a.b", ""},
      {"...", ""},
      {"50%", ""},
      {"x-", ""},
      {std::string(64, 'x'), ""},
      {"", "the name is empty"},
      {".", R"("." names no folder of its own)"},
      {"..", R"(".." names no folder of its own)"},
      {"a/b", R"(the name holds "/")"},
      {"../..", R"(the name holds "/")"},
      {"a\\b", R"(the name holds "\")"},
      {"line\nbreak", "the name holds a control character"},
      {"tab\there", "the name holds a control character"},
      {"del\x7f", "the name holds a control character"},
      {"--help", R"(a name beginning with "-" reads as an option)"},
      {"-x", R"(a name beginning with "-" reads as an option)"},
      {"LOGS", R"("LOGS" is the folder of the program's logs)"},
      {"logs", R"("LOGS" is the folder of the program's logs)"},
      {std::string(65, 'x'), "the name is longer than 64 characters"},
      {std::string(300, 'x'), "the name is longer than 64 characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ProfileNameProblem(c.name), c.problem);
    EXPECT_EQ(IsUsableProfileName(c.name), std::string(c.problem).empty());
  }
}

// A refused name makes nothing, also where its folder exists: ".." is the
// data root, "." the profiles folder, "LOGS" the shared log folder.
TEST_F(ProfilesTest, AStartWithARefusedNameMakesNothingEvenWhereItsFolderExists) {
  ASSERT_TRUE(CreateProfile(pathsOf("Plasma"), log));
  fs::create_directories(pathsOf("Plasma").logsFolder());
  const auto before = FolderSnapshot(root.path());
  for (const char* name : {"..", ".", "LOGS", "../..", "--help"}) {
    SCOPED_TRACE(name);
    FakeClock startClock;
    testing::RecordingHost startHost;
    System system(startClock, startHost, pathsOf(name));
    EXPECT_FALSE(system.PrepareStart());
    EXPECT_EQ(FolderSnapshot(root.path()), before);
  }
}

TEST_F(ProfilesTest, OpenProfilesFolderShowsTheFolderOfAllProfilesAndLetsItComeUp) {
  std::vector<std::string> shown;
  const std::int64_t before = clock.nowMicros();
  OpenProfilesFolder(pathsOf("Wood"), host, clock,
                     [&](const std::string& folder) { shown.push_back(folder); });
  EXPECT_EQ(shown, std::vector<std::string>{root.path() + "Quorvatek/CorvaneCNC/"});
  EXPECT_EQ(host.eventsProcessed, 4);
  EXPECT_EQ(clock.nowMicros() - before, 2'000'000);
}

// ---- Launchers of further profiles -------------------------------------------

struct LauncherTest : ProfilesTest {
  LauncherPlaces places{"/opt/corvane cnc/bin/corvane", root.path() + "applications",
                        root.path() + "Desktop"};
};

TEST_F(LauncherTest, BigTableGetsALauncherInTheMenusAndOnTheDesktopThatStartsBigTable) {
  host.inputs.push_back("Big Table");
  ASSERT_TRUE(CreateProfileShortcut(host, log, places));

  EXPECT_EQ(host.prompts, std::vector<std::string>{"Enter profile Name"});
  const std::string desktopFile = places.desktop + "/Big_Table.desktop";
  const std::string menuFile = places.applications + "/corvane-cnc-Big_Table.desktop";
  const std::string text = ReadFileText(desktopFile);
  EXPECT_EQ(ReadFileText(menuFile), text);
  EXPECT_NE(text.find("\nExec=\"/opt/corvane cnc/bin/corvane\" \"Big_Table\"\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\n", 0), 0u);
  for (const std::string& file : {desktopFile, menuFile})
    EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_exec, fs::perms::none) << file;
  EXPECT_FALSE(fs::exists(pathsOf("Big_Table").profileFolder())) << "made at its first start";
}

// The Exec key quotes the argument (", `, $ and \ escaped) and then escapes
// every backslash once more as a string value; "%" is doubled.
TEST(LauncherFileText, EveryCharacterOfTheProfileReachesTheProgramAsItself) {
  const struct {
    const char* profile;
    const char* exec;
  } cases[] = {
      {"Big_Table", R"(Exec="/usr/bin/corvane" "Big_Table")"},
      {"50%", R"(Exec="/usr/bin/corvane" "50%%")"},
      {"a\"b", R"(Exec="/usr/bin/corvane" "a\\"b")"},
      {"$HOME", R"(Exec="/usr/bin/corvane" "\\$HOME")"},
      {"tick`", R"(Exec="/usr/bin/corvane" "tick\\`")"},
      {"back\\slash", R"(Exec="/usr/bin/corvane" "back\\\\slash")"},
  };
  for (const auto& c : cases) {
    const std::string text = LauncherFileText("/usr/bin/corvane", c.profile);
    EXPECT_NE(text.find(std::string("\n") + c.exec + "\n"), std::string::npos) << text;
  }
}

TEST_F(LauncherTest, NoNameDoesNothingAndAnUnusableNameIsRefusedWithTheReason) {
  const struct {
    std::optional<std::string> answer;
    std::string message;  // the dialog's message, "" for none
  } cases[] = {
      {std::nullopt, ""},
      {"", ""},
      {"a/b", R"(Profile name not usable: "a/b": the name holds "/")"},
      {"..", R"(Profile name not usable: "..": ".." names no folder of its own)"},
      {"--help", R"(Profile name not usable: "--help": a name beginning with "-" reads as an option)"},
      {"Logs", R"(Profile name not usable: "Logs": "LOGS" is the folder of the program's logs)"},
      {std::string(300, 'x'), "Profile name not usable: \"" + std::string(300, 'x') +
                                  "\": the name is longer than 64 characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.value_or("(cancelled)"));
    host.inputs.push_back(c.answer);
    host.errors.clear();
    EXPECT_FALSE(CreateProfileShortcut(host, log, places));
    EXPECT_EQ(host.errors, c.message.empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{c.message});
    if (!c.message.empty()) EXPECT_EQ(host.logPane.back(), c.message);
    EXPECT_TRUE(FolderSnapshot(root.path()).empty());
  }
}

TEST_F(LauncherTest, ALauncherThatCannotBeWrittenBeepsAndSaysWhy) {
  WriteFileText(places.desktop, "a file where the desktop folder should be");
  host.inputs.push_back("Wood");
  EXPECT_FALSE(CreateProfileShortcut(host, log, places));
  EXPECT_EQ(host.beeps, 1);
  EXPECT_EQ(host.logPane.back().rfind("Profile shortcut not written: ", 0), 0u);
}

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment {
 public:
  void set(const char* name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      it->second ? ::setenv(it->first, it->second->c_str(), 1) : ::unsetenv(it->first);
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(LauncherPlaces, FollowTheUsersFolderSettings) {
  if (std::system("command -v xdg-user-dir >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xdg-user-dir is not installed";
  testing::TempDir home;
  WriteFileText(home.file("config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/Pulpit\"\n");
  const std::string homeFolder = home.path().substr(0, home.path().size() - 1);
  ScopedEnvironment environment;
  environment.set("HOME", homeFolder);
  environment.set("XDG_CONFIG_HOME", home.file("config"));
  environment.set("XDG_DATA_HOME", home.file("data"));

  LauncherPlaces places = ResolveLauncherPlaces();
  EXPECT_EQ(places.desktop, homeFolder + "/Pulpit");
  EXPECT_EQ(places.applications, home.file("data/applications"));
  EXPECT_EQ(places.executable, fs::read_symlink("/proc/self/exe").string());

  environment.set("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(ResolveLauncherPlaces().applications, homeFolder + "/.local/share/applications");
}

}  // namespace
}  // namespace corvane
