#include "model/NumberParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ports/Host.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

bool Contains(const std::string& text, const char* what) {
  return text.find(what) != std::string::npos;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Rounds to a number of decimals; values too large to carry decimals stay as they are.
double RoundTo(double value, int decimals) {
  if (std::fabs(value) >= 1e15) return value;
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

void ReplaceFirst(std::string& text, const std::string& what, const std::string& by) {
  const auto at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), by);
}

}  // namespace

std::string NumberParser::NormaliseSeparator(const std::string& text) {
  std::string out = text;
  ReplaceFirst(out, ",", ".");
  if (!out.empty() && out.front() == '.') out.insert(out.begin(), '0');
  if (!out.empty() && out.back() == '.') out.push_back('0');
  return out;
}

std::optional<double> NumberParser::ConvertInvariant(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin < end && text[begin] == '+') ++begin;
  if (begin == end) return std::nullopt;
  // Only digits, sign, point and exponent: no "inf", "nan" or hexadecimal forms.
  for (size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
        c != 'e' && c != 'E')
      return std::nullopt;
  }
  double value = 0;
  const auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value);
  if (ec != std::errc() || ptr != text.data() + end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string NumberParser::FloatToText(double value) {
  if (value == 0.0) return "0";  // never "-0"
  // 15 significant digits: 1.5 in shows as 38.1 mm, not as the binary neighbour.
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

double NumberParser::ParseFloat(const std::string& text) const {
  if (text.empty()) return 1.0;
  const auto value = ConvertInvariant(NormaliseSeparator(text));
  if (!value) {
    if (!Contains(text, "%")) log_.WriteLog(Quoted(text) + " is not a Float Value!");
    return 1.0;
  }
  return RoundTo(*value, imperial ? 6 : 4);
}

double NumberParser::ParseFloatSilent(const std::string& text) const {
  return ConvertInvariant(NormaliseSeparator(text)).value_or(1.0);
}

double NumberParser::ParseFloat2(const std::string& text) const {
  if (text.empty() || Contains(text, "%")) return 1.0;
  const auto value = ConvertInvariant(NormaliseSeparator(text));
  if (!value) {
    log_.WriteLog(Quoted(text) + " is not a Float2 Value!");
    return 1.0;
  }
  return imperial ? RoundTo(*value * 25.4, 6) : RoundTo(*value, 4);
}

std::int32_t NumberParser::ToInt32(double value, const std::string& text) const {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (value > kMax || value < kMin) {
    log_.WriteLog(Quoted(text) + " is out of range!");
    return value > 0 ? std::numeric_limits<std::int32_t>::max()
                     : std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t NumberParser::ParseInt1(const std::string& text) const {
  if (text.empty()) return 1;
  std::string cleaned = text;
  ReplaceFirst(cleaned, "V", "");
  ReplaceFirst(cleaned, "Mat", "-1");
  const auto value = ConvertInvariant(NormaliseSeparator(cleaned));
  if (!value) {
    if (!Contains(text, "%")) log_.WriteLog(Quoted(text) + " is not a Integer 1 Value!");
    return 1;
  }
  // Ties go to the even neighbour: 2.5 → 2, 3.5 → 4.
  return ToInt32(std::nearbyint(RoundTo(*value, imperial ? 6 : 4)), text);
}

std::int32_t NumberParser::ParseInt2(const std::string& text) const {
  if (!imperial) return ParseInt1(text);
  if (text.empty() || Contains(text, "%")) return 1;
  const auto value = ConvertInvariant(NormaliseSeparator(text));
  if (!value) {
    log_.WriteLog(Quoted(text) + " is not a Integer 2 Value!");
    if (host_) host_->showLogPane();
    return 1;
  }
  return ToInt32(std::nearbyint(RoundTo(*value, 6) * 25.4), text);
}

std::string NumberParser::ToDisplayUnits(const std::string& metricText) const {
  const std::string normal = NormaliseSeparator(metricText);
  if (!imperial) return normal;
  const auto value = ConvertInvariant(normal);
  if (!value) {
    log_.WriteLog(metricText + " is not a Float Value!");
    return metricText;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", RoundTo(*value, 6) / 25.4);
  return buffer;
}

std::string NumberParser::FromDisplayUnits(const std::string& operatorText) const {
  const std::string normal = NormaliseSeparator(operatorText);
  if (!imperial) return normal;
  const auto value = ConvertInvariant(normal);
  if (!value) {
    log_.WriteLog(operatorText + " is not a FloatM Value!");
    return operatorText;
  }
  // Millimetres keep 4 decimals, as everywhere else.
  return FloatToText(RoundTo(RoundTo(*value, 6) * 25.4, 4));
}

std::string NumberParser::FormatLength(double mm) const {
  return FloatToText(imperial ? RoundTo(mm / 25.4, 4) : RoundTo(mm, 4));
}

std::int32_t NumberParser::ParsePairX(const std::string& text) const {
  const auto comma = text.find(',');
  const std::string part = text.size() > 1 ? text.substr(1, comma == std::string::npos
                                                                 ? std::string::npos
                                                                 : comma - 1)
                                           : std::string();
  const auto value = ConvertInvariant(part);
  if (!value) {
    log_.WriteLog(text + " is not a FloatX Value!");
    return 1;
  }
  return ToInt32(std::round(*value * 10.0), text);
}

std::int32_t NumberParser::ParsePairY(const std::string& text) const {
  const auto separator = text.find(", ");
  std::string part;
  if (separator != std::string::npos) {
    const auto start = separator + 2;
    const auto close = text.find(')', start);
    part = text.substr(start, close == std::string::npos ? std::string::npos : close - start);
  }
  const auto value = ConvertInvariant(part);
  if (!value) {
    log_.WriteLog(text + " is not a FloatY Value!");
    return 1;
  }
  return ToInt32(std::round(*value * 10.0), text);
}

std::int32_t NumberParser::ParseAxisTarget(const std::string& text,
                                           const AxisTargetLimits& limits) const {
  std::string t;
  for (char c : text)
    if (c != ' ') t.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  if (t == "MAX") return limits.max;
  if (t == "MIN") return limits.min;
  const auto amount = [&](const std::string& rest) {
    return static_cast<std::int64_t>(std::llround(ParseFloat2(rest.substr(0, 10)) * 100.0));
  };
  const std::int64_t here = static_cast<std::int64_t>(limits.current) + limits.origin;
  std::int64_t target = 0;
  if (t.empty())
    target = here;
  else if (t[0] == '+')
    target = here + amount(t.substr(1));
  else if (t[0] == '-')
    target = here - amount(t.substr(1));
  else if (t[0] == 'M')
    target = limits.origin + amount(t.substr(1));
  else
    target = amount(t);
  if (limits.softLimits) target = std::clamp<std::int64_t>(target, limits.min, limits.max);
  return ToInt32(static_cast<double>(target), text);
}

}  // namespace corvane
