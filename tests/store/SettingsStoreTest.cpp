#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "StoreFixture.h"
#include "ports/TextCodec.h"
#include "store/FieldValues.h"
#include "store/JobFile.h"
#include "store/Lifecycle.h"
#include "store/SettingsStore.h"

namespace corvane {
namespace {

using testing::PairsCrLf;
using testing::ReadFileText;
using testing::WriteFileText;

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

struct SettingsStoreTest : testing::StoreFixture {};

TEST(SettingsStore, ImperialSwitchStoresMillimetresAndTheSecondLoadShowsInches) {
  SettingsStoreTest f;
  System& s = f.s();
  InstallStoreBehaviours(s);
  s.loading = false;
  s.fields.setText(kMain, "xFeed", "5080");
  // The operator ticks the box: saved in mm first, then shown in inches.
  s.fields.setChecked(kConfig, "cImperial", true);
  s.fields.runClickBehaviour(kConfig, "cImperial");
  EXPECT_TRUE(s.parser.imperial);
  EXPECT_EQ(s.fields.text(kMain, "xFeed"), "200");
  EXPECT_EQ(f.host.redraws, 1);

  // A fresh start reads the file with the metric flag first.
  testing::StoreFixture next;
  next.system->paths = s.paths;
  InstallStoreBehaviours(next.s());
  LoadSettings(next.s());
  EXPECT_EQ(next.s().fields.text(kMain, "xFeed"), "5080") << "first pass: old flag";
  EXPECT_TRUE(next.s().parser.imperial);
  LoadSettings(next.s());
  EXPECT_EQ(next.s().fields.text(kMain, "xFeed"), "200");
}

// The settings file with one value replaced, the section of its window searched.
std::string WithValue(std::string file, Window window, const std::string& name,
                      const std::string& value) {
  const std::string marker = window == kMain ? "\r\n1:\r\n" : "\r\n3:\r\n";
  const auto section = ("\r\n" + file).find(marker);
  const auto at = file.find("\r\n" + name + "\r\n", section == std::string::npos ? 0 : section);
  if (at == std::string::npos) return file;
  const auto start = at + name.size() + 4;
  return file.replace(start, file.find("\r\n", start) - start, value);
}

struct AbsurdSetting {
  Window window;
  const char* name;
  const char* text;  // as the operator left it in the file
  const char* refusal;
};

struct AbsurdSettingsCase {
  const char* name;
  std::vector<AbsurdSetting> settings;
};

class AbsurdSettings : public ::testing::TestWithParam<AbsurdSettingsCase> {};

// Each value outside its range is logged, replaced by its field's default (so the
// planned motion and the ramp sent to the board are the default's), and all of
// them are shown once in one message; the file keeps the operator's text.
TEST_P(AbsurdSettings, AreReplacedByTheirDefaultsLoggedAndShownOnce) {
  SettingsStoreTest f;
  System& s = f.s();
  ASSERT_TRUE(SaveSettings(s));
  const std::string path = f.store("store.fms");
  std::string file = ReadFileText(path);
  for (const AbsurdSetting& a : GetParam().settings) file = WithValue(file, a.window, a.name, a.text);
  WriteFileText(path, file);

  LoadSettings(s);
  std::string message = "Settings outside their range were replaced by their defaults:";
  for (const AbsurdSetting& a : GetParam().settings) {
    std::string fallback;
    for (const FieldSpec& field : FieldsOf(a.window))
      if (field.name == a.name) fallback = field.defaultValue;
    EXPECT_EQ(s.fields.text(a.window, a.name), fallback) << a.name;
    const std::string line = std::string(a.name) + ": " + a.refusal + ", the default " + fallback + " is used";
    EXPECT_TRUE(f.logged("Setting " + line)) << line;
    message += "\n" + line;
  }
  EXPECT_EQ(s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveX")), 38.1);
  EXPECT_EQ(FieldInteger(s, kConfig, "eAccXY"), 20);
  EXPECT_EQ(FieldSpeed(s, kMain, "xFeed"), 2540);
  EXPECT_EQ(FieldLength(s, kMain, "xPierceH"), 508);
  EXPECT_EQ(f.host.errors, std::vector<std::string>{message});
  EXPECT_EQ(ReadFileText(path), file) << "the file keeps the operator's text until the next save";
  LoadSettings(s);
  EXPECT_EQ(f.host.errors.size(), 1u) << "the same values are not reported twice";
}

INSTANTIATE_TEST_SUITE_P(
    SettingsStore, AbsurdSettings,
    ::testing::Values(
        AbsurdSettingsCase{"NegativeGear", {{kConfig, "xMoveX", "-5", "\"-5\" is outside 0.1 .. 1000"}}},
        AbsurdSettingsCase{"ZeroGear", {{kConfig, "xMoveX", "0", "\"0\" is outside 0.1 .. 1000"}}},
        AbsurdSettingsCase{"NegativeRamp", {{kConfig, "eAccXY", "-100", "\"-100\" is outside 1 .. 1000"}}},
        AbsurdSettingsCase{"ZeroRamp", {{kConfig, "eAccXY", "0", "\"0\" is outside 1 .. 1000"}}},
        AbsurdSettingsCase{"HugeRamp",
                           {{kConfig, "eAccXY", "1e9", "\"1e9\" is outside 1 .. 1000"}}},
        AbsurdSettingsCase{"NegativeFeed",
                           {{kMain, "xFeed", "-100", "\"-100\" is outside 1 .. 100000"}}},
        AbsurdSettingsCase{"EmptyFeed", {{kMain, "xFeed", "", "\"\" is not a number ( 1 .. 100000 )"}}},
        AbsurdSettingsCase{"HeightsBelowTheMaterial",
                           {{kMain, "xPierceH", "-50", "\"-50\" is outside 0 .. 1000"},
                            {kMain, "xCutH", "-50", "\"-50\" is outside 0 .. 1000"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsStore, TheDefaultsFitTheirRangesSoASavedFileLoadsWithoutAMessage) {
  SettingsStoreTest f;
  ASSERT_TRUE(SaveSettings(f.s()));
  LoadSettings(f.s());
  EXPECT_TRUE(f.host.errors.empty()) << f.host.errors.front();
}

// Millimetres that pass through inches come back as they were: the file holds
// 100, not 100.0000032 (3.937008 in times 25.4), before and after the way back.
TEST(SettingsStore, ImperialSwitchOnAndOffKeepsEveryMillimetreValue) {
  SettingsStoreTest f;
  System& s = f.s();
  InstallStoreBehaviours(s);
  s.loading = false;
  const struct {
    Window window;
    const char* section;
    const char* name;
    const char* mm;
  } cases[] = {{kMain, "1:", "xFeed", "100"},          {kConfig, "3:", "xFeedMaxXY", "1000"},
               {kConfig, "3:", "xMoveZ", "40"},        {kConfig, "3:", "xCor1", "0.254"},
               {kConfig, "3:", "xLimitZ", "101.6"},    {kConfig, "3:", "xSpec8", "-12.3456"},
               {kMain, "1:", "xXM", "20"}};
  for (const auto& c : cases) s.fields.setText(c.window, c.name, c.mm);
  const auto saved = [&](const char* section, const char* name) {
    const auto lines = SplitLines(ReadFileText(f.store("store.fms")));
    bool inSection = false;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
      if (lines[i].size() == 2 && lines[i][1] == ':') inSection = lines[i] == section;
      if (inSection && lines[i] == name) return lines[i + 1];
    }
    return std::string("<missing>");
  };
  for (const bool imperial : {true, false, true}) {
    s.fields.setChecked(kConfig, "cImperial", imperial);
    s.fields.runClickBehaviour(kConfig, "cImperial");
    ASSERT_EQ(s.parser.imperial, imperial);
    ASSERT_TRUE(SaveSettings(s));
    for (const auto& c : cases) {
      EXPECT_EQ(saved(c.section, c.name), c.mm) << c.name << (imperial ? " in" : " mm");
      if (!imperial) {
        EXPECT_EQ(s.fields.text(c.window, c.name), c.mm) << c.name;
      }
    }
  }
}

TEST(SettingsStore, AfterLoadSetsListsPageHooksAndDerivedValues) {
  SettingsStoreTest f;
  System& s = f.s();
  testing::TempDir program;
  s.paths.programFolder = program.path();
  for (const char* name : {"Polski", "English", "manual.PDF"})
    WriteFileText(program.file("lang/") + name, "");
  bool out1 = false, out2 = true, thc = false;
  int calcClicks = 0;
  s.store.afterLoad.showOutButtons = [&](bool a, bool b) { out1 = a, out2 = b; };
  s.store.afterLoad.setThcButton = [&](bool down) { thc = down; };
  s.fields.addClickBehaviour(Window::Import, "cCalc", [&] { ++calcClicks; });
  WriteFileText(f.store("store.fms"),
                PairsCrLf({"1:", "", "eTHC", "on", "xXM", "12.345", "xYM", "-3", "xZM", "0,5",
                           "3:", "", "eDV", "20:1", "eStepX", "abc", "eSpec8", "3", "eSpec9",
                           "99", "xLimitX", "1500", "eLng", "Polski", "eTabSheet", "9"}));
  LoadSettings(s);
  EXPECT_EQ(s.fields.text(Window::Import, "eFileName"),
            program.path() + "example/CorvaneCNC.plt");
  EXPECT_EQ(s.fields.choiceIndex(kConfig, "cDV"), 1);
  EXPECT_EQ(s.fields.choiceIndex(kConfig, "cStepX"), 1) << "unparsable index reads as 1";
  EXPECT_TRUE(f.logged("\"abc\" is not a Integer 1 Value!"));
  EXPECT_EQ(s.fields.text(kConfig, "eStepX"), "abc") << "the hidden field is not rewritten";
  EXPECT_EQ(s.fields.choiceIndex(kConfig, "cOut2"), -1);
  EXPECT_TRUE(out1);
  EXPECT_FALSE(out2);
  EXPECT_TRUE(thc);
  EXPECT_EQ(calcClicks, 1);
  EXPECT_EQ(s.fields.text(kConfig, "eTabSheet"), "0");
  EXPECT_EQ(s.fields.findChoice(kConfig, "ComboBox1")->items,
            (std::vector<std::string>{"English", "Polski"}));
  EXPECT_EQ(s.fields.choiceIndex(kConfig, "ComboBox1"), 1);
  EXPECT_EQ(s.job.ProjectOriginX, 1235) << "round(12.345 mm * 100)";
  EXPECT_EQ(s.job.ProjectOriginY, -300);
  EXPECT_EQ(s.job.ProjectOriginZ, 50);
  EXPECT_EQ(s.store.SoftLimitX, 150000);
  EXPECT_EQ(s.store.SoftLimitZ, 10160) << "default 101.6 mm";

  s.parser.imperial = true;
  s.fields.setText(kMain, "xXM", "1.5");
  ComputeDerivedValues(s);
  EXPECT_EQ(s.job.ProjectOriginX, 3810) << "1.5 in = 38.1 mm";
}

TEST(SettingsStore, AMissingFileLoadsNothing) {
  SettingsStoreTest f;
  f.s().fields.setText(kMain, "eTime", "42");
  LoadSettings(f.s());
  EXPECT_EQ(f.s().fields.text(kMain, "eTime"), "42");
}

TEST(SettingsStore, AFailedWriteKeepsTheOldFileAndIsReported) {
  SettingsStoreTest f;
  System& s = f.s();
  ASSERT_TRUE(SaveSettings(s));
  const std::string before = ReadFileText(f.store("store.fms"));
  s.fields.setText(kMain, "eTime", "999");
  SetAtomicRenameFailureForTests("killed before rename");
  const FileResult saved = SaveSettings(s);
  const FileResult defaults = SaveDefaults(s);
  SetAtomicRenameFailureForTests(std::nullopt);
  EXPECT_FALSE(saved);
  EXPECT_FALSE(defaults);
  EXPECT_EQ(ReadFileText(f.store("store.fms")), before);
  EXPECT_TRUE(f.logged("Settings not saved: killed before rename"));
  EXPECT_EQ(f.host.errors, std::vector<std::string>{"killed before rename"});
  EXPECT_TRUE(f.host.questions.empty()) << "no confirmation after a failed save";
  EXPECT_FALSE(std::filesystem::exists(f.store("store.org")));
  for (const auto& entry : std::filesystem::directory_iterator(s.paths.storeFolder()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
}

// Runs the program once on a day: start, tag the settings, close.
void RunOnDay(testing::StoreFixture& f, int day, const std::string& tag) {
  f.clock.setLocalDate(2026, 12, day);
  System run(f.clock, f.host, f.system->paths);
  ASSERT_TRUE(run.PrepareStart());
  PrepareStore(run);
  StartupSequence(run);
  run.fields.setText(kConfig, "eAlarm", tag);
  ShutdownSequence(run, std::nullopt);
}

std::string TagIn(const std::string& path) {
  const std::string text = ReadFileText(path);
  const auto at = text.find("eAlarm\r\n");
  return at == std::string::npos ? "" : text.substr(at + 8, text.find("\r\n", at + 8) - at - 8);
}

TEST(SettingsStore, BackupsHoldTheFirstStartOfEachOfTheLastNineDays) {
  testing::StoreFixture f;
  for (int day = 10; day <= 20; ++day) {
    RunOnDay(f, day, "day " + std::to_string(day));
    if (day == 15) RunOnDay(f, day, "day 15 again");  // no second rotation that day
  }
  // The start of day d found the settings of day d-1's last run.
  EXPECT_EQ(TagIn(f.store("store.fm1")), "day 19");
  EXPECT_EQ(TagIn(f.store("store.fm4")), "day 16");
  EXPECT_EQ(TagIn(f.store("store.fm5")), "day 15 again");
  EXPECT_EQ(TagIn(f.store("store.fm6")), "day 14");
  EXPECT_EQ(TagIn(f.store("store.fm9")), "day 11");
  EXPECT_EQ(TagIn(f.store("store.fms")), "day 20");
  const auto backups = ShowBackups(f.s());
  ASSERT_EQ(backups.size(), 9u);
  EXPECT_EQ(backups.front().name, "store.fm1");
  EXPECT_EQ(backups.back().name, "store.fm9");
}

// The backups panel shows when a backup's settings were saved: the rotation
// moves the files on with their dates.
TEST(SettingsStore, TheRotationKeepsEachBackupsDate) {
  SettingsStoreTest f;
  namespace fs = std::filesystem;
  const auto now = fs::file_time_type::clock::now();
  const auto lastRun = now - std::chrono::hours(20);
  const auto dayBefore = now - std::chrono::hours(48);
  WriteFileText(f.store("store.fm1"), PairsCrLf({"1:", "", "eTime", "111"}));
  fs::last_write_time(f.store("store.fm1"), dayBefore);
  ASSERT_TRUE(SaveSettings(f.s()));
  fs::last_write_time(f.store("store.fms"), lastRun);

  RotateBackups(f.s());

  EXPECT_EQ(fs::last_write_time(f.store("store.fm2")), dayBefore);
  EXPECT_EQ(fs::last_write_time(f.store("store.fm1")), lastRun);
  const auto backups = ShowBackups(f.s());
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(backups[1].name, "store.fm2");
  const std::time_t shown = std::chrono::system_clock::to_time_t(
      std::chrono::file_clock::to_sys(dayBefore));
  std::tm local{};
  localtime_r(&shown, &local);
  EXPECT_EQ(backups[1].modified.day, local.tm_mday);
  EXPECT_EQ(backups[1].modified.hour, local.tm_hour);
}

TEST(SettingsStore, DefaultsAreSavedOnConfirmationAndRestoredForTheNextStart) {
  SettingsStoreTest f;
  System& s = f.s();
  s.messages.texts[110] = "Save as default?";
  s.fields.setText(kMain, "eTime", "321");
  f.host.answers = {Answer::Cancel, Answer::Ok};
  ASSERT_TRUE(SaveDefaults(s));
  EXPECT_FALSE(std::filesystem::exists(f.store("store.org")));
  ASSERT_TRUE(SaveDefaults(s));
  EXPECT_EQ(f.host.questions, (std::vector<std::string>{"Save as default?", "Save as default?"}));
  EXPECT_EQ(ReadFileText(f.store("store.org")), ReadFileText(f.store("store.fms")));

  s.fields.setText(kMain, "eTime", "1");
  SaveSettings(s);
  f.host.answers = {Answer::Cancel, Answer::Ok};
  EXPECT_EQ(RestoreDefaults(s), Restart::No);
  EXPECT_EQ(RestoreDefaults(s), Restart::WithoutSaving);
  EXPECT_EQ(ReadFileText(f.store("store.fms")), ReadFileText(f.store("store.org")));

  std::filesystem::remove(f.store("store.org"));
  f.host.answers = {Answer::Ok};
  EXPECT_EQ(RestoreDefaults(s), Restart::WithoutSaving);
  EXPECT_FALSE(std::filesystem::exists(f.store("store.fms"))) << "built-in defaults next time";
}

TEST(SettingsStore, RestoringABackupAlsoReplacesTheJobWithTheLastGoodOne) {
  SettingsStoreTest f;
  System& s = f.s();
  WriteFileText(f.store("store.fm3"), PairsCrLf({"1:", "", "eTime", "333"}));
  s.job.Job = {{{0, 0}, {100, 100}}};
  ASSERT_TRUE(WriteJobFile(s, f.store("LastGood.cnc")));
  WriteFileText(f.store("temp.cnc"), "");

  EXPECT_EQ(RestoreBackup(s, "store.fm7"), Restart::No) << "no such file";
  EXPECT_EQ(RestoreBackup(s, "../store.fm3"), Restart::No) << "only listed names";
  f.host.answers = {Answer::Cancel, Answer::Ok};
  EXPECT_EQ(RestoreBackup(s, "store.fm3"), Restart::No);
  EXPECT_EQ(RestoreBackup(s, "store.fm3"), Restart::WithoutSaving);
  EXPECT_EQ(f.host.questions.back(), "Are You Suere ?");
  EXPECT_EQ(ReadFileText(f.store("store.fms")), ReadFileText(f.store("store.fm3")));
  EXPECT_EQ(ReadFileText(f.store("temp.cnc")), ReadFileText(f.store("LastGood.cnc")));
}

TEST(SettingsStore, LastGoodKeepsCountersSettingsAndJob) {
  SettingsStoreTest f;
  System& s = f.s();
  s.job.Job = {{{0, 0}, {5, 6}}};
  ASSERT_TRUE(SaveLastGood(s, {1, -2, 3, 4}));
  EXPECT_TRUE(f.logged("Save : LastGood"));
  EXPECT_EQ(s.fields.text(kMain, "eTY"), "-2");
  EXPECT_EQ(s.fields.text(kMain, "eTA"), "4");
  EXPECT_EQ(ReadFileText(f.store("LastGood.fms")), ReadFileText(f.store("store.fms")));
  EXPECT_NE(ReadFileText(f.store("store.fms")).find("eTY\r\n-2\r\n"), std::string::npos);
  EXPECT_EQ(ReadFileText(f.store("LastGood.cnc")).size(), 3u * 8u);
}

}  // namespace
}  // namespace corvane
