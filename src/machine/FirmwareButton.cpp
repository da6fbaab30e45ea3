#include "machine/FirmwareButton.h"

#include "link/ControllerLink.h"
#include "machine/Connection.h"
#include "store/SettingsStore.h"
#include "system/System.h"

namespace corvane {

namespace {
constexpr int kStatusFontSize = 12;
constexpr int kRestartPauses = 3;
constexpr int kRestartPauseMillis = 200;

template <typename Hook, typename... Args>
void Call(const Hook& hook, Args... args) {
  if (hook) hook(args...);
}
}  // namespace

bool PressFirmwareButton(System& system, ControllerLink& link, Connection& connection,
                         const FirmwareButtonUi& ui) {
  Call(ui.showPages);
  Call(ui.update.setProgress, 0);
  Call(ui.showProgress, true);
  Call(ui.clearMemo);
  Call(ui.setStatusFontSize, kStatusFontSize);

  const bool updated = UpdateFirmware(system, link, ui.update, kControllerDescription);
  if (updated) {
    Call(ui.update.setStatusText, std::string("Upadate OK!"));
    Call(ui.setStatusGreen);
    system.fields.setText(Window::Configuration, "eVer", connection.fields().lVer);
    SaveSettings(system);
    system.log.WriteLog("Restart_App");
    for (int i = 0; i < kRestartPauses; ++i) {
      system.host.processEvents();
      system.clock.sleepMillis(kRestartPauseMillis);
    }
    Call(ui.restartProgram);
  } else {
    Call(ui.update.setStatusText, std::string("Firmware Upadate ERR!"));
  }
  Call(ui.showProgress, false);
  connection.Connect();
  return updated;
}

}  // namespace corvane
