#pragma once
#include <cstdint>

namespace corvane {

class System;

// "Cutting speed 2" (`xFeed2`) in mm/min: a plain speed, or with "%" that
// percentage of `feed`, the cutting speed it is read against.
std::int32_t CuttingSpeed2(const System& system, std::int32_t feed);

}  // namespace corvane
