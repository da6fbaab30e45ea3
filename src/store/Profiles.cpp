#include "store/Profiles.h"

#include <filesystem>

#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/StagingFolder.h"
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

// The profile's content, put together in `staging`; the reason when a copy failed.
std::string FillProfile(const fs::path& templateFolder, const fs::path& staging) {
  std::error_code error;
  const fs::path store = staging / "STORE";
  if (const fs::path source = StoreFolderOf(templateFolder); !source.empty())
    fs::copy(source, store, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             error);
  else
    fs::create_directory(store, error);
  if (error)
    return "Cannot copy the store of \"" + templateFolder.string() + "\": " + error.message();
  if (const fs::path logo = templateFolder / "logo.bmp"; fs::exists(logo, error)) {
    fs::copy_file(logo, staging / "logo.bmp", error);
    if (error) return "Cannot copy \"" + logo.string() + "\": " + error.message();
  }
  return {};
}

}  // namespace

bool IsUsableProfileName(std::string_view name) { return ProfileNameProblem(name).empty(); }

bool CreateProfile(const Paths& paths, ProgramLog& log) {
  if (!IsUsableProfileName(paths.profileName)) {
    log.WriteLog(ProfileNameRefusal(paths.profileName));
    return false;
  }
  std::error_code error;
  const fs::path profiles = paths.corvaneFolder();
  fs::create_directories(profiles, error);
  const fs::path plasma = profiles / "Plasma";
  const fs::path templateFolder =
      fs::is_directory(plasma, error) ? plasma : fs::path(paths.programFolder);

  const StagingFolder staging(profiles.string(), paths.profileName + ".new");
  std::string failure =
      staging.empty() ? staging.error() : FillProfile(templateFolder, staging.path());
  // Both without their trailing "/", so that the rename names the folders themselves.
  const fs::path profile = fs::path(paths.profileFolder()).parent_path();
  if (failure.empty()) {
    fs::rename(fs::path(staging.path()).parent_path(), profile, error);
    if (error) failure = "Cannot create \"" + profile.string() + "\": " + error.message();
  }
  if (!failure.empty()) {
    log.WriteLog(failure);
    return false;
  }
  log.WriteLog("Created : \"" + paths.profileName + "\" profile in:");
  log.WriteLog(paths.profileFolder());
  return true;
}

void OpenProfilesFolder(const Paths& paths, Host& host, Clock& clock,
                        const std::function<void(const std::string& folder)>& showFolder) {
  showFolder(paths.corvaneFolder());
  for (int i = 0; i < 4; ++i) {
    host.processEvents();
    clock.sleepMillis(500);
  }
}

}  // namespace corvane
