#include "link/D2XXUnit.h"

#include <array>

#include "ports/Host.h"
#include "ports/ProgramLog.h"

namespace corvane {

namespace {
constexpr std::size_t kOpenDescriptionLimit = 49;
}  // namespace

std::string FtStatusText(FtStatus status) {
  static const std::array<const char*, 18> texts = {
      "",
      " - Invalid handle...",
      " - Device not found...",
      " - Device not opened...",
      " - General IO error...",
      " - Insufficient resources...",
      " - Invalid parameter...",
      " - Invalid baud rate...",
      " Device not opened for erase...",
      " Device not opened for write...",
      " - Failed to write...",
      " - EEPROM read failed...",
      " - EEPROM write failed...",
      " - EEPROM erase failed...",
      " - EEPROM not present...",
      " - EEPROM not programmed...",
      " - Invalid arguments...",
      " - Other error ..."};
  return status < texts.size() ? texts[status] : "";
}

FtStatus D2XXUnit::Report(const char* callName, FtStatus status) {
  if (status == ftstatus::kOk) return status;
  log_.WriteLog(std::string(callName) + FtStatusText(status));
  host_.beep();
  return status;
}

void D2XXUnit::CountDevices() {
  std::uint32_t count = 0;
  if (device_.countDevices(count) == ftstatus::kOk) deviceCount = count;
}

FtStatus D2XXUnit::DescribeDevice(std::uint32_t index) {
  std::string description;
  const FtStatus status = device_.describeDevice(index, description);
  if (status == ftstatus::kOk) listedDescription = description.substr(0, 64);
  return status;
}

FtStatus D2XXUnit::OpenByDescription(const std::string& description) {
  openDescription = description.substr(0, kOpenDescriptionLimit);
  return device_.openByDescription(openDescription);
}

FtStatus D2XXUnit::Close() { return device_.close(); }

std::uint32_t D2XXUnit::Read(std::uint8_t* buffer, std::uint32_t count) {
  return device_.read(buffer, count);
}

std::uint32_t D2XXUnit::Write(const std::uint8_t* buffer, std::uint32_t count) {
  return device_.write(buffer, count);
}

FtStatus D2XXUnit::ApplyBaudRate() {
  return Report("FT_SetBaudRate", device_.setBaudRate(parameters.baudRate));
}

FtStatus D2XXUnit::ApplyDataCharacteristics() {
  return Report("FT_SetDataCharacteristics",
                device_.setDataCharacteristics(parameters.wordLength, parameters.stopBits,
                                               parameters.parity));
}

FtStatus D2XXUnit::ApplyFlowControl() {
  return Report("FT_SetFlowControl", device_.setFlowControl(parameters.flowControl, kXon, kXoff));
}

FtStatus D2XXUnit::QueryReceiveQueue() {
  std::uint32_t count = 0;
  const FtStatus status = device_.queueStatus(count);
  if (status == ftstatus::kOk) receiveQueueCount = count;
  return Report("FT_GetQueueStatus", status);
}

FtStatus D2XXUnit::SetLatency(std::uint8_t milliseconds) {
  return Report("FT_SetLatencyTimer ", device_.setLatencyTimer(milliseconds));
}

FtStatus D2XXUnit::SetBitMode(std::uint8_t mask, std::uint8_t mode) {
  return Report("FT_SetBitMode ", device_.setBitMode(mask, mode));
}

void D2XXUnit::ApplyParameters(const SerialParameters& set) {
  parameters = set;
  ApplyBaudRate();
  ApplyDataCharacteristics();
  ApplyFlowControl();
  SetLatency(set.latencyMillis);
}

}  // namespace corvane
