#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "machine/Diagnostics.h"

namespace corvane {

class Connection;
class MachineCommands;
class System;
struct LinkState;

// Screen effects of the configuration window that belong to widgets the
// field store does not know; the UI wires each, an unset one does nothing.
struct ConfigurationUi {
  // Rotary mode: the A-axis controls here and in the main window appear.
  std::function<void(bool rotary)> showRotaryControls;
  // The main window's "Out 1" / "Out 2" button (output 1 or 2).
  std::function<void(int output, bool visible)> showOutputButton;
  std::function<void()> selectProgramPage;
  // The tube panel's "Exit" action.
  std::function<void()> leaveTubePanel;
  // The report or the lamps changed.
  std::function<void()> showReport;
  // The main window's THC button `bTHC` goes down or up.
  std::function<void(bool down)> showThcButton;
};

// What the configuration window does beyond storing values: the choice lists
// and check boxes with what they show, hide and send, the microstepping
// refresh with its lamps and warnings, the diagnostics report, the working
// counters and the closing steps.
class ConfigurationActions {
 public:
  ConfigurationActions(System& system, MachineCommands& commands, Connection& connection,
                       LinkState& link);

  ConfigurationUi ui;

  // Adds the click behaviours and field watches; once, at start.
  void Install();
  // Shows and hides what the lists and boxes govern, as their values stand
  // after a load, without sending anything to the controller.
  void ApplyChoices();

  // Scales, lamps, warnings (unless loading), offsets and the report.
  void MicrosteppingRefresh();
  void RebuildReport();
  // The main window's "Reset" link.
  void ResetStatistics();
  // Timer2: the report follows the link statistics.
  void Tick();

  // The window opens: the minutes counter shows the seconds counter.
  void Opened();
  // A double click on "Piercing count", "Setup Password" or the minutes label.
  void UnlockCounters();
  bool countersUnlocked() const { return countersUnlocked_; }
  // The window closes on page `page`.
  void Closed(int page);
  // Esc in the window.
  void EscapePressed();
  // The main window's THC button: `eTHC` follows it and the board is told.
  void ThcButtonClicked(bool down);

  bool RotaryMode = false;
  bool ScriberMode = false;
  bool MillingMode = false;
  // Process-wide offsets in 0.01 mm read by the refresh.
  std::int32_t LaserOffsetX = 0, LaserOffsetY = 0;
  std::int32_t MarkerOffsetX = 0, MarkerOffsetY = 0;
  std::int32_t XReferenceOffset = 0;

  const DiagnosticsReport& report() const { return report_; }
  // Lamps of X, Y, Z and A.
  const std::array<Lamp, 4>& lamps() const { return lamps_; }

 private:
  void FourthAxisChosen();
  void OutputModeChosen();
  void In2ModeChosen();
  void OxygenModeClicked();
  void MillingModeClicked();
  void ShowMainFields(std::initializer_list<const char*> names, bool visible);
  static std::string LabelOf(const char* field);
  void InterfaceClicked();
  void AxisLengthEdited();
  DiagnosticsInputs ReadInputs() const;

  System& system_;
  MachineCommands& commands_;
  Connection& connection_;
  LinkState& link_;
  DiagnosticsReport report_;
  std::array<Lamp, 4> lamps_{Lamp::Green, Lamp::Green, Lamp::Green, Lamp::Green};
  std::array<bool, 3> warned_{};
  bool countersUnlocked_ = false;
  bool refreshedOnce_ = false;
};

}  // namespace corvane
