#include "import/KerfOffset.h"

#include <algorithm>
#include <cmath>

#include "import/ParallelFor.h"

namespace corvane {
namespace {

using ClipperLib::cInt;

constexpr double kMiterLimit = 2.0;
constexpr double kArcTolerance = 0.25;
constexpr cInt kUniteLimit = 9999999;

TPaths OffsetOne(const TPath& contour, cInt delta) {
  ClipperLib::ClipperOffset offset(kMiterLimit, kArcTolerance);
  offset.AddPath(contour, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
  TPaths out;
  offset.Execute(out, static_cast<double>(delta));
  return out;
}

TPaths Unite(const TPaths& paths) {
  const TPath square{{-kUniteLimit, -kUniteLimit}, {kUniteLimit, -kUniteLimit},
                     {kUniteLimit, kUniteLimit}, {-kUniteLimit, kUniteLimit}};
  ClipperLib::Clipper clipper;
  clipper.AddPath(square, ClipperLib::ptSubject, true);
  clipper.AddPaths(paths, ClipperLib::ptClip, true);
  TPaths out;
  clipper.Execute(ClipperLib::ctIntersection, out, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  return out;
}

}  // namespace

cInt OffsetAmount(int sliderPosition, double typedToolMm, bool inches, bool inside, bool forced) {
  if (forced) return 5;
  cInt delta = 0;
  if (typedToolMm != 0)
    delta = static_cast<cInt>(std::llround(typedToolMm * 100 / 2));
  else if (inches)
    delta = static_cast<cInt>(std::llround(sliderPosition * 5 * 1.27));
  else
    delta = static_cast<cInt>(sliderPosition) * 5;
  return inside ? -delta : delta;
}

OffsetResult OffsetCuttingList(const TPaths& cutting, const Nesting& nesting, cInt delta, bool unite) {
  OffsetResult result;
  for (const TPath& path : cutting)
    if (!IsClosedPath(path)) result.paths.push_back(path);
  for (const int parity : {0, 1}) {
    for (int level = 0; level <= nesting.maxDepth / 2; ++level) {
      const int depth = 2 * level + parity;
      std::vector<std::size_t> members;
      for (std::size_t i = 0; i < cutting.size(); ++i)
        if (nesting.records[i].depth == depth && IsClosedPath(cutting[i])) members.push_back(i);
      std::vector<TPaths> results(members.size());
      ParallelFor(members.size(),
                  [&](std::size_t k) { results[k] = OffsetOne(cutting[members[k]], parity == 0 ? delta : -delta); });
      TPaths collected;
      for (std::size_t k = 0; k < results.size(); ++k) {
        TPaths& one = results[k];
        if (one.empty()) result.vanished.push_back(members[k]);
        if (one.size() > 1) ++result.split;
        for (TPath& path : one) collected.push_back(std::move(path));
      }
      if (unite && !collected.empty()) collected = Unite(collected);
      for (TPath& path : collected) {
        if (path.empty()) continue;
        path.push_back(path.front());
        result.paths.push_back(std::move(path));
      }
    }
  }
  std::sort(result.vanished.begin(), result.vanished.end());
  return result;
}

}  // namespace corvane
