#include "link/FirmwareUpdate.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "link/ControllerLink.h"
#include "link/HexConvert.h"
#include "ports/Clock.h"
#include "ports/FileIo.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "system/System.h"
#include "wire/Bootloader.h"

namespace corvane {

namespace {

using namespace wire::boot;

constexpr std::uint8_t kBitMode = kCbusBitBangMode;
// Pauses of the update, in milliseconds.
constexpr int kBootPulseMillis = 600, kBootSettleMillis = 700;
constexpr int kSecondPulseMillis = 500, kSecondSettleMillis = 600, kSecondSyncMillis = 200;
constexpr int kNoSyncMillis = 700, kAfterEraseMillis = 700, kAfterWriteMillis = 1200;
constexpr int kRunPulseMillis = 70, kRunSettleMillis = 600;
constexpr int kAccessDeniedMillis = 2000;
// Progress steps of the two pulses.
constexpr int kPulseHighProgress = 700, kPulseLowProgress = 1000;
// A bootloader that never stops talking must not hold the program.
constexpr std::size_t kMaxReadBytes = 4096;

std::uint8_t Complement(std::uint8_t command) { return static_cast<std::uint8_t>(command ^ 0xFF); }

}  // namespace

FirmwareUpdate::FirmwareUpdate(ControllerLink& link, Clock& clock, Host& host, ProgramLog& log,
                               const Paths& paths)
    : link_(link), unit_(link.unit()), clock_(clock), host_(host), log_(log), paths_(paths) {}

void FirmwareUpdate::Status(const std::string& text) {
  if (ui.setStatusText) ui.setStatusText(text);
}

void FirmwareUpdate::SetProgress(int value) {
  progress_ = std::min(value, kFirmwareProgressMaximum);
  if (ui.setProgress) ui.setProgress(progress_);
}

std::string FirmwareUpdate::workingCopy() const {
  return paths_.profileFolder() + kFirmwareFileName;
}

bool FirmwareUpdate::Check(bool ok) {
  if (!ok) good_ = false;
  return ok;
}

void FirmwareUpdate::Send(std::span<const std::uint8_t> bytes) {
  unit_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void FirmwareUpdate::Send(std::initializer_list<std::uint8_t> bytes) {
  Send(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

void FirmwareUpdate::ReadQueued(std::vector<std::uint8_t>& bytes) {
  std::array<std::uint8_t, kFirmwareBlockSize> chunk{};
  std::size_t budget = kMaxReadBytes;
  while (unit_.receiveQueueCount > 0 && budget > 0) {
    const auto want = static_cast<std::uint32_t>(
        std::min<std::size_t>({unit_.receiveQueueCount, chunk.size(), budget}));
    const std::uint32_t got = unit_.Read(chunk.data(), want);
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    budget -= want;
    if (got == 0 || unit_.QueryReceiveQueue() != ftstatus::kOk) return;
  }
}

// Looks every 25 ms, at most `polls` times, until `total` bytes have come,
// then reads what is queued. False when the device is lost: its queue query
// fails, and waiting on would only repeat the failure report.
bool FirmwareUpdate::Receive(std::vector<std::uint8_t>& bytes, std::size_t total, int polls) {
  for (int k = 0; k < polls; ++k) {
    clock_.sleepMillis(kPollMillis);
    if (unit_.QueryReceiveQueue() != ftstatus::kOk) return false;
    if (bytes.size() + unit_.receiveQueueCount >= total) break;
  }
  ReadQueued(bytes);
  return true;
}

bool FirmwareUpdate::AckWait(int polls) {
  if (!link_.state.LinkConnected || !good_) return false;
  std::vector<std::uint8_t> reply;
  return Receive(reply, 1, polls) && !reply.empty() && reply.front() == kAck;
}

// Get lists the commands this bootloader takes; the erase is the one it
// offers (older parts the plain Erase, newer ones the Extended Erase), and
// it clears the whole flash.
bool FirmwareUpdate::EraseFlash() {
  erase_ = FlashErase::None;
  if (!link_.state.LinkConnected || !good_) return false;
  Send({kGet, Complement(kGet)});
  std::vector<std::uint8_t> reply;
  if (!Receive(reply, 2, kAckPolls) || reply.size() < 2 || reply[0] != kAck) return false;
  // ACK, N, version, N command codes, ACK.
  const std::size_t total = reply[1] + 4u;
  if (reply.size() < total && !Receive(reply, total, kAckPolls)) return false;
  if (reply.size() < total || reply[total - 1] != kAck) return false;
  const auto offered = [&](std::uint8_t code) {
    return std::find(reply.begin() + 3, reply.begin() + static_cast<std::ptrdiff_t>(total) - 1,
                     code) != reply.begin() + static_cast<std::ptrdiff_t>(total) - 1;
  };
  if (offered(kExtendedErase)) return EraseWith(FlashErase::ExtendedErase);
  if (offered(kErase)) return EraseWith(FlashErase::Erase);
  return false;
}

bool FirmwareUpdate::EraseWith(FlashErase kind) {
  erase_ = kind;
  if (kind == FlashErase::ExtendedErase) {
    // 0xFFFF asks for a mass erase; its checksum byte is 0x00.
    Send({kExtendedErase, Complement(kExtendedErase)});
    if (!AckWait()) return false;
    Send({0xFF, 0xFF, 0x00});
  } else {
    // 0xFF asks for a global erase; its complement follows.
    Send({kErase, Complement(kErase)});
    if (!AckWait()) return false;
    Send({0xFF, 0x00});
  }
  return AckWait(kErasePolls);
}

// Block j goes to 0x0800jj00: Write Memory, the address, then 256 bytes
// (the second block with its stored shift undone) and their checksum.
void FirmwareUpdate::WriteBlocks(std::istream& file) {
  for (std::uint8_t j = 0; good_ && file.peek() != std::char_traits<char>::eof(); ++j) {
    Send({kWriteMemory, Complement(kWriteMemory)});
    if (!Check(AckWait())) break;
    const std::uint8_t high = kFlashBase >> 24, upper = (kFlashBase >> 16) & 0xFF;
    Send({high, upper, j, 0x00, static_cast<std::uint8_t>(high ^ upper ^ j)});
    if (!Check(AckWait())) break;

    std::array<std::uint8_t, kFirmwareBlockSize + 2> frame{};
    frame.fill(0xFF);
    frame[0] = kFirmwareBlockSize - 1;
    file.read(reinterpret_cast<char*>(frame.data() + 1), kFirmwareBlockSize);
    const auto read = static_cast<std::size_t>(file.gcount());
    for (std::size_t k = 0; k < read; ++k)
      frame[1 + k] = FlashByte(j * kFirmwareBlockSize + k, frame[1 + k]);
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k + 1 < frame.size(); ++k) sum ^= frame[k];
    frame.back() = sum;
    Send(frame);
    Check(AckWait());
    SetProgress(progress_ + static_cast<int>(kFirmwareBlockSize));
  }
}

FirmwareUpdate::Outcome FirmwareUpdate::RunAttempt(const std::string& description) {
  if (link_.state.LinkConnected) link_.Disconnect();
  if (unit_.OpenByDescription(description) != ftstatus::kOk) return Outcome::OpenFailed;
  unit_.ApplyParameters(kBootloaderLinkParameters);
  link_.indicator().showText("Firmware Update...", IndicatorColour::Blue);
  if (ui.stopStatusRefresh) ui.stopStatusRefresh();
  host_.processEvents();

  // Reset into the bootloader.
  unit_.SetBitMode(kResetHighMask, kBitMode);
  SetProgress(0);
  clock_.sleepMillis(kBootPulseMillis);
  SetProgress(progress_ + kPulseHighProgress);
  unit_.SetBitMode(kResetLowMask, kBitMode);
  clock_.sleepMillis(kBootSettleMillis);
  SetProgress(progress_ + kPulseLowProgress);

  link_.state.LinkConnected = true;
  good_ = true;
  std::vector<std::uint8_t> stale;
  if (unit_.QueryReceiveQueue() == ftstatus::kOk) ReadQueued(stale);
  Send({kSync});
  if (!AckWait()) {
    link_.state.LinkConnected = true;
    clock_.sleepMillis(kNoSyncMillis);
    return Outcome::NoSync;
  }

  if (Check(EraseFlash())) clock_.sleepMillis(kAfterEraseMillis);

  // Reset again: a fresh bootloader takes the sync byte once more.
  unit_.SetBitMode(kResetHighMask, kBitMode);
  if (good_) clock_.sleepMillis(kSecondPulseMillis);
  SetProgress(progress_ + kPulseHighProgress);
  unit_.SetBitMode(kResetLowMask, kBitMode);
  if (good_) clock_.sleepMillis(kSecondSettleMillis);
  SetProgress(progress_ + kPulseLowProgress);
  Send({kSync});
  Check(AckWait());
  if (good_) clock_.sleepMillis(kSecondSyncMillis);

  link_.indicator().showText("Wait...", IndicatorColour::Blue);
  host_.processEvents();
  std::ifstream file(workingCopy(), std::ios::binary);
  Check(file.is_open());
  WriteBlocks(file);

  clock_.sleepMillis(kAfterWriteMillis);
  SetProgress(kFirmwareProgressMaximum);
  file.close();
  return good_ ? Outcome::Written : Outcome::Failed;
}

bool FirmwareUpdate::CopyWorkingImage(const std::string& description) {
  const auto image = ReadWholeFile(paths_.programFolder + kFirmwareFileName);
  if (image && WriteFileAtomically(workingCopy(), *image)) return true;
  log_.WriteLog(description + "Firmware Update Error _ acces denied ");
  Status("FirmWare Access denied !!!");
  host_.processEvents();
  clock_.sleepMillis(kAccessDeniedMillis);
  return false;
}

// An empty image would leave the controller erased with nothing written; a
// larger one would wrap the one-byte block number back onto block 0.
bool FirmwareUpdate::WorkingImageFits() {
  const auto image = ReadWholeFile(workingCopy());
  if (image && !image->empty() && image->size() <= kMaxFirmwareImage) return true;
  log_.WriteLog(std::string(kFirmwareFileName) + " holds " +
                std::to_string(image ? image->size() : 0) + " bytes; an image holds 1 to " +
                std::to_string(kMaxFirmwareImage));
  return false;
}

bool FirmwareUpdate::UpdateFirmware(const std::string& description) {
  Status("FirmWare UpDate");
  log_.WriteLog("FirmWare UpDate...");
  if (!CopyWorkingImage(description)) return false;
  if (!WorkingImageFits()) {
    log_.WriteLog(description + "Firmware Update Error");
    Status("");
    return false;
  }

  // From the first reset pulse to the start pulse the bootloader is on the
  // line: no controller exchange may go out, whatever the window does while
  // the update lets it process its events.
  link_.state.FirmwareUpdating = true;
  bool written = false;
  bool opened = true;
  bool decided = false;
  for (int attempt = 0; attempt <= kLastAttempt && !decided;) {
    const Outcome outcome = RunAttempt(description);
    if (outcome == Outcome::OpenFailed) {
      log_.WriteLog("Boot connected err");
      opened = false;
      break;
    }
    ++attempt;
    if (outcome == Outcome::NoSync) continue;
    written = outcome == Outcome::Written;
    decided = written || attempt >= kWritePasses;
  }
  if (opened)
    log_.WriteLog(description + (written ? "Firmware Update OK" : "Firmware Update Error"));

  StartApplication(description, written);
  Status("");
  link_.Disconnect();
  link_.state.FirmwareUpdating = false;
  if (ui.resumeStatusRefresh) ui.resumeStatusRefresh();
  return written;
}

// The board leaves its bootloader whatever became of the update. A failure
// may have lost the device on the way, so it is opened afresh for the pulse;
// a device that cannot be opened owes the board its pulse, and the next
// connection sends it.
void FirmwareUpdate::StartApplication(const std::string& description, bool written) {
  if (!written) {
    unit_.Close();
    if (unit_.OpenByDescription(description) != ftstatus::kOk) {
      log_.WriteLog(description + " cannot be opened: the board stays in its bootloader until it is "
                                  "connected again");
      link_.state.StartPulseOwed = true;
      return;
    }
  }
  link_.state.LinkConnected = true;
  SendStartPulse(unit_, clock_);
  link_.state.StartPulseOwed = false;
}

void SendStartPulse(D2XXUnit& unit, Clock& clock) {
  unit.SetBitMode(kResetHighMask, kBitMode);
  clock.sleepMillis(kRunPulseMillis);
  unit.SetBitMode(kResetLowMask, kBitMode);
  clock.sleepMillis(kRunSettleMillis);
}

bool UpdateFirmware(System& system, ControllerLink& link, const FirmwareUpdateUi& ui,
                    const std::string& description) {
  FirmwareUpdate update(link, system.clock, system.host, system.log, system.paths);
  update.ui = ui;
  return update.UpdateFirmware(description);
}

}  // namespace corvane
