#pragma once
#include <QWidget>

#include "ports/Host.h"

namespace corvane {
class FieldStore;
class WindowTexts;
}

namespace corvane::ui {

// A scrolling panel with one widget per field of a window, named after the
// field and kept in step with the field store both ways. Hidden fields get no
// visible widget; disabled ones are shown greyed.
QWidget* CreateFieldPanel(FieldStore& fields, Window window, QWidget* parent);

// Shows the core's current captions and hints of one window on the widgets of
// that name below `top`; a text without a widget is skipped.
void ShowWindowTexts(QWidget* top, const WindowTexts& texts, Window window);

}  // namespace corvane::ui
