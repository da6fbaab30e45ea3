#include "ui/ProfileButtons.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <thread>

#include "store/DesktopLauncher.h"
#include "store/Profiles.h"
#include "store/SupportPackage.h"
#include "system/System.h"
#include "ui/ConfigurationWindow.h"
#include "ui/ScreenCapture.h"

namespace corvane::ui {
namespace {

// The screenshots of the support package: the main window as the operator
// sees it, then the configuration window's first three pages, the third with
// the special functions shown; afterwards the window rests on "Program",
// hidden, with the special functions hidden again.
void CaptureSupportScreenshots(System& system, QWidget& mainWindow, QWidget* window) {
  auto* configuration = qobject_cast<ConfigurationWindow*>(window);
  const QString store = QString::fromStdString(system.paths.storeFolder());
  if (!configuration) {
    CaptureScreenshots(store, {[&mainWindow] { mainWindow.raise(); }});
    return;
  }
  QTabWidget* pages = configuration->pages();
  auto* special = configuration->findChild<QPushButton*>("bSpecial");
  const auto showPage = [configuration, pages](int page) {
    configuration->show();
    configuration->raise();
    pages->setCurrentIndex(page);
  };
  CaptureScreenshots(store, {[configuration, pages, &mainWindow] {
                               configuration->hide();
                               pages->setCurrentIndex(0);
                               mainWindow.raise();
                             },
                             [showPage] { showPage(0); }, [showPage] { showPage(1); },
                             [showPage, special] {
                               showPage(2);
                               if (special) special->setChecked(true);
                             }});
  if (special) special->setChecked(false);
  pages->setCurrentIndex(pages->count() - 1);
  configuration->hide();
}

// Unpacks a configuration archive on a worker thread; the window's thread shows
// the progress and keeps processing events until the unpacking is done.
StoreExtraction ExtractWithProgress(
    QWidget* parent, const std::function<StoreExtraction(const ExtractProgress&)>& extract) {
  QProgressDialog dialog("Load Config", {}, 0, 0, parent);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(300);
  dialog.setCancelButton(nullptr);
  std::atomic<std::size_t> done{0}, total{0};
  std::atomic<bool> finished{false};
  StoreExtraction result;
  std::thread worker([&] {
    result = extract([&](std::size_t d, std::size_t t) {
      total = t;
      done = d;
    });
    finished = true;
  });
  while (!finished) {
    if (total > 0) {
      dialog.setMaximum(static_cast<int>(total));
      dialog.setValue(static_cast<int>(done));
    }
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  worker.join();
  return result;
}

}  // namespace

QPushButton* AddFilesButton(QGridLayout& grid, int row, int column, const char* name,
                            const char* caption) {
  auto* button = new QPushButton(caption, grid.parentWidget());
  button->setObjectName(name);
  grid.addWidget(button, row, column);
  return button;
}

void AddProfileButtons(QGridLayout& grid, int row, System& system, QWidget& mainWindow) {
  QWidget* parent = grid.parentWidget();
  const auto add = [&](const char* name, const char* caption, int column, auto action) {
    QObject::connect(AddFilesButton(grid, row, column, name, caption), &QPushButton::clicked,
                     parent, action);
  };
  add("CreateProfile", "CREATE NEW PROFILE", 0, [&system] {
    CreateProfileShortcut(system.host, system.log, ResolveLauncherPlaces());
  });
  add("OpenProfiles", "OPEN  PROFILES  FOLDER", 1, [&system, &mainWindow] {
    OpenProfilesFolder(system.paths, system.host, system.clock, [](const std::string& folder) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
    });
    mainWindow.close();
  });
  add("CreateSupport", "Create support File", 2, [&system, &mainWindow, parent] {
    CaptureSupportScreenshots(system, mainWindow, parent->window());
    CreateSupportPackage(system, DesktopFolder());
  });
  add("LoadConfig", "Load Config", 3, [&system, parent] {
    if (system.RefusedWhileBusy()) return;
    const QString chosen = QFileDialog::getOpenFileName(parent, "Load Config", {}, "*.zip");
    if (chosen.isEmpty()) return;
    LoadConfigArchive(system, chosen.toStdString(), [parent](const auto& extract) {
      return ExtractWithProgress(parent, extract);
    });
  });
}

}  // namespace corvane::ui
