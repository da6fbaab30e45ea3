#include "store/FieldValues.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "system/System.h"

namespace corvane {

std::int32_t FieldLength(const System& s, Window window, std::string_view name) {
  const double value = std::round(s.parser.ParseFloat2(s.fields.text(window, name)) * 100.0);
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(value, -kMax, kMax));
}

std::int32_t FieldSpeed(const System& s, Window window, std::string_view name) {
  return s.parser.ParseInt2(s.fields.text(window, name));
}

std::int32_t FieldInteger(const System& s, Window window, std::string_view name) {
  return s.parser.ParseInt1(s.fields.text(window, name));
}

}  // namespace corvane
