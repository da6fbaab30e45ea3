#pragma once
#include "import/ImportSession.h"

namespace corvane {

class System;

// "send to job": the import editor's result replaces the job (marker, disabled
// and cutting contours with their leads), placed at the origin; the job is
// marked as coming from the import window, the settings are saved and the job
// is written to "temp.cnc" in the profile's store folder. False (with the
// error box) when the drawing cannot become a job or has no contour at all;
// the old job then stays.
bool SendImportToJob(System& system, const ImportSession& session, const ImportProcessOptions& options);

}  // namespace corvane
