#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/FileIo.h"

namespace corvane {

class System;
struct LocalDateTime;
struct Paths;

// "Support_CorvaneCNC_" + profile + " yyyy_mm_dd hhnn.zip".
std::string SupportPackageName(const std::string& profile, const LocalDateTime& when);

// "Create support File", the steps after the screenshots: the settings saved,
// the current drawing copied to "STORE/Last" + its extension, and a ZIP
// archive of the whole profile folder and the log files (as "LOGS/" + name)
// written anew on the desktop, then message 16. A failure of the archive
// step is logged and beeps; the files made before it stay.
FileResult CreateSupportPackage(System& system, const std::string& desktopFolder);

// What a configuration archive may cost before it is refused.
struct ArchiveLimits {
  std::uint64_t archiveBytes = 256ull << 20;  // the archive file itself
  std::uint64_t entryBytes = 128ull << 20;    // one unpacked store file
  std::uint64_t totalBytes = 512ull << 20;    // all unpacked store files
  std::uint64_t entries = 65535;              // entries of the whole archive
  std::uint64_t presets = 1000;               // presets: more than anyone keeps
};

// The outcome of unpacking a configuration archive: the store files written
// (paths below the store folder, "/"-separated), or why nothing was.
struct StoreExtraction {
  bool ok = false;
  std::string error;
  std::vector<std::string> files;
  // Entries below "store" that no profile holds, or that name a file again in
  // another letter case; left out, the archive loads without them.
  std::size_t refused = 0;
  std::string firstRefused;
  explicit operator bool() const { return ok; }
};

// Told before each store file is unpacked and once at the end: files done, files in all.
// Called on the thread that unpacks.
using ExtractProgress = std::function<void(std::size_t done, std::size_t total)>;
// Runs the unpacking (given the progress to report to) and returns its outcome;
// the window's runner does it on another thread while the window stays alive.
using ExtractRunner = std::function<StoreExtraction(
    const std::function<StoreExtraction(const ExtractProgress&)>& extract)>;

// Unpacks the entries of a configuration archive below "store" (any letter
// case, "/" or "\" as separator) into the profile's store folder, overwriting.
// Only the files a profile's store holds are written, under their own names
// (settings and backups, advanced options, jobs, the language template,
// screenshots, the last drawing, presets up to the limit); other store
// entries are counted as refused. Entries outside "store" (logos, logs) are left out. An archive that is damaged, too
// large, holds no store file, or has any entry with an absolute path, a ".."
// step, or a link or device instead of a plain file is refused whole. The
// files are unpacked into a staging folder inside the profile folder first
// and move into the store only when all of them came out sound, so a refused
// archive writes nothing outside that staging folder and changes nothing.
StoreExtraction ExtractStoreEntries(std::string_view archive, const Paths& paths,
                                    const ArchiveLimits& limits = {},
                                    const ExtractProgress& progress = {});
StoreExtraction ExtractConfigArchive(const std::string& archivePath, const Paths& paths,
                                     const ArchiveLimits& limits = {},
                                     const ExtractProgress& progress = {});

// "Load Config" with the archive the operator chose: its store files replace
// the profile's, then the job "temp.cnc" and the settings are read again (the
// settings twice, so lengths convert with the restored unit flag) while the
// loading flag is set; then the language the settings name is loaded into
// every window and a message says what was loaded. A refused archive gets a
// log line, a beep and a message with the reason, and nothing is reloaded.
// The message counts the entries refused. `runner`, when given, runs the
// unpacking (the window's runs it off its thread with a progress bar).
bool LoadConfigArchive(System& system, const std::string& archivePath,
                       const ExtractRunner& runner = {});

}  // namespace corvane
