#pragma once
#include <QWidget>

namespace corvane::ui {

// The import, configuration and analysis windows. They exist from start-up,
// hidden, so that their fields can be bound and their settings loaded.
QWidget* CreateImportWindow();
QWidget* CreateConfigurationWindow();
QWidget* CreateAnalysisWindow();

}  // namespace corvane::ui
