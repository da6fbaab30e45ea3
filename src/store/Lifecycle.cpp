#include "store/Lifecycle.h"

#include "model/JobNormalise.h"
#include "store/JobFile.h"
#include "store/LanguageFile.h"
#include "store/Presets.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;

// The job a first start shows, and the one that replaces a job after two unclean exits.
void CopyExampleJob(System& s) {
  std::string example = s.paths.programFolder;
  example += kExampleJob;
  const FileResult copied = CopyFileAtomically(example, StoreFile(s.paths, kTempJob));
  if (!copied) s.log.WriteLog(copied.error);
}

// One unclean exit keeps the job; two in a row replace it by the example job.
// Only marks read from a sound settings file tell an unclean exit: without them
// (no settings yet, "Restore Default" without defaults, a damaged file) the last
// run counts as closed, so the operator's job stays and only a start without
// any job gets the example.
void CheckUncleanExit(System& s, const std::optional<CloseMarks>& marks) {
  if (!marks) {
    s.fields.setChecked(kMain, "cClose2", true);
    if (!FileExists(StoreFile(s.paths, kTempJob))) CopyExampleJob(s);
    return;
  }
  if (marks->closed) return;
  if (marks->closedBefore)
    s.fields.setChecked(kMain, "cClose2", false);
  else
    CopyExampleJob(s);
  s.log.WriteLog("Error: Software doesn`t closed previous.");
}

// Makes the profile's store folder again when it is gone (deleted by hand or by
// a cleaning tool), so that this run's settings and job can be saved.
FileResult RepairStoreFolder(System& s) {
  const std::string folder = s.paths.storeFolder();
  if (FolderExists(folder)) {
    // Saves cut short by a crash or a power cut leave their temporary files;
    // the files they were replacing are whole.
    if (const int removed = RemoveUnfinishedWrites(folder); removed > 0)
      s.log.WriteLog("Removed " + std::to_string(removed) + " unfinished saves from \"" + folder + "\"");
    return {};
  }
  const FileResult made = MakeFolder(folder);
  s.log.WriteLog(made ? "Created : \"" + folder + "\"" : made.error);
  return made;
}

}  // namespace

void PrepareStore(System& s) {
  if (const FileResult repaired = RepairStoreFolder(s); !repaired)
    s.host.showError(repaired.error);
  InstallStoreBehaviours(s);
  InstallLanguageBehaviours(s);
  ReadAdvancedOptions(StoreFile(s.paths, kAdvancedFile), s.advanced, s.parser, s.log);
  if (s.firstStartOfDay()) RotateBackups(s);
  MigratePresetFiles(s);
  RebuildPresetList(s);
}

void StartupSequence(System& s) {
  s.loading = true;
  const std::string settings = StoreFile(s.paths, kSettingsFile);
  const std::optional<CloseMarks> marks = ReadCloseMarks(settings);
  if (!FileExists(settings))
    SaveSettings(s);
  else if (!marks)
    s.log.WriteLog("Damaged settings file \"" + settings + "\": no close marks");
  // The first pass sets the unit flag; the second converts with it.
  LoadSettings(s);
  LoadSettings(s);
  CheckUncleanExit(s, marks);
  if (!s.fields.checked(Window::Configuration, "cLimits"))
    s.log.WriteLog("The machine has no soft limits set: jogs and jobs are not kept on the table");
  s.fields.setChecked(kMain, "cClose", false);
  SaveSettings(s);
  const std::string temp = StoreFile(s.paths, kTempJob);
  if (FileExists(temp))
    RestoreJobFile(s, temp);
  else
    s.log.WriteLog("No job to restore in \"" + temp + "\"");
  ApplyStartupLanguage(s);
  if (s.store.afterLoad.refreshMicrostepping) s.store.afterLoad.refreshMicrostepping();
  // The restored job starts at (0, 0) with fresh extents, ready to be drawn.
  NormaliseJob(s.job);
}

void ShutdownSequence(System& s, std::optional<AxisPosition> counters) {
  if (counters) WriteCounterFields(s, *counters);
  RepairStoreFolder(s);
  const FileResult job = WriteJobFile(s, StoreFile(s.paths, kTempJob));
  s.fields.setChecked(kMain, "cClose", true);
  s.fields.setChecked(kMain, "cClose2", true);
  s.fields.setText(kMain, "xJogDist", "0");
  s.fields.setChecked(kMain, "cOneClickJogMode", false);
  const FileResult settings = SaveSettings(s);
  // Closing is the last chance to keep this run's work, so the operator hears of a
  // failed save, not only the log.
  std::string unsaved = job ? "" : "Job not saved: " + job.error + "\n";
  if (!settings) unsaved += "Settings not saved: " + settings.error + "\n";
  if (!unsaved.empty()) {
    unsaved.pop_back();
    s.host.showError(unsaved);
  }
  s.LogClose();
}

}  // namespace corvane
