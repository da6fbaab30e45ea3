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

// Every line edit below `top` keeps only the characters its field accepts
// (`filterOf` by field name), and none while `busy` says the machine runs; a
// typed "," arrives as ".". `enter` runs when Enter is pressed in a field.
void FilterFieldKeys(QWidget* top, std::function<int(std::string_view field)> filterOf,
                     std::function<bool()> busy,
                     std::function<void(const QString& field)> enter = {});

// Shows the core's current captions and hints of one window on the widgets of
// that name below `top`; a text without a widget is skipped.
void ShowWindowTexts(QWidget* top, const WindowTexts& texts, Window window);

}  // namespace corvane::ui
