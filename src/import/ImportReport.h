#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace corvane {

// Why a drawing came out as it did: what the reader skipped, how it scaled,
// what it expanded and approximated. Filled by the readers while they read,
// printed by `corvane-cli read --report` and shown by the import window.
struct ImportReport {
  // Entity kinds or commands left out, with how often each occurred.
  std::map<std::string, std::size_t> skipped;
  std::string units;  // the units the file declares ("mm", "inch", … ; empty: none)
  double scale = 1.0;  // scaling applied to the file's numbers, to 0.01 mm
  std::size_t insertsExpanded = 0;
  std::size_t curvesApproximated = 0;
  double worstChordError = 0;  // 0.01 mm, over every approximated curve
  std::size_t openContours = 0;
  bool truncated = false;  // the file ended before its structure did
  std::vector<std::string> notes;  // anything else worth one line
};

}  // namespace corvane
