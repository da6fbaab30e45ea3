#pragma once
#include <QGridLayout>
#include <QWidget>

namespace corvane {
class System;
}

namespace corvane::ui {

// The profile and support buttons of the configuration window's "Files"
// group: "CREATE NEW PROFILE", "OPEN  PROFILES  FOLDER", "Create support
// File" and "Load Config", on the core's operations. `mainWindow` is closed
// after the profiles folder is shown, so the program ends normally.
void AddProfileButtons(QGridLayout& grid, int row, System& system, QWidget& mainWindow);

}  // namespace corvane::ui
