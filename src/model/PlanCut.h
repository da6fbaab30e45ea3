#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "model/JobModel.h"
#include "model/PlannerSettings.h"

namespace corvane {

// Plans one contour for cutting: merged vertices, corner speeds, ramps in both
// directions, ramp points inside long segments and the anti-dive / lead-out zones.
// On a flat sheet every record's speed is one the controller, keeping its level from
// line to line and walking one level per ramp period, can brake from in time.
// `lastRamp` is the ramp setting last sent to the controller (changed when offline).
PlanResult PlanCut(const CNCpath& contour, std::int32_t requestedSpeed, const PlanContext& ctx,
                   const PlanStart& start, std::int32_t& lastRamp);

// Length of the anti-dive zone: the configured distance plus the lead-out when leads are computed.
std::int32_t AntiDiveLength(const PlannerSettings& s);
// Length of the lead-out zone in which the torch is already off; 0 without a second lead-out.
std::int32_t LeadOutLength(const PlannerSettings& s);

// Marks the tail of a plan that is `zone` long with `marker`: every record whose line
// ends inside it. Where the zone begins inside a line, the record ending that line is
// moved onto the zone's exact start, unmarked, and a marked copy of it follows. Returns
// the index of that zone start when one was placed.
std::optional<std::size_t> MarkTailZone(CNCpath2& plan, std::int32_t zone, double marker,
                                        const PlanContext& ctx);

}  // namespace corvane
