#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "machine/MachineFields.h"

namespace corvane {

class ControllerLink;
class MachineCommands;
class System;

// Effects of the connection sequence owned by other windows: the lead wires
// them; an unset one does nothing.
struct ConnectionUi {
  // Configuration window on its first page with the "Electronics" tab shown.
  std::function<void()> openElectronicsTab;
  // Lets the operator pick an Intel HEX file and converts it (Ctrl+Shift-click).
  std::function<void()> convertHexFile;
  std::function<void()> startFirmwareUpdate;
  // The setup password that guards the configuration window: true when the
  // operator may open it (no password set, Ctrl held, or the right answer).
  std::function<bool()> setupPasswordGiven;
  std::function<void()> startReferencingPrompt;
  std::function<void()> clearFirmwareStatusText;
  std::function<void()> redrawDiagnostics;
  // The sequence clears cRef after a controller power-up.
  std::function<void(bool)> setCRef;
};

// Formats a firmware version as " %d.%d %s": " 1.2 1".
std::string FormatFirmwareVersion(std::int32_t major, std::int32_t minor, char revision);

// Finding the controller, the handshake after opening it, and the clickable
// connection label that connects and disconnects.
class Connection {
 public:
  Connection(System& system, ControllerLink& link, MachineCommands& commands);

  ConnectionUi ui;
  std::function<ConnectionFields()> fields = [] { return ConnectionFields{}; };
  // Bit set of referenced axes (1 Z, 2 X, 4 Y).
  int ReferencedAxes = 0;

  bool FindController();
  // The whole connection sequence; its result carries no meaning for callers.
  bool Connect();
  // The first connection at program start; "AutoConnect" disable drops it again.
  void StartupConnect();
  // Controllers older than 1.0.9 answer only the 20-byte frame.
  bool ProbeOldProtocol();

  // Click on the connection label with the keyboard's modifier state.
  void ClickIndicator(bool shiftHeld, bool ctrlHeld);

 private:
  void ClearInputs();
  bool AskFirmwareUpdate(const std::string& text);
  // The configuration window behind its password, then the update; false
  // when the password was not given and nothing ran.
  bool OpenForUpdate(bool convertHex = false);
  void RestoreAfterPowerUp(const ConnectionFields& settings);
  void SendInitialSettings();
  System& system_;
  ControllerLink& link_;
  MachineCommands& commands_;
};

}  // namespace corvane
