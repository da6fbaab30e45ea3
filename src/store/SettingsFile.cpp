#include "store/SettingsFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "model/NumberParser.h"
#include "ports/TextCodec.h"

namespace corvane {
namespace {

constexpr double kMmPerInch = 25.4;

struct Section {
  Window window;
  const char* marker;
  const char* header;
};

constexpr Section kSections[] = {
    {Window::Main, "1:", "---------- Main Window ----------"},
    {Window::Import, "2:", "---------- Import Window ----------"},
    {Window::Configuration, "3:", "---------- Configuration Window ----------"},
};

bool HasPercent(const std::string& text) { return text.find('%') != std::string::npos; }

// A line break inside a value would shift every later pair; it is saved as a space.
std::string OneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

// The value line of one field.
std::string ValueLine(const FieldValue& field, Window window, const NumberParser& parser) {
  if (field.definition->kind != FieldKind::Text) return field.checked ? "1" : "0";
  const bool converted = parser.imperial && field.definition->name.front() == 'x' &&
                         !(window == Window::Main && HasPercent(field.text));
  if (!converted) return OneLine(field.text);
  // Millimetres keep 4 decimals: 3.937008 in is stored as 100, not 100.0000032,
  // so switching units there and back leaves the millimetres as they were.
  return NumberParser::FloatToText(RoundHalfEven(parser.ParseFloat(field.text) * kMmPerInch, 4));
}

// How the loader treats a name, by the first letter as written and the section.
enum class Treatment { Ignore, Text, Converted, Check };

Treatment TreatmentOf(char first, Window window) {
  switch (first) {
    case 'e': return Treatment::Text;
    case 'E': return window == Window::Import ? Treatment::Text : Treatment::Ignore;
    case 'x': return Treatment::Converted;
    case 'c': return Treatment::Check;
    case 'r': return window == Window::Import ? Treatment::Check : Treatment::Ignore;
    default: return Treatment::Ignore;
  }
}

// Millimetres from the file shown in the current unit system.
std::string DisplayText(const std::string& value, Window window, const NumberParser& parser) {
  if (window == Window::Main && HasPercent(value)) return value;
  const double mm = parser.ParseFloat(value);
  return NumberParser::FloatToText(parser.imperial ? RoundHalfEven(mm / kMmPerInch, 6)
                                          : RoundHalfEven(mm, 4));
}

void ApplyPair(const std::string& name, const std::string& value, Window window,
               FieldStore& fields, const NumberParser& parser) {
  const FieldValue* field = fields.find(window, name);
  if (!field || name.empty()) return;
  const Treatment treatment = TreatmentOf(name.front(), window);
  const bool isText = field->definition->kind == FieldKind::Text;
  switch (treatment) {
    case Treatment::Ignore: return;
    case Treatment::Text:
      if (isText) fields.setText(window, name, value);
      return;
    case Treatment::Converted:
      if (isText) fields.setText(window, name, DisplayText(value, window, parser));
      return;
    case Treatment::Check: {
      if (isText) return;
      const bool checked = value == "1";
      const bool wasChecked = field->checked;
      if (checked == wasChecked) return;
      fields.setChecked(window, name, checked);
      // A loaded value clicks the box as the operator would; unchecking a radio
      // button is not a click.
      if (field->definition->kind == FieldKind::CheckBox || checked)
        fields.runClickBehaviour(window, name);
      return;
    }
  }
}

}  // namespace

double RoundHalfEven(double value, int decimals) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e15) return value;
  const double scale = std::pow(10.0, decimals);
  return std::nearbyint(value * scale) / scale;
}

std::string FormatSettingsFile(const FieldStore& fields, const NumberParser& parser) {
  std::vector<std::string> lines;
  for (const Section& section : kSections) {
    lines.emplace_back(section.marker);
    lines.emplace_back(section.header);
    for (const FieldValue& field : fields.fields(section.window)) {
      lines.emplace_back(field.definition->name);
      lines.push_back(ValueLine(field, section.window, parser));
    }
  }
  return Utf8ToCp1250(JoinLinesCrLf(lines));
}

std::vector<SettingsPair> ReadSettingsPairs(std::string_view bytes) {
  const std::vector<std::string> lines = SplitLines(Cp1250ToUtf8(bytes));
  std::vector<SettingsPair> pairs;
  std::optional<Window> current;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    const std::string& name = lines[i];
    const std::string& value = lines[i + 1];
    bool marker = false;
    for (const Section& section : kSections) {
      if (name == section.marker) {
        current = section.window;
        marker = true;
      }
    }
    if (!marker && current) pairs.push_back({*current, name, value});
  }
  return pairs;
}

void ApplySettingsFile(std::string_view bytes, FieldStore& fields, const NumberParser& parser) {
  for (const SettingsPair& pair : ReadSettingsPairs(bytes))
    ApplyPair(pair.name, pair.value, pair.window, fields, parser);
}

void ApplySettingsValue(const std::string& name, const std::string& value, Window window,
                        FieldStore& fields, const NumberParser& parser) {
  ApplyPair(name, value, window, fields, parser);
}

}  // namespace corvane
