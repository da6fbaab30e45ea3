#include "virtual/VirtualUsbDevice.h"

#include <span>

#include "link/D2XXUnit.h"
#include "ports/Clock.h"
#include "sim/VirtualBoard.h"
#include "wire/Frame.h"

namespace corvane {

VirtualUsbDevice::VirtualUsbDevice(sim::VirtualBoard& board, Clock& clock, FakeClock* fakeTime)
    : board_(board), clock_(clock), fakeTime_(fakeTime), origin_(clock.nowMicros() - board.nowMicros()) {}

void VirtualUsbDevice::catchUp() {
  const std::int64_t now = clock_.nowMicros() - origin_;
  if (now > board_.nowMicros()) board_.advanceTo(now);
}

FtStatus VirtualUsbDevice::whenOpen() const {
  return open_ ? ftstatus::kOk : ftstatus::kDeviceNotOpened;
}

FtStatus VirtualUsbDevice::countDevices(std::uint32_t& count) {
  count = board_.unplugged() ? 0 : 1;
  return ftstatus::kOk;
}

FtStatus VirtualUsbDevice::describeDevice(std::uint32_t index, std::string& description) {
  if (board_.unplugged() || index > 0) return ftstatus::kDeviceNotFound;
  description = kControllerDescription;
  return ftstatus::kOk;
}

FtStatus VirtualUsbDevice::openByDescription(const std::string& description) {
  if (board_.unplugged() || description != kControllerDescription) return ftstatus::kDeviceNotFound;
  if (refuseOpen_) return ftstatus::kDeviceNotOpened;
  open_ = true;
  return ftstatus::kOk;
}

FtStatus VirtualUsbDevice::close() {
  if (!open_) return ftstatus::kInvalidHandle;
  open_ = false;
  return ftstatus::kOk;
}

std::uint32_t VirtualUsbDevice::read(std::uint8_t* buffer, std::uint32_t count) {
  if (!open_) return 0;
  catchUp();
  const auto got = board_.read(std::span<std::uint8_t>(buffer, count));
  return static_cast<std::uint32_t>(got.value_or(0));
}

std::uint32_t VirtualUsbDevice::write(const std::uint8_t* buffer, std::uint32_t count) {
  if (!open_) return 0;
  catchUp();
  return board_.write(std::span<const std::uint8_t>(buffer, count)) ? count : 0;
}

FtStatus VirtualUsbDevice::setBaudRate(std::uint32_t) { return whenOpen(); }

FtStatus VirtualUsbDevice::setDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) {
  return whenOpen();
}

FtStatus VirtualUsbDevice::setFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) {
  return whenOpen();
}

FtStatus VirtualUsbDevice::queueStatus(std::uint32_t& receiveCount) {
  if (!open_) return ftstatus::kDeviceNotOpened;
  catchUp();
  auto queued = board_.queued();
  if (!queued) return ftstatus::kIoError;
  if (fakeTime_ && *queued < wire::kFrameSize) {
    fakeTime_->advance(kFakePollMicros);
    catchUp();
    queued = board_.queued();
    if (!queued) return ftstatus::kIoError;
  }
  receiveCount = static_cast<std::uint32_t>(*queued);
  return ftstatus::kOk;
}

FtStatus VirtualUsbDevice::setLatencyTimer(std::uint8_t) { return whenOpen(); }

FtStatus VirtualUsbDevice::setBitMode(std::uint8_t mask, std::uint8_t mode) {
  if (!open_) return ftstatus::kDeviceNotOpened;
  catchUp();
  return board_.setBitMode(mask, mode) ? ftstatus::kOk : ftstatus::kIoError;
}

}  // namespace corvane
