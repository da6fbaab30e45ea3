#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FolderSnapshot.h"
#include "StoreFixture.h"
#include "store/JobFile.h"
#include "store/SettingsStore.h"
#include "store/SupportPackage.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FolderSnapshot;
using testing::ReadFileText;
using testing::WriteFileText;

constexpr Window kMain = Window::Main;

// One entry of an archive made in a test; a mode sets the Unix file kind.
struct ZipEntry {
  std::string name;
  std::string bytes;
  std::uint32_t unixMode = 0;
};

// Writes an archive entry by entry with libzip, as another program might.
void WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  ASSERT_NE(archive, nullptr) << code;
  for (const ZipEntry& e : entries) {
    zip_source_t* source = zip_source_buffer(archive, e.bytes.data(), e.bytes.size(), 0);
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), source, 0);
    ASSERT_GE(index, 0) << e.name << ": " << zip_strerror(archive);
    if (e.unixMode)
      zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                       e.unixMode << 16);
  }
  ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

std::string ZipBytes(const std::vector<ZipEntry>& entries) {
  testing::TempDir folder;
  WriteZip(folder.file("a.zip"), entries);
  return ReadFileText(folder.file("a.zip"));
}

// Every entry of an archive with its bytes; `deflated` tells whether all were compressed.
std::map<std::string, std::string> ReadZip(const std::string& path, bool& deflated) {
  std::map<std::string, std::string> entries;
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  EXPECT_NE(archive, nullptr) << "not a sound archive: " << code;
  if (!archive) return entries;
  deflated = true;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
    deflated = deflated && stat.comp_method == ZIP_CM_DEFLATE;
    std::string bytes(stat.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    EXPECT_EQ(zip_fread(file, bytes.data(), stat.size), static_cast<zip_int64_t>(stat.size));
    zip_fclose(file);
    entries[stat.name] = bytes;
  }
  zip_discard(archive);
  return entries;
}

// The files of a folder as they would appear in a support package.
std::map<std::string, std::string> FilesBelow(const std::string& folder,
                                              const std::string& prefix) {
  std::map<std::string, std::string> files;
  for (const auto& [name, content] : FolderSnapshot(folder))
    if (content != "<folder>") files[prefix + name] = content;
  return files;
}

const tCNCPath kPackedJob = {{{0, 0}, {0, 0}, {5000, 0}, {5000, 2500}, {0, 0}}};
const tCNCPath kLaterJob = {{{0, 0}, {100, 100}, {900, 100}}};

struct SupportPackageTest : ::testing::Test {
  SupportPackageTest() { InstallStoreBehaviours(s); }
  std::string packagePath() const {
    return desktop.path() + "Support_CorvaneCNC_Plasma 2026_12_09 0905.zip";
  }
  // Everything the data root holds but today's log, which every operation appends to.
  std::map<std::string, std::string> dataRootWithoutLog() const {
    auto content = FolderSnapshot(s.paths.dataRoot);
    content.erase("CorvaneCNC/LOGS/" + fs::path(s.log.path()).filename().string());
    return content;
  }

  testing::StoreFixture f;
  System& s = f.s();
  testing::TempDir desktop;
  testing::TempDir outside;  // drawings and archives that come from elsewhere
};

TEST(SupportPackageName, ProfileDateAndMinuteOfTheMoment) {
  const struct {
    const char* profile;
    LocalDateTime when;
    const char* name;
  } cases[] = {
      {"Plasma", {2026, 12, 9, 9, 5, 41, 0}, "Support_CorvaneCNC_Plasma 2026_12_09 0905.zip"},
      {"Big_Table", {2027, 1, 2, 23, 59, 0, 0}, "Support_CorvaneCNC_Big_Table 2027_01_02 2359.zip"},
  };
  for (const auto& c : cases) EXPECT_EQ(SupportPackageName(c.profile, c.when), c.name);
}

TEST_F(SupportPackageTest, HoldsTheWholeProfileTheSavedSettingsTheDrawingAndTheLogs) {
  WriteFileText(s.paths.profileFolder() + "logo.bmp", "logo");
  WriteFileText(f.store("Screenshot.jpg"), "jpeg");
  WriteFileText(f.store("presets/old.txt"), "a subfolder of the store");
  WriteFileText(s.paths.logsFolder() + "2026_12_08.txt", "yesterday\r\n");
  WriteFileText(outside.file("part.DXF"), "0\r\nSECTION\r\n");
  s.fields.setText(Window::Import, "eFileName", outside.file("part.DXF"));
  s.fields.setText(kMain, "xFeed", "3333");
  WriteFileText(packagePath(), "an older file of the same name");  // made anew, not added to

  ASSERT_TRUE(
      CreateSupportPackage(s, desktop.path()));  // the fake clock stands at 09:05, 9 Dec 2026

  EXPECT_EQ(ReadFileText(f.store("Last.DXF")), "0\r\nSECTION\r\n");
  EXPECT_NE(ReadFileText(f.store("store.fms")).find("xFeed\r\n3333\r\n"), std::string::npos)
      << "the settings are saved before they are packed";
  bool deflated = false;
  auto entries = ReadZip(packagePath(), deflated);
  EXPECT_TRUE(deflated);
  // Today's log goes on after it was packed.
  const std::string todaysLog = "LOGS/" + fs::path(s.log.path()).filename().string();
  EXPECT_EQ(ReadFileText(s.log.path()).rfind(entries[todaysLog], 0), 0u);
  auto expected = FilesBelow(s.paths.profileFolder(), "");
  const auto logs = FilesBelow(s.paths.logsFolder(), "LOGS/");
  expected.insert(logs.begin(), logs.end());
  expected[todaysLog] = entries[todaysLog];
  EXPECT_EQ(entries, expected);
  for (const char* name : {"logo.bmp", "STORE/store.fms", "STORE/Last.DXF", "STORE/Screenshot.jpg",
                           "STORE/presets/old.txt", "LOGS/2026_12_08.txt", "LOGS/2026_12_09.txt"})
    EXPECT_EQ(entries.count(name), 1u) << name;
  EXPECT_EQ(f.host.messages, std::vector<std::string>{s.messages[16]});
  EXPECT_EQ(f.host.beeps, 0);
}

TEST_F(SupportPackageTest, AnArchiveThatCannotBeWrittenBeepsAndKeepsTheFilesMadeBeforeIt) {
  WriteFileText(outside.file("part.plt"), "IN;PU0,0;");
  s.fields.setText(Window::Import, "eFileName", outside.file("part.plt"));
  s.fields.setText(kMain, "xFeed", "3333");
  WriteFileText(outside.file("desktop"), "a file where the desktop folder should be");

  EXPECT_FALSE(CreateSupportPackage(s, outside.file("desktop")));

  EXPECT_EQ(f.host.beeps, 1);
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(f.host.logPane.back().rfind("Support package not written: ", 0), 0u);
  EXPECT_EQ(ReadFileText(f.store("Last.plt")), "IN;PU0,0;");
  EXPECT_NE(ReadFileText(f.store("store.fms")).find("xFeed\r\n3333\r\n"), std::string::npos);
}

TEST_F(SupportPackageTest, LoadingThePackageBackRestoresTheStoreButNotLogosOrLogs) {
  WriteFileText(s.paths.profileFolder() + "logo.bmp", "packed logo");
  s.job.Job = kPackedJob;
  ASSERT_TRUE(WriteJobFile(s, f.store("temp.cnc")));
  s.fields.setText(kMain, "xFeed", "3333");
  ASSERT_TRUE(CreateSupportPackage(s, desktop.path()));
  const auto packedStore = FolderSnapshot(s.paths.storeFolder());

  // Work goes on after the package was made.
  WriteFileText(s.paths.profileFolder() + "logo.bmp", "new logo");
  s.job.Job = kLaterJob;
  ASSERT_TRUE(WriteJobFile(s, f.store("temp.cnc")));
  s.fields.setText(kMain, "xFeed", "1200");
  ASSERT_TRUE(SaveSettings(s));
  WriteFileText(f.store("par_Later"), "a preset made later stays");
  s.log.WriteLog("a line written after packing");
  const std::string logBefore = ReadFileText(s.log.path());
  const int eventsBefore = f.host.eventsProcessed;
  const std::int64_t before = f.clock.nowMicros();

  ASSERT_TRUE(LoadConfigArchive(s, packagePath()));

  auto restored = FolderSnapshot(s.paths.storeFolder());
  EXPECT_EQ(restored.erase("par_Later"), 1u);
  EXPECT_EQ(restored, packedStore);
  EXPECT_EQ(ReadFileText(s.paths.profileFolder() + "logo.bmp"), "new logo");
  EXPECT_EQ(ReadFileText(s.log.path()).rfind(logBefore, 0), 0u) << "the log is only appended to";
  EXPECT_EQ(s.job.Job, kPackedJob);
  EXPECT_EQ(s.fields.text(kMain, "xFeed"), "3333");
  EXPECT_EQ(s.fields.text(Window::Import, "eFileName"),
            s.paths.programFolder + "example/CorvaneCNC.plt");
  EXPECT_FALSE(s.loading);
  EXPECT_GE(f.host.eventsProcessed - eventsBefore, 3);
  EXPECT_EQ(f.clock.nowMicros() - before, 600'000);
  EXPECT_EQ(f.host.beeps, 0);
}

// The settings are read twice, so lengths show in the unit the archive brought,
// whether or not it holds a job (reading the job is the first read).
TEST_F(SupportPackageTest, LoadedLengthsShowInTheUnitTheArchiveBrought) {
  s.fields.setChecked(Window::Configuration, "cImperial", true);
  s.parser.imperial = true;
  s.fields.setText(kMain, "xFeed", "100");
  ASSERT_TRUE(SaveSettings(s));
  const std::string imperialSettings = ReadFileText(f.store("store.fms"));
  const std::string job = EncodeJobFile(kPackedJob, std::nullopt, s.log);

  for (const bool withJob : {true, false}) {
    SCOPED_TRACE(withJob ? "with a job" : "without a job");
    s.fields.setChecked(Window::Configuration, "cImperial", false);
    s.parser.imperial = false;
    s.fields.setText(kMain, "xFeed", "2540");
    ASSERT_TRUE(SaveSettings(s));
    std::vector<ZipEntry> entries{{"STORE/store.fms", imperialSettings}};
    if (withJob) entries.push_back({"STORE/temp.cnc", job});
    WriteZip(outside.file("config.zip"), entries);

    ASSERT_TRUE(LoadConfigArchive(s, outside.file("config.zip")));

    EXPECT_TRUE(s.parser.imperial);
    EXPECT_EQ(s.fields.text(kMain, "xFeed"), "100");
  }
}

TEST_F(SupportPackageTest, OnlyEntriesBelowStoreLandAndEitherSeparatorWorks) {
  const std::string logName = "LOGS/" + fs::path(s.log.path()).filename().string();
  WriteFileText(s.paths.profileFolder() + "logo.bmp", "our logo");
  const auto before = dataRootWithoutLog();
  const std::string log = ReadFileText(s.log.path());

  const StoreExtraction result =
      ExtractStoreEntries(ZipBytes({{"store/LastGood.fms", "a"},
                                    {"STORE\\temp.cnc", "b"},
                                    {"Store/sub\\c.txt", "c"},
                                    {"./store//lng.cmp", "d"},
                                    {"store/", ""},
                                    {"store", "a file named like the folder"},
                                    {"storex/e.txt", "e"},
                                    {"other/store/f.txt", "f"},
                                    {"logo.bmp", "their logo"},
                                    {"Out1.bmp", "their picture"},
                                    {logName, "their log"}}),
                          s.paths);

  ASSERT_TRUE(result) << result.error;
  EXPECT_EQ(result.files, (std::vector<std::string>{"LastGood.fms", "temp.cnc", "lng.cmp"}));
  EXPECT_EQ(result.refused, 1u) << "a subfolder of the store is no file of a profile";
  auto after = dataRootWithoutLog();
  for (const auto& [name, content] : std::map<std::string, std::string>{
           {"LastGood.fms", "a"}, {"temp.cnc", "b"}, {"lng.cmp", "d"}}) {
    const auto landed = after.find("CorvaneCNC/Plasma/STORE/" + name);
    ASSERT_NE(landed, after.end()) << name;
    EXPECT_EQ(landed->second, content) << name;
    after.erase(landed);
  }
  EXPECT_EQ(after, before) << "nothing else was written, removed or left behind";
  EXPECT_EQ(ReadFileText(s.log.path()), log);
}

TEST_F(SupportPackageTest, ArchivesTheStoreAlreadyHoldsReplaceItsFiles) {
  WriteFileText(f.store("store.fms"), "old");
  WriteFileText(f.store("keep.txt"), "not in the archive");
  ASSERT_TRUE(ExtractStoreEntries(ZipBytes({{"STORE/store.fms", "new"}}), s.paths));
  EXPECT_EQ(ReadFileText(f.store("store.fms")), "new");
  EXPECT_EQ(ReadFileText(f.store("keep.txt")), "not in the archive");
}

// Only the files a profile holds land in the store, each once, under its own
// name; every other store entry is counted as refused and the rest loads.
TEST_F(SupportPackageTest, OnlyTheFilesAProfileHoldsAreWrittenTheRestIsCounted) {
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;
    std::vector<std::string> written;
    std::size_t refused;
  };
  const Case cases[] = {
      {"names in any letter case", {{"STORE/ADVANCED.TXT", "1"}, {"store/Store.FMS", "2"},
                                    {"store/LASTGOOD.CNC", "3"}},
       {"advanced.txt", "store.fms", "LastGood.cnc"}, 0},
      {"the same file twice in two letter cases", {{"store/advanced.txt", "1"}, {"store/ADVANCED.TXT", "2"}},
       {"advanced.txt"}, 1},
      {"a control character", {{"store/temp.cnc", "1"}, {"store/temp\x01.cnc", "2"},
                               {"store/par_a\nb", "3"}},
       {"temp.cnc"}, 2},
      {"unknown names and subfolders", {{"store/store.fms", "1"}, {"store/x.txt", "2"},
                                        {"store/sub/store.fms", "3"}, {"store/store.fm10", "4"}},
       {"store.fms"}, 3},
      {"the last drawing and presets", {{"store/Last.DXF", "1"}, {"store/Last.exe", "2"},
                                        {"store/PAR_Steel 5", "3"}, {"store/par_", "4"}},
       {"Last.DXF", "par_Steel 5"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::StoreFixture fresh;
    const auto before = FolderSnapshot(fresh.s().paths.storeFolder());
    const StoreExtraction result = ExtractStoreEntries(ZipBytes(c.entries), fresh.s().paths);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.files, c.written);
    EXPECT_EQ(result.refused, c.refused);
    auto after = FolderSnapshot(fresh.s().paths.storeFolder());
    auto untouched = before;
    for (const std::string& file : c.written) {
      EXPECT_EQ(after.erase(file), 1u) << file;
      untouched.erase(file);
    }
    EXPECT_EQ(after, untouched) << "nothing else is written";
  }
}

// Presets are the one open set of names: beyond the limit they are refused.
TEST_F(SupportPackageTest, PresetsBeyondTheLimitAreRefused) {
  ArchiveLimits limits;
  limits.presets = 3;
  std::vector<ZipEntry> entries;
  for (int i = 0; i < 5; ++i) entries.push_back({"store/par_" + std::to_string(i), "p"});
  const StoreExtraction result = ExtractStoreEntries(ZipBytes(entries), s.paths, limits);
  ASSERT_TRUE(result) << result.error;
  EXPECT_EQ(result.files, (std::vector<std::string>{"par_0", "par_1", "par_2"}));
  EXPECT_EQ(result.refused, 2u);
  EXPECT_EQ(result.firstRefused, "store/par_3");
}

// 60 000 small entries: the few a profile holds are unpacked, the rest refused
// without being written, quickly, and the message counts them.
TEST_F(SupportPackageTest, AnArchiveOfSixtyThousandEntriesIsRefusedQuicklyWithProgress) {
  std::vector<ZipEntry> entries{{"store/advanced.txt", "MaxTime=5\r\n"}};
  for (int i = 0; i < 60000; ++i) entries.push_back({"store/f" + std::to_string(i) + ".txt", "x"});
  WriteZip(outside.file("config.zip"), entries);
  std::vector<std::pair<std::size_t, std::size_t>> progress;
  int runs = 0;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(LoadConfigArchive(s, outside.file("config.zip"), [&](const auto& extract) {
    ++runs;
    return extract([&](std::size_t done, std::size_t total) { progress.emplace_back(done, total); });
  }));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(progress, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 1}, {1, 1}}));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(s.paths.storeFolder())) ++files;
  EXPECT_LT(files, 30u);
  const std::string message = "Load Config : 1 files from \"" + outside.file("config.zip") +
                              "\", 60000 entries refused (no file of a profile, or one named "
                              "twice), the first \"store/f0.txt\"";
  EXPECT_TRUE(f.logged(message));
  EXPECT_EQ(f.host.messages.back(), message);
}

// An archive to refuse: how it is made, and the words of the log line.
struct RefusedCase {
  const char* what;
  std::string bytes;
  const char* reason;
  std::optional<ArchiveLimits> limits = {};  // other than the program's own
};

std::string Truncated(std::string bytes) { return bytes.substr(0, bytes.size() / 2); }

// Flips a byte in the middle of the second entry's data, which deflate cannot shrink.
std::string DamagedSecondEntry() {
  std::string noise(4000, '\0');
  std::uint32_t state = 12345;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  std::string bytes = ZipBytes({{"store/store.fms", "sound"}, {"store/LastGood.cnc", noise}});
  bytes[bytes.find("store/LastGood.cnc") + 2000] ^= 0x55;
  return bytes;
}

std::vector<RefusedCase> RefusedCases() {
  const ZipEntry sound{"store/store.fms", "sound"};
  ArchiveLimits small;
  small.entryBytes = 1000;
  small.totalBytes = 1500;
  ArchiveLimits fewEntries;
  fewEntries.entries = 2;
  ArchiveLimits tinyArchive;
  tinyArchive.archiveBytes = 100;
  return {
      {"leads up", ZipBytes({sound, {"../evil.txt", "x"}}), "has a \"..\" step"},
      {"leads up from the store", ZipBytes({sound, {"store/../../evil.txt", "x"}}),
       "has a \"..\" step"},
      {"leads up with backslashes", ZipBytes({sound, {"store\\..\\..\\evil.txt", "x"}}),
       "has a \"..\" step"},
      {"absolute", ZipBytes({sound, {"/tmp/evil.txt", "x"}}), "has an absolute path"},
      {"absolute with a backslash", ZipBytes({sound, {"\\evil.txt", "x"}}), "has an absolute path"},
      {"drive letter", ZipBytes({sound, {"C:\\evil.txt", "x"}}), "has an absolute path"},
      {"symbolic link", ZipBytes({sound, {"store/link", "/etc/passwd", S_IFLNK | 0777}}),
       "is not a plain file"},
      {"named pipe", ZipBytes({sound, {"store/pipe", "", S_IFIFO | 0644}}), "is not a plain file"},
      {"no entries", std::string("PK\x05\x06", 4) + std::string(18, '\0'), "no store files"},
      {"nothing of the store", ZipBytes({{"logo.bmp", "logo"}, {"LOGS/x.txt", "log"}}),
       "no store files"},
      {"not an archive", "store.fms\r\nnot a zip\r\n", "not a readable ZIP archive"},
      {"empty file", "", "no store files"},
      {"cut short", Truncated(ZipBytes({sound, {"store/store.fm3", std::string(3000, 'm')}})),
       "not a readable ZIP archive"},
      {"damaged data", DamagedSecondEntry(), "\"LastGood.cnc\" is damaged"},
      {"one file too large", ZipBytes({sound, {"store/temp.cnc", std::string(1001, 'b')}}),
       "is too large", small},
      {"all files too large",
       ZipBytes({{"store/store.fm1", std::string(800, 'a')}, {"store/store.fm2", std::string(800, 'b')}}),
       "is too large", small},
      {"too many entries", ZipBytes({sound, {"a", "1"}, {"b", "2"}}), "too many entries",
       fewEntries},
      {"archive too large", ZipBytes({sound}), "too large", tinyArchive},
  };
}

TEST_F(SupportPackageTest, ARefusedArchiveBeepsLogsWhyAndChangesNothing) {
  WriteFileText(f.store("store.fms"), "ours");
  const auto before = dataRootWithoutLog();
  for (const RefusedCase& c : RefusedCases()) {
    SCOPED_TRACE(c.what);
    WriteFileText(outside.file("config.zip"), c.bytes);
    const auto outsideBefore = FolderSnapshot(outside.path());
    s.fields.setText(kMain, "xFeed", "4321");  // an edit not saved yet
    const int beeps = f.host.beeps;

    const StoreExtraction direct = ExtractConfigArchive(outside.file("config.zip"), s.paths,
                                                        c.limits.value_or(ArchiveLimits{}));
    EXPECT_FALSE(direct);
    EXPECT_NE(direct.error.find(c.reason), std::string::npos) << direct.error;
    if (!c.limits) {
      EXPECT_FALSE(LoadConfigArchive(s, outside.file("config.zip")));
      EXPECT_EQ(f.host.beeps, beeps + 1);
      EXPECT_EQ(f.host.logPane.back(), "Load Config refused: " + direct.error);
      EXPECT_EQ(s.fields.text(kMain, "xFeed"), "4321") << "nothing is reloaded";
      EXPECT_FALSE(s.loading);
    }
    EXPECT_EQ(dataRootWithoutLog(), before);
    EXPECT_EQ(FolderSnapshot(outside.path()), outsideBefore);
  }
}

// What the store folder already holds never sends a file elsewhere: a link
// in the store is not followed, and a folder is not replaced by a file.
TEST_F(SupportPackageTest, ALinkOrFolderInTheStoreStopsTheArchive) {
  fs::create_directories(outside.file("elsewhere"));
  fs::create_symlink(outside.file("elsewhere"), f.store("linked"));
  fs::create_directories(f.store("temp.cnc"));
  const auto before = dataRootWithoutLog();
  const auto outsideBefore = FolderSnapshot(outside.path());
  const struct {
    const char* entry;
    const char* obstacle;  // empty: the entry is refused by its name, the rest loads
  } cases[] = {{"store/linked/evil.txt", ""}, {"store/temp.cnc", "temp.cnc"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    const StoreExtraction result =
        ExtractStoreEntries(ZipBytes({{"store/store.fm5", "fine"}, {c.entry, "x"}}), s.paths);
    if (std::string(c.obstacle).empty()) {
      ASSERT_TRUE(result) << result.error;
      EXPECT_EQ(result.refused, 1u);
      EXPECT_EQ(result.files, std::vector<std::string>{"store.fm5"});
      fs::remove(f.store("store.fm5"));
    } else {
      EXPECT_FALSE(result);
      EXPECT_NE(result.error.find(std::string(c.obstacle) + "\" is in the way"), std::string::npos)
          << result.error;
    }
    EXPECT_EQ(dataRootWithoutLog(), before);
    EXPECT_EQ(FolderSnapshot(outside.path()), outsideBefore);
  }
}

}  // namespace
}  // namespace corvane
