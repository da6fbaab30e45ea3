// Hostile language files: any bytes must load without crashing or hanging, and
// the template of what was loaded must read back to the same texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/LanguageFile.h"

namespace {

using corvane::ControlKind;
using corvane::ControlText;
using corvane::Window;

// A text that still holds "$m" after loading (from "$$mm") would be replaced
// again when its template is read; every other text must come back as it was.
bool Comparable(const std::string& text) { return text.find("$m") == std::string::npos; }

// Built once: building the texts' name index costs more than reading a file.
const corvane::WindowTexts& BuiltIn() {
  static const corvane::WindowTexts texts;
  return texts;
}

bool Listed(const ControlText& control) {
  return control.kind != ControlKind::Page && control.kind != ControlKind::Button &&
         !((control.kind == ControlKind::Edit || control.kind == ControlKind::SpeedButton) &&
           control.text.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvane::FakeClock clock;
  corvane::SilentHost host;
  corvane::ProgramLog log{clock, nullptr};
  corvane::NumberParser parser{log, &host};
  // The first byte picks the unit system, so both replacements are exercised.
  parser.imperial = size > 0 && (data[0] & 1);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  corvane::MessageTable messages;
  corvane::WindowTexts texts = BuiltIn();
  corvane::ApplyLanguageFile(bytes, parser, messages, texts);

  const std::string written = corvane::FormatLanguageTemplate(messages, texts);
  corvane::MessageTable readMessages;
  corvane::WindowTexts readTexts = BuiltIn();
  const corvane::LanguageFileReport report =
      corvane::ApplyLanguageFile(written, parser, readMessages, readTexts);
  // Every key the template writes must be one the loader places.
  if (report.ignored != 0) __builtin_trap();
  for (int n = 0; n < corvane::MessageTable::kSize; ++n) {
    if (!messages[n].empty() && Comparable(messages[n]) && readMessages[n] != messages[n])
      __builtin_trap();
  }
  for (const Window window : {Window::Main, Window::Import, Window::Configuration}) {
    for (const ControlText& control : texts.controls(window)) {
      if (!Listed(control) || !Comparable(control.text)) continue;
      if (readTexts.text(window, control.name) != control.text) __builtin_trap();
    }
  }
  return 0;
}
