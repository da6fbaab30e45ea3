#pragma once
#include <QString>

class QToolButton;
class QWidget;

namespace corvane {
class System;
}

namespace corvane::ui {

// The operator manual: the program folder's "lang/" + language + ".pdf", else
// "lang/English.pdf", else the manual that comes with the program
// ("doc/manual.html", then "doc/manual.md"). Empty when there is none.
QString ManualFile(const QString& programFolder, const QString& language);

// Opens the manual with the desktop's viewer. A Markdown manual is shown as
// HTML, rendered into the user's cache folder. False when there is no manual
// or it cannot be opened.
bool OpenManual(const QString& programFolder, const QString& language);

// The main window's manual button ("SpeedButton2"): opens the manual in the
// language the configuration has chosen (`eLng`).
QToolButton* AddManualButton(QWidget* parent, const System& system);

}  // namespace corvane::ui
