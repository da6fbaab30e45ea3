#pragma once
#include <string>
#include <vector>
#include <string_view>

#include "store/FieldStore.h"

namespace corvane {

class NumberParser;

// The three sections of "store.fms" as file bytes (Windows-1250, CR LF).
// Imperial x-fields are written in millimetres.
std::string FormatSettingsFile(const FieldStore& fields, const NumberParser& parser);

// Applies the pairs of a settings file to the fields. Unknown names, names of
// another kind and pairs outside a section are skipped; a half pair at the end
// is dropped. The parser's imperial flag is read at every x-field, so a
// behaviour of cImperial that switches it affects the pairs after it.
void ApplySettingsFile(std::string_view bytes, FieldStore& fields, const NumberParser& parser);
// The name and value pairs of a settings file, each with the window its section names.
struct SettingsPair {
  Window window;
  std::string name;
  std::string value;
};
std::vector<SettingsPair> ReadSettingsPairs(std::string_view bytes);
// Sets one field from a value as the file would hold it (millimetres for x-fields).
void ApplySettingsValue(const std::string& name, const std::string& value, Window window,
                        FieldStore& fields, const NumberParser& parser);

// Rounds to a number of decimals with ties to the even neighbour.
double RoundHalfEven(double value, int decimals);

}  // namespace corvane
