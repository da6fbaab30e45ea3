#include "store/LanguageFile.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "model/NumberParser.h"
#include "ports/TextCodec.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace corvane {
namespace {

constexpr Window kConfig = Window::Configuration;
// Thirty times a full translation; a bigger file is not a language file.
constexpr size_t kMaxLanguageFileBytes = 1u << 20;

struct Section {
  const char* marker;
  std::optional<Window> window;  // none: the message table
  const char* header;
};

constexpr Section kSections[] = {
    {"0:", std::nullopt, "--------------- Main Lang ---------------"},
    {"1:", Window::Main, "--------------- Main Window ---------------"},
    {"2:", Window::Import, "--------------- Import Window ---------------"},
    {"3:", Window::Configuration, "--------------- Configuration Window ---------------"},
};

// Which text a key's first letter replaces in a window; none where the
// window's letter table ignores it.
std::optional<ControlKind> KindForLetter(char letter, Window window) {
  const bool main = window == Window::Main;
  const bool import = window == Window::Import;
  const bool config = window == Window::Configuration;
  switch (letter) {
    case 'l': return ControlKind::Label;
    case 'e': return ControlKind::Edit;
    case 's': if (main || config) return ControlKind::SpeedButton; break;
    case 'b': if (main || config) return ControlKind::Button; break;
    case 'r': if (import || config) return ControlKind::Radio; break;
    case 'c': if (import || config) return ControlKind::CheckBox; break;
    case 't': if (config) return ControlKind::Page; break;
    default: break;
  }
  return std::nullopt;
}

char LowerFirst(const std::string& name) {
  const char c = name.front();
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The loader reads this control back from the key it is written under.
bool ReadableUnderItsName(const ControlText& control, Window window) {
  return !control.name.empty() && KindForLetter(LowerFirst(control.name), window) == control.kind;
}

bool WrittenToTemplate(const ControlText& control, Window window) {
  if (!ReadableUnderItsName(control, window)) return false;
  switch (control.kind) {
    case ControlKind::Label:
    case ControlKind::CheckBox:
    case ControlKind::Radio: return true;
    case ControlKind::Edit:
    case ControlKind::SpeedButton: return !control.text.empty();
    case ControlKind::Button:
    case ControlKind::Page: break;
  }
  return false;
}

// Keys count characters, not bytes; the text is valid UTF-8 after conversion.
size_t CharacterCount(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string FirstCharacters(std::string_view text, size_t count) {
  size_t end = 0;
  for (size_t seen = 0; end < text.size(); ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && seen++ == count) break;
  }
  return std::string(text.substr(0, end));
}

// One pass, so a long value full of placeholders costs no more than its length.
std::string WithUnit(const std::string& value, bool imperial) {
  const char* unit = imperial ? "in" : "mm";
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '$' && i + 1 < value.size() && value[i + 1] == 'm') {
      out += unit;
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

class LanguageReader {
 public:
  LanguageReader(const NumberParser& parser, MessageTable& messages, WindowTexts& texts)
      : parser_(parser), messages_(messages), texts_(texts) {}

  void apply(const std::string& key, const std::string& value) {
    for (const Section& section : kSections) {
      if (key == section.marker) {
        current_ = &section;
        return;
      }
    }
    const bool applied = current_->window ? applyControl(key, value, *current_->window)
                                          : applyMessage(key, value);
    if (applied)
      ++report_.applied;
    else
      ignore(key);
  }

  // Counts a key that changed nothing; the log names the first one, cut short
  // so that a junk line cannot flood it.
  void ignore(const std::string& key) {
    if (report_.ignored++ != 0) return;
    // Appended piece by piece: GCC 12 warns wrongly about "\"" + text.
    std::string first(1, '"');
    first += FirstCharacters(key, 40);
    first += "\" in section ";
    first += current_->marker;
    report_.firstIgnored = std::move(first);
  }

  const LanguageFileReport& report() const { return report_; }

 private:
  bool applyMessage(const std::string& key, const std::string& value) {
    if (CharacterCount(key) <= 2) return false;
    const std::int32_t index = parser_.ParseInt1(FirstCharacters(key, 3));
    if (index < 0 || index >= MessageTable::kSize) return false;
    messages_.texts[static_cast<size_t>(index)] = WithUnit(value, parser_.imperial);
    return true;
  }

  bool applyControl(const std::string& key, const std::string& value, Window window) {
    if (key.empty()) return false;
    const std::optional<ControlKind> kind = KindForLetter(LowerFirst(key), window);
    const ControlText* control = texts_.find(window, key);
    if (!kind || !control || control->kind != *kind) return false;
    return texts_.setText(window, key, WithUnit(value, parser_.imperial));
  }

  const NumberParser& parser_;
  MessageTable& messages_;
  WindowTexts& texts_;
  const Section* current_ = &kSections[0];
  LanguageFileReport report_;
};

// Control characters other than tab and line ends mark a binary file, whose
// junk lines would otherwise replace every text and log a line each.
bool IsText(std::string_view bytes) {
  return std::none_of(bytes.begin(), bytes.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
  });
}

// A name from the settings must stay inside the lang folder.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

void ShowLanguageInList(FieldStore& fields, const std::string& name) {
  const ChoiceValue* list = fields.findChoice(kConfig, "ComboBox1");
  if (!list) return;
  const auto it = std::find(list->items.begin(), list->items.end(), name);
  fields.showChoice(kConfig, "ComboBox1",
                    it == list->items.end() ? -1 : static_cast<int>(it - list->items.begin()));
}

void ReloadLanguage(System& s) { LoadLanguage(s, s.fields.text(kConfig, "eLng")); }

}  // namespace

LanguageFileReport ApplyLanguageFile(std::string_view bytes, const NumberParser& parser,
                                     MessageTable& messages, WindowTexts& texts) {
  const std::vector<std::string> lines = SplitLines(Cp1250ToUtf8(bytes));
  LanguageReader reader(parser, messages, texts);
  size_t i = 0;
  for (; i + 1 < lines.size(); i += 2) reader.apply(lines[i], lines[i + 1]);
  if (i < lines.size()) reader.ignore(lines[i]);
  texts.TakeMessageTexts(messages);
  texts.setText(Window::Import, "lSortSequence2", texts.text(Window::Import, "lSortSequence"));
  return reader.report();
}

std::string FormatLanguageTemplate(const MessageTable& messages, const WindowTexts& texts) {
  std::vector<std::string> lines;
  for (const Section& section : kSections) {
    lines.emplace_back(section.marker);
    lines.emplace_back(section.header);
    if (!section.window) {
      for (int n = 0; n < MessageTable::kSize; ++n) {
        if (messages[n].empty()) continue;
        char key[8];
        std::snprintf(key, sizeof key, "%3.3d", n);
        lines.emplace_back(key);
        lines.push_back(messages[n]);
      }
      continue;
    }
    for (const ControlText& control : texts.controls(*section.window)) {
      if (!WrittenToTemplate(control, *section.window)) continue;
      lines.push_back(control.name);
      lines.push_back(control.text);
    }
  }
  return Utf8ToCp1250(JoinLinesCrLf(lines));
}

bool LoadLanguage(System& s, const std::string& name) {
  if (!IsPlainFileName(name)) {
    s.log.WriteLog("Language \"" + name + "\" is not a file name; the texts stay as they are");
    return false;
  }
  const std::string path = s.paths.programFolder + "lang/" + name;
  if (!FileExists(path)) {
    s.log.WriteLog("Language file \"" + path + "\" not found; the texts stay as they are");
    return false;
  }
  const auto bytes = ReadWholeFile(path, kMaxLanguageFileBytes);
  if (!bytes) {
    s.log.WriteLog("Language file \"" + path +
                   "\" cannot be read or is over 1 MiB; the texts stay as they are");
    return false;
  }
  if (!IsText(*bytes)) {
    s.log.WriteLog("Language file \"" + path + "\" is not a text file; the texts stay as they are");
    return false;
  }
  s.messages = MessageTable{};
  s.texts.Reset();
  const LanguageFileReport report = ApplyLanguageFile(*bytes, s.parser, s.messages, s.texts);
  if (report.ignored > 0)
    s.log.WriteLog("Language file \"" + path + "\": " + std::to_string(report.ignored) +
                   " key(s) changed nothing, the first " + report.firstIgnored);
  s.texts.notifyChanged();
  return true;
}

std::string OperatorSoundFile(const std::string& programFolder, const std::string& language,
                              std::string_view name) {
  std::string file = programFolder + "sounds/";
  file += language.empty() || language == "-" ? std::string("English") : language;
  file += '/';
  file += name;
  file += ".wav";
  return file;
}

FileResult WriteLanguageTemplate(System& s) {
  const FileResult written = WriteFileAtomically(StoreFile(s.paths, kLanguageTemplate),
                                                 FormatLanguageTemplate(s.messages, s.texts));
  if (!written) s.log.WriteLog("Language template not saved: " + written.error);
  return written;
}

void ApplyStartupLanguage(System& s) {
  if (s.fields.text(kConfig, "eLng") == "-") s.fields.setText(kConfig, "eLng", "English");
  const std::string name = s.fields.text(kConfig, "eLng");
  LoadLanguage(s, name);
  ShowLanguageInList(s.fields, name);
}

void InstallLanguageBehaviours(System& s) {
  s.fields.addClickBehaviour(kConfig, "cImperial", [&s] {
    if (!s.loading) ReloadLanguage(s);
  });
  s.fields.addClickBehaviour(kConfig, "ComboBox1", [&s] { ReloadLanguage(s); });
}

}  // namespace corvane
