#pragma once
#include <optional>

#include "model/DisplayList.h"
#include "model/JobRedraw.h"
#include "model/PlannerSettings.h"

namespace corvane {

class System;

// The operator's fields read into the plain settings the model works with, at
// the moment of use, through the number parsers.
PlannerSettings ReadPlannerSettings(const System& system, bool rampOnline);
RedrawSettings ReadRedrawSettings(const System& system);

// Steps per 0.01 mm and the speed tables from the machine configuration.
void RecomputeAxisScales(System& system);
// Keeps the scales in step with every edit or load of the configuration.
void InstallAxisScaleUpdates(System& system);

// The job drawn for a path view of the given size, with the current contour planned.
std::optional<DisplayList> RedrawMainView(System& system, int width, int height);

}  // namespace corvane
