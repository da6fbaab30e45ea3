#include "machine/Connection.h"

#include <algorithm>
#include <cstdio>

#include "link/ControllerLink.h"
#include "link/FirmwareUpdate.h"
#include "machine/MachineCommands.h"
#include "system/System.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane {

namespace {
constexpr int kAllAxesReferenced = 7;
constexpr std::int32_t kStatusProbeSpeed = 100;
constexpr std::int32_t kInitialDwellSetting = 500;
constexpr std::int32_t kConnectionSetting = 650;
constexpr std::int32_t kInitialPierceHalf = 20;
constexpr std::int32_t kStartDwellMillis = 100;
constexpr std::uint8_t kOldErrorByte = wire::kOldErrorByte;
}  // namespace

std::string FormatFirmwareVersion(std::int32_t major, std::int32_t minor, char revision) {
  char text[48];
  std::snprintf(text, sizeof(text), " %d.%d %c", major, minor, revision);
  return text;
}

Connection::Connection(System& system, ControllerLink& link, MachineCommands& commands)
    : system_(system), link_(link), commands_(commands) {}

bool Connection::FindController() {
  D2XXUnit& unit = link_.unit();
  unit.deviceCount = 0;
  unit.CountDevices();
  for (std::uint32_t index = 0; index < unit.deviceCount; ++index) {
    if (unit.DescribeDevice(index) != ftstatus::kOk) continue;
    if (unit.listedDescription != kControllerDescription) continue;
    system_.log.WriteLog(std::string("found : ") + kControllerDescription);
    return true;
  }
  system_.log.WriteLog("NoDev found");
  return false;
}

void Connection::ClearInputs() {
  link_.state.LimitX = link_.state.LimitY = link_.state.LimitZ = false;
  link_.state.StatusWord = 0;
}

bool Connection::AskFirmwareUpdate(const std::string& text) {
  return system_.host.ask(text, Buttons::YesNo) == Answer::Yes;
}

bool Connection::OpenForUpdate(bool convertHex) {
  if (ui.setupPasswordGiven && !ui.setupPasswordGiven()) {
    system_.log.WriteLog("Firmware Update: no setup password given, the firmware stays as it is");
    return false;
  }
  MachineUi::Call(ui.openElectronicsTab);
  if (convertHex) MachineUi::Call(ui.convertHexFile);
  MachineUi::Call(ui.startFirmwareUpdate);
  return true;
}

bool Connection::Connect() {
  // The update owns the line until its start pulse; it connects afterwards.
  if (link_.state.FirmwareUpdating) return false;
  ConnectionIndicator& indicator = link_.indicator();
  indicator.colour = IndicatorColour::Red;
  system_.host.processEvents();
  if (link_.state.LinkConnected) link_.Disconnect();

  if (!FindController()) {
    indicator.show(indicator::kNoDevice, IndicatorColour::Red);
    ClearInputs();
    return false;
  }
  if (link_.unit().OpenByDescription(kControllerDescription) != ftstatus::kOk) {
    system_.log.WriteLog(std::string("DEV: ") + kControllerDescription + " open port err");
    indicator.show(indicator::kOpenFailed, IndicatorColour::Red);
    ClearInputs();
    return false;
  }
  if (link_.state.StartPulseOwed) {
    // An update that lost the device left the board in its bootloader.
    system_.log.WriteLog("Start pulse: the board leaves its bootloader");
    SendStartPulse(link_.unit(), system_.clock);
    link_.state.StartPulseOwed = false;
  }
  link_.unit().ApplyParameters(kControllerLinkParameters);

  auto& request = link_.request;
  request.sequence = 0;
  request.frameFlag = 1;
  for (int i = 0; i < 4; ++i) request.p[i] = 1;
  request.p[4] = kStatusProbeSpeed;
  request.command = wire::cmd::kStatusB;
  commands_.ThrottleCount = 0;
  link_.state.LinkConnected = true;

  if (!link_.Exchange()) {
    if (!ProbeOldProtocol()) {
      link_.Disconnect();
      system_.log.WriteLog("Communication Error");
      indicator.show(indicator::kDisconnected, IndicatorColour::Red);
      return false;
    }
    const std::string question =
        indicator.message(indicator::kUpdateQuestion) + " < 1.0.9 " +
        indicator.message(indicator::kUpdateQuestionEnd) +
        FormatFirmwareVersion(wire::kFirmwareMajor, wire::kFirmwareMinor, wire::kFirmwareRevision);
    if (AskFirmwareUpdate(question)) {
      link_.state.LinkConnected = true;
      // Without the password this is the answer No: the old firmware is
      // left alone, and so is the line.
      if (!OpenForUpdate()) link_.state.LinkConnected = false;
    }
    return false;
  }

  // Two replies in a row that carry their request's counter: the board echoes
  // it, and from now on a reply is only taken by the request it names.
  const bool probeEchoed = link_.reply.spare == request.sequence;
  const ConnectionFields settings = fields();
  const bool versionRead = commands_.Send(wire::cmd::kVersion);
  link_.state.SequenceEcho = probeEchoed && versionRead && link_.reply.spare == request.sequence;
  system_.log.WriteLog(link_.state.SequenceEcho ? "Link: the board echoes the request counter"
                                                : "Link: the board does not echo the request counter");
  const std::int32_t major = link_.reply.r[0];
  const std::int32_t minor = link_.reply.r[1];
  const char revision = static_cast<char>(link_.reply.r[2] & 0xFF);
  const bool expected = major == wire::kFirmwareMajor && minor == wire::kFirmwareMinor &&
                        revision == wire::kFirmwareRevision;
  if (versionRead && (!expected || settings.lVer != settings.eVer)) {
    const std::string question = indicator.message(indicator::kUpdateQuestion) +
                                 FormatFirmwareVersion(major, minor, revision) + "\n\r" +
                                 indicator.message(indicator::kUpdateQuestionEnd) + settings.lVer;
    // Without the password the connection goes on with the firmware the board runs.
    if (AskFirmwareUpdate(question) && OpenForUpdate()) return false;
  }
  char versionLine[64];
  std::snprintf(versionLine, sizeof(versionLine), "FirmwareVer %d.%d %c", major, minor, revision);
  system_.log.WriteLog(versionLine);

  const bool statusRead = commands_.Send(wire::cmd::kStatusA);
  if (statusRead && link_.reply.r[0] == wire::kPowerUpMark &&
      link_.reply.r[1] == wire::kPowerUpMark) {
    RestoreAfterPowerUp(settings);
  } else if (settings.cRef) {
    ReferencedAxes = kAllAxesReferenced;
    system_.log.WriteLog("Machine is referenced OK");
  }

  SendInitialSettings();

  indicator.show(indicator::kConnected, IndicatorColour::Green);
  system_.log.WriteLog("Communication OK");
  link_.state.RetryCount = 0;
  MachineUi::Call(commands_.ui.rebuildJobView);
  system_.host.processEvents();

  link_.state.StatusCode = 0;
  request.p[0] = kStartDwellMillis;
  commands_.Send(wire::cmd::kDwell);
  commands_.WaitIdle();
  commands_.StopMotion();
  commands_.WaitIdle();
  MachineUi::Call(ui.clearFirmwareStatusText);
  MachineUi::Call(ui.redrawDiagnostics);
  return true;
}

// The board lost its positions at power-up: give it back the last known ones.
void Connection::RestoreAfterPowerUp(const ConnectionFields& settings) {
  commands_.Send(wire::cmd::kMotionReset);
  link_.request.p[0] = settings.eTX;
  link_.request.p[1] = settings.eTY;
  link_.request.p[2] = settings.eTZ;
  link_.request.p[3] = settings.eTA;
  commands_.Send(wire::cmd::kSetPosition);
  ReferencedAxes = 0;
  if (settings.showErr != 0) {
    system_.host.setErrorLabel("Machine not referenced!");
    if (settings.showErr == 2) MachineUi::Call(ui.startReferencingPrompt);
  }
  system_.log.WriteLog("Machine not referenced");
  MachineUi::Call(ui.setCRef, false);
}

void Connection::SendInitialSettings() {
  auto& request = link_.request;
  request.p[4] = kInitialDwellSetting;
  commands_.Send(wire::cmd::kDwell);
  request.p[4] = kConnectionSetting;
  commands_.Send(wire::cmd::kConnectionSetting);
  const ThcFields thc = commands_.thcFields();
  request.p[2] = kInitialPierceHalf;
  request.p[0] = thc.targetVoltage;
  request.p[1] = thc.voltageCalibration * 590 / 100;
  commands_.Send(wire::cmd::kThcSettings);
  commands_.SendThcSettings();
}

void Connection::StartupConnect() {
  Connect();
  if (!fields().autoConnect && link_.state.LinkConnected) {
    link_.Disconnect();
    link_.indicator().show(indicator::kDisconnectedByOperator, IndicatorColour::Red);
  }
}

bool Connection::ProbeOldProtocol() {
  system_.clock.sleepMillis(500);
  D2XXUnit& unit = link_.unit();
  if (unit.OpenByDescription(kControllerDescription) != ftstatus::kOk) return false;

  // The old frame is the request record without P3.
  const wire::OldFrameBytes out = wire::EncodeOldRequest(link_.request);
  unit.Write(out.data(), wire::kOldFrameSize);

  system_.clock.sleepMillis(100);
  unit.QueryReceiveQueue();
  const std::uint32_t count = unit.receiveQueueCount;
  wire::FrameBytes in{};
  link_.DrainInto(in.data());
  const bool accepted =
      wire::ChecksumValid(std::span<const std::uint8_t>(in.data(), wire::kOldFrameSize)) &&
      in[kOldErrorByte] == 0 && count == wire::kOldFrameSize;
  if (!accepted) {
    system_.log.WriteLog("Old_TX_err");
    link_.Disconnect();
  }
  return accepted;
}

void Connection::ClickIndicator(bool shiftHeld, bool ctrlHeld) {
  if (link_.state.FirmwareUpdating) return;
  ConnectionIndicator& indicator = link_.indicator();
  if (link_.state.LinkConnected) {
    link_.Disconnect();
    indicator.show(indicator::kDisconnectedByOperator, IndicatorColour::Red);
    return;
  }
  indicator.show(indicator::kConnecting, indicator.colour);
  system_.host.processEvents();
  system_.clock.sleepMillis(200);
  system_.StopRequested = true;
  if (!shiftHeld) {
    Connect();
  } else if (FindController()) {
    OpenForUpdate(ctrlHeld);
  } else {
    system_.host.showMessage("Device is not Connected or USB Drivers error !");
    link_.Disconnect();
  }
}

}  // namespace corvane
