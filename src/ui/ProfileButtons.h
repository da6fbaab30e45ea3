#pragma once
#include <QGridLayout>
#include <QPushButton>
#include <QWidget>

namespace corvane {
class System;
}

namespace corvane::ui {

// One push button of the configuration window's "Files" group, named `name`,
// at `row`, `column` of `grid`.
QPushButton* AddFilesButton(QGridLayout& grid, int row, int column, const char* name,
                            const char* caption);

// The profile and support buttons of the configuration window's "Files"
// group: "CREATE NEW PROFILE", "OPEN  PROFILES  FOLDER", "Create support
// File" and "Load Config", on the core's operations. `mainWindow` is closed
// after the profiles folder is shown, so the program ends normally.
void AddProfileButtons(QGridLayout& grid, int row, System& system, QWidget& mainWindow);

}  // namespace corvane::ui
