#pragma once
#include <cstdint>

#include "model/JobModel.h"
#include "model/PlannerSettings.h"

namespace corvane {

// Plans the current contour for the path view: full speed on straight stretches,
// slowing for corners sharper than the critical angle (and, with "Smooth", two
// gentler corner classes). Records carry the heading of the segment ending at them.
PlanResult PlanPreview(const CNCpath& contour, std::int32_t requestedSpeed, const PlanContext& ctx,
                       const PlanStart& start);

}  // namespace corvane
