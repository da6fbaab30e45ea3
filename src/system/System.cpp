#include "system/System.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "store/Profiles.h"
#include "system/Version.h"

namespace fs = std::filesystem;

namespace corvane {

System::System(Clock& clockPort, Host& hostPort, Paths folders)
    : clock(clockPort),
      host(hostPort),
      paths(std::move(folders)),
      log(clockPort, &hostPort),
      parser(log, &hostPort) {}

bool System::PrepareStart() {
  // A name that is no folder of its own would put a store into the data root
  // or beside the profiles, even where such a folder already exists.
  if (!IsUsableProfileName(paths.profileName)) return false;
  std::error_code error;
  fs::create_directories(paths.logsFolder(), error);
  if (error || !log.Start(paths.logsFolder())) return false;
  if (!fs::is_directory(paths.profileFolder(), error)) {
    if (!CreateProfile(paths, log)) return false;
  }
  log.WriteLog(caption());
  log.WriteLog(RunningAsAdministrator() ? "Run as administrator" : "Run as not administrator");

  // The counter is the injected clock in microseconds: a 1 MHz counter.
  constexpr double kFrequency = 1'000'000.0;
  counter.periodMicros = 1'000'000.0 / kFrequency;
  counter.ticksPer10ms = static_cast<std::int64_t>(kFrequency / 100) + 1;
  counter.ticksPerSecond = static_cast<std::int64_t>(kFrequency) + 1;
  return true;
}

std::string System::caption() const { return WindowCaption(paths.profileName); }

void System::LogClose() { log.WriteLog("CloseApp"); }

bool System::RefusedWhileBusy() {
  if (!Busy) return false;
  host.setErrorLabel(kBusyRefusal);
  log.WriteLog(kBusyRefusal);
  return true;
}

bool DataRootWritable(const std::string& dataRoot) {
  std::error_code error;
  fs::create_directories(dataRoot, error);
  const fs::path probe = fs::path(dataRoot) / "Corvane.tst";
  {
    std::ofstream file(probe, std::ios::trunc);
    if (!file) return false;
    file.close();
    if (file.fail()) return false;
  }
  return fs::remove(probe, error) && !error;
}

bool RunningAsAdministrator() { return ::geteuid() == 0; }

}  // namespace corvane
