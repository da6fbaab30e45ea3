// Hostile configuration archives: whatever the bytes, unpacking writes nothing
// outside the profile's store folder and leaves no staging folder behind; a
// refused archive leaves the store exactly as it was, and an accepted one adds
// exactly the files it names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "store/SupportPackage.h"
#include "system/Paths.h"

namespace {

namespace fs = std::filesystem;

// Every path below a folder with its size, or -1 for a folder and -2 for anything else.
std::map<std::string, std::intmax_t> Listing(const fs::path& folder) {
  std::map<std::string, std::intmax_t> listing;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).generic_string();
    if (entry.is_symlink())
      listing[name] = -2;
    else if (entry.is_directory())
      listing[name] = -1;
    else
      listing[name] = entry.is_regular_file() ? static_cast<std::intmax_t>(entry.file_size()) : -2;
  }
  return listing;
}

// A data root with one profile, a log and a file beside them, made once per run.
struct Profile {
  Profile() {
    std::string pattern = (fs::temp_directory_path() / "corvane-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    root = pattern;
    paths = {root.string() + "/program/", root.string() + "/data/", "Plasma"};
    fs::create_directories(paths.logsFolder());
    std::ofstream(paths.logsFolder() + "2026_12_09.txt") << "log\r\n";
    std::ofstream(root / "beside.txt") << "not to be touched";
    ResetStore();
    rootBefore = Listing(root);
    storeBefore = Listing(paths.storeFolder());
  }
  ~Profile() { fs::remove_all(root); }

  void ResetStore() const {
    fs::remove_all(paths.storeFolder());
    fs::create_directories(paths.storeFolder());
    std::ofstream(paths.storeFolder() + "store.fms") << "1:\r\nsettings\r\n";
  }

  fs::path root;
  corvane::Paths paths;
  std::map<std::string, std::intmax_t> rootBefore;
  std::map<std::string, std::intmax_t> storeBefore;
};

// The listing without the store folder's content.
std::map<std::string, std::intmax_t> OutsideTheStore(std::map<std::string, std::intmax_t> listing,
                                                     const std::string& storePrefix) {
  std::erase_if(listing, [&](const auto& item) { return item.first.rfind(storePrefix, 0) == 0; });
  return listing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Profile profile;
  // Small limits keep a run fast; the checks against them are what is fuzzed.
  corvane::ArchiveLimits limits;
  limits.entryBytes = 1u << 20;
  limits.totalBytes = 4u << 20;
  limits.entries = 4096;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const corvane::StoreExtraction result =
      corvane::ExtractStoreEntries(bytes, profile.paths, limits);

  const std::string storePrefix = "data/CorvaneCNC/Plasma/STORE/";
  if (OutsideTheStore(Listing(profile.root), storePrefix) !=
      OutsideTheStore(profile.rootBefore, storePrefix))
    std::abort();
  auto store = Listing(profile.paths.storeFolder());
  if (!result) {
    if (store != profile.storeBefore) std::abort();
  } else {
    if (result.files.empty()) std::abort();
    for (const std::string& file : result.files) {
      const auto found = store.find(file);
      if (found == store.end() || found->second < 0) std::abort();
      store.erase(found);
      // Its folders below the store came with it.
      for (fs::path folder = fs::path(file).parent_path(); !folder.empty();
           folder = folder.parent_path())
        store.erase(folder.generic_string());
    }
    store.erase("store.fms");
    if (!store.empty()) std::abort();
    profile.ResetStore();
  }
  return 0;
}
