#pragma once
#include <cstdint>
#include <string_view>

#include "ports/Host.h"

namespace corvane {

class System;

// A field's text read as a number at the moment of use, through the parsers.
// A length x-field in 0.01 mm, clamped to the int32 range.
std::int32_t FieldLength(const System& system, Window window, std::string_view name);
// A speed field in mm/min (inch mode converts).
std::int32_t FieldSpeed(const System& system, Window window, std::string_view name);
// A plain number: times, counts, ramp settings, degrees.
std::int32_t FieldInteger(const System& system, Window window, std::string_view name);

}  // namespace corvane
