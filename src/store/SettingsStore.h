#pragma once
#include <optional>
#include <string>
#include <vector>

#include "model/JobModel.h"
#include "ports/Clock.h"
#include "ports/FileIo.h"

namespace corvane {

class System;

// Writes "store.fms" from the fields; a failure is logged and returned.
FileResult SaveSettings(System& system);

// Reads "store.fms" into the fields, then runs the after-load steps and
// recomputes the job origin and the soft limits. A missing file loads nothing.
void LoadSettings(System& system);

// The close marks of a settings file: cClose is set by the closing steps and
// cleared once start-up is done; cClose2 stays cleared after one unclean exit.
struct CloseMarks {
  bool closed = false;
  bool closedBefore = false;
};

// The close marks as the main section of a settings file holds them; nullopt
// when the file is missing, unreadable or damaged so that a mark is absent or
// neither "0" nor "1". Built-in values say nothing about how a run ended, so
// only marks read here may count as an unclean exit.
std::optional<CloseMarks> ReadCloseMarks(const std::string& path);

// Job origin and soft limits in 0.01 mm from the x-fields.
void ComputeDerivedValues(System& system);

// The store's own click behaviours (the unit switch); installed once at start.
void InstallStoreBehaviours(System& system);

// First start of the day: store.fm8 over store.fm9 ... store.fms over store.fm1.
void RotateBackups(System& system);

// "Save All Setings as default": save, confirm, copy "store.fms" to "store.org".
FileResult SaveDefaults(System& system);

// Operations that end with a new instance of the program and this one ending
// without its closing steps.
enum class Restart { No, WithoutSaving };

// "Restore Default": confirm, then "store.org" (or the built-in defaults) replaces the settings.
Restart RestoreDefaults(System& system);

// One entry of the backups panel.
struct BackupFile {
  std::string name;
  LocalDateTime modified;
};

// The backup files the store folder holds, for the "Backups Configuration" panel.
std::vector<BackupFile> ShowBackups(const System& system);

// "RESTORE": confirm, then the chosen backup replaces the settings and
// "LastGood.cnc" replaces the job.
Restart RestoreBackup(System& system, const std::string& backupName);

// End of a normally finished job: counters into the fields, settings saved,
// job to "LastGood.cnc", settings copied to "LastGood.fms".
FileResult SaveLastGood(System& system, const AxisPosition& counters);

// The controller's position counters into the hidden fields eTX, eTY, eTZ, eTA.
void WriteCounterFields(System& system, const AxisPosition& counters);

// The language files of the program folder's "lang" folder (all but ".pdf"), by name.
std::vector<std::string> LanguageFiles(const std::string& programFolder);

}  // namespace corvane
