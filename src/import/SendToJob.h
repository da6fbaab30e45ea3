#pragma once
#include <string>

#include "import/ImportSession.h"

namespace corvane {

class System;

// "send to job": the import editor's result replaces the job (marker, disabled
// and cutting contours with their leads), placed at the origin; the job is
// marked as coming from the import window, the settings are saved and the job
// is written to "temp.cnc" in the profile's store folder. False (with the
// error box) when the drawing cannot become a job or has no contour at all;
// the old job then stays.
// Contours smaller than the tool are shown but not cut: sending then first
// asks, naming their count ("N holes smaller than the tool are not cut"), and
// keeps the old job when the operator says no.
bool SendImportToJob(System& system, const ImportSession& session, const ImportProcessOptions& options);

// What the last processing leaves uncut because the tool is larger, one
// sentence per kind ("2 holes smaller than the tool are not cut"); empty
// when everything is cut.
std::string NotCutNotice(const ImportSession& session);

}  // namespace corvane
