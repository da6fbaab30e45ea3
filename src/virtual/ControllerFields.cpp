#include "virtual/ControllerFields.h"

#include <cstdio>

#include "store/FieldValues.h"
#include "system/System.h"
#include "system/Version.h"
#include "virtual/ControllerSetup.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

ThcFields ReadThcFields(const System& s) {
  const auto& f = s.fields;
  ThcFields t;
  t.pierceTime = FieldInteger(s, kMain, "eTime");
  t.targetVoltage = FieldInteger(s, kMain, "eVoltage");
  t.voltageCalibration = FieldInteger(s, kConfig, "eVcal");
  t.divider = f.text(kConfig, "eDV");
  t.thcSpeed = f.text(kConfig, "eTHCspeed");
  t.feed = FieldSpeed(s, kMain, "xFeed");
  t.highSpeedThc = f.checked(kConfig, "cSpec2");
  t.ohmicSensor = f.checked(kConfig, "cOhmic");
  t.interfaceEnabled = f.checked(kConfig, "cInterface");
  t.reverseX = f.checked(kConfig, "cReversX");
  t.reverseY = f.checked(kConfig, "cReversY");
  t.reverseZ = f.checked(kConfig, "cReversZ");
  t.reverseP = f.checked(kConfig, "cReversP");
  t.fourthAxisFunction = f.choiceIndex(kConfig, "cFunctionP");
  for (int i = 0; i < 8; ++i)
    t.normallyClosed[static_cast<size_t>(i)] = f.checked(kConfig, "cNeg" + std::to_string(i + 1));
  return t;
}

OutputMode OutputModeOf(int index) {
  return index >= 0 && index <= static_cast<int>(OutputMode::ScriberMarker) ? static_cast<OutputMode>(index)
                                                                          : OutputMode::Off;
}

CommandFields ReadCommandFields(const System& s) {
  const auto& f = s.fields;
  CommandFields c;
  c.feedMinXY = FieldInteger(s, kConfig, "xFeedMinXY");
  c.feedMinZ = FieldInteger(s, kConfig, "xFeedMinZ");
  c.feedMinA = FieldInteger(s, kConfig, "xFeedMinA");
  c.in2ArcOk = f.choiceIndex(kConfig, "cIn2") == kIn2ArcOk;
  c.out1 = OutputModeOf(f.choiceIndex(kConfig, "cOut1"));
  c.out2 = OutputModeOf(f.choiceIndex(kConfig, "cOut2"));
  return c;
}

SetSpeed ReadSetSpeed(const System& s, Window window, std::string_view name) {
  const std::string& text = s.fields.text(window, name);
  return {s.parser.ParseFloat2(text), s.parser.ParseInt2(text)};
}

SetSpeeds ReadSetSpeeds(const System& s) {
  return {ReadSetSpeed(s, kMain, "xFeed"), ReadSetSpeed(s, kMain, "xFeed2"),
          ReadSetSpeed(s, kConfig, "xFeedMaxXY"), ReadSetSpeed(s, kConfig, "xFeedMinXY"),
          ReadSetSpeed(s, kConfig, "xFeedhXY")};
}

InputModes ReadInputModes(const System& s) {
  return {s.fields.choiceIndex(kConfig, "cIn1"), s.fields.choiceIndex(kConfig, "cIn2")};
}

ArcFields ReadArcFields(const System& s) {
  const auto& f = s.fields;
  return {f.checked(kConfig, "cInterface"), f.checked(kConfig, "cArcOk"),
          f.choiceIndex(kConfig, "cIn2") == kIn2ArcOk};
}

// The origin Z in the "Material / Project position" field, in the operator's units.
std::string OriginZText(std::int32_t originZ, bool imperial) {
  if (!imperial) return NumberParser::FloatToText(originZ / 100.0);
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", originZ / 2540.0);
  return text;
}

ConnectionFields ReadConnectionFields(const System& s) {
  const auto& f = s.fields;
  ConnectionFields c;
  c.lVer = kCarriedFirmwareVersion;
  c.eVer = f.text(kConfig, "eVer");
  c.eTX = FieldInteger(s, kMain, "eTX");
  c.eTY = FieldInteger(s, kMain, "eTY");
  c.eTZ = FieldInteger(s, kMain, "eTZ");
  c.eTA = FieldInteger(s, kMain, "eTA");
  c.cRef = f.checked(kConfig, "cRef");
  c.showErr = !s.advanced.showErrors ? 0 : s.advanced.referencingReminder ? 2 : 1;
  c.autoConnect = !s.advanced.autoConnectDisabled;
  return c;
}

}  // namespace

void BindControllerFields(System& system, Controller& controller) {
  System* s = &system;
  controller.commands.thcFields = [s] { return ReadThcFields(*s); };
  controller.commands.commandFields = [s] { return ReadCommandFields(*s); };
  controller.commands.setSpeeds = [s] { return ReadSetSpeeds(*s); };
  controller.commands.inputModes = [s] { return ReadInputModes(*s); };
  controller.commands.arcFields = [s] { return ReadArcFields(*s); };
  controller.commands.ui.showMaterialOrigin = [s](std::int32_t originZ) {
    s->fields.setText(Window::Main, "xZM", OriginZText(originZ, s->parser.imperial));
  };
  controller.connection.fields = [s] { return ReadConnectionFields(*s); };
  controller.connection.ui.setCRef = [s](bool on) {
    s->fields.setChecked(Window::Configuration, "cRef", on);
  };
  controller.indicator.setMessages([s](int entry) { return s->messages[entry]; });
}

}  // namespace corvane
