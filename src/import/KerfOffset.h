#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "import/Nesting.h"

namespace corvane {

// Offset amount δ (0.01 mm) by which outer contours move out (holes move in).
// A typed tool size in mm (0: none) wins over the slider (steps of 0.1 mm, or
// 0.005 in in inch mode); cutting inside turns the sign; forced processing uses 5.
ClipperLib::cInt OffsetAmount(int sliderPosition, double typedToolMm, bool inches, bool inside,
                              bool forced);

struct OffsetResult {
  TPaths paths;
  // Cutting-list indexes of the closed contours the offset left nothing of
  // (holes smaller than the tool, or outlines narrower than it cutting inside),
  // in increasing order: they are not cut.
  std::vector<std::size_t> vanished;
  std::size_t split = 0;     // closed contours the offset cut into several
};

// Offsets the closed contours of the cutting list level by level: outer
// contours (even depth) by +δ, holes (odd depth) by −δ, each on its own;
// open contours are copied first as they are. With `unite` the results of one
// level are merged where they overlap. Every result is closed (its first
// vertex repeated at its end).
OffsetResult OffsetCuttingList(const TPaths& cutting, const Nesting& nesting, ClipperLib::cInt delta,
                               bool unite);

}  // namespace corvane
