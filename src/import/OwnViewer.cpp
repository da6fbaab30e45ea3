#include "import/OwnViewer.h"

#include <filesystem>

#include "import/CompanionExchange.h"
#include "ports/ProgramLog.h"

namespace corvane {

namespace fs = std::filesystem;

std::string RunningExecutableFolder() {
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : executable.parent_path().string();
}

bool StartOwnThreeDViewer(const std::string& programBinFolder, const std::string& dataFile, ProgramLog& log) {
  const fs::path viewer = fs::path(programBinFolder) / kOwnViewerName;
  std::error_code error;
  if (!fs::is_regular_file(viewer, error)) {
    log.WriteLog("3D preview not installed (looked for " + viewer.string() + ")");
    return false;
  }
  const fs::path data(dataFile);
  if (data.filename() != kOwnViewerDataName) {
    log.WriteLog("3D preview: the data file must be named " + std::string(kOwnViewerDataName) + " (" + dataFile + ")");
    return false;
  }
  const fs::path folder = data.has_parent_path() ? data.parent_path() : fs::path(".");
  const DetachedStart start = StartDetached(viewer.string(), folder.string());
  if (!start.started) {
    log.WriteLog("3D preview could not be started (" + viewer.string() + "): " + start.error);
    return false;
  }
  log.WriteLog("3D preview started (process " + std::to_string(start.pid) + ")");
  return true;
}

}  // namespace corvane
