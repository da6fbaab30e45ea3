#include "store/SettingsStore.h"

#include "store/FieldValues.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "ports/TextCodec.h"
#include "store/FieldRanges.h"
#include "store/JobFile.h"
#include "store/LanguageFile.h"
#include "store/SettingsFile.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace fs = std::filesystem;

namespace corvane {
namespace {

constexpr size_t kMaxSettingsFileBytes = 16u << 20;
constexpr Window kMain = Window::Main;
constexpr Window kImport = Window::Import;
constexpr Window kConfig = Window::Configuration;

constexpr const char* kBackupNames[] = {"LastGood.fms", "store.fm1", "store.fm2", "store.fm3",
                                        "store.fm4",    "store.fm5", "store.fm6", "store.fm7",
                                        "store.fm8",    "store.fm9"};

std::string BackupName(int n) { return "store.fm" + std::to_string(n); }

int IndexOfItem(const ChoiceValue& choice, const std::string& text) {
  const auto it = std::find(choice.items.begin(), choice.items.end(), text);
  return it == choice.items.end() ? -1 : static_cast<int>(it - choice.items.begin());
}

// Sets a list from the text its hidden field holds.
void ShowChoiceByText(FieldStore& fields, const char* list, const char* mirror) {
  if (const ChoiceValue* choice = fields.findChoice(kConfig, list))
    fields.showChoice(kConfig, list, IndexOfItem(*choice, fields.text(kConfig, mirror)));
}

void SelectConfigurationPage(System& s) {
  const int pageCount = static_cast<int>(ConfigurationPages().size());
  int page = s.parser.ParseInt1(s.fields.text(kConfig, "eTabSheet"));
  // A page the window does not have would leave it blank; show the first one.
  if (page < 0 || page >= pageCount) page = 0;
  s.fields.setText(kConfig, "eTabSheet", std::to_string(page));
}

template <typename F, typename... Args>
void RunHook(const F& hook, Args&&... args) {
  if (hook) hook(std::forward<Args>(args)...);
}

void RunAfterLoadSteps(System& s) {
  FieldStore& f = s.fields;
  const AfterLoadHooks& hooks = s.store.afterLoad;
  RunHook(hooks.clearConfigurationErrorLabel);
  ShowChoiceByText(f, "cDV", "eDV");
  f.setChoiceItems(kConfig, "ComboBox1", LanguageFiles(s.paths.programFolder));
  ShowChoiceByText(f, "ComboBox1", "eLng");
  SelectConfigurationPage(s);
  for (const ChoiceSpec& list : ChoiceListsOf(kConfig)) {
    if (list.mirrorsText) continue;
    f.showChoice(kConfig, list.name, s.parser.ParseInt1(f.text(kConfig, list.mirror)));
  }
  RunHook(hooks.showOutButtons, f.choiceIndex(kConfig, "cOut1") == 3,
          f.choiceIndex(kConfig, "cOut2") == 3);
  for (const char* name : {"cFunctionP", "cSpec1", "cSpec1a", "cOut1"})
    f.runClickBehaviour(kConfig, name);
  ComputeDerivedValues(s);
  RunHook(hooks.setThcButton, f.text(kMain, "eTHC") == "on");
  RunHook(hooks.refreshMicrostepping);
  f.runClickBehaviour(kImport, "cCalc");
}

// The settings file is the operator's to edit: a value outside its field's range
// would plan impossible motion or reach the board as it is. Each is logged and
// replaced by the field's default; the operator hears of them once, in one
// message. The file keeps the operator's text until the next save.
void ReplaceOutOfRangeValues(System& s, std::string_view bytes) {
  std::string names;
  std::vector<std::string> lines;
  for (const SettingsPair& pair : ReadSettingsPairs(bytes)) {
    const FieldValue* field = s.fields.find(pair.window, pair.name);
    if (!field || !FindFieldRange(pair.window, pair.name)) continue;
    // The file holds millimetres whatever the window shows.
    const std::string refusal = RangeRefusal(pair.window, pair.name, pair.value, false);
    if (refusal.empty()) continue;
    const std::string name(field->definition->name);
    ApplySettingsValue(name, std::string(field->definition->defaultValue), pair.window, s.fields,
                       s.parser);
    names += name + " ";
    lines.push_back(name + ": " + refusal + ", the default " +
                    std::string(field->definition->defaultValue) + " is used");
  }
  if (names == s.store.lastOutOfRange) return;
  s.store.lastOutOfRange = names;
  if (lines.empty()) return;
  std::string report = "Settings outside their range were replaced by their defaults:";
  for (const std::string& line : lines) {
    s.log.WriteLog("Setting " + line);
    report += "\n" + line;
  }
  s.host.showError(report);
}

// Copies one store file over another when the source exists, keeping its
// modification time: the backups panel shows when a backup's settings were
// saved, not when the rotation moved them. Failures are logged.
void CopyIfPresent(System& s, const std::string& from, const std::string& to) {
  const std::string source = StoreFile(s.paths, from);
  const std::string target = StoreFile(s.paths, to);
  if (!FileExists(source)) return;
  const FileResult copied = CopyFileAtomically(source, target);
  if (!copied) {
    s.log.WriteLog(copied.error);
    return;
  }
  std::error_code error;
  const auto saved = fs::last_write_time(source, error);
  if (!error) fs::last_write_time(target, saved, error);
  if (error) s.log.WriteLog("Cannot keep the date of \"" + target + "\": " + error.message());
}

bool Confirmed(System& s, const std::string& question) {
  return s.host.ask(question, Buttons::OkCancel) == Answer::Ok;
}

FileResult ReportedToOperator(System& s, FileResult result) {
  if (!result) {
    s.log.WriteLog(result.error);
    s.host.showError(result.error);
  }
  return result;
}

LocalDateTime ModifiedTime(const std::string& path) {
  LocalDateTime when;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return when;
  std::tm local{};
  if (!::localtime_r(&info.st_mtime, &local)) return when;
  when.year = local.tm_year + 1900;
  when.month = local.tm_mon + 1;
  when.day = local.tm_mday;
  when.hour = local.tm_hour;
  when.minute = local.tm_min;
  when.second = local.tm_sec;
  return when;
}

}  // namespace

FileResult SaveSettings(System& s) {
  const std::string path = StoreFile(s.paths, kSettingsFile);
  const FileResult written = WriteFileAtomically(path, FormatSettingsFile(s.fields, s.parser));
  if (!written) s.log.WriteLog("Settings not saved: " + written.error);
  WriteLanguageTemplate(s);
  return written;
}

void LoadSettings(System& s) {
  s.fields.setText(kImport, "eFileName", s.paths.programFolder + "example/CorvaneCNC.plt");
  const std::string path = StoreFile(s.paths, kSettingsFile);
  if (!FileExists(path)) return;
  const auto bytes = ReadWholeFile(path, kMaxSettingsFileBytes);
  if (!bytes) {
    s.log.WriteLog("Cannot read \"" + path + "\"");
    return;
  }
  ApplySettingsFile(*bytes, s.fields, s.parser);
  ReplaceOutOfRangeValues(s, *bytes);
  RunAfterLoadSteps(s);
}

std::optional<CloseMarks> ReadCloseMarks(const std::string& path) {
  const auto bytes = ReadWholeFile(path, kMaxSettingsFileBytes);
  if (!bytes) return std::nullopt;
  const std::vector<std::string> lines = SplitLines(Cp1250ToUtf8(*bytes));
  std::optional<bool> closed;
  std::optional<bool> closedBefore;
  bool mainSection = false;
  // Name and value lines in pairs, as the loader reads them.
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    const std::string& name = lines[i];
    const std::string& value = lines[i + 1];
    if (name == "1:" || name == "2:" || name == "3:") {
      mainSection = name == "1:";
      continue;
    }
    if (!mainSection || !name.starts_with('c') || (value != "0" && value != "1")) continue;
    const std::string folded = FoldCase(name);
    if (folded == "cclose") closed = value == "1";
    if (folded == "cclose2") closedBefore = value == "1";
  }
  if (!closed || !closedBefore) return std::nullopt;
  return CloseMarks{*closed, *closedBefore};
}

void ComputeDerivedValues(System& s) {
  s.job.ProjectOriginX = FieldLength(s, kMain, "xXM");
  s.job.ProjectOriginY = FieldLength(s, kMain, "xYM");
  s.job.ProjectOriginZ = FieldLength(s, kMain, "xZM");
  s.store.SoftLimitX = FieldLength(s, kConfig, "xLimitX");
  s.store.SoftLimitY = FieldLength(s, kConfig, "xLimitY");
  s.store.SoftLimitZ = FieldLength(s, kConfig, "xLimitZ");
}

void InstallStoreBehaviours(System& s) {
  // While settings load, the box only sets the flag; the operator's click first
  // saves every x-field in the old units, then shows them in the new ones.
  s.fields.addClickBehaviour(kConfig, "cImperial", [&s] {
    if (!s.loading) SaveSettings(s);
    s.parser.imperial = s.fields.checked(kConfig, "cImperial");
    if (s.loading) return;
    LoadSettings(s);
    s.host.requestRedraw();
  });
}

void RotateBackups(System& s) {
  s.log.WriteLog("Backup create");
  for (int n = 8; n >= 1; --n) CopyIfPresent(s, BackupName(n), BackupName(n + 1));
  CopyIfPresent(s, std::string(kSettingsFile), BackupName(1));
}

FileResult SaveDefaults(System& s) {
  if (FileResult saved = SaveSettings(s); !saved) return ReportedToOperator(s, saved);
  if (!Confirmed(s, s.messages[kMsgConfirmSaveDefaults])) return {};
  return ReportedToOperator(s, CopyFileAtomically(StoreFile(s.paths, kSettingsFile),
                                                  StoreFile(s.paths, kDefaultsFile)));
}

Restart RestoreDefaults(System& s) {
  if (s.RefusedWhileBusy()) return Restart::No;
  if (!Confirmed(s, "Are You Sure ?")) return Restart::No;
  const std::string defaults = StoreFile(s.paths, kDefaultsFile);
  const std::string settings = StoreFile(s.paths, kSettingsFile);
  // Without defaults the new instance starts from the built-in values.
  const FileResult done = FileExists(defaults) ? CopyFileAtomically(defaults, settings)
                                               : RemoveFile(settings);
  return ReportedToOperator(s, done) ? Restart::WithoutSaving : Restart::No;
}

std::vector<BackupFile> ShowBackups(const System& s) {
  std::vector<BackupFile> found;
  for (const char* name : kBackupNames) {
    const std::string path = StoreFile(s.paths, name);
    if (FileExists(path)) found.push_back({name, ModifiedTime(path)});
  }
  return found;
}

Restart RestoreBackup(System& s, const std::string& backupName) {
  if (s.RefusedWhileBusy()) return Restart::No;
  const bool listed = std::find(std::begin(kBackupNames), std::end(kBackupNames), backupName) !=
                      std::end(kBackupNames);
  const std::string backup = StoreFile(s.paths, backupName);
  if (!listed || !FileExists(backup)) return Restart::No;
  if (!Confirmed(s, "Are You Suere ?")) return Restart::No;
  if (!ReportedToOperator(s, CopyFileAtomically(backup, StoreFile(s.paths, kSettingsFile))))
    return Restart::No;
  const std::string lastGood = StoreFile(s.paths, kLastGoodJob);
  const std::string temp = StoreFile(s.paths, kTempJob);
  ReportedToOperator(s, FileExists(lastGood) ? CopyFileAtomically(lastGood, temp)
                                             : RemoveFile(temp));
  return Restart::WithoutSaving;
}

FileResult SaveLastGood(System& s, const AxisPosition& counters) {
  s.log.WriteLog("Save : LastGood");
  WriteCounterFields(s, counters);
  if (FileResult saved = SaveSettings(s); !saved) return saved;
  if (FileResult job = WriteJobFile(s, StoreFile(s.paths, kLastGoodJob)); !job) return job;
  const FileResult copied = CopyFileAtomically(StoreFile(s.paths, kSettingsFile),
                                               StoreFile(s.paths, kLastGoodSettings));
  if (!copied) s.log.WriteLog(copied.error);
  return copied;
}

void WriteCounterFields(System& s, const AxisPosition& counters) {
  s.fields.setText(kMain, "eTX", std::to_string(counters.x));
  s.fields.setText(kMain, "eTY", std::to_string(counters.y));
  s.fields.setText(kMain, "eTZ", std::to_string(counters.z));
  s.fields.setText(kMain, "eTA", std::to_string(counters.a));
}

std::vector<std::string> LanguageFiles(const std::string& programFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(programFolder + "lang", error)) {
    if (!entry.is_regular_file(error)) continue;
    if (FoldCase(entry.path().extension().string()) == ".pdf") continue;
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace corvane
