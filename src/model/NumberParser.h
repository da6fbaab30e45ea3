#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

class ProgramLog;
class Host;

// Limits of one axis for a typed target position, all in 0.01 mm.
struct AxisTargetLimits {
  std::int32_t current = 0;  // machine position minus origin
  std::int32_t origin = 0;
  std::int32_t max = 0;
  std::int32_t min = 0;
  bool softLimits = false;   // "Axis Soft Limits" checked
};

// Turns the operator's field texts into numbers in the system's units. Nothing
// here fails to the caller: a bad text is logged and replaced by its default.
class NumberParser {
 public:
  NumberParser(ProgramLog& log, Host* host) : log_(log), host_(host) {}

  // Inch mode: x-fields are typed in inches and in/min and converted on reading.
  bool imperial = false;

  double ParseFloat(const std::string& text) const;
  double ParseFloatSilent(const std::string& text) const;
  double ParseFloat2(const std::string& text) const;
  std::int32_t ParseInt1(const std::string& text) const;
  std::int32_t ParseInt2(const std::string& text) const;
  std::string ToDisplayUnits(const std::string& metricText) const;
  std::string FromDisplayUnits(const std::string& operatorText) const;
  std::string FormatLength(double mm) const;
  std::int32_t ParsePairX(const std::string& text) const;
  std::int32_t ParsePairY(const std::string& text) const;
  std::int32_t ParseAxisTarget(const std::string& text, const AxisTargetLimits& limits) const;

  // The decimal-separator steps every float conversion applies first:
  // the first "," becomes ".", a leading "." gets a "0" before it, a trailing one after it.
  static std::string NormaliseSeparator(const std::string& text);
  // Strict conversion of a whole text; nullopt for anything that is not one finite number.
  static std::optional<double> ConvertInvariant(const std::string& text);
  // General floating-point form: "." separator, at most 15 significant digits,
  // exponent form only for very large or very small magnitudes.
  static std::string FloatToText(double value);

 private:
  std::int32_t ToInt32(double value, const std::string& text) const;
  ProgramLog& log_;
  Host* host_;
};

}  // namespace corvane
