#pragma once
#include <QWidget>

namespace corvane {
class FieldStore;
class System;
}

namespace corvane::ui {

// The configuration and analysis windows. They exist from start-up,
// hidden, so that their fields can be bound and their settings loaded.
QWidget* CreateConfigurationWindow(FieldStore& fields);
QWidget* CreateAnalysisWindow(System& system);

}  // namespace corvane::ui
