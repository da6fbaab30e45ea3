#include "store/FieldRanges.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/NumberParser.h"
#include "store/FieldStore.h"
#include "store/SettingsFile.h"

namespace corvane {
namespace {

constexpr double kMmPerInch = 25.4;

// Speeds in mm/min, lengths in mm.
constexpr double kSpeedMin = 1;
constexpr double kSpeedMax = 100000;
constexpr double kRampMin = 1;
constexpr double kRampMax = 1000;
constexpr double kTravel = 100000;      // 100 m either way: positions and limits
constexpr double kHeightMax = 1000;     // heights above the material, depths
constexpr double kCorrection = 100;     // sensor corrections either way
constexpr double kOffset = 10000;       // tool offsets either way
constexpr double kMillisMax = 600000;   // ten minutes
constexpr double kCountMax = 2147483647;

constexpr FieldRange R(std::string_view name, double min, double max, double percentMin = 0,
                       double percentMax = 0) {
  return {name, min, max, percentMin, percentMax};
}

constexpr FieldRange kMainRanges[] = {
    R("xFeed", kSpeedMin, kSpeedMax),
    R("eTime", 0, kMillisMax),
    R("eVoltage", 0, 1000),  // 0: automatic THC
    R("xPierceH", 0, kHeightMax),
    R("xCutH", 0, kHeightMax),
    R("xFloatH", 0, kHeightMax),
    R("xFeed2", kSpeedMin, kSpeedMax, 1, 1000),  // or a percentage of the cutting speed
    R("ePreHeatTime", 0, 3600),
    R("xPreHeatHeight", 0, kHeightMax),
    R("xrB", 0.1, kOffset),
    R("xrH", 0.1, kOffset),
    R("xrR", 0, kOffset),
    R("xrD", 0.1, kOffset),
    R("eMarkerTime", 0, kMillisMax),
    R("xMarkerSpeed", kSpeedMin, kSpeedMax),
    R("xDepth", 0, kHeightMax),
    R("xDepthP", 0, kHeightMax),
    R("xX", -kTravel, kTravel),
    R("xY", -kTravel, kTravel),
    R("xZ", -kTravel, kTravel),
    R("xXM", -kTravel, kTravel),
    R("xYM", -kTravel, kTravel),
    R("xZM", -kTravel, kTravel),
    R("xJogDist", -kTravel, kTravel),
};

constexpr FieldRange kConfigurationRanges[] = {
    R("eVcal", 1, 1000),
    R("eVmin", 0, 1000),
    R("eVmax", 0, 1000),
    R("eTHCspeed", 0, 100, 0, 1000),  // or a percentage of the cutting speed / 50
    R("eAcal", 1, 1000),
    R("xTransferH", 0, kHeightMax),
    R("xMoveX", 0.1, 1000),
    R("xMoveY", 0.1, 1000),
    R("xMoveZ", 0.1, 1000),
    R("eGearA", 0.01, 10000),
    R("xFeedMaxZ", kSpeedMin, kSpeedMax),
    R("eAccZ", kRampMin, kRampMax),
    R("xFeedhZ", kSpeedMin, kSpeedMax),
    R("xFeedMinZ", kSpeedMin, kSpeedMax),
    R("xFeedMaxXY", kSpeedMin, kSpeedMax),
    R("xFeedhXY", kSpeedMin, kSpeedMax),
    R("xFeedMinXY", kSpeedMin, kSpeedMax),
    R("eAccXY", kRampMin, kRampMax),
    R("eAccA", kRampMin, kRampMax),
    R("xFeedMinA", kSpeedMin, kSpeedMax),
    R("xFeedhA", kSpeedMin, kSpeedMax),
    R("xFeedMaxA", kSpeedMin, kSpeedMax),
    R("xLimitX", -kTravel, kTravel),
    R("xLimitY", -kTravel, kTravel),
    R("xLimitZ", -kTravel, kTravel),
    R("xHomingX", kSpeedMin, kSpeedMax),
    R("xHomingY", kSpeedMin, kSpeedMax),
    R("xHomingZ", kSpeedMin, kSpeedMax),
    R("xHomingA", kSpeedMin, kSpeedMax),
    R("eAoffset", -kTravel, kTravel),
    R("xCor2", -kCorrection, kCorrection),
    R("xDetectionH", 0, kHeightMax),
    R("xDetectionS", kSpeedMin, kSpeedMax),
    R("xCor1", -kCorrection, kCorrection),
    R("xSmall", 0, kTravel),
    R("eSpec1", 0, kMillisMax),
    R("eSpec1a", 0, kMillisMax),
    R("eSpec2", 0, 180),
    R("eSpec3", 0, kTravel),
    R("eSpec4", 0, kCountMax),
    R("eSpec6", 0, 35791394),  // minutes whose seconds still count
    R("xSpec8", -kOffset, kOffset),
    R("xSpec9", -kOffset, kOffset),
    R("xSpec10", -kTravel, kTravel),
    R("xSpec11", -kOffset, kOffset),
    R("xSpec12", -kOffset, kOffset),
    R("xSpec13", 0, kHeightMax),
    R("xBacklash", -kHeightMax, kHeightMax),
    R("eSpec12", 0, kMillisMax),
};

bool IsLength(std::string_view name) { return !name.empty() && name.front() == 'x'; }

// The number a text holds, read as the parsers read it; "%" marks a percentage.
std::optional<double> NumberOf(std::string text, bool& percent) {
  percent = false;
  if (const auto at = text.find('%'); at != std::string::npos && at + 1 == text.size()) {
    percent = true;
    text.pop_back();
  }
  return NumberParser::ConvertInvariant(NumberParser::NormaliseSeparator(text));
}

std::string Bound(double stored, bool inches) {
  return NumberParser::FloatToText(inches ? std::round(stored / kMmPerInch * 1e6) / 1e6 : stored);
}

}  // namespace

std::span<const FieldRange> FieldRangesOf(Window window) {
  switch (window) {
    case Window::Main: return kMainRanges;
    case Window::Configuration: return kConfigurationRanges;
    case Window::Import:
    case Window::Analysis: break;
  }
  return {};
}

const FieldRange* FindFieldRange(Window window, std::string_view name) {
  const std::string folded = FoldCase(name);
  for (const FieldRange& range : FieldRangesOf(window))
    if (FoldCase(range.name) == folded) return &range;
  return nullptr;
}

RangeVerdict CheckFieldRange(const FieldRange& range, const std::string& text, bool shownInInches) {
  bool percent = false;
  const auto number = NumberOf(text, percent);
  if (!number || (percent && range.percentMax == 0)) return RangeVerdict::NotANumber;
  if (percent)
    return *number >= range.percentMin && *number <= range.percentMax ? RangeVerdict::Fits
                                                                      : RangeVerdict::OutOfRange;
  // Judged as the settings file will hold it: millimetres with 4 decimals.
  const double stored = shownInInches && IsLength(range.name)
                            ? RoundHalfEven(*number * kMmPerInch, 4)
                            : *number;
  return stored >= range.min && stored <= range.max ? RangeVerdict::Fits
                                                    : RangeVerdict::OutOfRange;
}

std::string RangeRefusal(Window window, std::string_view name, const std::string& text,
                         bool shownInInches) {
  const FieldRange* range = FindFieldRange(window, name);
  if (!range) return {};
  const RangeVerdict verdict = CheckFieldRange(*range, text, shownInInches);
  if (verdict == RangeVerdict::Fits) return {};
  const bool inches = shownInInches && IsLength(range->name);
  std::string bounds = Bound(range->min, inches) + " .. " + Bound(range->max, inches);
  if (range->percentMax > 0)
    bounds += " ( or " + Bound(range->percentMin, false) + "% .. " +
              Bound(range->percentMax, false) + "% )";
  const std::string quoted = "\"" + text + "\"";
  if (verdict == RangeVerdict::NotANumber) return quoted + " is not a number ( " + bounds + " )";
  return quoted + " is outside " + bounds;
}

}  // namespace corvane
