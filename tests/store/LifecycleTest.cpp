#include <gtest/gtest.h>

#include "ProgramRun.h"
#include "store/JobFile.h"
#include "store/Presets.h"
#include "store/SettingsStore.h"

namespace corvane {
namespace {

using testing::kOperatorJob;
using testing::ProgramRun;
using testing::ReadFileText;

constexpr Window kMain = Window::Main;
const char* const kUncleanLine = testing::kUncleanExitLine;

TEST(Lifecycle, FirstStartWritesDefaultsAndStartsWithTheExampleJob) {
  testing::StoreFixture f;
  ProgramRun run(f);
  EXPECT_TRUE(FileExists(f.store("store.fms")));
  EXPECT_FALSE(f.logged(kUncleanLine)) << "without a settings file no run ended uncleanly";
  EXPECT_EQ(ReadFileText(f.store("temp.cnc")), ReadFileText(f.system->paths.programFolder +
                                                            "CorvaneCNC.cnc"));
  EXPECT_EQ(run.system.job.Job.size(), 3u);
  EXPECT_GT(run.system.job.JobExtentX, 1000);
  EXPECT_TRUE(run.system.loading) << "cleared by the caller after language and link";
  EXPECT_FALSE(run.system.fields.checked(kMain, "cClose"));
}

TEST(Lifecycle, ACleanCloseKeepsSettingsPresetsAndJobExactly) {
  testing::StoreFixture f;
  std::string savedSettings;
  {
    ProgramRun run(f);
    System& s = run.system;
    s.job.Job = kOperatorJob;
    s.fields.setText(kMain, "xFeed", "3100");
    s.fields.setText(Window::Configuration, "eSpec5", "secret");
    s.fields.setChecked(Window::Import, "rInside", true);
    s.fields.setText(kMain, "xJogDist", "25");
    s.fields.setChecked(kMain, "cOneClickJogMode", true);
    ASSERT_TRUE(SavePreset(s, "Steel 5.0"));
    ShutdownSequence(s, AxisPosition{11, 22, 33, 44});
    EXPECT_EQ(f.host.logPane.back(), "CloseApp");
    savedSettings = ReadFileText(f.store("store.fms"));
  }
  const size_t before = f.host.logPane.size();
  ProgramRun again(f);
  System& s = again.system;
  EXPECT_EQ(std::count(f.host.logPane.begin() + static_cast<long>(before), f.host.logPane.end(),
                       kUncleanLine),
            0);
  EXPECT_EQ(s.job.Job, kOperatorJob);
  EXPECT_EQ(s.fields.text(kMain, "xFeed"), "3100");
  EXPECT_EQ(s.fields.text(kMain, "eTZ"), "33");
  EXPECT_EQ(s.fields.text(kMain, "xJogDist"), "0");
  EXPECT_FALSE(s.fields.checked(kMain, "cOneClickJogMode"));
  EXPECT_EQ(s.fields.text(Window::Configuration, "eSpec5"), "secret");
  EXPECT_TRUE(s.fields.checked(Window::Import, "rInside"));
  EXPECT_EQ(s.store.presetNames, std::vector<std::string>{"Steel 5.0"});
  EXPECT_TRUE(s.fields.checked(kMain, "cClose2")) << "the second mark stays until a crash";
  EXPECT_FALSE(s.fields.checked(kMain, "cClose"));
  // Started cleanly, the stored file differs from the closed one only in the first mark.
  std::string expected = savedSettings;
  expected.replace(expected.find("cClose\r\n1"), 9, "cClose\r\n0");
  EXPECT_EQ(ReadFileText(f.store("store.fms")), expected);
}

// Soft limits off (the default) are said once at every start.
TEST(Lifecycle, AStartWithoutSoftLimitsSaysSoInTheLog) {
  const std::string line = "The machine has no soft limits set: jogs and jobs are not kept on the table";
  testing::StoreFixture f;
  {
    ProgramRun run(f);
    EXPECT_EQ(testing::CountLines(f.host, line), 1);
    run.system.fields.setChecked(Window::Configuration, "cLimits", true);
    ShutdownSequence(run.system, std::nullopt);
  }
  const size_t before = f.host.logPane.size();
  ProgramRun again(f);
  EXPECT_EQ(testing::CountLines(f.host, line, before), 0);
}

TEST(Lifecycle, OneCrashKeepsTheJobTwoInARowRestoreTheExample) {
  testing::StoreFixture f;
  {
    ProgramRun run(f);
    run.system.job.Job = kOperatorJob;
    ShutdownSequence(run.system, std::nullopt);
  }
  const auto uncleanCount = [&] {
    return std::count(f.host.logPane.begin(), f.host.logPane.end(), kUncleanLine);
  };
  const auto firstStart = uncleanCount();
  { ProgramRun crashed(f); }  // ends without its closing steps
  {
    ProgramRun afterOneCrash(f);
    EXPECT_EQ(uncleanCount(), firstStart + 1);
    EXPECT_EQ(afterOneCrash.system.job.Job, kOperatorJob);
    EXPECT_FALSE(afterOneCrash.system.fields.checked(kMain, "cClose2"));
  }  // crashes again
  ProgramRun afterTwoCrashes(f);
  EXPECT_EQ(uncleanCount(), firstStart + 2);
  EXPECT_EQ(afterTwoCrashes.system.job.Job.size(), 3u) << "the example job";
  EXPECT_EQ(ReadFileText(f.store("temp.cnc")),
            ReadFileText(f.system->paths.programFolder + "CorvaneCNC.cnc"));
}

TEST(Lifecycle, AKilledWriteDuringCloseLeavesTheOldFilesWhole) {
  testing::StoreFixture f;
  {
    ProgramRun run(f);
    run.system.job.Job = kOperatorJob;
    ShutdownSequence(run.system, std::nullopt);
  }
  const std::string settings = ReadFileText(f.store("store.fms"));
  const std::string job = ReadFileText(f.store("temp.cnc"));
  ProgramRun run(f);
  run.system.job.Job = {{{0, 0}, {1, 1}}};
  SetAtomicRenameFailureForTests("killed");
  ShutdownSequence(run.system, std::nullopt);
  SetAtomicRenameFailureForTests(std::nullopt);
  EXPECT_EQ(ReadFileText(f.store("temp.cnc")), job);
  // The file on disk is the one start-up wrote: whole, with its close mark cleared.
  std::string started = settings;
  started.replace(started.find("cClose\r\n1"), 9, "cClose\r\n0");
  EXPECT_EQ(ReadFileText(f.store("store.fms")), started);
  EXPECT_TRUE(f.logged("Job not saved: killed"));
  EXPECT_TRUE(f.logged("Settings not saved: killed"));
  // The run's work is lost unless the operator hears of it now: one box names both.
  ASSERT_EQ(f.host.errors.size(), 1u);
  EXPECT_NE(f.host.errors[0].find("Job not saved: killed"), std::string::npos);
  EXPECT_NE(f.host.errors[0].find("Settings not saved: killed"), std::string::npos);
}

}  // namespace
}  // namespace corvane
