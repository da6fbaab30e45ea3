#pragma once
#include <cstdint>

#include "model/JobModel.h"
#include "model/PlannerSettings.h"

namespace corvane {

// Plans one contour for cutting: merged vertices, corner speeds, ramps in both
// directions, ramp points inside long segments and the anti-dive / lead-out zones.
// `lastRamp` is the ramp setting last sent to the controller (changed when offline).
PlanResult PlanCut(const CNCpath& contour, std::int32_t requestedSpeed, const PlanContext& ctx,
                   const PlanStart& start, std::int32_t& lastRamp);

// Length of the anti-dive zone: the configured distance plus the lead-out when leads are computed.
std::int32_t AntiDiveLength(const PlannerSettings& s);
// Length of the lead-out zone in which the torch is already off; 0 without a second lead-out.
std::int32_t LeadOutLength(const PlannerSettings& s);

// Marks the tail of a plan that is `zone` long with `marker`, moving the record where
// the zone begins onto its exact start (a copy of the old record follows it).
void MarkTailZone(CNCpath2& plan, std::int32_t zone, double marker, const PlanContext& ctx);

}  // namespace corvane
