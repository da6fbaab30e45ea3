#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/DisplayList.h"
#include "model/JobModel.h"

namespace corvane {

// The graph window ("AnaliseWindow") as it is created.
inline constexpr int kAnalysisGraphWidth = 783, kAnalysisGraphHeight = 447;
// Both series hold this many values.
inline constexpr std::size_t kAnalysisSamples = 500;

// The graph window's picture on black: series 1 above the dark green line at
// height − 200, series 2 above the blue line at height − 100, one value every
// 3 pixels and 10 units a pixel; a series is drawn once it has 11 values, and
// its gap values (`kAnalysisGap`) are passed over.
DisplayList DrawAnalysisGraph(const std::vector<std::int32_t>& series1, const std::vector<std::int32_t>& series2,
                              int width, int height);

// Records one sample for the graph: the tool's speed (mm/min) into series 1
// and the arc voltage in 0.1 V (or `kAnalysisGap` without an arc) into
// series 2. The samples sweep across a window `width` pixels wide like a
// scope's trace: each one overwrites the oldest, and a gap after the newest
// shows where the sweep is. Value 0 of each series is the trace's starting
// point, kept level with the first sample.
void RecordAnalysisSample(JobState& job, std::int32_t speed, std::int32_t arcVoltageTenths, int width);

}  // namespace corvane
