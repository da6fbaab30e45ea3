#include "ui/SecondaryWindows.h"

#include "ui/AnalysisGraphWindow.h"
#include "ui/ConfigurationWindow.h"

namespace corvane::ui {

QWidget* CreateConfigurationWindow(FieldStore& fields) { return new ConfigurationWindow(fields); }

QWidget* CreateAnalysisWindow(System& system) { return new AnalysisGraphWindow(system); }

}  // namespace corvane::ui
