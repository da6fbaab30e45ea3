#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "import/ImportSession.h"
#include "import/SendToJob.h"
#include "job/JobFixture.h"
#include "store/JobFile.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "store/SupportPackage.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
// What every prepared replacement would bring: another feed and another job.
constexpr const char* kOtherFeed = "1234";
const tCNCPath kOtherJob = {Square(0, 0, 2000), Square(3000, 0, 2000), Square(6000, 0, 2000)};

// A job running on the board while the operator reaches for a command that
// would replace the job or the settings; each command's replacement is made
// beforehand, so that it would change something if it were let through.
struct BusyRun : JobFixture {
  BusyRun() {
    set(kMain, "xFeed", "2000");
    system->job.Job = {Square(0, 0, 4000), Square(6000, 0, 2000)};
    system->job.ProjectOriginX = 2000;
    system->job.ProjectOriginY = 3000;
    job = system->job.Job;

    // The other settings and job, as a project, an archive, a backup and the defaults.
    set(kMain, "xFeed", kOtherFeed);
    system->job.Job = kOtherJob;
    EXPECT_TRUE(WriteJobFile(*system, project));
    EXPECT_TRUE(WriteJobFile(*system, StoreFile(system->paths, kTempJob)));
    EXPECT_TRUE(SaveSettings(*system));
    std::filesystem::copy_file(StoreFile(system->paths, kSettingsFile), StoreFile(system->paths, "store.fm3"));
    std::filesystem::copy_file(StoreFile(system->paths, kSettingsFile), StoreFile(system->paths, kDefaultsFile));
    EXPECT_TRUE(CreateSupportPackage(*system, desktop.path()));
    for (const auto& entry : std::filesystem::directory_iterator(desktop.path())) archive = entry.path();
    WriteFileText(drawing.file("other.tap"), "G0 X0 Y0\nM3\nG1 X10\nG1 Y10\nG1 X0\nG1 Y0\nM5\n");
    EXPECT_TRUE(import.Preview(drawing.file("other.tap"), ImportOptions{}, system->parser));
    import.LoadIntoEditor(import.DefaultPlasmaLayers(), {}, false, ImportProcessOptions{});

    set(kMain, "xFeed", "2000");
    system->job.Job = job;
    EXPECT_TRUE(SaveSettings(*system));
    settings = ReadFileText(StoreFile(system->paths, kSettingsFile));
    host.errors.clear();
    host.answers = {Answer::Yes};
  }
  TempDir desktop, drawing;
  std::string project = system->paths.storeFolder() + "other.cvp2";
  std::string archive, settings;
  ImportSession import{system->log};
  tCNCPath job;
};

// While the job runs, every command that would replace the job or the
// settings is refused with a message the operator understands, in the error
// label and the log (a dialog box would hold the job): the job, the settings
// and their file stay, nothing is asked, and the job finishes.
TEST(BusyRefusal, NothingReplacesTheJobOrTheSettingsWhileTheMachineRuns) {
  const struct {
    const char* command;
    std::function<bool(BusyRun&)> refused;
  } cases[] = {
      {"Open Project", [](BusyRun& r) { return !OpenProject(*r.system, r.project); }},
      {"Load Config", [](BusyRun& r) { return !LoadConfigArchive(*r.system, r.archive); }},
      {"RESTORE a backup", [](BusyRun& r) { return RestoreBackup(*r.system, "store.fm3") == Restart::No; }},
      {"Restore Default", [](BusyRun& r) { return RestoreDefaults(*r.system) == Restart::No; }},
      {"send to job", [](BusyRun& r) { return !SendImportToJob(*r.system, r.import, ImportProcessOptions{}); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    BusyRun r;
    ASSERT_FALSE(r.archive.empty());
    r.Connect();
    bool tried = false;
    r.host.onProcessEvents = [&] {
      if (tried || !r.system->Busy) return;
      tried = true;
      EXPECT_TRUE(c.refused(r));
      EXPECT_EQ(r.host.errorLabel, System::kBusyRefusal);
      EXPECT_EQ(r.system->job.Job, r.job);
    };
    r.controller->runner.Start();
    ASSERT_TRUE(tried);
    EXPECT_EQ(std::count(r.host.logPane.begin(), r.host.logPane.end(), System::kBusyRefusal), 1);
    EXPECT_TRUE(r.host.errors.empty());
    EXPECT_TRUE(r.host.questions.empty());
    EXPECT_EQ(r.system->fields.text(kMain, "xFeed"), "2000");
    EXPECT_TRUE(r.logged("Finish work OK"));
    EXPECT_EQ(r.system->job.Job, r.job);
    EXPECT_EQ(ReadFileText(StoreFile(r.system->paths, kSettingsFile)), r.settings)
        << "the settings file is as the run found it";
  }
}

}  // namespace
}  // namespace corvane::testing
