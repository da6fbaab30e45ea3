#include "machine/MachineCommands.h"

#include <algorithm>
#include <cmath>

#include "link/ControllerLink.h"
#include "system/System.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane {

namespace {
constexpr std::int32_t kArcWaitParameter = 2;
constexpr std::int32_t kOfflineDwellSliceMillis = 95;
constexpr std::int32_t kIdlePollMillis = 5;
constexpr std::int32_t kRunOutPollMillis = 5;
// Board time left in the queue at which anything is sent: a few polls.
constexpr std::int64_t kRefillMicros = 4 * kRunOutPollMillis * 1000;
}  // namespace

MachineCommands::MachineCommands(System& system, ControllerLink& link)
    : system_(system), link_(link) {}

std::int32_t MachineCommands::ToSteps(double hundredths, double scale) {
  return static_cast<std::int32_t>(std::nearbyint(hundredths * scale));
}

bool MachineCommands::Send(std::uint8_t code) {
  // Whatever sends it (a move, the torch, a dwell, the idle wait's sequence
  // end), a queued command never finds the board's queue at the throttle fill.
  const wire::CommandInfo* info = wire::FindCommand(code);
  const bool queued = info && info->dispatch == wire::Dispatch::Queued;
  const bool stopped = system_.StopRequested;
  if (queued && queuedTime_.torchOn()) HoldForRunOut(code);
  if (queued && link_.state.QueueFill >= kThrottleFill) HoldWhileFull();
  // A stop (the operator's, an alarm, a restarted board) that came while the
  // command waited for room ends what it belonged to: it is not sent.
  if (!stopped && system_.StopRequested) return false;
  link_.request.command = code;
  const bool wasConnected = link_.state.LinkConnected;
  const bool sent = link_.Exchange();
  if (sent) {
    const std::int64_t now = system_.clock.nowMicros();
    queuedTime_.Sent(link_.request, queued, now);
    queuedTime_.Reported(link_.state.QueueFill, now);
  }
  // A board lost in the middle of a job stops the job where it is: carrying on
  // as a simulation would report a sheet as cut that never was.
  if (wasConnected && !link_.state.LinkConnected && system_.Busy && !system_.StopRequested) {
    system_.StopRequested = true;
    system_.log.WriteLog("Controller lost: job stopped");
  }
  return sent;
}

bool MachineCommands::bit20() const {
  return (link_.state.StatusWord & wire::status::kBit20) != 0;
}

void MachineCommands::ProcessEvents() { system_.host.processEvents(); }

void MachineCommands::SetStartLevel(std::int32_t level) {
  link_.request.p[4] = level;
  Send(wire::cmd::kStartLevel);
}

void MachineCommands::WaitArcOk() {
  if (system_.StopRequested) return;
  link_.request.p[0] = kArcWaitParameter;
  Send(commandFields().in2ArcOk ? wire::cmd::kArcWaitIn2 : wire::cmd::kArcWait);
}

bool MachineCommands::Probe(double correction1Mm, double correction2Mm, std::int32_t zTargetSteps,
                            std::int32_t zLevel) {
  const double sz = system_.scales.SZ;
  link_.request.p[0] = ToSteps(correction1Mm * 100, sz);
  link_.request.p[1] = ToSteps(correction2Mm * 100, sz);
  link_.request.p[2] = zTargetSteps;
  link_.request.p[4] = zLevel;
  return Send(wire::cmd::kProbe);
}

void MachineCommands::Dwell(std::int32_t millis) {
  MachineUi::Call(ui.showActualSpeed, 0);
  if (system_.StopRequested) return;
  link_.request.p[0] = millis;
  if (Send(wire::cmd::kDwell)) return;
  // Offline: the PC keeps the time itself, in slices the operator can stop.
  for (std::int32_t slice = 0; slice < millis / 100 + 1; ++slice) {
    ProcessEvents();
    if (system_.StopRequested) return;
    system_.clock.sleepMillis(kOfflineDwellSliceMillis);
  }
}

void MachineCommands::StopMotion() {
  if (MachineUi::Ask(ui.errorLabelShowsOhmic)) system_.host.setErrorLabel("");
  system_.StopRequested = true;
  system_.log.stage = kStageStopped;
  MachineUi::Call(ui.clearJogDirection);

  const CommandFields fields = commandFields();
  int level = SpeedLevel(1000, system_.speeds.X);
  if (MovedAxes.xy) level = SpeedLevel(fields.feedMinXY, system_.speeds.X);
  if (MovedAxes.z) level = SpeedLevel(fields.feedMinZ, system_.speeds.Z);
  if (MovedAxes.a) level = SpeedLevel(fields.feedMinA, system_.speeds.A);
  MovedAxes = {};
  link_.request.p[4] = level;
  Send(wire::cmd::kStop);

  MachineUi::Call(ui.releaseTorchButton);
  if (fields.out1 != OutputMode::OnOffButton) {
    Send(wire::cmd::kOut1Off);
    MachineUi::Call(ui.releaseOutputButton, 1);
  }
  if (fields.out2 != OutputMode::OnOffButton) {
    Send(wire::cmd::kOut2Off);
    MachineUi::Call(ui.releaseOutputButton, 2);
  }

  MachineUi::Call(ui.resetMotionState);
  system_.job.LastCommanded.x = system_.job.MachinePosition.x;
  system_.job.LastCommanded.y = system_.job.MachinePosition.y;
  SimulatedTorch = false;

  link_.request.p[0] = 0;
  Send(wire::cmd::kFeedOverride);
  SpeedOverride = 0;
  MachineUi::Call(ui.resetContourSpeedClass);

  MachineUi::Call(ui.rebuildJobView);
  MachineUi::Call(ui.showActualSpeed, 0);
  MachineUi::Call(ui.hideThcOffMarker);
  MachineUi::Call(ui.focusZoomBar);
  MachineUi::Call(ui.startStopLock);
  ProcessEvents();
}

void MachineCommands::TorchOn() {
  QueueThrottle();
  if (system_.StopRequested) return;
  if (Send(wire::cmd::kTorchOn))
    MachineUi::Call(ui.countPierce);
  else
    SimulatedTorch = true;
  SwitchOutputs(OutputMode::PlasmaOnOff, true);
  MachineUi::Call(ui.markTorchByPc, true);
}

void MachineCommands::TorchOff() {
  MachineUi::Call(ui.markTorchByPc, false);
  QueueThrottle();
  Send(wire::cmd::kTorchOff);
  SimulatedTorch = false;
  SwitchOutputs(OutputMode::PlasmaOnOff, false);
  MovedAxes.xy = false;
}

void MachineCommands::SwitchOutputs(OutputMode mode, bool on) {
  const CommandFields fields = commandFields();
  if (fields.out1 == mode) Send(on ? wire::cmd::kOut1OnQueued : wire::cmd::kOut1OffQueued);
  if (fields.out2 == mode) Send(on ? wire::cmd::kOut2OnQueued : wire::cmd::kOut2OffQueued);
}

void MachineCommands::SetPosition(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t a) {
  if (link_.state.LinkConnected) {
    Send(wire::cmd::kMotionReset);
    link_.request.p[0] = ToSteps(x, system_.scales.SX);
    link_.request.p[1] = ToSteps(y, system_.scales.SY);
    link_.request.p[2] = ToSteps(z, system_.scales.SZ);
    link_.request.p[3] = a;
    Send(wire::cmd::kSetPosition);
  }
  system_.job.MachinePosition = {x, y, z, a};
  system_.job.LastCommanded = {x, y, z, a};
  system_.log.WriteLog("Assign:" + std::to_string(x) + " " + std::to_string(y) + " " +
                       std::to_string(z) + " " + std::to_string(a));
}

void MachineCommands::SetOutputButton(int output, bool down) {
  if (output == 1) Send(down ? wire::cmd::kOut1On : wire::cmd::kOut1Off);
  if (output == 2) Send(down ? wire::cmd::kOut2On : wire::cmd::kOut2Off);
}

void MachineCommands::QueueThrottle() {
  const std::int32_t n = ThrottleCount++;
  if (!bit20() && link_.state.QueueFill < kThrottleFill && (n + 1) % kThrottlePollEvery != 0)
    return;
  HoldWhileFull();
}

void MachineCommands::HoldWhileFull() {
  do {
    const std::int32_t m = ThrottleCount++;
    if (!MachineUi::Ask(ui.pathViewSuspended) && ((m + 1) % 3 == 0 || bit20())) PollStatus();
    ProcessEvents();
    // A lost link keeps the last fill it reported, which can no longer drain.
  } while (link_.state.LinkConnected && link_.state.QueueFill >= kThrottleFill &&
           !system_.StopRequested);
}

void MachineCommands::HoldForRunOut(std::uint8_t code) {
  wire::ControllerRequest next = link_.request;
  next.command = code;
  const std::int64_t adds = queuedTime_.MicrosOf(next);
  if (adds == 0) return;
  for (;;) {
    const std::int64_t left = queuedTime_.LeftMicros(system_.clock.nowMicros());
    // A command longer than the run-out on its own goes out as the queue is
    // about to run dry: waiting longer would only stop the torch on the sheet.
    if (left <= kRefillMicros || left + adds <= kRunOutMicros) return;
    if (!link_.state.LinkConnected || system_.StopRequested) return;
    system_.clock.sleepMillis(kRunOutPollMillis);
    // A key that came while waiting (Esc) is taken before the next exchange.
    ProcessEvents();
    if (system_.StopRequested) return;
    // Both reads before anything is sent: what happened meanwhile (a
    // restarted board's power-up mark, a stop bit) is known by then.
    ReadStatusA();
    ReadStatusB();
    MachineUi::Call(ui.redrawStatusPanel);
    ProcessEvents();
  }
}

void MachineCommands::WaitIdle() {
  Send(wire::cmd::kSequenceEnd);
  Dwell(2);
  // A lost link ends the wait: the last fill the board reported can no longer
  // drain, and waiting for it would hold the program until a stop.
  for (;;) {
    const bool connected = link_.state.LinkConnected;
    if (connected) PollStatus();
    ProcessEvents();
    if (system_.StopRequested) break;
    if (connected && link_.state.QueueFill == 0) break;
    if (!connected && !MachineUi::Ask(ui.jogDirectionActive)) break;
    system_.clock.sleepMillis(kIdlePollMillis);
  }
  system_.clock.sleepMillis(2);
  ReadStatusA();
  // An alarm empties the board's queue at once, so the wait can end on an empty
  // queue before a status B has shown the board's stop request: read it now,
  // or a job would go on to its next contour on a board in alarm.
  ReadStatusB();
  Dwell(2);
}

std::int32_t MachineCommands::CalibrationFactor(const std::string& divider) {
  if (divider == "20:1") return 600;
  if (divider == "50:1") return 1500;
  return 590;
}

std::int32_t MachineCommands::ThcSpeedCode(const ThcFields& fields) const {
  std::int32_t d = 0;
  if (fields.thcSpeed.find('%') != std::string::npos) {
    std::string number = fields.thcSpeed;
    std::erase(number, '%');
    d = static_cast<std::int32_t>(static_cast<std::int64_t>(system_.parser.ParseInt1(number)) *
                                  fields.feed / 5000);
    if (system_.Busy) system_.log.WriteLog("THC Speed AUTO :" + std::to_string(d));
  } else {
    d = system_.parser.ParseInt1(fields.thcSpeed);
  }
  d = std::clamp(d, 0, 100);
  if (!fields.highSpeedThc) {
    const auto limit = static_cast<std::int32_t>(std::nearbyint(fields.feed / 100.0 * d * 0.01));
    d = std::min(d, limit);
  }
  return (100 - d) * (100 - d) / 100 + 10;
}

void MachineCommands::SendThcSettings() {
  const ThcFields fields = thcFields();
  auto& request = link_.request;
  request.p[2] = fields.pierceTime / 2;
  request.p[0] = fields.targetVoltage;
  request.p[1] = static_cast<std::int32_t>(static_cast<std::int64_t>(fields.voltageCalibration) *
                                           CalibrationFactor(fields.divider) / 100);
  request.p[4] = ThcSpeedCode(fields);
  Send(wire::cmd::kThcSettings);
  if (system_.Busy) return;

  MachineUi::Call(ui.enableOhmicCheckBox, fields.interfaceEnabled);
  std::int32_t axes = 0;
  if (fields.reverseX) axes += wire::config::kReverseX;
  if (fields.reverseY) axes += wire::config::kReverseY;
  if (fields.reverseZ) axes += wire::config::kReverseZ;
  if (fields.reverseP) axes += wire::config::kReverseA;
  if (fields.ohmicSensor && fields.interfaceEnabled) axes += wire::config::kOhmicSensor;
  if (fields.interfaceEnabled) axes += wire::config::kRs485Interface;
  std::int32_t inverted = 0;
  for (std::size_t i = 0; i < fields.normallyClosed.size(); ++i)
    if (fields.normallyClosed[i]) inverted += 1 << i;
  request.p[0] = axes;
  request.p[1] = fields.fourthAxisFunction;
  request.p[2] = inverted;
  Send(wire::cmd::kMachineConfig);
  link_.state.StatusCode = 0;
}

void MachineCommands::ChangeFeedOverride(int delta) {
  const std::int32_t next = SpeedOverride + delta;
  link_.request.p[0] = next;
  Send(wire::cmd::kFeedOverride);
  SpeedOverride = next;
}

}  // namespace corvane
