#pragma once
#include <cstdint>
#include <optional>

#include "model/JobModel.h"

namespace corvane {

// Every contour's box (min X, max Y, max X, min Y); recomputed whenever vertices move.
std::vector<ContourBox> ComputeContourBoxes(const tCNCPath& job);

// Shifts the job so its smallest X and Y are 0 and records its extent and boxes.
// In rotary profile mode (`profileWidth` set) the unrolled job is centred on the
// profile instead and the X origin goes back to 0.
void NormaliseJob(JobState& state, std::optional<std::int32_t> profileWidth = std::nullopt);

// Where the job begins in X: 0, or its smallest X when that is negative (a
// job centred on a rectangular tube's top face).
std::int32_t JobStartX(const JobState& state);

// Puts a new job in place: nothing of it is cut yet.
void ReplaceJob(JobState& state, tCNCPath job, std::optional<std::int32_t> profileWidth = std::nullopt);

}  // namespace corvane
