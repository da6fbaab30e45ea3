#pragma once
#include <cstdint>
#include <string>

namespace corvane {

// A position or length in 0.01 mm as the operator reads it: " 0123.45" (mm) or " 001.000" (inches).
std::string FormatPosition(std::int64_t value, bool imperial);

// The project origin as shown in its fields: millimetres in general format, or inches "0.000".
std::string FormatOriginField(std::int32_t value, bool imperial);

}  // namespace corvane
