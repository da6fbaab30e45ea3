#include "machine/ConfigurationActions.h"

#include <string>

#include "link/ControllerLink.h"
#include "machine/Connection.h"
#include "machine/MachineCommands.h"
#include "machine/MachineStatus.h"
#include "store/FieldValues.h"
#include "store/SettingsStore.h"
#include "system/FieldSettings.h"
#include "system/TubeSetup.h"
#include "system/System.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
constexpr int kRotaryFunction = 3;
constexpr int kIn2Alarm = 4;
constexpr int kZReferenced = 1;
constexpr int kAllReferenced = 7;
constexpr int kStageRefresh = 50;
constexpr int kStageRefreshed = 51;

// The A-axis controls of this window that rotary mode shows.
constexpr const char* kRotaryFields[] = {"cHomingA", "eAoffset", "xHomingA", "cStepP",
                                         "cReversP", "eAccA",    "xFeedMinA", "xFeedhA",
                                         "xFeedMaxA"};

}  // namespace

ConfigurationActions::ConfigurationActions(System& system, MachineCommands& commands,
                                           Connection& connection, LinkState& link)
    : system_(system), commands_(commands), connection_(connection), link_(link) {}

void ConfigurationActions::Install() {
  AfterLoadHooks& afterLoad = system_.store.afterLoad;
  afterLoad.refreshMicrostepping = [this] { MicrosteppingRefresh(); };
  afterLoad.showOutButtons = [this](bool out1, bool out2) {
    MachineUi::Call(ui.showOutputButton, 1, out1);
    MachineUi::Call(ui.showOutputButton, 2, out2);
  };
  afterLoad.setThcButton = [this](bool down) { MachineUi::Call(ui.showThcButton, down); };
  FieldStore& f = system_.fields;
  for (const char* list : {"cStepX", "cStepY", "cStepZ", "cStepP"})
    f.addClickBehaviour(kConfig, list, [this] { MicrosteppingRefresh(); });
  f.addClickBehaviour(kConfig, "cFunctionP", [this] { FourthAxisChosen(); });
  f.addClickBehaviour(kConfig, "cOut1", [this] { OutputModeChosen(); });
  f.addClickBehaviour(kConfig, "cOut2", [this] { OutputModeChosen(); });
  f.addClickBehaviour(kConfig, "cIn2", [this] { In2ModeChosen(); });
  f.addClickBehaviour(kConfig, "cSpec1", [this] { OxygenModeClicked(); });
  f.addClickBehaviour(kConfig, "cSpec1a", [this] { MillingModeClicked(); });
  f.addClickBehaviour(kConfig, "cInterface", [this] { InterfaceClicked(); });
  f.addClickBehaviour(kConfig, "cOhmic", [this] { commands_.SendThcSettings(); });
  for (int i = 1; i <= 8; ++i)
    f.addClickBehaviour(kConfig, "cNeg" + std::to_string(i), [this] { commands_.SendThcSettings(); });
  f.addClickBehaviour(kConfig, "cImperial", [this] {
    if (!system_.loading) MachineUi::Call(ui.selectProgramPage);
  });
  f.subscribe([this](Window window, const std::string& name) {
    if (window != kConfig) return;
    for (const char* watched : {"xMoveX", "xMoveY", "xMoveZ", "xLimitZ"})
      if (FoldCase(name) == FoldCase(watched)) AxisLengthEdited();
  });
}

void ConfigurationActions::ApplyChoices() {
  FourthAxisChosen();
  OutputModeChosen();
  In2ModeChosen();
  OxygenModeClicked();
  MillingModeClicked();
}

void ConfigurationActions::In2ModeChosen() {
  const bool alarm = system_.fields.choiceIndex(kConfig, "cIn2") == kIn2Alarm;
  system_.host.setFieldVisible(kConfig, "eAlarm", alarm);
  system_.host.setFieldVisible(kConfig, LabelOf("eAlarm"), alarm);
}

void ConfigurationActions::OxygenModeClicked() {
  ShowMainFields({"xPreHeatHeight", "ePreHeatTime"}, system_.fields.checked(kConfig, "cSpec1"));
}

void ConfigurationActions::MillingModeClicked() {
  MillingMode = system_.fields.checked(kConfig, "cSpec1a");
  ShowMainFields({"xDepth", "xDepthP"}, MillingMode);
}

void ConfigurationActions::InterfaceClicked() {
  if (!system_.fields.checked(kConfig, "cInterface")) {
    system_.fields.setChecked(kConfig, "cOhmic", false);
    system_.fields.setChecked(kConfig, "cArcOk", false);
  }
  commands_.SendThcSettings();
}

// A new axis length makes the Z reference doubtful.
void ConfigurationActions::AxisLengthEdited() {
  if (system_.loading || RotaryMode) return;
  system_.host.setErrorLabel("Z Axis not referenced!");
  connection_.ReferencedAxes &= ~kZReferenced;
}

void ConfigurationActions::FourthAxisChosen() {
  RotaryMode = system_.fields.choiceIndex(kConfig, "cFunctionP") == kRotaryFunction;
  for (const char* name : kRotaryFields) {
    system_.host.setFieldVisible(kConfig, name, RotaryMode);
    system_.host.setFieldVisible(kConfig, LabelOf(name), RotaryMode);
  }
  system_.rotary.active = RotaryMode;
  MachineUi::Call(ui.showRotaryControls, RotaryMode);
  if (RotaryMode) {
    TubeExit(system_);
    MachineUi::Call(ui.leaveTubePanel);
  }
}

void ConfigurationActions::OutputModeChosen() {
  const int out1 = system_.fields.choiceIndex(kConfig, "cOut1");
  const int out2 = system_.fields.choiceIndex(kConfig, "cOut2");
  const int button = static_cast<int>(OutputMode::OnOffButton);
  const int marker = static_cast<int>(OutputMode::ScriberMarker);
  MachineUi::Call(ui.showOutputButton, 1, out1 == button);
  MachineUi::Call(ui.showOutputButton, 2, out2 == button);
  ScriberMode = out1 == marker || out2 == marker;
  ShowMainFields({"xMarkerSpeed", "eMarkerTime"}, ScriberMode);
}

void ConfigurationActions::ShowMainFields(std::initializer_list<const char*> names, bool visible) {
  for (const char* name : names) {
    system_.host.setFieldVisible(kMain, name, visible);
    system_.host.setFieldVisible(kMain, LabelOf(name), visible);
  }
}

std::string ConfigurationActions::LabelOf(const char* field) { return std::string("l") + field; }

void ConfigurationActions::MicrosteppingRefresh() {
  system_.log.stage = kStageRefresh;
  RecomputeAxisScales(system_);
  const AxisScales& s = system_.scales;
  const double scales[] = {s.SX, s.SY, s.SZ, s.SA};
  static const char* kWarnings[] = {"Warning: Microsteping X Axis not recomended value",
                                    "Warning: Microsteping Y Axis not recomended value",
                                    "Warning: Microsteping Z Axis not recomended value"};
  if (!system_.loading) {
    for (size_t axis = 0; axis < lamps_.size(); ++axis) {
      lamps_[axis] = MicrosteppingLamp(static_cast<ScaleAxis>(axis), scales[axis]);
      // Each axis warns once a run; A never does.
      if (axis < warned_.size() && lamps_[axis] == Lamp::Red && !warned_[axis]) {
        warned_[axis] = true;
        system_.log.WriteLog(kWarnings[axis]);
      }
    }
  }
  LaserOffsetX = FieldLength(system_, kConfig, "xSpec8");
  LaserOffsetY = FieldLength(system_, kConfig, "xSpec9");
  MarkerOffsetX = FieldLength(system_, kConfig, "xSpec11");
  MarkerOffsetY = FieldLength(system_, kConfig, "xSpec12");
  XReferenceOffset = FieldLength(system_, kConfig, "xSpec10");
  system_.log.stage = kStageRefreshed;
  RebuildReport();
}

DiagnosticsInputs ConfigurationActions::ReadInputs() const {
  const System& s = system_;
  DiagnosticsInputs in;
  in.connected = link_.LinkConnected;
  in.worstAttempt = link_.WorstAttempt;
  in.worstQueueFill = link_.WorstQueueFill;
  in.rs485Grade = link_.Rs485Grade;
  in.interfaceEnabled = s.fields.checked(kConfig, "cInterface");
  in.gearX = s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveX"));
  in.gearY = s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveY"));
  in.gearZ = s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveZ"));
  in.scaleX = s.scales.SX;
  in.scaleY = s.scales.SY;
  in.scaleZ = s.scales.SZ;
  in.feedMinXY = FieldSpeed(s, kConfig, "xFeedMinXY");
  in.feedMaxXY = FieldSpeed(s, kConfig, "xFeedMaxXY");
  in.feedMinZ = FieldSpeed(s, kConfig, "xFeedMinZ");
  in.feedMaxZ = FieldSpeed(s, kConfig, "xFeedMaxZ");
  in.rampXY = FieldInteger(s, kConfig, "eAccXY");
  in.rampZ = FieldInteger(s, kConfig, "eAccZ");
  in.referenced = connection_.ReferencedAxes == kAllReferenced;
  return in;
}

void ConfigurationActions::RebuildReport() {
  report_ = BuildDiagnosticsReport(ReadInputs());
  system_.StatisticsChanged = false;
  MachineUi::Call(ui.showReport);
}

void ConfigurationActions::ResetStatistics() {
  link_.WorstQueueFill = 0;
  link_.WorstAttempt = 0;
  link_.Rs485Grade = 0;
  system_.StatisticsChanged = true;
}

void ConfigurationActions::Tick() {
  if (!refreshedOnce_ && !system_.loading) {
    refreshedOnce_ = true;
    ApplyChoices();
    MicrosteppingRefresh();
    return;
  }
  if (system_.StatisticsChanged) RebuildReport();
}

void ConfigurationActions::Opened() {
  const std::int32_t seconds = FieldInteger(system_, kConfig, "eSpec7");
  system_.fields.setText(kConfig, "eSpec6", std::to_string(seconds / 60));
}

void ConfigurationActions::UnlockCounters() {
  countersUnlocked_ = true;
  system_.fields.setText(kConfig, "eSpec7", "0");
}

void ConfigurationActions::Closed(int page) {
  MicrosteppingRefresh();
  commands_.SendThcSettings();
  MachineUi::Call(ui.leaveTubePanel);
  ComputeDerivedValues(system_);
  system_.fields.setText(kConfig, "eTabSheet", std::to_string(page));
  if (countersUnlocked_) {
    const std::int32_t minutes = FieldInteger(system_, kConfig, "eSpec6");
    system_.fields.setText(kConfig, "eSpec7", std::to_string(minutes * 60));
  }
  countersUnlocked_ = false;
  system_.host.requestRedraw();
}

void ConfigurationActions::EscapePressed() { commands_.StopMotion(); }

void ConfigurationActions::ThcButtonClicked(bool down) {
  system_.fields.setText(kMain, "eTHC", down ? "on" : "off");
  commands_.SendThcSettings();
}

}  // namespace corvane
