#pragma once
#include <optional>

#include "model/JobModel.h"

namespace corvane {

class System;

// Main window creation, after System::PrepareStart: the store folder made
// again when it is gone (an error box when it cannot be), the store's
// behaviours, the advanced options, the backup rotation on the first start of
// the day and the preset list.
void PrepareStore(System& system);

// Main window first show, the store's part: settings written when missing and
// loaded twice, the two-strike check of an unclean previous exit, the close
// mark cleared and saved, the job of "temp.cnc" loaded and the language of
// eLng applied. The loading flag stays set; the caller clears it once drawing
// and link are done.
void StartupSequence(System& system);

// Closing, after all motion stopped: the controller's position counters (when
// known) into the fields, the store folder made again when it is gone, the job
// to "temp.cnc", the close marks set, the jog fields reset, the settings saved,
// a failed save of job or settings shown in an error box, and "CloseApp"
// logged. The Exit button, the window's close and a termination signal all end
// here.
void ShutdownSequence(System& system, std::optional<AxisPosition> counters);

}  // namespace corvane
