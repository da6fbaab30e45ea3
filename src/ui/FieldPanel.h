#pragma once
#include <QStringList>
#include <QWidget>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/Host.h"

namespace corvane {
class FieldStore;
class System;
class WindowTexts;
}

namespace corvane::ui {

// A scrolling panel with one widget per field of a window, named after the
// field and kept in step with the field store both ways. Hidden fields get no
// visible widget; disabled ones are shown greyed.
// Fields named in `placedElsewhere` are left out: another panel shows them.
QWidget* CreateFieldPanel(FieldStore& fields, Window window, QWidget* parent,
                          const QStringList& placedElsewhere = {});

// A small form with the named fields of a window, each with the caption given
// here (the table's caption when that is empty), bound like the panel's.
QWidget* CreateFieldRows(FieldStore& fields, Window window,
                         const std::vector<std::pair<QString, QString>>& namesAndCaptions,
                         QWidget* parent);

// Every line edit below `top` that shows a field of `window` (main or
// configuration) keeps only the characters its field accepts, typed, pasted or
// dropped alike ("," arrives as "." where typing does that), and takes none
// while the machine runs. A finished edit (Enter, leaving the field, a paste
// or a drop) outside the field's range is refused: the field takes back its
// last accepted value, turns red with the reason as its hint until its next
// accepted edit, and the log says so. `enter` runs when Enter is pressed in a
// field whose value was accepted.
void GuardFieldInput(QWidget* top, System& system, Window window,
                     std::function<void(const QString& field)> enter = {});

// Finishes the edits under way below `top` as leaving the fields would;
// false when one was refused.
bool FinishFieldEdits(QWidget* top);

// Shows the core's current captions and hints of one window on the widgets of
// that name below `top`; a text without a widget is skipped.
void ShowWindowTexts(QWidget* top, const WindowTexts& texts, Window window);

}  // namespace corvane::ui
