#pragma once
#include <string>
#include <string_view>

#include "ports/FileIo.h"
#include "ports/MessageTable.h"
#include "store/WindowTexts.h"

namespace corvane {

class NumberParser;
class System;

// The template a translator starts from, in the profile's store folder.
inline constexpr std::string_view kLanguageTemplate = "lng.cmp";

// Keys of a language file that changed nothing, for the log.
struct LanguageFileReport {
  int applied = 0;
  int ignored = 0;
  std::string firstIgnored;  // the first such key and its section
};

// Applies the paired lines of a language file (Windows-1250) over the current
// texts: section 0 fills the message table, sections 1 to 3 set the captions
// and hints of the main, import and configuration windows. Every "$m" in a
// value becomes "in" or "mm" by the parser's unit flag, and message keys are
// read by its integer parser. Then the popup captions and the path view's hint
// follow the messages, and the second "Sort Sequence" label the first.
LanguageFileReport ApplyLanguageFile(std::string_view bytes, const NumberParser& parser,
                                     MessageTable& messages, WindowTexts& texts);

// The current texts in the language file format (Windows-1250, CR LF): every
// message that is not empty, then per window its labels, box captions and the
// hints that are not empty, each under a key the loader reads back.
std::string FormatLanguageTemplate(const MessageTable& messages, const WindowTexts& texts);

// Loads program folder "lang/" + name over the built-in English, so a file
// that lacks an entry leaves it in English, and tells the windows. A missing,
// unreadable or binary file is logged and changes nothing. False then.
bool LoadLanguage(System& system, const std::string& name);

// The file of an operator sound (sound::kAll) in a language: program folder
// "sounds/<language>/<name>.wav"; a language never chosen ("-" or empty) is English.
std::string OperatorSoundFile(const std::string& programFolder, const std::string& language,
                              std::string_view name);

// Writes "lng.cmp" from the current texts; a failure is logged and returned.
FileResult WriteLanguageTemplate(System& system);

// Start-up: a language never chosen ("-") becomes English; the language of
// eLng is loaded and shown in the configuration window's list.
void ApplyStartupLanguage(System& system);

// The unit switch reloads the language so that "$m" follows it; choosing from
// the language list loads the choice. Installed once at start, after the
// store's own behaviour of the unit switch.
void InstallLanguageBehaviours(System& system);

}  // namespace corvane
