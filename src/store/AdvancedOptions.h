#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class NumberParser;
class ProgramLog;

// Action codes of F11, F12 and the game-controller buttons.
enum ActionCode : std::int32_t {
  kActionNone = 0,
  kActionToggleOut1 = 1,
  kActionToggleOut2 = 2,
  kActionTraceOutline = 3,
  kActionStopAll = 4,
};

// The options of the hand-edited "advanced.txt", read once at start-up.
struct AdvancedOptions {
  std::string MCodeOn;
  std::string MCodeOff;
  std::optional<std::string> title;  // replaces the whole window caption
  bool showErrors = true;            // "Machine not referenced!" warnings and prompts
  bool referencingReminder = false;  // show_err=2
  std::int32_t AntyDive = 1000;      // 0.01 mm
  std::int32_t AutoWelding = 3;      // 0.01 mm
  bool CloseDxf = false;
  std::int32_t FuncF11 = kActionNone;
  std::int32_t FuncF12 = kActionNone;
  bool spaceBarDisabled = false;
  bool homingZDisabled = false;
  bool autoConnectDisabled = false;
  std::int32_t HommingSeq = 1;  // 1: X before Y
  bool statusVisible = true;
  std::string GCodeSignX;
  std::string GCodeSignY;
  std::string GCodeComment;
  // Action code per game-controller slot 1..8; slot 0 collects unmapped buttons.
  std::array<std::int32_t, 9> gamepadSlots{};
};

// Slot of a game-controller button bit value (1, 2, 4, ... 128 -> 1..8); 0 for anything else.
int GamepadSlotOf(std::int32_t buttonBit);

// Applies the lines of an advanced options file. The numeric options that the
// file sets absolutely are reset first; the flags and the M codes are not.
void ApplyAdvancedOptions(std::string_view bytes, AdvancedOptions& options,
                          const NumberParser& parser, ProgramLog& log);

// Start-up: logs "Read advanced file" and applies the profile's file. A missing
// or unreadable file leaves every option at its default.
void ReadAdvancedOptions(const std::string& path, AdvancedOptions& options,
                         const NumberParser& parser, ProgramLog& log);

}  // namespace corvane
