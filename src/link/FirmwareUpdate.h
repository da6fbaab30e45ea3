#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "link/D2XXUnit.h"
#include "system/Paths.h"

namespace corvane {

class Clock;
class ControllerLink;
class Host;
class ProgramLog;
class System;

// The configuration window's progress bar `ProgressBar1` runs to this.
inline constexpr int kFirmwareProgressMaximum = 14000;

// What the update shows in the configuration and main windows; the UI wires
// each, an unset one does nothing.
struct FirmwareUpdateUi {
  // The status text `Label2`; empty clears it.
  std::function<void(const std::string& text)> setStatusText;
  // `ProgressBar1`, 0 .. kFirmwareProgressMaximum.
  std::function<void(int value)> setProgress;
  // The main window's periodic status refresh goes off for the whole update.
  std::function<void()> stopStatusRefresh;
  // The start pulse has ended the update: the refresh runs again (it finds
  // the link closed until the connection sequence opens it).
  std::function<void()> resumeStatusRefresh;
};

// The erase command that prepared the flash: whichever of the two the
// bootloader lists in its answer to Get.
enum class FlashErase : std::uint8_t { None, Erase, ExtendedErase };

// Writes "CorvaneCNC.cfw" into the controller through the STM32 system
// bootloader: a CBUS reset pulse into the bootloader, sync, Get and a global
// erase, a second pulse and sync, the image in 256-byte blocks at
// 0x0800jj00, and a short pulse that starts the new firmware. Every wait is
// bounded; a lost device ends the update at the next open.
class FirmwareUpdate {
 public:
  static constexpr int kLastAttempt = 5;   // attempts begin while the counter is at most this
  static constexpr int kWritePasses = 5;   // attempts that reached the flash
  static constexpr int kPollMillis = 25;
  static constexpr int kAckPolls = 25;     // 625 ms for one reply
  static constexpr int kErasePolls = 80;   // 2 s for a global erase

  FirmwareUpdate(ControllerLink& link, Clock& clock, Host& host, ProgramLog& log,
                 const Paths& paths);

  FirmwareUpdateUi ui;

  // The whole update for the device with `description`; true when the image
  // was written and acknowledged block by block.
  bool UpdateFirmware(const std::string& description);
  // Waits for the bootloader's answer to what was just sent: true when its
  // first byte is ACK. False at once while the link is closed or the attempt
  // has already failed.
  bool AckWait(int polls = kAckPolls);

  int progress() const { return progress_; }
  FlashErase eraseUsed() const { return erase_; }

 private:
  enum class Outcome { Written, Failed, NoSync, OpenFailed };

  Outcome RunAttempt(const std::string& description);
  bool CopyWorkingImage(const std::string& description);
  void StartApplication(const std::string& description, bool written);
  bool WorkingImageFits();
  bool EraseFlash();
  bool EraseWith(FlashErase kind);
  void WriteBlocks(std::istream& file);
  void Send(std::span<const std::uint8_t> bytes);
  void Send(std::initializer_list<std::uint8_t> bytes);
  bool Receive(std::vector<std::uint8_t>& bytes, std::size_t total, int polls);
  void ReadQueued(std::vector<std::uint8_t>& bytes);
  bool Check(bool ok);
  void SetProgress(int value);
  void Status(const std::string& text);
  std::string workingCopy() const;

  ControllerLink& link_;
  D2XXUnit& unit_;
  Clock& clock_;
  Host& host_;
  ProgramLog& log_;
  const Paths& paths_;
  bool good_ = false;  // the running attempt has met no failure yet
  int progress_ = 0;
  FlashErase erase_ = FlashErase::None;
};

// The short reset pulse that starts the board's application (too short for
// the bootloader).
void SendStartPulse(D2XXUnit& unit, Clock& clock);

// The update on the program's own clock, screen, log and folders, for the
// device described "Corvane CNC".
bool UpdateFirmware(System& system, ControllerLink& link, const FirmwareUpdateUi& ui,
                    const std::string& description = kControllerDescription);

}  // namespace corvane
