#include "store/Presets.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "ports/TextCodec.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace fs = std::filesystem;

namespace corvane {
namespace {

constexpr std::string_view kPrefix = "par_";
constexpr size_t kMaxShownName = 64;
constexpr size_t kMaxPresetFileBytes = 64u * 1024u;

struct PresetField {
  const char* name;
  bool converted;  // x-field: stored in millimetres
};

// The order of the seven lines of a preset file.
constexpr PresetField kPresetFields[] = {
    {"xFeed", true},     {"xFeed2", true},   {"xCutH", true},  {"eVoltage", false},
    {"xPierceH", true},  {"eTime", false},   {"xFloatH", true},
};

std::string ReplaceAll(std::string text, std::string_view what, std::string_view by) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size()))
    text.replace(at, what.size(), by);
  return text;
}

// The preset files of the store folder, by name.
std::vector<std::string> PresetFiles(const System& s) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(s.paths.storeFolder(), error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(error) || !name.starts_with(kPrefix) || IsUnfinishedWrite(name))
      continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string PresetPath(const System& s, const std::string& presetName) {
  return StoreFile(s.paths, PresetFileName(presetName));
}

bool IsPlaceholder(const System& s, const std::string& presetName) {
  return presetName.empty() || presetName == s.messages[kMsgPresetPlaceholder];
}

}  // namespace

std::string PresetFileName(std::string_view presetName) {
  return std::string(kPrefix) + ReplaceAll(ReplaceAll(std::string(presetName), "/", "%1"), ".", "%2");
}

std::string PresetNameOf(std::string_view fileName) {
  const std::string slashes = ReplaceAll(std::string(fileName), "%1", "/");
  const std::string shown = slashes.size() > kPrefix.size()
                                ? slashes.substr(kPrefix.size(), kMaxShownName)
                                : std::string();
  return ReplaceAll(shown, "%2", ".");
}

FileResult SavePreset(System& s, const std::string& presetName) {
  if (IsPlaceholder(s, presetName)) return {};
  std::vector<std::string> lines;
  for (const PresetField& field : kPresetFields) {
    const std::string& text = s.fields.text(Window::Main, field.name);
    lines.push_back(field.converted ? s.parser.FromDisplayUnits(text) : text);
  }
  const FileResult written =
      WriteFileAtomically(PresetPath(s, presetName), Utf8ToCp1250(JoinLinesCrLf(lines)));
  if (!written) {
    s.log.WriteLog(written.error);
    s.host.showError(written.error);
  }
  RebuildPresetList(s);
  return written;
}

bool DeletePreset(System& s, const std::string& presetName) {
  const std::string path = PresetPath(s, presetName);
  if (!FileExists(path)) return false;
  const FileResult removed = RemoveFile(path);
  if (!removed) s.log.WriteLog(removed.error);
  RebuildPresetList(s);
  return static_cast<bool>(removed);
}

void LoadPreset(System& s, const std::string& presetName) {
  const std::string path = PresetPath(s, presetName);
  if (!FileExists(path)) return;
  const auto bytes = ReadWholeFile(path, kMaxPresetFileBytes);
  if (!bytes) s.log.WriteLog("Cannot read \"" + path + "\"");
  ApplyPreset(bytes.value_or(std::string()), presetName, s.fields, s.parser, s.log);
}

void ApplyPreset(std::string_view bytes, const std::string& presetName, FieldStore& fields,
                 const NumberParser& parser, ProgramLog& log) {
  const std::vector<std::string> lines = SplitLines(Cp1250ToUtf8(bytes));
  const size_t count = std::min(lines.size(), std::size(kPresetFields));
  if (count < std::size(kPresetFields))
    log.WriteLog("Preset \"" + presetName + "\" holds " + std::to_string(count) + " of 7 values");
  for (size_t i = 0; i < count; ++i) {
    const PresetField& field = kPresetFields[i];
    fields.setText(Window::Main, field.name,
                   field.converted ? parser.ToDisplayUnits(lines[i]) : lines[i]);
  }
}

void RebuildPresetList(System& s) {
  s.store.presetNames.clear();
  for (const std::string& file : PresetFiles(s)) s.store.presetNames.push_back(PresetNameOf(file));
}

void MigratePresetFiles(System& s) {
  for (const std::string& file : PresetFiles(s)) {
    if (file.find('.') == std::string::npos) continue;
    std::error_code error;
    fs::rename(StoreFile(s.paths, file), StoreFile(s.paths, ReplaceAll(file, ".", "%2")), error);
    if (error) s.log.WriteLog("Cannot rename \"" + file + "\": " + error.message());
  }
}

PresetKey FilterPresetKey(char key, bool busy) {
  constexpr char kBackspace = 8, kCtrlS = 19, kCtrlD = 4;
  if (busy) return PresetKey::Discard;
  if (key == kCtrlS) return PresetKey::Save;
  if (key == kCtrlD) return PresetKey::Delete;
  // ASCII only, whatever locale the program runs in.
  const bool letter = (key >= 'a' && key <= 'z') || (key >= 'A' && key <= 'Z');
  const bool digit = key >= '0' && key <= '9';
  if (letter || digit || key == ' ' || key == '-' || key == '.' || key == '/' || key == '_' ||
      key == kBackspace)
    return PresetKey::Accept;
  return PresetKey::Discard;
}

}  // namespace corvane
