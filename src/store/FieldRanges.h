#pragma once
#include <span>
#include <string>
#include <string_view>

#include "ports/Host.h"

namespace corvane {

// The values a numeric field may hold, in the unit the settings file stores:
// millimetres and mm/min for x-fields (whatever unit the window shows), the
// plain number for the others. Wide enough for every real machine; what lies
// outside would only ever be a typing or pasting slip.
struct FieldRange {
  std::string_view name;
  double min = 0;
  double max = 0;
  // A value written as a number followed by "%" is checked against these;
  // both 0: the field takes no percentage.
  double percentMin = 0;
  double percentMax = 0;
};

// The ranges of one window's numeric fields.
std::span<const FieldRange> FieldRangesOf(Window window);
// The range of one field (names compared regardless of letter case); nullptr
// for a field without one.
const FieldRange* FindFieldRange(Window window, std::string_view name);

// What a field's text says about its range.
enum class RangeVerdict { Fits, OutOfRange, NotANumber };

// Checks a field's text as the window shows it: an x-field in inches when
// `shownInInches`, compared in millimetres.
RangeVerdict CheckFieldRange(const FieldRange& range, const std::string& text, bool shownInInches);

// Why a text may not stay in its field, for the operator and the log, e.g.
// "\"99999\" is outside 1 .. 1000"; empty when the field has no range or the
// value fits. The bounds are shown in the window's units.
std::string RangeRefusal(Window window, std::string_view name, const std::string& text,
                         bool shownInInches);

}  // namespace corvane
