#include "store/Profiles.h"

#include <filesystem>

#include "ports/ProgramLog.h"
#include "system/Paths.h"

namespace fs = std::filesystem;

namespace corvane {
namespace {

// The template's store folder may be spelled "store" or "STORE".
fs::path StoreFolderOf(const fs::path& folder) {
  for (const char* name : {"STORE", "store"}) {
    std::error_code error;
    if (fs::is_directory(folder / name, error)) return folder / name;
  }
  return {};
}

}  // namespace

bool CreateProfile(const Paths& paths, ProgramLog& log) {
  std::error_code error;
  const fs::path plasma = fs::path(paths.corvaneFolder()) / "Plasma";
  const fs::path templateFolder =
      fs::is_directory(plasma, error) ? plasma : fs::path(paths.programFolder);
  const fs::path profile = paths.profileFolder();
  const fs::path store = paths.storeFolder();
  if (!fs::create_directories(store, error) && error) return false;

  if (const fs::path source = StoreFolderOf(templateFolder); !source.empty()) {
    for (const auto& entry : fs::directory_iterator(source, error)) {
      if (!entry.is_regular_file(error)) continue;
      fs::copy_file(entry.path(), store / entry.path().filename(),
                    fs::copy_options::overwrite_existing, error);
    }
  }
  if (!fs::exists(profile / "logo.bmp", error) && fs::exists(templateFolder / "logo.bmp", error))
    fs::copy_file(templateFolder / "logo.bmp", profile / "logo.bmp", error);

  log.WriteLog("Created : \"" + paths.profileName + "\" profile in:");
  log.WriteLog(profile.string());
  return fs::is_directory(profile, error);
}

}  // namespace corvane
