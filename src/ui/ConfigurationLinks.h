#pragma once

namespace corvane {
class ConfigurationActions;
class System;
struct Controller;
}  // namespace corvane

namespace corvane::ui {

class ConfigurationWindow;
class MainWindow;

// What the main window offers around the configuration: the "Configuration"
// button behind its password, the "Out 1" / "Out 2" buttons, the "Status"
// link with the diagnostics report and the "Reset" link, the advanced
// options `title` and `StatusVisible`, and Timer2's rebuild of the report.
// Everything lives on children of the main window made here.
// The setup password (`eSpec5`) that guards the configuration window: true
// at once when none is set or Ctrl is held; otherwise the operator is asked
// (the typing hidden) and a wrong answer is told and logged.
bool SetupPasswordGiven(System& system);

void BindConfiguration(MainWindow& main, ConfigurationWindow& window, System& system,
                       Controller& controller, ConfigurationActions& actions);

}  // namespace corvane::ui
