#include "store/SupportPackage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include "store/JobFile.h"
#include "store/LanguageFile.h"
#include "store/SettingsStore.h"
#include "store/StagingFolder.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace fs = std::filesystem;

namespace corvane {
namespace {

constexpr int kMsgSupportPackageDone = 16;

// ---- Writing the support package --------------------------------------------

struct ArchiveFile {
  std::string source;  // path on disk
  std::string entry;   // name in the archive
};

// Every plain file of the profile folder by its path below it, then the logs.
std::vector<ArchiveFile> SupportPackageFiles(const Paths& paths) {
  std::vector<ArchiveFile> files;
  std::error_code error;
  const fs::path profile = paths.profileFolder();
  for (fs::recursive_directory_iterator
           it(profile, fs::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->is_symlink(error) || !it->is_regular_file(error)) continue;
    files.push_back({it->path().string(), it->path().lexically_relative(profile).generic_string()});
  }
  std::vector<ArchiveFile> logs;
  for (const auto& entry : fs::directory_iterator(paths.logsFolder(), error)) {
    if (entry.is_symlink(error) || !entry.is_regular_file(error)) continue;
    logs.push_back({entry.path().string(), "LOGS/" + entry.path().filename().string()});
  }
  const auto byEntry = [](const ArchiveFile& a, const ArchiveFile& b) { return a.entry < b.entry; };
  std::sort(files.begin(), files.end(), byEntry);
  std::sort(logs.begin(), logs.end(), byEntry);
  files.insert(files.end(), logs.begin(), logs.end());
  return files;
}

std::string ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

// A deflated ZIP archive made anew. libzip writes a temporary file beside the
// target and renames it on closing, so a failure leaves no half archive.
FileResult WriteZipArchive(const std::string& path, const std::vector<ArchiveFile>& files) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) return FileResult::Failure("Cannot create \"" + path + "\": " + ZipErrorText(code));
  const auto fail = [&](const std::string& what) {
    const FileResult failed = FileResult::Failure(what + ": " + zip_strerror(archive));
    zip_discard(archive);
    return failed;
  };
  for (const ArchiveFile& file : files) {
    zip_source_t* source = zip_source_file(archive, file.source.c_str(), 0, 0);
    if (!source) return fail("Cannot read \"" + file.source + "\"");
    const zip_int64_t index =
        zip_file_add(archive, file.entry.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
      zip_source_free(source);
      return fail("Cannot add \"" + file.entry + "\"");
    }
    if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0) != 0)
      return fail("Cannot compress \"" + file.entry + "\"");
  }
  if (zip_close(archive) != 0) return fail("Cannot write \"" + path + "\"");
  return {};
}

// The current drawing beside the settings as "Last" + its extension.
void CopyCurrentDrawing(System& s) {
  const std::string drawing = s.fields.text(Window::Import, "eFileName");
  if (drawing.empty()) return;
  const std::string copy = StoreFile(s.paths, "Last" + fs::path(drawing).extension().string());
  if (const FileResult copied = CopyFileAtomically(drawing, copy); !copied)
    s.log.WriteLog("Support package without the drawing: " + copied.error);
}

// ---- Reading a configuration archive ----------------------------------------

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// An entry's name as it may appear in a log line: one line, of a sensible length.
std::string Printable(std::string_view name) {
  constexpr size_t kLongest = 200;
  std::string shown;
  for (const char c : name.substr(0, kLongest))
    shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
  return name.size() > kLongest ? shown + "..." : shown;
}

// Where an entry would land: its path below the store folder, empty for an
// entry outside it; or why its name is refused.
struct EntryPlace {
  std::string refusal;
  std::string storePath;
};

EntryPlace PlaceOf(std::string_view name) {
  if (name.empty()) return {"an empty name", {}};
  const bool driveLetter = name.size() >= 2 && name[1] == ':';
  if (IsSeparator(name.front()) || driveLetter) return {"an absolute path", {}};
  std::vector<std::string_view> steps;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparator(name[i])) continue;
    const std::string_view step = name.substr(start, i - start);
    start = i + 1;
    if (step == "..") return {"a \"..\" step", {}};
    if (!step.empty() && step != ".") steps.push_back(step);
  }
  // A folder entry makes nothing; the folders come with their files.
  if (IsSeparator(name.back()) || steps.size() < 2 || !EqualsIgnoringCase(steps[0], "store"))
    return {};
  std::string path(steps[1]);
  for (size_t i = 2; i < steps.size(); ++i) path += "/" + std::string(steps[i]);
  return {{}, path};
}

// The files a profile's store holds, by name regardless of letter case; a
// match is written under the name given here.
constexpr std::string_view kProfileFiles[] = {
    "store.fms", "store.org", "LastGood.fms", "store.fm1", "store.fm2", "store.fm3",
    "store.fm4", "store.fm5", "store.fm6", "store.fm7", "store.fm8", "store.fm9",
    "advanced.txt", "temp.cnc", "LastGood.cnc", "lng.cmp", "Screenshot.jpg", "Screenshot1.jpg",
    "Screenshot2.jpg", "Screenshot3.jpg"};
// The drawing the support package copied beside them, as "Last" + its extension.
constexpr std::string_view kDrawingExtensions[] = {".plt", ".hpgl", ".hpg", ".spl", ".dxf", ".tap",
                                                   ".cam", ".txt",  ".ngc", ".nc",  ".gcode", ".2d"};
constexpr std::string_view kPresetPrefix = "par_";

// The name under which a store entry is written, empty when no profile holds
// such a file (a subfolder, an unknown name, a control character).
std::string ProfileFileName(std::string_view path) {
  if (path.find('/') != std::string_view::npos) return {};
  for (const char c : path)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
  for (const std::string_view known : kProfileFiles)
    if (EqualsIgnoringCase(path, known)) return std::string(known);
  for (const std::string_view extension : kDrawingExtensions)
    if (EqualsIgnoringCase(path, "Last" + std::string(extension))) return "Last" + std::string(path.substr(4));
  if (path.size() > kPresetPrefix.size() && EqualsIgnoringCase(path.substr(0, kPresetPrefix.size()), kPresetPrefix))
    return std::string(kPresetPrefix) + std::string(path.substr(kPresetPrefix.size()));
  return {};
}

std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

// Plain files and folders only: a link or a device must never be unpacked.
bool IsPlainEntry(zip_t* archive, zip_uint64_t index) {
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) return false;
  if (system != ZIP_OPSYS_UNIX) return true;
  const mode_t type = (attributes >> 16) & S_IFMT;
  return type == 0 || type == S_IFREG || type == S_IFDIR;
}

struct StoreEntry {
  zip_uint64_t index;
  std::string path;
};

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipReader = std::unique_ptr<zip_t, ZipDiscard>;

StoreExtraction Refused(std::string why) { return {false, std::move(why), {}, 0, {}}; }

// The store entries of the archive after checking every entry's name, kind and
// declared size; an error when any of them is refused.
StoreExtraction ListStoreEntries(zip_t* archive, const ArchiveLimits& limits,
                                 std::vector<StoreEntry>& entries) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0 || static_cast<std::uint64_t>(count) > limits.entries)
    return Refused("too many entries (" + std::to_string(count) + ")");
  std::uint64_t declared = 0;
  StoreExtraction listed{true, {}, {}, 0, {}};
  std::set<std::string> written;
  std::uint64_t presets = 0;
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    zip_stat_t stat;
    if (zip_stat_index(archive, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
      return Refused("a damaged entry: " + std::string(zip_strerror(archive)));
    const std::string name = stat.name;
    EntryPlace place = PlaceOf(name);
    if (!place.refusal.empty())
      return Refused("the entry \"" + Printable(name) + "\" has " + place.refusal);
    if (!IsPlainEntry(archive, i))
      return Refused("the entry \"" + Printable(name) + "\" is not a plain file");
    if (place.storePath.empty()) continue;
    // Only the files a profile holds, each once whatever its letter case.
    std::string file = ProfileFileName(place.storePath);
    const bool preset = file.starts_with(kPresetPrefix);
    if (file.empty() || !written.insert(FoldedName(file)).second ||
        (preset && ++presets > limits.presets)) {
      if (listed.refused++ == 0) listed.firstRefused = Printable(name);
      continue;
    }
    place.storePath = std::move(file);
    const std::uint64_t size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
    declared += size;
    if (size > limits.entryBytes || declared > limits.totalBytes)
      return Refused("the entry \"" + Printable(name) + "\" is too large");
    entries.push_back({i, std::move(place.storePath)});
  }
  if (entries.empty()) return Refused("no store files in the archive");
  return listed;
}

// Unpacks one entry to `target`, counting its real size against the limits
// whatever its header claimed.
std::string UnpackEntry(zip_t* archive, const StoreEntry& entry, const fs::path& target,
                        const ArchiveLimits& limits, std::uint64_t& total) {
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  if (error)
    return "cannot create \"" + Printable(target.parent_path().string()) + "\": " + error.message();
  zip_file_t* file = zip_fopen_index(archive, entry.index, 0);
  if (!file) return "cannot open \"" + Printable(entry.path) + "\": " + zip_strerror(archive);
  const int out =
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  std::string failure =
      out < 0 ? "cannot create \"" + Printable(target.string()) + "\": " + std::strerror(errno)
              : std::string();
  std::uint64_t size = 0;
  char buffer[64 * 1024];
  while (failure.empty()) {
    const zip_int64_t read = zip_fread(file, buffer, sizeof buffer);
    if (read < 0) {
      failure = "\"" + Printable(entry.path) + "\" is damaged: " + zip_file_strerror(file);
      break;
    }
    if (read == 0) break;
    size += static_cast<std::uint64_t>(read);
    total += static_cast<std::uint64_t>(read);
    if (size > limits.entryBytes || total > limits.totalBytes) {
      failure = "\"" + Printable(entry.path) + "\" is too large";
      break;
    }
    if (::write(out, buffer, static_cast<size_t>(read)) != read)
      failure = "cannot write \"" + Printable(target.string()) + "\": " + std::strerror(errno);
  }
  zip_fclose(file);
  if (out >= 0) {
    if (failure.empty() && ::fsync(out) != 0)
      failure = "cannot write \"" + Printable(target.string()) + "\": " + std::strerror(errno);
    ::close(out);
  }
  return failure;
}

// Something other than a plain folder on the way to `target` below `store`
// (a file, or a link that could lead elsewhere), or a folder at `target`.
std::string Obstacle(const fs::path& store, const std::string& relative) {
  std::error_code error;
  fs::path at = store;
  const fs::path steps(relative);
  for (auto step = steps.begin(); step != steps.end(); ++step) {
    at /= *step;
    const fs::file_status status = fs::symlink_status(at, error);
    if (!fs::exists(status)) return {};
    const bool last = std::next(step) == steps.end();
    if (last ? fs::is_directory(status) : !fs::is_directory(status))
      return "\"" + Printable(at.string()) + "\" is in the way";
  }
  return {};
}

// Moves the unpacked files over the store's, after checking that each one can go.
StoreExtraction MoveIntoStore(const std::string& staging, const fs::path& store,
                              const std::vector<std::string>& files) {
  for (const std::string& file : files)
    if (std::string obstacle = Obstacle(store, file); !obstacle.empty()) return Refused(obstacle);
  for (const std::string& file : files) {
    std::error_code error;
    const fs::path target = store / file;
    fs::create_directories(target.parent_path(), error);
    if (!error) fs::rename(staging + file, target, error);
    if (error)
      return Refused("cannot replace \"" + Printable(target.string()) + "\": " + error.message());
  }
  return {true, {}, files, 0, {}};
}

}  // namespace

std::string SupportPackageName(const std::string& profile, const LocalDateTime& when) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d_%02d_%02d %02d%02d", when.year, when.month, when.day,
                when.hour, when.minute);
  return "Support_CorvaneCNC_" + profile + " " + stamp + ".zip";
}

FileResult CreateSupportPackage(System& s, const std::string& desktopFolder) {
  SaveSettings(s);
  CopyCurrentDrawing(s);
  const std::string archive =
      WithSlash(desktopFolder) + SupportPackageName(s.paths.profileName, s.clock.localNow());
  std::error_code error;
  fs::create_directories(desktopFolder, error);
  FileResult written =
      error ? FileResult::Failure("Cannot create \"" + desktopFolder + "\": " + error.message())
            : WriteZipArchive(archive, SupportPackageFiles(s.paths));
  if (!written) {
    s.log.WriteLog("Support package not written: " + written.error);
    s.host.beep();
    return written;
  }
  s.log.WriteLog("Support package : " + archive);
  s.host.showMessage(s.messages[kMsgSupportPackageDone]);
  return written;
}

StoreExtraction ExtractStoreEntries(std::string_view bytes, const Paths& paths,
                                    const ArchiveLimits& limits, const ExtractProgress& progress) {
  if (bytes.size() > limits.archiveBytes) return Refused("the archive is too large");
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  ZipReader archive(source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr);
  if (!archive) {
    if (source) zip_source_free(source);
    StoreExtraction refused =
        Refused("not a readable ZIP archive: " + std::string(zip_error_strerror(&error)));
    zip_error_fini(&error);
    return refused;
  }
  zip_error_fini(&error);

  std::vector<StoreEntry> entries;
  const StoreExtraction listed = ListStoreEntries(archive.get(), limits, entries);
  if (!listed) return listed;
  const StagingFolder staging(paths.profileFolder(), "config-load");
  if (staging.empty()) return Refused(staging.error());
  std::uint64_t total = 0;
  std::vector<std::string> files;
  std::set<std::string> unpacked;  // an entry named twice is unpacked twice, the last one wins
  for (std::size_t done = 0; done < entries.size(); ++done) {
    const StoreEntry& entry = entries[done];
    if (progress) progress(done, entries.size());
    const std::string failure =
        UnpackEntry(archive.get(), entry, staging.path() + entry.path, limits, total);
    if (!failure.empty()) return Refused(failure);
    if (unpacked.insert(entry.path).second) files.push_back(entry.path);
  }
  if (progress) progress(entries.size(), entries.size());
  StoreExtraction moved = MoveIntoStore(staging.path(), paths.storeFolder(), files);
  moved.refused = listed.refused;
  moved.firstRefused = listed.firstRefused;
  return moved;
}

StoreExtraction ExtractConfigArchive(const std::string& archivePath, const Paths& paths,
                                     const ArchiveLimits& limits, const ExtractProgress& progress) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(archivePath, error);
  if (error) return Refused("cannot read \"" + archivePath + "\": " + error.message());
  if (size > limits.archiveBytes) return Refused("\"" + archivePath + "\" is too large");
  const auto bytes = ReadWholeFile(archivePath, limits.archiveBytes);
  if (!bytes) return Refused("cannot read \"" + archivePath + "\"");
  return ExtractStoreEntries(*bytes, paths, limits, progress);
}

bool LoadConfigArchive(System& s, const std::string& archivePath, const ExtractRunner& runner) {
  if (s.RefusedWhileBusy()) return false;
  s.loading = true;
  // The unpacking touches no program state, only the files: it may run on another thread.
  const Paths paths = s.paths;
  const auto extract = [&archivePath, paths](const ExtractProgress& progress) {
    return ExtractConfigArchive(archivePath, paths, {}, progress);
  };
  const StoreExtraction extracted = runner ? runner(extract) : extract({});
  if (!extracted) {
    const std::string refusal = "Load Config refused: " + extracted.error;
    s.log.WriteLog(refusal);
    s.host.beep();
    s.loading = false;
    s.host.showError(refusal);
    return false;
  }
  std::string loaded = "Load Config : " + std::to_string(extracted.files.size()) +
                       " files from \"" + archivePath + "\"";
  if (extracted.refused > 0)
    loaded += ", " + std::to_string(extracted.refused) +
              " entries refused (no file of a profile, or one named twice), the first \"" +
              extracted.firstRefused + "\"";
  s.log.WriteLog(loaded);
  // Reading the job reloads the settings; without a job they are loaded here.
  if (!ReadJobFile(s, StoreFile(s.paths, kTempJob))) LoadSettings(s);
  // Again, so that lengths convert with the unit flag the archive brought.
  LoadSettings(s);
  if (s.store.afterLoad.refreshMicrostepping) s.store.afterLoad.refreshMicrostepping();
  s.fields.setText(Window::Import, "eFileName", s.paths.programFolder + "example/CorvaneCNC.plt");
  for (int i = 0; i < 3; ++i) {
    s.host.processEvents();
    s.clock.sleepMillis(200);
  }
  // The windows speak the restored language at once, as after a choice in the list.
  ApplyStartupLanguage(s);
  s.loading = false;
  s.host.showMessage(loaded);
  return true;
}

}  // namespace corvane
