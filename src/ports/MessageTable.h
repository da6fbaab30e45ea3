#pragma once
#include <array>
#include <string>
#include <string_view>

namespace corvane {

// The captions of the windows' buttons, boxes, lists and dialogs that are no
// field of the settings: message numbers from kFirstCaption on, each with the
// built-in English the window is created with. A window shows the language's
// text in place of that English (ui::ShowCaptions).
struct CaptionText {
  int message;
  std::string_view english;
};
inline constexpr int kFirstCaption = 200;
inline constexpr CaptionText kCaptionTexts[] = {
    {200, "OK"},
    {201, "Cancel"},
    {202, "Yes"},
    {203, "No"},
    {210, "Help"},
    {211, "Manual"},
    {212, "Status"},
    {213, "Reset"},
    {214, "START"},
    {215, "STOP"},
    {216, "REVERSE"},
    {217, "Outline"},
    {218, "Angle"},
    {219, "Open Project"},
    {220, "Save Project"},
    {221, "Exit"},
    {222, "Analise"},
    {223, "Torch X"},
    {224, "Torch Y"},
    {225, "Torch Z"},
    {226, "Apply"},
    {227, "Material / Project position X"},
    {228, "One Click Jog Mode"},
    {229, "cancel"},
    {230, "Rectangular tube width [mm]"},
    {231, "Rectangular tube height [mm]"},
    {232, "Corner radius [mm]"},
    {233, "Round tube diameter [mm]"},
    {234, "Tube"},
    {235, "ON"},
    {236, "OFF"},
    {237, "Pos"},
    {238, "Configuration"},
    {239, "THC"},
    {240, "Import"},
    {241, "Status : OK"},
    {242, "Status : Check"},
    {243, "Machine not referenced!"},
    {244, "Z Axis not referenced!"},
    {245, "CTRL for REVERSE"},
    {246, "Maszyna nie jest zabazowana!"},
    {247, "Zostanie wykonana jazda referencyjna..."},
    {248, "Device is not Connected or USB Drivers error !"},
    {249, "SOFT LIMITS !!!"},
    {250, "Units and language"},
    {251, "Files"},
    {252, "Logs"},
    {253, "Special"},
    {254, "CREATE NEW PROFILE"},
    {255, "OPEN  PROFILES  FOLDER"},
    {256, "Create support File"},
    {257, "Load Config"},
    {258, "Backups Configuration"},
    {259, "Save All Setings as default"},
    {260, "Restore Default"},
    {261, "Special functions"},
    {262, "Material detection"},
    {263, "Cutting"},
    {264, "Inputs and outputs"},
    {265, "Plasma On/Off"},
    {266, "during work On"},
    {267, "On/Off Button"},
    {268, "Z axis Down"},
    {269, "Scriber / Marker"},
    {270, "Torch Up"},
    {271, "Start / Stop"},
    {272, "Torch Down"},
    {273, "ARC OK"},
    {274, "Alarm"},
    {275, "Modes"},
    {276, "Offsets"},
    {277, "Counters and password"},
    {278, "Park positions"},
    {279, "Drive gears"},
    {280, "XY motion"},
    {281, "Z motion"},
    {282, "A motion ( rotary )"},
    {283, "Soft limits"},
    {284, "Referencing"},
    {285, "Plasma interface ( THC )"},
    {286, "Drivers"},
    {287, "X axis"},
    {288, "Y axis"},
    {289, "Z axis"},
    {290, "Inputs ( NEG = normally closed )"},
    {291, "In 1"},
    {292, "In 2"},
    {293, "In 3"},
    {294, "In 4"},
    {295, "In 5"},
    {296, "In 6"},
    {297, "In 7"},
    {298, "In 8"},
    {299, "Fourth axis"},
    {300, "Not Active"},
    {301, "Inverted Y ( In1 Home )"},
    {302, "Inverted X ( In1 Home )"},
    {303, "Rotary Axis ( BETA )"},
    {304, "Game controller"},
    {305, "Controller board ( live inputs and outputs )"},
    {306, "Firmware"},
    {307, "bootloader"},
    {308, "compile"},
    {309, "RESTORE"},
    {310, "CANCEL"},
    {311, "Acceleration A ( RAMP )"},
    {312, "A safety speed"},
    {313, "Hand A speed"},
    {314, "A maximum speed"},
    {315, "X limit"},
    {316, "Y limit"},
    {317, "Z limit"},
    {318, "A Speed"},
    {319, "Revers"},
    {320, "[ ms ] Pointing limit"},
    {321, "Alarm text"},
    {330, "import"},
    {331, "Open..."},
    {332, "EX"},
    {333, "Date"},
    {334, "plasma"},
    {335, "Grav / Scriber / Marker"},
    {336, "Load"},
    {337, "Add"},
    {338, "Mirror X"},
    {339, "Mirror Y"},
    {340, "Scale"},
    {341, "DISABLE"},
    {342, "DELETE"},
    {343, "Handly"},
    {344, "Export"},
    {345, "LeadIn / LeadOut"},
    {346, "sort"},
    {347, "Send to job"},
    {348, "Current size"},
    {349, "Scaling to"},
    {350, "OK X"},
    {351, "OK Y"},
    {352, "Offset"},
    {353, "In"},
    {354, "Out"},
    {355, "Tool size"},
    {360, "Analysis"},
    {361, "Reload"},
    {362, "Open with the desktop's viewer"},
    {363, "Close"},
    {364, "New Profile"},
    {365, "Enter profile Name"},
    {366, "Log!"},
};

// The translatable texts of dialogs, prompts, status lines and captions, by
// index: a message key has three digits, so 0 to 999. A language file replaces them; until one is loaded the entries the program
// uses hold built-in English, so no dialog ever comes up blank.
struct MessageTable {
  static constexpr int kSize = 1000;
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
    for (const CaptionText& caption : kCaptionTexts)
      t[static_cast<size_t>(caption.message)] = caption.english;
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
