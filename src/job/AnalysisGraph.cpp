#include "job/AnalysisGraph.h"

#include <algorithm>
#include <cmath>

namespace corvane {
namespace {

constexpr Rgb kDarkGreen{0, 128, 0};
constexpr std::size_t kFewestDrawn = 11;
constexpr int kSampleSpacing = 3;  // pixels between values
constexpr int kUnitsPerPixel = 10;
// The starting point is read at 100 units a pixel and 100 pixels lower than
// the samples' baseline (baselines: 200 and 100 pixels above the bottom).
constexpr int kStartUnitsPerPixel = 100, kStartDrop = 100;
constexpr int kBaseline1 = 200, kBaseline2 = 100;

DisplayPolyline Across(int row, int width, Rgb colour) { return {{{0, row}, {width, row}}, colour, 1}; }

DisplayPolyline Trace(const std::vector<std::int32_t>& series, int height, int baseline, Rgb colour) {
  DisplayPolyline line{{}, colour, 1};
  line.points.push_back({1, static_cast<int>(std::lround(height - series[0] / double(kStartUnitsPerPixel))) +
                                kStartDrop});
  for (std::size_t i = 1; i < series.size(); ++i) {
    if (series[i] == kAnalysisGap) continue;
    line.points.push_back({static_cast<int>(i) * kSampleSpacing,
                           static_cast<int>(std::lround(height - series[i] / double(kUnitsPerPixel))) - baseline});
  }
  return line;
}

// Value 0 that puts the trace's start level with `first` above `baseline`.
std::int32_t StartLevelWith(std::int32_t first, int baseline) {
  if (first == kAnalysisGap) first = 0;
  return first * (kStartUnitsPerPixel / kUnitsPerPixel) + (baseline + kStartDrop) * kStartUnitsPerPixel;
}

}  // namespace

DisplayList DrawAnalysisGraph(const std::vector<std::int32_t>& series1, const std::vector<std::int32_t>& series2,
                              int width, int height) {
  DisplayList list;
  list.background = colours::kBlack;
  list.items.push_back(Across(height - kBaseline1, width, kDarkGreen));
  if (series1.size() >= kFewestDrawn) list.items.push_back(Trace(series1, height, kBaseline1, colours::kGreen));
  list.items.push_back(Across(height - kBaseline2, width, colours::kBlue));
  if (series2.size() >= kFewestDrawn) list.items.push_back(Trace(series2, height, kBaseline2, colours::kSkyBlue));
  return list;
}

void RecordAnalysisSample(JobState& job, std::int32_t speed, std::int32_t arcVoltageTenths, int width) {
  std::vector<std::int32_t>& s1 = job.AnalysisSeries1;
  std::vector<std::int32_t>& s2 = job.AnalysisSeries2;
  for (auto* series : {&s1, &s2})
    if (series->size() != kAnalysisSamples) series->assign(kAnalysisSamples, kAnalysisGap);
  // Values 1 .. slots − 1 lie inside the window.
  const auto slots = static_cast<std::ptrdiff_t>(
      std::clamp<std::size_t>(static_cast<std::size_t>(std::max(width, 0) / kSampleSpacing), 3, kAnalysisSamples));
  const auto found = std::find(s1.begin() + 1, s1.begin() + slots, kAnalysisGap);
  const std::size_t at = found == s1.begin() + slots ? 1 : static_cast<std::size_t>(found - s1.begin());
  // A speed never reads as the gap, which marks the write position.
  s1[at] = std::min(speed, kAnalysisGap - 1);
  s2[at] = arcVoltageTenths;
  const std::size_t next = static_cast<std::ptrdiff_t>(at) + 1 < slots ? at + 1 : 1;
  s1[next] = s2[next] = kAnalysisGap;
  s1[0] = StartLevelWith(s1[1], kBaseline1);
  s2[0] = StartLevelWith(s2[1], kBaseline2);
}

}  // namespace corvane
