#include "machine/ArcMonitor.h"

#include <clocale>
#include <cstring>

#include "link/ControllerLink.h"
#include "machine/MachineCommands.h"
#include "system/System.h"
#include "wire/Codes.h"

namespace corvane {

namespace {
constexpr int kTorchChangedTicks = 18;
constexpr int kVoltageTicks = 10;
constexpr std::int32_t kNoVoltage = 9;
constexpr std::int32_t kLowVoltage = 40;
constexpr std::int32_t kHighVoltage = 190;
constexpr std::int32_t kTorchOffVoltage = 10;
// The contour's process stage once its arc is confirmed.
constexpr std::int32_t kContourArcConfirmed = 200;
constexpr std::int64_t kEStopPauseMillis = 100;

// Lets the window breathe for 200 ms.
void Pause(System& system) {
  for (int i = 0; i < 2; ++i) {
    system.host.processEvents();
    system.clock.sleepMillis(kEStopPauseMillis);
  }
}
}  // namespace

ArcMonitor::ArcMonitor(System& system, MachineCommands& commands, LinkState& link)
    : system_(system), commands_(commands), link_(link) {}

// Numbers are written with "." everywhere; a library or desktop setting that
// swaps the separator would corrupt settings and job files.
bool ArcMonitor::SeparatorChanged() {
  if (std::strcmp(std::localeconv()->decimal_point, ".") == 0) return false;
  std::setlocale(LC_NUMERIC, "C");
  system_.log.WriteLog(std::string("Decimal Separator (") + "." + ") Error !!!");
  return true;
}

void ArcMonitor::Tick() {
  if (switchedOff_) return;
  if (SeparatorChanged()) {
    switchedOff_ = true;
    return;
  }
  const ArcFields fields = commands_.arcFields();
  if (system_.loading || !fields.interfaceEnabled) return;
  const bool torch = (link_.StatusWord & wire::status::kTorch) != 0;
  if (!WatchVoltage(torch)) return;
  if (fields.waitArcOk) WatchArcOk(torch, fields);
}

bool ArcMonitor::WatchVoltage(bool torch) {
  if (torch != lastTorch_) voltageCountdown_ = kTorchChangedTicks;
  lastTorch_ = torch;
  const int c = voltageCountdown_--;
  const std::int32_t volts = commands_.status.ArcVoltage;
  Host& host = system_.host;
  if (!torch) {
    if (volts < kTorchOffVoltage) voltageCountdown_ = kVoltageTicks;
    if (voltageCountdown_ == 0 && volts > kTorchOffVoltage) host.setErrorLabel("ARC Voltage !!!");
    return true;
  }
  if (volts > kLowVoltage && volts < kHighVoltage) {
    voltageCountdown_ = kVoltageTicks;
  } else if (volts == wire::kArcOverloadVoltage && c - 1 > kVoltageTicks) {
    voltageCountdown_ = kVoltageTicks;
  } else if (c == 1) {
    if (volts <= kNoVoltage) {
      host.setErrorLabel("No ARC Voltage !!!");
    } else if (volts < kLowVoltage) {
      host.setErrorLabel("ARC Voltage too low !!!");
    } else if (volts == wire::kArcOverloadVoltage) {
      host.setErrorLabel("ARC OVERLOAD PROTECTION !!!");
      commands_.StopMotion();
      return false;
    } else if (volts > kHighVoltage) {
      host.setErrorLabel("ARC Voltage too high !!!");
    }
  }
  return true;
}

void ArcMonitor::WatchArcOk(bool torch, const ArcFields& fields) {
  if (!torch) {
    arcOkCountdown_ = kArcOkStrikeTicks;
    return;
  }
  const std::uint32_t arcOkBit = fields.in2ArcOk ? wire::status::kIn2 : wire::status::kArcOk;
  if (link_.StatusWord & arcOkBit) {
    system_.ContourState = kContourArcConfirmed;
    arcOkCountdown_ = kArcOkDropTicks;
    return;
  }
  if (--arcOkCountdown_ != 0) return;
  if (!system_.StopRequested) --system_.ContourState;
  commands_.StopMotion();
  link_.StatusCode = wire::alarm::kArcOk;
  system_.log.WriteLog(fields.in2ArcOk ? std::string("ARC_OK_ERROR ( Input 2 )")
                                       : "ARC_OK_ERROR ( " +
                                             std::to_string(commands_.status.ArcVoltage) + "V )");
}

void CheckEStop(System& system, MachineCommands& commands, ControllerLink& link, bool autoConnect) {
  if (system.Busy || autoConnect || !link.state.LinkConnected || link.state.FirmwareUpdating ||
      link.state.StatusCode != wire::alarm::kEStop)
    return;
  commands.StopMotion();
  Pause(system);
  link.Disconnect();
  link.indicator().showText(kEStopIndicatorText, IndicatorColour::Red);
  // The blink of the disconnected label may have painted over it meanwhile.
  for (int i = 0; i < 3; ++i) Pause(system);
  link.indicator().showText(kEStopIndicatorText, IndicatorColour::Red);
}

}  // namespace corvane
