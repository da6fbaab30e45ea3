#pragma once
#include <QWidget>

#include "ports/Host.h"

namespace corvane {
class FieldStore;
}

namespace corvane::ui {

// A scrolling panel with one widget per field of a window, named after the
// field and kept in step with the field store both ways. Hidden fields get no
// visible widget; disabled ones are shown greyed.
QWidget* CreateFieldPanel(FieldStore& fields, Window window, QWidget* parent);

}  // namespace corvane::ui
