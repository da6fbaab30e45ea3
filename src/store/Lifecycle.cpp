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

// One unclean exit keeps the job; two in a row replace it by the example job.
void CheckUncleanExit(System& s) {
  if (s.fields.checked(kMain, "cClose")) return;
  if (s.fields.checked(kMain, "cClose2")) {
    s.fields.setChecked(kMain, "cClose2", false);
  } else {
    std::string example = s.paths.programFolder;
    example += kExampleJob;
    const FileResult copied = CopyFileAtomically(example, StoreFile(s.paths, kTempJob));
    if (!copied) s.log.WriteLog(copied.error);
  }
  s.log.WriteLog("Error: Software doesn`t closed previous.");
}

}  // namespace

void PrepareStore(System& s) {
  InstallStoreBehaviours(s);
  InstallLanguageBehaviours(s);
  ReadAdvancedOptions(StoreFile(s.paths, kAdvancedFile), s.advanced, s.parser, s.log);
  if (s.firstStartOfDay()) RotateBackups(s);
  MigratePresetFiles(s);
  RebuildPresetList(s);
}

void StartupSequence(System& s) {
  s.loading = true;
  if (!FileExists(StoreFile(s.paths, kSettingsFile))) SaveSettings(s);
  // The first pass sets the unit flag; the second converts with it.
  LoadSettings(s);
  LoadSettings(s);
  CheckUncleanExit(s);
  s.fields.setChecked(kMain, "cClose", false);
  SaveSettings(s);
  const std::string temp = StoreFile(s.paths, kTempJob);
  if (FileExists(temp))
    ReadJobFile(s, temp);
  else
    s.log.WriteLog("No job to restore in \"" + temp + "\"");
  ApplyStartupLanguage(s);
  if (s.store.afterLoad.refreshMicrostepping) s.store.afterLoad.refreshMicrostepping();
  // The restored job starts at (0, 0) with fresh extents, ready to be drawn.
  NormaliseJob(s.job);
}

void ShutdownSequence(System& s, std::optional<AxisPosition> counters) {
  if (counters) WriteCounterFields(s, *counters);
  WriteJobFile(s, StoreFile(s.paths, kTempJob));
  s.fields.setChecked(kMain, "cClose", true);
  s.fields.setChecked(kMain, "cClose2", true);
  s.fields.setText(kMain, "xJogDist", "0");
  s.fields.setChecked(kMain, "cOneClickJogMode", false);
  SaveSettings(s);
  s.LogClose();
}

}  // namespace corvane
