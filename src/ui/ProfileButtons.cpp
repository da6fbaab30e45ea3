#include "ui/ProfileButtons.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QUrl>

#include "store/DesktopLauncher.h"
#include "store/Profiles.h"
#include "store/SupportPackage.h"
#include "system/System.h"
#include "ui/ScreenCapture.h"

namespace corvane::ui {

void AddProfileButtons(QGridLayout& grid, int row, System& system, QWidget& mainWindow) {
  QWidget* parent = grid.parentWidget();
  const auto add = [&](const char* name, const char* caption, int column, auto action) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    grid.addWidget(button, row, column);
    QObject::connect(button, &QPushButton::clicked, parent, action);
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
  add("CreateSupport", "Create support File", 2, [&system, &mainWindow] {
    // The main window as the operator sees it, then the package.
    CaptureScreenshots(QString::fromStdString(system.paths.storeFolder()),
                       {[&mainWindow] { mainWindow.raise(); }});
    CreateSupportPackage(system, DesktopFolder());
  });
  add("LoadConfig", "Load Config", 3, [&system, parent] {
    if (system.RefusedWhileBusy()) return;
    const QString chosen = QFileDialog::getOpenFileName(parent, "Load Config", {}, "*.zip");
    if (!chosen.isEmpty()) LoadConfigArchive(system, chosen.toStdString());
  });
}

}  // namespace corvane::ui
