#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "job/JobFixture.h"
#include "machine/ConfigurationActions.h"
#include "store/LanguageFile.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "store/SupportPackage.h"
#include "ui/BackupsPanel.h"
#include "ui/ConfigurationLinks.h"
#include "ui/ConfigurationWindow.h"
#include "ui/MainWindow.h"
#include "ui/ProfileButtons.h"
#include "ui/QtApp.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
constexpr Window kConfig = Window::Configuration;

struct WithQt {
  WithQt() { testing::QtApp(); }
};

// An environment variable set for the test's time only.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The configuration window with the "Files" group's buttons, wired as the
// program wires them; a restore counts a restart instead of starting one.
struct FilesUi : WithQt, testing::JobFixture {
  FilesUi() {
    InstallStoreBehaviours(*system);
    InstallLanguageBehaviours(*system);
    actions.Install();
    window.attach(*system, *controller, actions);
    ui::BindConfiguration(main, window, *system, *controller, actions);
    SaveSettings(*system);
    LoadSettings(*system);
    ApplyStartupLanguage(*system);
    system->loading = false;
    auto* grid = static_cast<QGridLayout*>(window.findChild<QWidget*>("ProgramFiles")->layout());
    ui::AddProfileButtons(*grid, 1, *system, main);
    ui::AddStoreButtons(*grid, 2, *system, window, [this] { ++restarts; });
  }
  ~FilesUi() { window.hide(); }
  QPushButton* button(const char* name) { return window.findChild<QPushButton*>(name); }
  std::string pageTitles() {
    QStringList titles;
    for (int i = 0; i < window.pages()->count(); ++i) titles << window.pages()->tabText(i);
    return titles.join(", ").toStdString();
  }
  std::string store(std::string_view name) const { return StoreFile(system->paths, name); }

  ConfigurationActions actions{*system, controller->commands, controller->connection,
                               controller->link.state};
  ui::ConfigurationWindow window{system->fields};
  ui::MainWindow main{*system, nullptr};
  int restarts = 0;
};

// Clicks "Create support File" with the desktop in `desktop`; the archive it wrote.
std::string CreateSupportFile(FilesUi& u, const std::string& desktop) {
  const ScopedEnv home("HOME", desktop);
  const ScopedEnv config("XDG_CONFIG_HOME", desktop + ".config");
  u.button("CreateSupport")->click();
  for (const auto& entry : fs::directory_iterator(desktop + "Desktop"))
    if (entry.path().extension() == ".zip") return entry.path().string();
  return {};
}

TEST(StoreButtons, TheSupportFileHoldsTheMainWindowAndThreeConfigurationPages) {
  FilesUi u;
  u.main.show();
  testing::TempDir desktop;
  const std::string archive = CreateSupportFile(u, desktop.path());
  ASSERT_FALSE(archive.empty());

  const char* shots[] = {"Screenshot.jpg", "Screenshot1.jpg", "Screenshot2.jpg", "Screenshot3.jpg"};
  std::vector<QImage> pictures;
  for (const char* name : shots) {
    SCOPED_TRACE(name);
    QImage picture;
    ASSERT_TRUE(picture.load(QString::fromStdString(u.store(name)), "JPG")) << "a real JPEG";
    EXPECT_GT(picture.width(), 300);
    EXPECT_GT(picture.height(), 200);
    pictures.push_back(picture);
  }
  // Each shows another arrangement of the windows.
  for (size_t i = 1; i < pictures.size(); ++i) EXPECT_NE(pictures[i], pictures[i - 1]) << i;
  // The archive carries them: its store entries, as "Load Config" reads them.
  const StoreExtraction read = ExtractConfigArchive(archive, u.system->paths);
  ASSERT_TRUE(read) << read.error;
  for (const char* name : shots)
    EXPECT_NE(std::find(read.files.begin(), read.files.end(), name), read.files.end()) << name;
  // Afterwards the window rests hidden on "Program" with the special functions hidden.
  EXPECT_FALSE(u.window.isVisible());
  EXPECT_EQ(u.window.pages()->currentIndex(), u.window.pages()->count() - 1);
  EXPECT_FALSE(u.button("bSpecial")->isChecked());
}

TEST(StoreButtons, LoadConfigSpeaksTheRestoredLanguageAtOnceAndSaysWhatItDid) {
  FilesUi u;
  testing::TempDir desktop;
  // A package made while the program spoke Polish.
  u.system->fields.setText(kConfig, "eLng", "Polski");
  const std::string archive = CreateSupportFile(u, desktop.path());
  ASSERT_FALSE(archive.empty());
  u.system->fields.setText(kConfig, "eLng", "English");
  ASSERT_TRUE(LoadLanguage(*u.system, "English"));
  ASSERT_EQ(u.pageTitles(), "Electronics, Machine, Functions, Program");
  u.host.messages.clear();

  ASSERT_TRUE(LoadConfigArchive(*u.system, archive));
  EXPECT_EQ(u.pageTitles(), "Elektronika, Maszyna, Funkcje, Program");
  ASSERT_EQ(u.host.messages.size(), 1u);
  EXPECT_EQ(u.host.messages[0].rfind("Load Config : ", 0), 0u) << u.host.messages[0];

  // A file that is no archive: refused, said why, and the language stays.
  testing::WriteFileText(desktop.file("broken.zip"), "no archive");
  EXPECT_FALSE(LoadConfigArchive(*u.system, desktop.file("broken.zip")));
  ASSERT_EQ(u.host.errors.size(), 1u);
  EXPECT_EQ(u.host.errors[0].rfind("Load Config refused: not a readable ZIP archive", 0), 0u)
      << u.host.errors[0];
  EXPECT_EQ(u.pageTitles(), "Elektronika, Maszyna, Funkcje, Program");
}

TEST(StoreButtons, TheBackupsPanelListsTheBackupsAndRestoresTheSelectedOneOnConfirmation) {
  FilesUi u;
  u.window.show();
  testing::WriteFileText(u.store("store.fm1"), "1:\r\n\r\neTime\r\n111\r\n");
  testing::WriteFileText(u.store("store.fm3"), "1:\r\n\r\neTime\r\n333\r\n");
  const auto yesterday = fs::file_time_type::clock::now() - std::chrono::hours(24);
  fs::last_write_time(u.store("store.fm3"), yesterday);

  u.button("bBackups")->click();
  auto* panel = u.window.findChild<ui::BackupsPanel*>("BackupsPanel");
  ASSERT_TRUE(panel && panel->isVisible());
  QListWidget* files = panel->files();
  ASSERT_EQ(files->count(), 2);
  EXPECT_EQ(files->item(0)->text(), "store.fm1");
  EXPECT_EQ(files->item(1)->text(), "store.fm3");
  EXPECT_FALSE(panel->restoreButton()->isEnabled()) << "nothing selected yet";
  EXPECT_TRUE(panel->date()->text().isEmpty());

  files->setCurrentRow(1);
  EXPECT_TRUE(panel->restoreButton()->isEnabled());
  const QDate day = QDate::currentDate().addDays(-1);
  EXPECT_EQ(panel->date()->text(), QLocale::system().toString(day, QLocale::ShortFormat));

  u.host.answers = {Answer::Cancel, Answer::Ok};
  panel->restoreButton()->click();
  EXPECT_EQ(u.restarts, 0) << "cancelled";
  panel->restoreButton()->click();
  EXPECT_EQ(u.host.questions, (std::vector<std::string>{"Are You Suere ?", "Are You Suere ?"}));
  EXPECT_EQ(u.restarts, 1);
  EXPECT_EQ(testing::ReadFileText(u.store("store.fms")), testing::ReadFileText(u.store("store.fm3")));

  panel->findChild<QPushButton*>("bCancelBackups")->click();
  EXPECT_FALSE(panel->isVisible());
}

TEST(StoreButtons, DefaultsAreSavedAndRestoredFromTheProgramPage) {
  FilesUi u;
  u.system->messages.texts[110] = "Save all settings as the defaults ?";
  u.host.answers = {Answer::Ok, Answer::Cancel, Answer::Ok};
  u.button("bSaveDefault")->click();
  ASSERT_TRUE(fs::exists(u.store("store.org")));
  u.button("bRestoreDefault")->click();
  EXPECT_EQ(u.restarts, 0) << "cancelled";
  u.button("bRestoreDefault")->click();
  EXPECT_EQ(u.restarts, 1);
  EXPECT_EQ(u.host.questions, (std::vector<std::string>{"Save all settings as the defaults ?",
                                                        "Are You Sure ?", "Are You Sure ?"}));
}

}  // namespace
}  // namespace corvane
