#pragma once
#include <functional>

#include "link/FirmwareUpdate.h"

namespace corvane {

class Connection;
class ControllerLink;
class System;

// The configuration window around the update; the UI wires each part, an
// unset one does nothing.
struct FirmwareButtonUi {
  FirmwareUpdateUi update;                      // status text, progress, status refresh
  std::function<void()> showPages;              // the configuration window's pages
  std::function<void(bool visible)> showProgress;  // `ProgressBar1`
  std::function<void()> clearMemo;              // `Memo1`
  std::function<void(int points)> setStatusFontSize;
  std::function<void()> setStatusGreen;         // the status text's background
  // Starts the program's own executable again and closes this instance.
  std::function<void()> restartProgram;
};

// The "bootloader" button (`bFirmware`), which the firmware question of the
// connection sequence and the Shift-click on the connection label press too:
// the whole update with its screen effects; on success the carried version
// becomes the flashed one (`eVer`), the settings are saved and the program
// restarts; either way the connection sequence runs again at the end.
bool PressFirmwareButton(System& system, ControllerLink& link, Connection& connection,
                         const FirmwareButtonUi& ui);

}  // namespace corvane
