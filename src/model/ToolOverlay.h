#pragma once
#include <cstdint>
#include <optional>

#include "model/DisplayList.h"
#include "model/Geometry.h"
#include "model/JobModel.h"

namespace corvane {

// Where the tool is, drawn over the job picture on every refresh: a cross at
// the torch, its position relative to the job origin, and the actual speed.
// Cheap to build, so the job picture itself is not redrawn for it.
// `inJob`: where the torch stands in the job when that is not the machine
// position less the origin (on the rotary axis: round the unrolled tube).
DisplayList ToolOverlay(const JobState& job, const ViewTransform& view, std::int32_t actualSpeed,
                        bool imperial, std::optional<Point64> inJob = std::nullopt);

// The speed readout: "~01234 mm/min", or "~100.00 in/min" in inch mode.
std::string FormatActualSpeed(std::int32_t speed, bool imperial);

}  // namespace corvane
