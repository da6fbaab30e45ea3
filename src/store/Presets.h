#pragma once
#include <string>
#include <string_view>

#include "ports/FileIo.h"

namespace corvane {

class FieldStore;
class NumberParser;
class ProgramLog;
class System;

// "par_" + the name with "/" as "%1" and then "." as "%2".
std::string PresetFileName(std::string_view presetName);
// The name a preset file shows in the list (at most 64 characters).
std::string PresetNameOf(std::string_view fileName);

// Ctrl+S: writes the seven cutting parameters under the name, unless the name
// is the placeholder text; then rebuilds the list. Failures go to the error box.
FileResult SavePreset(System& system, const std::string& presetName);
// Ctrl+D: true when a file was deleted (the box then shows the placeholder).
bool DeletePreset(System& system, const std::string& presetName);
// Choosing an entry: sets the seven fields; a missing file does nothing.
void LoadPreset(System& system, const std::string& presetName);
// Sets the main window's cutting parameters from a preset file's lines.
void ApplyPreset(std::string_view bytes, const std::string& presetName, FieldStore& fields,
                 const NumberParser& parser, ProgramLog& log);
// The list of the preset box from the store folder, sorted by file name.
void RebuildPresetList(System& system);
// Older names kept "." in the file name; they get the "%2" form.
void MigratePresetFiles(System& system);

// What a key typed into the preset box does.
enum class PresetKey { Discard, Accept, Save, Delete };
PresetKey FilterPresetKey(char key, bool busy);

}  // namespace corvane
