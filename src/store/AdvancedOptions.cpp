#include "store/AdvancedOptions.h"

#include <cmath>

#include "model/NumberParser.h"
#include "ports/FileIo.h"
#include "ports/ProgramLog.h"
#include "ports/TextCodec.h"

namespace corvane {
namespace {

constexpr std::string_view kGamepadPrefix = "Gamepad";
constexpr size_t kMaxAdvancedFileBytes = 1u << 20;

// Millimetres from the file as 0.01 mm.
std::int32_t Hundredths(const std::string& value, const NumberParser& parser) {
  const double scaled = std::round(parser.ParseFloat(value) * 100.0);
  if (scaled >= 2147483647.0) return 2147483647;
  if (scaled <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(scaled);
}

// The button bit written after "Gamepad": up to three digits; nullopt otherwise.
std::optional<std::int32_t> GamepadBit(std::string_view key) {
  const std::string_view digits = key.substr(kGamepadPrefix.size(), 3);
  if (digits.empty()) return std::nullopt;
  std::int32_t bit = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    bit = bit * 10 + (c - '0');
  }
  return bit;
}

void ApplyLine(const std::string& key, const std::string& value, AdvancedOptions& o,
               const NumberParser& parser, ProgramLog& log) {
  if (key == "MCodeOn") o.MCodeOn = value;
  else if (key == "MCodeOff") o.MCodeOff = value;
  else if (key == "title") o.title = value;
  else if (key == "show_err") {
    if (value == "0") o.showErrors = false;
    if (value == "2") o.referencingReminder = true;
  } else if (key == "AntyDive") o.AntyDive = Hundredths(value, parser);
  else if (key == "AutoWelding") o.AutoWelding = Hundredths(value, parser);
  else if (key == "CloseDxf") { if (value == "1") o.CloseDxf = true; }
  else if (key == "FuncF11") o.FuncF11 = parser.ParseInt1(value);
  else if (key == "FuncF12") o.FuncF12 = parser.ParseInt1(value);
  else if (key == "SpaceBar") { if (value == "disable") o.spaceBarDisabled = true; }
  else if (key == "HomingZ") { if (value == "disable") o.homingZDisabled = true; }
  else if (key == "AutoConnect") { if (value == "disable") o.autoConnectDisabled = true; }
  else if (key == "HommingSeq") o.HommingSeq = parser.ParseInt1(value);
  else if (key == "StatusVisible") { if (value == "0") o.statusVisible = false; }
  else if (key == "GCodeSignX") o.GCodeSignX = value;
  else if (key == "GCodeSignY") o.GCodeSignY = value;
  else if (key == "GCodeComment") o.GCodeComment = value;
  else if (key.starts_with(kGamepadPrefix)) {
    const auto bit = GamepadBit(key);
    if (!bit) log.WriteLog("\"" + key + "\" is not a game controller button!");
    o.gamepadSlots[static_cast<size_t>(GamepadSlotOf(bit.value_or(0)))] = parser.ParseInt1(value);
  }
}

}  // namespace

int GamepadSlotOf(std::int32_t buttonBit) {
  for (int slot = 1; slot <= 8; ++slot)
    if (buttonBit == (1 << (slot - 1))) return slot;
  return 0;
}

void ApplyAdvancedOptions(std::string_view bytes, AdvancedOptions& options,
                          const NumberParser& parser, ProgramLog& log) {
  options.AutoWelding = 3;
  options.HommingSeq = 1;
  options.AntyDive = 1000;
  options.GCodeSignX.clear();
  options.GCodeSignY.clear();
  options.GCodeComment.clear();
  for (const std::string& line : SplitLines(Cp1250ToUtf8(bytes))) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    ApplyLine(line.substr(0, equals), line.substr(equals + 1), options, parser, log);
  }
}

void ReadAdvancedOptions(const std::string& path, AdvancedOptions& options,
                         const NumberParser& parser, ProgramLog& log) {
  log.WriteLog("Read advanced file");
  const auto bytes = ReadWholeFile(path, kMaxAdvancedFileBytes);
  if (!bytes) log.WriteLog("Cannot read " + path);
  ApplyAdvancedOptions(bytes.value_or(std::string()), options, parser, log);
}

}  // namespace corvane
