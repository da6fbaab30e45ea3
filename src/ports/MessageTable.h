#pragma once
#include <array>
#include <string>

namespace corvane {

// The translatable texts of dialogs, prompts and status lines, by index.
// A language file replaces them; until one is loaded the entries the program
// uses hold built-in English, so no dialog ever comes up blank.
struct MessageTable {
  static constexpr int kSize = 128;
  std::array<std::string, kSize> texts = BuiltInEnglish();

  static std::array<std::string, kSize> BuiltInEnglish() {
    std::array<std::string, kSize> t;
    t[1] = "The file already exists. Overwrite it ?";
    t[2] = "No USB device";
    t[3] = "USB port error";
    t[4] = "Disconnected";
    t[5] = "Controller firmware";
    t[6] = "Update the firmware to";
    t[7] = "Connected";
    t[8] = "Working time: ";
    t[9] = "Preset name";
    t[10] = "Offline - click to connect";
    t[11] = "Connecting...";
    t[12] = "NOT CONNECTED";
    t[13] = "Left button: pick a contour";
    t[14] = "Right button: move and cut menu";
    t[15] = "Import: ";
    t[16] = "The support file is on the desktop.";
    t[101] = "Move here";
    t[102] = "Cut All from this object";
    t[103] = "Cut From This Point";
    t[104] = "Move [0,0]";
    t[105] = "Cut line to here";
    t[106] = "Cancel";
    t[107] = "Setup";
    t[108] = "Password";
    t[109] = "Cut line from here";
    t[110] = "Save all settings as the defaults ?";
    t[111] = "Wrong password";
    return t;
  }

  // Empty for an index outside the table.
  const std::string& operator[](int index) const {
    static const std::string kNone;
    return index >= 0 && index < kSize ? texts[static_cast<size_t>(index)] : kNone;
  }
};

// Indices of the messages the store uses.
inline constexpr int kMsgOverwriteProject = 1;
inline constexpr int kMsgPresetPlaceholder = 9;
inline constexpr int kMsgConfirmSaveDefaults = 110;

}  // namespace corvane
