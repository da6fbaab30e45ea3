#include "model/PositionText.h"

#include <cmath>
#include <cstdio>

#include "model/NumberParser.h"

namespace corvane {

std::string FormatPosition(std::int64_t value, bool imperial) {
  const char sign = value < 0 ? '-' : ' ';
  const std::int64_t magnitude = value < 0 ? -value : value;
  char text[48];
  if (imperial) {
    const auto thousandths = std::llround(static_cast<double>(magnitude) / 2.54);
    std::snprintf(text, sizeof text, "%c%03lld.%03lld", sign, thousandths / 1000, thousandths % 1000);
  } else {
    std::snprintf(text, sizeof text, "%c%04lld.%02lld", sign, static_cast<long long>(magnitude / 100),
                  static_cast<long long>(magnitude % 100));
  }
  return text;
}

std::string FormatOriginField(std::int32_t value, bool imperial) {
  if (!imperial) return NumberParser::FloatToText(value / 100.0);
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value / 2540.0);
  return text;
}

}  // namespace corvane
