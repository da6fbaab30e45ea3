#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "machine/MachineFields.h"
#include "machine/MachineStatus.h"
#include "machine/MachineUi.h"
#include "machine/QueuedBoardTime.h"

namespace corvane {

class ControllerLink;
class System;

// Which kind of manual motion ran last; the next stop decelerates from its
// safety speed.
struct MovedAxesFlags {
  bool xy = false;
  bool z = false;
  bool a = false;
};

// What the last status reads told about the board.
struct ControllerStatus {
  std::array<std::int32_t, 4> MachinePositionSteps{};  // status A: X, Y, Z, A in steps
  std::int32_t ArcVoltage = 0;                         // status B: R0
  std::int32_t ActualSpeed = 0;                        // tool speed in mm/min, 0 when idle
  bool lastReadWasA = false;
  // Latches of the external start/stop input: one press, one start or stop.
  bool StartPending = false, StopPending = false;
  SpeedSample lastSample;
};

// The controller's command set and the small operations built on single
// commands. Every builder fills the shared request record and runs one
// exchange; a failed exchange means offline, and the builder falls back to
// its offline behaviour instead of reporting.
class MachineCommands {
 public:
  static constexpr int kThrottlePollEvery = 26;
  static constexpr std::int32_t kThrottleFill = 2300;
  // While the torch burns the board holds no more than this much work in its
  // queue, so a program that dies leaves the torch running no longer.
  static constexpr std::int64_t kRunOutMicros = 1000000;

  MachineCommands(System& system, ControllerLink& link);

  std::int32_t LastRamp = 0;
  MovedAxesFlags MovedAxes;
  std::int32_t ThrottleCount = 0;
  bool SimulatedTorch = false;
  std::int32_t SpeedOverride = 0;
  ControllerStatus status;
  MachineUi ui;
  std::function<ThcFields()> thcFields = [] { return ThcFields{}; };
  std::function<CommandFields()> commandFields = [] { return CommandFields{}; };
  std::function<SetSpeeds()> setSpeeds = [] { return SetSpeeds{}; };
  std::function<InputModes()> inputModes = [] { return InputModes{}; };
  std::function<ArcFields()> arcFields = [] { return ArcFields{}; };
  AlarmReport alarms;

  // Sends `code` with whatever parameters the request record holds.
  bool Send(std::uint8_t code);
  void SetStartLevel(std::int32_t level);
  void WaitArcOk();
  // Material detection: the two corrections in mm, the Z target in steps.
  bool Probe(double correction1Mm, double correction2Mm, std::int32_t zTargetSteps,
             std::int32_t zLevel);
  void Dwell(std::int32_t millis);
  void StopMotion();
  void TorchOn();
  void TorchOff();
  // Switches, in the queue's order, the outputs whose mode is `mode`.
  void SwitchOutputs(OutputMode mode, bool on);
  // x, y, z in 0.01 mm, a in steps.
  void SetPosition(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t a);
  // The "Out 1" / "Out 2" buttons: `down` is the button's state after the click.
  void SetOutputButton(int output, bool down);
  void QueueThrottle();
  void WaitIdle();
  void SendThcSettings();
  // Numeric-pad "+" (+1) and "-" (-1): each step is 2 % of the feed.
  void ChangeFeedOverride(int delta);

  // The status reads and what follows from them live in MachineStatus.cpp.
  bool ReadStatusA();
  bool ReadStatusB();
  // Reads the status not read last, then redraws the status panel.
  void PollStatus();
  // The 20 ms refresh short of its drawing: one status read, the status word
  // cleared while offline, and a changed alarm brought to the operator.
  void RefreshStatus();

  // Steps of a length in 0.01 mm on an axis scale, rounded to nearest even.
  static std::int32_t ToSteps(double hundredths, double scale);
  // P4 of the THC settings from the speed field and the feed.
  std::int32_t ThcSpeedCode(const ThcFields& fields) const;
  static std::int32_t CalibrationFactor(const std::string& divider);

 private:
  bool bit20() const;
  // Polls (every third pass) and lets the UI run until the queue drains below
  // the throttle fill, a stop comes or the link is gone.
  void HoldWhileFull();
  // Holds a command that takes board time while the torch burns and the queue
  // would hold more than kRunOutMicros with it.
  void HoldForRunOut(std::uint8_t code);
  void ApplyStatusA();
  void ApplyStatusB();
  void TakeMaterialHeight(std::int32_t report);
  void FollowStartStopInput(bool pressed);
  void UpdateLimitFlags();
  void ProcessEvents();
  System& system_;
  ControllerLink& link_;
  QueuedBoardTime queuedTime_;
};

}  // namespace corvane
