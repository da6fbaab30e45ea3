#include "store/FieldTables.h"

#include <array>

namespace corvane {
namespace {

constexpr FieldKind T = FieldKind::Text;
constexpr FieldKind C = FieldKind::CheckBox;
constexpr FieldKind R = FieldKind::Radio;
constexpr FieldState Shown = FieldState::Shown;
constexpr FieldState Hidden = FieldState::Hidden;
constexpr FieldState Disabled = FieldState::Disabled;

constexpr FieldSpec F(std::string_view name, FieldKind kind, std::string_view defaultValue,
                      std::string_view caption, FieldState state = Shown,
                      std::string_view group = {}) {
  return {name, kind, defaultValue, caption, state, group};
}

// Section 1 of the settings file. Pre-heat and milling fields start hidden;
// Oxygen Mode and Milling Mode show them.
constexpr FieldSpec kMainFields[] = {
    F("cClose", C, "0", "", Hidden),
    F("cClose2", C, "0", "", Hidden),
    F("xFeed", T, "2540", "[mm/min] Cutting speed"),
    F("eTime", T, "500", "[ms] Piercing time"),
    F("eVoltage", T, "0", "[V] Cutting height ( THC )"),
    F("xPierceH", T, "5.08", "[mm] Piercing height"),
    F("xCutH", T, "2.54", "[mm] Cutting height"),
    F("xFloatH", T, "12.7", "[mm] Floating height"),
    F("xFeed2", T, "1270", "[mm/min] Cutting speed 2"),
    F("ePreHeatTime", T, "5", "[s] Pre Heat Time", Hidden),
    F("xPreHeatHeight", T, "15.24", "[mm] Pre Heat height", Hidden),
    F("eTHC", T, "on", "", Hidden),
    F("xrB", T, "76.2", ""),
    F("xrH", T, "76.2", ""),
    F("xrR", T, "6.35", ""),
    F("xrD", T, "76.2", ""),
    F("cpipe", C, "0", "", Hidden),
    F("eMarkerTime", T, "500", "[ms] Marker delay time", Hidden),
    F("xMarkerSpeed", T, "1000", "Marker Speed", Hidden),
    F("Edit1", T, "5", "", Hidden),
    F("xDepth", T, "10.16", "Milling depth", Hidden),
    F("xDepthP", T, "2.54", "Partial depth", Hidden),
    F("xX", T, "1000", "X"),
    F("xY", T, "1000", "Y"),
    F("xZ", T, "1000", "Z"),
    F("eTX", T, "0", "", Hidden),
    F("eTY", T, "0", "", Hidden),
    F("eTZ", T, "0", "", Hidden),
    F("xXM", T, "20", "Material / Project position"),
    F("xYM", T, "20", ""),
    F("xZM", T, "20", ""),
    F("eTA", T, "0", "", Hidden),
    F("xJogDist", T, "0", "XY Jog distance"),
    F("cOneClickJogMode", C, "0", "One Click Jog Mode"),
};

// Section 2. The offset side and the sort order are radio groups.
constexpr FieldSpec kImportFields[] = {
    F("cCalc", C, "1", "Use Pellary"),
    F("cOffsetActive", C, "0", "Offset"),
    F("rOutside", R, "1", "Outside", Shown, "offset"),
    F("rInside", R, "0", "Inside", Shown, "offset"),
    F("eOffset", T, "10", "", Hidden),
    F("cLeadIn", C, "0", "LeadIn"),
    F("eLead", T, "3", "", Hidden),
    F("cLeadOut", C, "0", "LeadOut"),
    F("cLeadOut2", C, "0", "LeadOut2", Hidden),
    F("cLeadIn2", C, "0", "LeadIn2", Hidden),
    F("rSort2", R, "0", "", Shown, "sort"),
    F("rSort3", R, "0", "", Shown, "sort"),
    F("rSort1", R, "1", "", Shown, "sort"),
    F("rSort4", R, "0", "", Shown, "sort"),
    F("eSort", T, "-1", "", Hidden),
    F("rSort5", R, "0", "", Shown, "sort"),
    F("rSort0", R, "0", "Disable", Shown, "sort"),
    F("eSortH", T, "-1", "", Disabled),
    F("eScaleHPGL", T, "1", "HPGL ( *.plt )"),
    F("eScaleDXF", T, "1", "DXF ( *.dxf )"),
    F("eScaleTAP", T, "1", "GCODE ( *.tap; *.txt )"),
    F("cSpaw", C, "0", "connect paths"),
    F("eInOut", T, "4", "LeadIn / LeadOut"),
    F("xThick", T, "7.62", "material thickness"),
    F("xAreaX", T, "0", "Show Area X Y"),
    F("xAreaY", T, "0", ""),
    F("cDXFForceMM", C, "0", "Force [ mm ]"),
    F("xDist", T, "0", ""),
    F("cOpenDetect", C, "0", "detect inners inside open path"),
    F("cUn", C, "0", "", Hidden),
    F("cDXFForceINCH", C, "0", "Force [ inch ]"),
    F("cFastCalc", C, "0", "Fast Processing"),
    F("cNumb", C, "1", "Show Numbers"),
    F("eFileName", T, "", "", Hidden),
    F("eScale", T, "1", "Scaling to"),
    F("Edit1", T, "0", "", Hidden),
    F("cDateTime", C, "0", "", Hidden),
};

constexpr std::string_view kElectronics = "Electronics";
constexpr std::string_view kMachine = "Machine";
constexpr std::string_view kFunctions = "Functions";
constexpr std::string_view kProgram = "Program";

// Section 3, page by page.
constexpr FieldSpec kConfigurationFields[] = {
    F("eDV", T, "1:1", "Voltage Divider", Hidden, kElectronics),
    F("eVcal", T, "100", "Voltage Calibration [%]", Shown, kElectronics),
    F("eVmin", T, "40", "Range of Voltage [V]", Hidden, kElectronics),
    F("eVmax", T, "200", "", Hidden, kElectronics),
    F("cInterface", C, "0", "Enabled", Shown, kElectronics),
    F("eTHCspeed", T, "90", "0-100", Shown, kElectronics),
    F("cArcOk", C, "0", "Waiting for ARC OK", Shown, kElectronics),
    F("eAcal", T, "100", "Current Sensor Cal [%]", Hidden, kElectronics),
    F("xTransferH", T, "7.62", "Maximum Transfer Height", Shown, kElectronics),
    F("eStepX", T, "3", "", Hidden, kElectronics),
    F("eStepY", T, "3", "", Hidden, kElectronics),
    F("eStepZ", T, "1", "", Hidden, kElectronics),
    F("cReversX", C, "0", "revers", Shown, kElectronics),
    F("cReversY", C, "0", "revers", Shown, kElectronics),
    F("cReversZ", C, "0", "revers", Shown, kElectronics),
    F("cReversP", C, "0", "revers", Hidden, kElectronics),
    F("eStepP", T, "5", "", Hidden, kElectronics),
    F("eFuncP", T, "0", "", Hidden, kElectronics),
    F("cNeg1", C, "0", "NEG(NC):", Shown, kElectronics),
    F("cNeg2", C, "0", "", Shown, kElectronics),
    F("cNeg3", C, "0", "", Shown, kElectronics),
    F("cNeg4", C, "0", "", Shown, kElectronics),
    F("cNeg5", C, "0", "", Shown, kElectronics),
    F("cNeg6", C, "0", "", Shown, kElectronics),
    F("cNeg7", C, "0", "", Shown, kElectronics),
    F("cNeg8", C, "0", "", Shown, kElectronics),
    F("eVer", T, "1.2.1", "", Hidden, kElectronics),
    F("cType2", C, "1", "Type 2", Shown, kElectronics),
    F("cGamepad", C, "1", "Active", Disabled, kElectronics),

    F("xMoveX", T, "38.1", "X Axis move per motor rev [ mm ]", Shown, kMachine),
    F("xMoveY", T, "38.1", "Y Axis move per motor rev [ mm ]", Shown, kMachine),
    F("xMoveZ", T, "6.35", "Z Axis move per motor rev [ mm ]", Shown, kMachine),
    F("eGearA", T, "5", "Rotary Gear", Disabled, kMachine),
    F("xFeedMaxZ", T, "2540", "Z maximum speed [mm/min]", Shown, kMachine),
    F("eAccZ", T, "20", "Acceleration Z ( RAMP )", Shown, kMachine),
    F("xFeedhZ", T, "1016", "Hand Z speed [mm/min]", Shown, kMachine),
    F("xFeedMinZ", T, "508", "Z safety speed [mm/min]", Shown, kMachine),
    F("xFeedMaxXY", T, "10160", "XY maximum speed [mm/min]", Shown, kMachine),
    F("xFeedhXY", T, "2540", "Hand XY speed [mm/min]", Shown, kMachine),
    F("xFeedMinXY", T, "762", "XY safety speed [mm/min]", Shown, kMachine),
    F("eAccXY", T, "20", "Acceleration XY ( RAMP )", Shown, kMachine),
    F("eAccA", T, "20", "", Shown, kMachine),
    F("xFeedMinA", T, "762", "", Shown, kMachine),
    F("xFeedhA", T, "1016", "", Shown, kMachine),
    F("xFeedMaxA", T, "10160", "", Shown, kMachine),
    F("xLimitX", T, "1270", "", Shown, kMachine),
    F("xLimitY", T, "2540", "", Shown, kMachine),
    F("xLimitZ", T, "101.6", "", Shown, kMachine),
    F("cLimits", C, "0", "Axis Soft Limits", Shown, kMachine),
    F("cHomingY", C, "0", "Revers", Shown, kMachine),
    F("cHomingX", C, "0", "Revers", Shown, kMachine),
    F("xHomingX", T, "1016", "X Speed [mm/min]", Shown, kMachine),
    F("xHomingY", T, "1016", "Y Speed [mm/min]", Shown, kMachine),
    F("xHomingZ", T, "508", "Z Speed [mm/min]", Shown, kMachine),
    F("cHoming", C, "0", "Active Home Switches", Shown, kMachine),
    F("xHomingA", T, "508", "", Shown, kMachine),
    F("cHomingA", C, "0", "", Hidden, kMachine),
    F("eAoffset", T, "-10", "A   offset:", Shown, kMachine),
    F("cRef", C, "0", "", Hidden, kMachine),

    F("cFloating", C, "0", "Floating head switch", Shown, kFunctions),
    F("xCor2", T, "3.81", "switch correction [ mm ]", Shown, kFunctions),
    F("xDetectionH", T, "12.7", "detection height", Shown, kFunctions),
    F("xDetectionS", T, "508", "detection speed", Shown, kFunctions),
    F("cOhmic", C, "0", "Ohmic Sensor", Shown, kFunctions),
    F("xCor1", T, "0.254", "correction", Shown, kFunctions),
    F("xSmall", T, "25.4", "for ojects smaller that [ mm ]", Shown, kFunctions),
    F("eSpec1", T, "0", "[ ms / mm ] Pointing", Shown, kFunctions),
    F("eSpec1a", T, "5", "", Shown, kFunctions),
    F("eSpec2", T, "40", "[ deg ] Critical angle", Hidden, kFunctions),
    F("eSpec3", T, "0", "[mm] Next sense distance", Shown, kFunctions),
    F("eSpec4", T, "0", "Piercing count", Disabled, kFunctions),
    F("eSpec5", T, "", "Setup Password", Shown, kFunctions),
    F("eSpec6", T, "0", "Cutting count time [min]", Disabled, kFunctions),
    F("eSpec7", T, "0", "", Hidden, kFunctions),
    F("cSpec1", C, "0", "Oxygen Mode", Shown, kFunctions),
    F("eSpec8", T, "1", "", Hidden, kFunctions),
    F("eSpec9", T, "2", "", Hidden, kFunctions),
    F("eSpec10", T, "0", "", Hidden, kFunctions),
    F("eSpec11", T, "0", "", Hidden, kFunctions),
    F("cSpec2", C, "0", "High Speed THC", Shown, kFunctions),
    F("cSpec4", C, "1", "Shorten rotation", Shown, kFunctions),
    F("xSpec8", T, "0", "Laser pointer offset", Shown, kFunctions),
    F("xSpec9", T, "0", "", Shown, kFunctions),
    F("xSpec10", T, "203.2", "Offset of X reference", Shown, kFunctions),
    F("cSpec5", C, "0", "OHIMC Auto Blowing out", Shown, kFunctions),
    F("cSpec6", C, "0", "ARC Auto Restarting", Shown, kFunctions),
    F("cSpec3", C, "1", "Smooth", Hidden, kFunctions),
    F("xSpec11", T, "0", "Scriber/Marker offset", Shown, kFunctions),
    F("xSpec12", T, "0", "", Shown, kFunctions),
    F("xSpec13", T, "12.7", "Scriber/Marker working height", Shown, kFunctions),
    F("cSpec1a", C, "0", "Milling Mode", Shown, kFunctions),
    F("xBacklash", T, "2.54", "Backlash Test", Shown, kFunctions),
    F("eSpec12", T, "0", "Delay before START [ms]", Shown, kFunctions),
    F("cSounds", C, "0", "Sounds", Shown, kFunctions),
    F("eAlarm", T, "ALARM", "", Hidden, kFunctions),
    F("ef1z", T, "max", "F1", Shown, kFunctions),
    F("ef1y", T, "", "", Shown, kFunctions),
    F("eF1x", T, "", "", Shown, kFunctions),
    F("eF2x", T, "", "F2", Shown, kFunctions),
    F("eF2y", T, "", "", Shown, kFunctions),
    F("eF2z", T, "+1", "", Shown, kFunctions),
    F("eF3x", T, "", "F3", Shown, kFunctions),
    F("eF3y", T, "", "", Shown, kFunctions),
    F("eF3z", T, "max", "", Shown, kFunctions),
    F("eF4x", T, "", "F4", Shown, kFunctions),
    F("eF4y", T, "", "", Shown, kFunctions),
    F("eF4z", T, "max", "", Shown, kFunctions),
    F("eENDy", T, "", "Finish", Shown, kFunctions),
    F("eENDz", T, "", "", Shown, kFunctions),
    F("eENDx", T, "", "", Shown, kFunctions),
    F("eSTARTx", T, "", "Start", Shown, kFunctions),
    F("eSTARTy", T, "", "", Shown, kFunctions),
    F("eSTARTz", T, "", "", Shown, kFunctions),

    F("eLng", T, "-", "", Hidden, kProgram),
    F("cImperial", C, "0", "Imperial system ( INCHES )", Shown, kProgram),
    F("eTabSheet", T, "3", "", Hidden, kProgram),
};

constexpr std::string_view kDividerItems[] = {"1:1", "20:1", "50:1"};
constexpr std::string_view kStepItems[] = {
    "400 ( 1 / 2 )",       "800 ( 1 / 4 )",       "1600 ( 1 / 8 )",      "3200 ( 1 / 16 )",
    "6400 ( 1 / 32 )",     "12800 ( 1 / 64 )",    "25600 ( 1 / 128 )",   "51200 ( 1 / 256 )",
    "1000  ( 1 / 5 )",     "2000  ( 1 / 10 )",    "5000  ( 1 / 25 )",    "10000  ( 1 / 50 )",
    "25000  ( 1 / 125 )",  "50000  ( 1 / 250 )",  "20000 ( 1 / 100 )"};
constexpr std::string_view kFunctionItems[] = {"Not Active", "Inverted Y ( In1 Home )",
                                               "Inverted X ( In1 Home )",
                                               "Rotary Axis ( BETA )"};
constexpr std::string_view kOutItems[] = {"n/a",           "Plasma On/Off", "during work On",
                                          "On/Off Button", "Z axis Down",   "Scriber / Marker"};
constexpr std::string_view kIn1Items[] = {"n/a", "Torch Up", "Start / Stop"};
constexpr std::string_view kIn2Items[] = {"n/a", "Torch Down", "ARC OK", "Start / Stop",
                                          "Alarm"};

constexpr ChoiceSpec kConfigurationChoices[] = {
    {"cDV", "eDV", true, "Voltage Divider", kDividerItems, kElectronics},
    {"cOut1", "eSpec8", false, "Out1 Mode", kOutItems, kFunctions},
    {"cOut2", "eSpec9", false, "Out2 Mode", kOutItems, kFunctions},
    {"cIn1", "eSpec10", false, "In1 Mode", kIn1Items, kFunctions},
    {"cIn2", "eSpec11", false, "In2 Mode", kIn2Items, kFunctions},
    {"cStepX", "eStepX", false, "Step per rev", kStepItems, kElectronics},
    {"cStepY", "eStepY", false, "Step per rev", kStepItems, kElectronics},
    {"cStepZ", "eStepZ", false, "Step per rev", kStepItems, kElectronics},
    {"cStepP", "eStepP", false, "Step per rev", kStepItems, kElectronics},
    {"cFunctionP", "eFuncP", false, "Function ' axis", kFunctionItems, kElectronics},
    {"ComboBox1", "eLng", true, "Language", {}, kProgram},
};

constexpr std::string_view kPages[] = {kElectronics, kMachine, kFunctions, kProgram};

}  // namespace

std::span<const FieldSpec> FieldsOf(Window window) {
  switch (window) {
    case Window::Main: return kMainFields;
    case Window::Import: return kImportFields;
    case Window::Configuration: return kConfigurationFields;
    case Window::Analysis: break;
  }
  return {};
}

std::span<const ChoiceSpec> ChoiceListsOf(Window window) {
  if (window == Window::Configuration) return kConfigurationChoices;
  return {};
}

std::span<const std::string_view> ConfigurationPages() { return kPages; }

}  // namespace corvane
