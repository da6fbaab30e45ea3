#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "ProgramRun.h"
#include "store/SettingsStore.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::kOperatorJob;
using testing::ProgramRun;
using testing::ReadFileText;
using testing::WriteFileText;
using ::testing::HasSubstr;

constexpr Window kMain = Window::Main;

// A run that ends through its closing steps with the operator's job.
void RunAndCloseWithTheOperatorsJob(testing::StoreFixture& f) {
  ProgramRun run(f);
  run.system.job.Job = kOperatorJob;
  run.system.fields.setText(kMain, "xFeed", "3100");
  ShutdownSequence(run.system, std::nullopt);
}

std::string RandomBytes(size_t count) {
  std::mt19937 generator(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(byte(generator));
  return bytes;
}

std::string WithCrOnlyLineEnds(std::string text) {
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1))
    text.erase(at + 1, 1);
  return text;
}

// Ways a settings file gets lost or damaged outside the program: none of them
// says how the last run ended, so none may cost the operator the job.
struct Damage {
  const char* what;
  std::function<void(const std::string& settingsPath)> apply;
};

const Damage kDamages[] = {
    {"deleted", [](const std::string& path) { fs::remove(path); }},
    {"random bytes", [](const std::string& path) { WriteFileText(path, RandomBytes(4096)); }},
    {"empty", [](const std::string& path) { WriteFileText(path, ""); }},
    {"UTF-8 byte order mark",
     [](const std::string& path) { WriteFileText(path, "\xEF\xBB\xBF" + ReadFileText(path)); }},
    {"CR-only line ends",
     [](const std::string& path) { WriteFileText(path, WithCrOnlyLineEnds(ReadFileText(path))); }},
    {"cut off before the first cutting parameter",
     [](const std::string& path) {
       const std::string text = ReadFileText(path);
       WriteFileText(path, text.substr(text.find("xFeed")));
     }},
};

TEST(DamagedStore, ASettingsFileWithoutReadableCloseMarksNeverCostsTheJob) {
  testing::StoreFixture f;
  RunAndCloseWithTheOperatorsJob(f);
  const std::string closedSettings = ReadFileText(f.store("store.fms"));
  const std::string closedJob = ReadFileText(f.store("temp.cnc"));
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.what);
    WriteFileText(f.store("store.fms"), closedSettings);
    WriteFileText(f.store("temp.cnc"), closedJob);
    damage.apply(f.store("store.fms"));
    ProgramRun afterDamage(f);
    EXPECT_EQ(afterDamage.system.job.Job, kOperatorJob);
    EXPECT_EQ(afterDamage.uncleanExitsReported, 0);
  }
}

TEST(DamagedStore, AStartWithoutCloseMarksCountsAsCleanSoOneCrashAfterItKeepsTheJob) {
  testing::StoreFixture f;
  RunAndCloseWithTheOperatorsJob(f);
  fs::remove(f.store("store.fms"));
  { ProgramRun crashed(f); }
  ProgramRun afterCrash(f);
  EXPECT_EQ(afterCrash.system.job.Job, kOperatorJob);
  EXPECT_EQ(afterCrash.uncleanExitsReported, 1);
}

TEST(DamagedStore, RestoreDefaultWithoutDefaultsKeepsTheJobAndTakesTheBuiltInValues) {
  testing::StoreFixture f;
  RunAndCloseWithTheOperatorsJob(f);
  {
    ProgramRun run(f);
    f.host.answers.push_back(Answer::Ok);
    ASSERT_EQ(RestoreDefaults(run.system), Restart::WithoutSaving);
  }  // ends without its closing steps, as the restart does
  ProgramRun restarted(f);
  EXPECT_EQ(restarted.system.job.Job, kOperatorJob);
  EXPECT_EQ(restarted.system.fields.text(kMain, "xFeed"), "2540") << "the built-in value";
  EXPECT_EQ(restarted.uncleanExitsReported, 0);
}

TEST(DamagedStore, AStoreFolderThatIsGoneIsMadeAgainSoTheRunsWorkIsKept) {
  for (const bool whileRunning : {false, true}) {
    SCOPED_TRACE(whileRunning ? "removed while the program runs" : "removed between runs");
    testing::StoreFixture f;
    { ProgramRun first(f); ShutdownSequence(first.system, std::nullopt); }
    const std::string store = f.system->paths.storeFolder();
    if (!whileRunning) fs::remove_all(store);
    {
      ProgramRun run(f);
      if (whileRunning) fs::remove_all(store);
      run.system.job.Job = kOperatorJob;
      run.system.fields.setText(kMain, "xFeed", "3100");
      ShutdownSequence(run.system, std::nullopt);
    }
    EXPECT_TRUE(f.host.errors.empty()) << ::testing::PrintToString(f.host.errors);
    ProgramRun next(f);
    EXPECT_EQ(next.system.job.Job, kOperatorJob);
    EXPECT_EQ(next.system.fields.text(kMain, "xFeed"), "3100");
    EXPECT_EQ(next.uncleanExitsReported, 0);
  }
}

TEST(DamagedStore, AStoreFolderThatCannotBeMadeIsReportedAtStartAndAtClosing) {
  testing::StoreFixture f;
  const std::string store = f.system->paths.storeFolder();
  fs::remove_all(store);
  WriteFileText(store.substr(0, store.size() - 1), "a file where the folder belongs");
  ProgramRun run(f);
  ASSERT_EQ(f.host.errors.size(), 1u);
  EXPECT_THAT(f.host.errors[0], HasSubstr("STORE"));
  ShutdownSequence(run.system, std::nullopt);
  ASSERT_EQ(f.host.errors.size(), 2u);
  EXPECT_THAT(f.host.errors[1], HasSubstr("Job not saved"));
  EXPECT_THAT(f.host.errors[1], HasSubstr("Settings not saved"));
}

}  // namespace
}  // namespace corvane
