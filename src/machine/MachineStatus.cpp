#include "machine/MachineStatus.h"

#include <cmath>

#include "link/ControllerLink.h"
#include "machine/AlarmText.h"
#include "machine/MachineCommands.h"
#include "model/SpeedTables.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "system/System.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane {

namespace {
// The firmware's step clock runs a little fast; 0.6 would read low.
constexpr double kSpeedFactor = 0.605;
// Less travel than this (0.01 mm) between two reads is standing still.
constexpr double kStandingTravel = 2;
constexpr double kSnapLow = 0.8, kSnapHigh = 1.2;
// A material height this far (0.01 mm) from the current origin is a bad report.
constexpr double kMaterialReportTolerance = 50000;
constexpr int kStartStopDelayMillis = 10;
constexpr std::uint32_t kStopRequestBits =
    wire::status::kStopRequest1 | wire::status::kStopRequest2;

std::int32_t ToHundredths(std::int32_t steps, double scale) {
  return static_cast<std::int32_t>(std::nearbyint(steps / scale));
}

std::string TrimmedRight(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}
}  // namespace

std::int32_t EstimateSpeed(double travel, std::int64_t micros) {
  return static_cast<std::int32_t>(std::nearbyint(travel * kSpeedFactor / (micros / 1e6)));
}

std::int32_t SnapToSetSpeed(std::int32_t speed, const SetSpeeds& speeds) {
  for (const SetSpeed& set : speeds) {
    const double ratio = speed / set.compared;
    if (ratio > kSnapLow && ratio < kSnapHigh) return set.value;
  }
  return speed;
}

void AlarmReport::Update(Host& host, ProgramLog& log, std::uint8_t code, std::uint32_t statusWord,
                         bool interfaceEnabled, const std::function<std::string()>& labelText) {
  const std::string text = AlarmText(code, statusWord, interfaceEnabled);
  // The log names the alarm itself, whatever the plasma interface answers.
  if (code != code_ && code != 0)
    log.WriteLog("Alarm " + std::to_string(code) + ": " +
                 TrimmedRight(AlarmText(code, wire::status::kRs485Answering)));
  code_ = code;
  if (text == shown_) return;
  // Another message written over the alarm stays until it is replaced itself.
  const bool labelStillOurs = !labelText || labelText() == shown_;
  if (!text.empty() || labelStillOurs) host.setErrorLabel(text);
  shown_ = text;
}

bool MachineCommands::ReadStatusA() {
  status.lastReadWasA = true;
  const bool read = Send(wire::cmd::kStatusA);
  // While the settings load the scales may be half set: the positions wait.
  if (read && !system_.loading) ApplyStatusA();
  MachineUi::Call(ui.redrawToolMarker);
  return read;
}

bool MachineCommands::ReadStatusB() {
  status.lastReadWasA = false;
  const bool read = Send(wire::cmd::kStatusB);
  if (read) ApplyStatusB();
  UpdateLimitFlags();
  return read;
}

void MachineCommands::PollStatus() {
  if (status.lastReadWasA)
    ReadStatusB();
  else
    ReadStatusA();
  MachineUi::Call(ui.redrawStatusPanel);
}

void MachineCommands::RefreshStatus() {
  // The bootloader on the line takes no status request; the update's end
  // brings the refresh back.
  if (link_.state.FirmwareUpdating) return;
  PollStatus();
  if (!link_.state.LinkConnected) link_.state.StatusWord = 0;
  alarms.Update(system_.host, system_.log, link_.state.StatusCode, link_.state.StatusWord,
                arcFields().interfaceEnabled, ui.errorLabelText);
}

void MachineCommands::ApplyStatusA() {
  const auto& r = link_.reply.r;
  const AxisScales& scales = system_.scales;
  for (int axis = 0; axis < 4; ++axis) status.MachinePositionSteps[axis] = r[axis];

  const bool jogging = MachineUi::Ask(ui.jogDirectionActive);
  const std::int64_t now = system_.clock.nowMicros();
  const std::int64_t elapsed = now - status.lastSample.micros;
  // Two reads in the same instant carry no speed; the next read measures across both.
  if (elapsed > 0) {
    // On the rotary axis the tube's turn is travel too: a pipe is cut with Y and A alone.
    const double turned = system_.rotary.active && scales.SA > 0 ? (double(r[3]) - status.lastSample.a) / scales.SA : 0;
    const double travel = std::hypot(std::hypot((double(r[0]) - status.lastSample.x) / scales.SX,
                                                (double(r[1]) - status.lastSample.y) / scales.SY),
                                     turned);
    const bool moving = travel > kStandingTravel && (jogging || system_.Busy);
    status.ActualSpeed = moving ? SnapToSetSpeed(EstimateSpeed(travel, elapsed), setSpeeds()) : 0;
    status.lastSample = {r[0], r[1], r[3], now};
  }

  AxisPosition& position = system_.job.MachinePosition;
  position.x = ToHundredths(r[0], scales.SX);
  position.y = ToHundredths(r[1], scales.SY);
  position.a = r[3];
  if (r[2] < wire::kSensedSurfaceBase)
    position.z = ToHundredths(r[2], scales.SZ);
  else if (link_.state.StatusCode == 0)
    TakeMaterialHeight(r[2]);

  if (!system_.Busy && !jogging) system_.job.LastCommanded = position;
}

void MachineCommands::TakeMaterialHeight(std::int32_t report) {
  const double height = (double(report) - wire::kSensedSurfaceBase) / system_.scales.SZ;
  std::int32_t& originZ = system_.job.ProjectOriginZ;
  if (std::fabs(originZ - height) >= kMaterialReportTolerance) {
    system_.log.WriteLog("ERR: ZfromController=" + std::to_string(report));
    return;
  }
  originZ = static_cast<std::int32_t>(std::nearbyint(height));
  MachineUi::Call(ui.showMaterialOrigin, originZ);
}

void MachineCommands::ApplyStatusB() {
  const auto& r = link_.reply.r;
  status.ArcVoltage = r[0];
  const auto word = static_cast<std::uint32_t>(r[2]);
  link_.state.StatusWord = word;

  if (!system_.loading) {
    const InputModes modes = inputModes();
    if (modes.in2 == kIn2StartStop) FollowStartStopInput((word & wire::status::kIn2) != 0);
    if (modes.in1 == kIn1StartStop) FollowStartStopInput((word & wire::status::kIn1) != 0);
  }
  if (word & kStopRequestBits) system_.StopRequested = true;
  if ((word & wire::status::kCollision) && MachineUi::Ask(ui.zMinusHeld)) {
    StopMotion();
    link_.state.StatusCode = wire::alarm::kCollision;
  }
}

// One press of the external button is one action: a start while idle, a stop
// while a job runs. Nothing more happens until the button is released, so a
// held button never stops the job it has just started, nor starts again the
// job it has just stopped.
void MachineCommands::FollowStartStopInput(bool pressed) {
  if (!pressed) {
    if (status.StartPending)
      status.StartPending = false;
    else
      status.StopPending = false;
    return;
  }
  if (status.StartPending || status.StopPending) return;
  if (!system_.Busy) {
    status.StartPending = true;
    system_.host.armOneShot(kStartStopDelayMillis, [this] { MachineUi::Call(ui.startJob); });
    return;
  }
  status.StopPending = true;
  system_.host.armOneShot(kStartStopDelayMillis, [this] {
    if (ui.stopJob)
      ui.stopJob();
    else
      StopMotion();
  });
}

void MachineCommands::UpdateLimitFlags() {
  const std::uint32_t word = link_.state.StatusWord;
  link_.state.LimitX = (word & wire::status::kSwitchX) != 0;
  link_.state.LimitY = (word & wire::status::kSwitchY) != 0;
  link_.state.LimitZ = (word & wire::status::kSwitchZ) != 0;
}

}  // namespace corvane
