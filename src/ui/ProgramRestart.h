#pragma once

namespace corvane {
class SingleInstance;
class System;
}  // namespace corvane

namespace corvane::ui {

// The environment variable that tells a new instance which process it follows.
inline constexpr const char* kRestartedFromVariable = "CORVANE_RESTARTED_FROM";
// How long a new instance waits for the one it follows to end.
inline constexpr int kRestartWaitMillis = 10000;

// Starts this program again with the arguments of this run (the profile and
// the controller), so the new instance works on the same profile and board.
// False when the executable could not be started.
bool StartNewInstance();

// Takes the single-instance lock. An instance started by StartNewInstance
// waits while the process it follows is still ending, up to
// kRestartWaitMillis; any other instance finds at once whether one runs.
bool AcquireInstance(SingleInstance& instance);

// A restore of the settings: a new instance starts and this one ends without
// its closing steps, which would save the fields over the restored files.
void RestartWithoutSaving(System& system);

}  // namespace corvane::ui
