#include "link/FtdiDevice.h"

#include <ftdi.h>

#include <array>
#include <vector>

namespace corvane {

namespace {

// libftdi waits 5 s for a bulk read by default; the chip answers every latency
// period anyway, so a short limit keeps a vanished board from freezing the UI.
constexpr int kReadTimeoutMillis = 50;
constexpr int kMaxDescription = 64;

// Every FTDI chip libftdi knows (vendor 0x0403 with its standard products).
struct DeviceList {
  explicit DeviceList(ftdi_context* context) {
    const int found = ftdi_usb_find_all(context, &head, 0, 0);
    for (ftdi_device_list* item = found > 0 ? head : nullptr; item; item = item->next)
      devices.push_back(item->dev);
  }
  ~DeviceList() { ftdi_list_free(&head); }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  ftdi_device_list* head = nullptr;
  std::vector<libusb_device*> devices;
};

std::string Description(ftdi_context* context, libusb_device* device) {
  std::array<char, kMaxDescription + 1> text{};
  if (ftdi_usb_get_strings2(context, device, nullptr, 0, text.data(), kMaxDescription, nullptr,
                            0) < 0)
    return {};
  return text.data();
}

ftdi_stopbits_type StopBits(std::uint8_t code) {
  if (code == serial::kTwoStopBits) return STOP_BIT_2;
  return code == 1 ? STOP_BIT_15 : STOP_BIT_1;
}

}  // namespace

FtdiDevice::FtdiDevice() : context_(ftdi_new()) {}

FtdiDevice::~FtdiDevice() {
  if (open_) ftdi_usb_close(context_);
  if (context_) ftdi_free(context_);
}

FtStatus FtdiDevice::whenOpen(int result) const {
  if (!open_) return ftstatus::kDeviceNotOpened;
  return result < 0 ? ftstatus::kIoError : ftstatus::kOk;
}

FtStatus FtdiDevice::countDevices(std::uint32_t& count) {
  if (!context_) return ftstatus::kInsufficientResources;
  count = static_cast<std::uint32_t>(DeviceList(context_).devices.size());
  return ftstatus::kOk;
}

FtStatus FtdiDevice::describeDevice(std::uint32_t index, std::string& description) {
  if (!context_) return ftstatus::kInsufficientResources;
  DeviceList list(context_);
  if (index >= list.devices.size()) return ftstatus::kDeviceNotFound;
  description = Description(context_, list.devices[index]);
  return ftstatus::kOk;
}

FtStatus FtdiDevice::openByDescription(const std::string& description) {
  if (!context_) return ftstatus::kInsufficientResources;
  if (open_) close();
  DeviceList list(context_);
  for (libusb_device* device : list.devices) {
    if (Description(context_, device) != description) continue;
    if (ftdi_usb_open_dev(context_, device) < 0) return ftstatus::kDeviceNotOpened;
    open_ = true;
    context_->usb_read_timeout = kReadTimeoutMillis;
    received_.clear();
    return ftstatus::kOk;
  }
  return ftstatus::kDeviceNotFound;
}

FtStatus FtdiDevice::close() {
  if (!open_) return ftstatus::kInvalidHandle;
  open_ = false;
  received_.clear();
  return ftdi_usb_close(context_) < 0 ? ftstatus::kIoError : ftstatus::kOk;
}

std::uint32_t FtdiDevice::read(std::uint8_t* buffer, std::uint32_t count) {
  std::uint32_t n = 0;
  while (n < count && !received_.empty()) {
    buffer[n++] = received_.front();
    received_.pop_front();
  }
  return n;
}

std::uint32_t FtdiDevice::write(const std::uint8_t* buffer, std::uint32_t count) {
  if (!open_) return 0;
  const int written = ftdi_write_data(context_, buffer, static_cast<int>(count));
  return written < 0 ? 0 : static_cast<std::uint32_t>(written);
}

FtStatus FtdiDevice::setBaudRate(std::uint32_t baudRate) {
  if (!open_) return ftstatus::kDeviceNotOpened;
  // libftdi multiplies the rate by 4 while a bit-bang mode is on; the link
  // runs as a plain UART whatever the CBUS pins are doing, so compute it so.
  const unsigned char bitbang = context_->bitbang_enabled;
  context_->bitbang_enabled = 0;
  const int result = ftdi_set_baudrate(context_, static_cast<int>(baudRate));
  context_->bitbang_enabled = bitbang;
  if (result == -1) return ftstatus::kInvalidBaudRate;
  return result < 0 ? ftstatus::kIoError : ftstatus::kOk;
}

FtStatus FtdiDevice::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                            std::uint8_t parity) {
  if (parity > 4 || (wordLength != 7 && wordLength != 8)) return ftstatus::kInvalidParameter;
  return whenOpen(open_ ? ftdi_set_line_property2(context_, wordLength == 7 ? BITS_7 : BITS_8,
                                                  StopBits(stopBits),
                                                  static_cast<ftdi_parity_type>(parity), BREAK_OFF)
                        : 0);
}

FtStatus FtdiDevice::setFlowControl(std::uint16_t flowControl, std::uint8_t xon,
                                    std::uint8_t xoff) {
  if (!open_) return ftstatus::kDeviceNotOpened;
  if (flowControl == serial::kNoFlowControl)
    return whenOpen(ftdi_setflowctrl(context_, SIO_DISABLE_FLOW_CTRL));
  return whenOpen(ftdi_setflowctrl_xonxoff(context_, xon, xoff));
}

FtStatus FtdiDevice::queueStatus(std::uint32_t& receiveCount) {
  if (!open_) return ftstatus::kDeviceNotOpened;
  std::array<std::uint8_t, 512> chunk{};
  const int got = ftdi_read_data(context_, chunk.data(), static_cast<int>(chunk.size()));
  if (got < 0) return ftstatus::kIoError;
  received_.insert(received_.end(), chunk.begin(), chunk.begin() + got);
  receiveCount = static_cast<std::uint32_t>(received_.size());
  return ftstatus::kOk;
}

FtStatus FtdiDevice::setLatencyTimer(std::uint8_t milliseconds) {
  return whenOpen(open_ ? ftdi_set_latency_timer(context_, milliseconds) : 0);
}

FtStatus FtdiDevice::setBitMode(std::uint8_t mask, std::uint8_t mode) {
  return whenOpen(open_ ? ftdi_set_bitmode(context_, mask, mode) : 0);
}

}  // namespace corvane
