#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ports/FileIo.h"
#include "store/JobFile.h"
#include "store/Lifecycle.h"
#include "store/Presets.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "support/SystemFixture.h"

namespace corvane::testing {
namespace {

constexpr Window kMain = Window::Main;

// Two states of everything the operator saves: fields, a preset and the job.
void SetState(System& s, int which) {
  s.fields.setText(kMain, "xFeed", which == 0 ? "1500" : "2750");
  s.fields.setText(kMain, "xCutH", which == 0 ? "1.5" : "3.25");
  tCNCPath job;
  const int contours = which == 0 ? 40 : 90;  // the files differ in length too
  for (int k = 0; k < contours; ++k) {
    const std::int32_t x = k * 1000 + which * 7;
    job.push_back({{kKindCut, 0}, {x, 0}, {x + 500, 0}, {x + 500, 500}, {x, 500}, {x, 0}});
  }
  s.job.Job = job;
  s.job.ProjectOriginX = 1000 + which;
  s.job.ProjectOriginY = 2000 + which;
}

struct SavedFiles {
  std::string settings, preset, job, project;
  std::vector<std::string> all() const { return {settings, preset, job, project}; }
};

// Every save the operator can cause, one after the other.
bool SaveAll(System& s, const SavedFiles& f) {
  return SaveSettings(s) && SavePreset(s, "Soak 1.5") && WriteJobFile(s, f.job) && WriteJobFile(s, f.project);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int Rounds(int fallback) {
  const char* text = std::getenv("CORVANE_KILL_ROUNDS");
  return text && *text ? std::max(1, std::atoi(text)) : fallback;
}

// A program that saves settings, a preset, the job and a project over and
// over, between two states, killed with SIGKILL at a random moment each
// round: every file is afterwards the old or the new one, whole. The next
// start clears what the killed writes left behind, so no half-written file
// shows up as a preset. CORVANE_KILL_ROUNDS sets the count (scripts/soak.sh: 1000).
TEST(CrashSafety, FilesKilledDuringSavesAreOldOrNewAndWhole) {
  SystemFixture fx;
  System& s = *fx.system;
  ASSERT_TRUE(s.PrepareStart());
  const std::string projects = fx.root.path() + "projects/";
  ASSERT_TRUE(MakeFolder(projects));
  SavedFiles files{StoreFile(s.paths, "store.fms"), StoreFile(s.paths, PresetFileName("Soak 1.5")),
                   StoreFile(s.paths, "temp.cnc"), projects + "plate.cvp2"};

  // The bytes of both states, as the program writes them.
  std::map<std::string, std::vector<std::string>> versions;
  for (int which : {1, 0}) {
    SetState(s, which);
    ASSERT_TRUE(SaveAll(s, files));
    for (const std::string& path : files.all()) versions[path].push_back(*ReadWholeFile(path));
  }
  for (const auto& [path, both] : versions) ASSERT_NE(both[0], both[1]) << path;

  const int rounds = Rounds(25);
  std::mt19937 random(static_cast<unsigned>(rounds) * 7919u);
  std::uniform_int_distribution<long> delayMicros(0, 6000);
  int torn = 0, insideWrite = 0;
  long leftInStore = 0;
  for (int round = 0; round < rounds; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int which = 1;; which ^= 1) {
        SetState(s, which);
        SaveAll(s, files);
      }
    }
    const long wait = delayMicros(random);
    const timespec pause{0, wait * 1000};
    ::nanosleep(&pause, nullptr);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (const std::string& path : files.all()) {
      const auto bytes = ReadWholeFile(path);
      const auto& both = versions[path];
      if (!bytes || (*bytes != both[0] && *bytes != both[1])) {
        ++torn;
        ADD_FAILURE() << "round " << round << ": " << path << " is neither version ("
                      << (bytes ? std::to_string(bytes->size()) + " bytes" : "missing") << ")";
      }
    }
    // A temporary file left means the kill came between its creation and the rename.
    // Those in the store stay for the start-up below to clear.
    const auto entries = FolderEntries(s.paths.storeFolder());
    const long inStore = std::count_if(entries.begin(), entries.end(), [](const auto& n) { return IsUnfinishedWrite(n); });
    if (RemoveUnfinishedWrites(projects) > 0 || inStore > leftInStore) ++insideWrite;
    leftInStore = inStore;
  }
  std::printf("kill during saves: %d kills, %zu files checked after each, %d damaged, %d kills inside a write\n",
              rounds, files.all().size(), torn, insideWrite);

  // The next start clears what the kills left: the store holds the
  // operator's files, nothing half-written.
  RecordingHost host;
  FakeClock clock;
  System next(clock, host, s.paths);
  ASSERT_TRUE(next.PrepareStart());
  PrepareStore(next);
  for (const std::string& name : FolderEntries(next.paths.storeFolder()))
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << " left in the store";
  EXPECT_EQ(next.store.presetNames, std::vector<std::string>{"Soak 1.5"});
}

}  // namespace
}  // namespace corvane::testing
