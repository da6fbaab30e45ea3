#pragma once
#include <QString>

class QToolButton;
class QWidget;

namespace corvane {
class System;
}

namespace corvane::ui {

class TextViewer;

// The manual for the desktop's viewer: the program folder's "lang/" +
// language + ".pdf", else "lang/English.pdf", else the manual that comes with
// the program ("doc/manual.html", then "doc/manual.md"). Empty when there is none.
QString ManualFile(const QString& programFolder, const QString& language);

// The manual the program shows itself: "doc/manual.md", else
// "doc/manual.html" of the program folder. Empty when there is none.
QString ViewableManual(const QString& programFolder);

// Shows the manual in the program's own viewer (the window "Manual"), whose
// "Open with the desktop's viewer" opens the language's PDF manual when one is
// installed. Without a manual the program can show, a PDF manual goes to the
// desktop's viewer; when there is none either, or the desktop cannot open it,
// a message and a log line say so and null is returned.
TextViewer* ShowManual(QWidget* owner, System& system);

// The wiring schematic for the desktop's viewer: "lang/s" + language +
// ".pdf" of the program folder, else "lang/sEnglish.pdf". Empty when neither exists.
QString SchematicFile(const QString& programFolder, const QString& language);

// Opens the schematic with the desktop's viewer; without one, or without a
// schematic, a message and a log line say so. True when it was handed over.
bool ShowSchematic(System& system);

// The main window's hidden schematic button ("SpeedButton3").
QToolButton* AddSchematicButton(QWidget* parent, System& system);

// The main window's manual button ("SpeedButton2").
QToolButton* AddManualButton(QWidget* parent, System& system);

}  // namespace corvane::ui
