#pragma once
#include <cstdint>

namespace corvane {

class ControllerLink;
class MachineCommands;
class System;
struct ArcFields;
struct LinkState;

// The main window's 250 ms watch: the process's decimal separator, the arc
// voltage with the torch on and off, and the ARC OK signal while a cut waits
// for it. It reads the state the status reads left behind and exchanges
// nothing itself, except the stop it runs on a fault.
class ArcMonitor {
 public:
  // A confirmed arc may drop out for this many ticks; a new one has the longer
  // time to strike.
  static constexpr int kArcOkStrikeTicks = 20;
  static constexpr int kArcOkDropTicks = 4;

  ArcMonitor(System& system, MachineCommands& commands, LinkState& link);

  void Tick();
  // After a separator fault the watch stays off for the rest of the run.
  bool switchedOff() const { return switchedOff_; }

 private:
  bool SeparatorChanged();
  // False when the tick must end here (the overload stop).
  bool WatchVoltage(bool torch);
  void WatchArcOk(bool torch, const ArcFields& fields);

  System& system_;
  MachineCommands& commands_;
  LinkState& link_;
  bool switchedOff_ = false;
  bool lastTorch_ = false;
  int voltageCountdown_ = 0;
  int arcOkCountdown_ = kArcOkStrikeTicks;
};

// The one-second E-stop check: with "AutoConnect" disabled an E-stop stops
// all motion and closes the link, so the board must be reconnected by hand.
// With automatic connection its alarm text is all the operator sees.
void CheckEStop(System& system, MachineCommands& commands, ControllerLink& link, bool autoConnect);

inline constexpr const char* kEStopIndicatorText = "------ E-STOP ------";

}  // namespace corvane
