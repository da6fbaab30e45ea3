#include "machine/InputFilters.h"

#include <algorithm>
#include <iterator>

namespace corvane {
namespace {

constexpr char kBackspace = '\b';

constexpr std::string_view kDigitFields[] = {
    "eVcal",      "eVmin",     "eVmax",      "eAcal",     "eAccXY",    "eAccZ",
    "eAccA",      "xFeedMaxXY", "xFeedhXY",  "xFeedMinXY", "xFeedMaxZ", "xFeedhZ",
    "xFeedMinZ",  "xFeedMaxA", "xFeedhA",    "xFeedMinA", "xDetectionS",
    // Times, counts and angles: whole numbers.
    "eSpec1",     "eSpec1a",   "eSpec2",     "eSpec4",    "eSpec6",    "eSpec12"};
constexpr std::string_view kDecimalFields[] = {
    "xTransferH", "xMoveX", "xMoveY",      "xMoveZ", "eGearA", "xLimitX",   "xLimitY",
    "xLimitZ",    "xCor1",  "xCor2", "xDetectionH", "xSmall", "xBacklash",
    // Offsets may point either way.
    "xSpec8",     "xSpec9", "xSpec10", "xSpec11", "xSpec12"};
// Homing speeds, a distance and a height: fractions in inches, never negative.
constexpr std::string_view kUnsignedFields[] = {"xHomingX", "xHomingY", "xHomingZ",
                                                "xHomingA", "eSpec3",   "xSpec13"};

constexpr std::string_view kMainDigitFields[] = {"eTime", "eVoltage", "ePreHeatTime",
                                                 "eMarkerTime", "Edit1"};
constexpr std::string_view kMainUnsignedFields[] = {"xPierceH", "xCutH",   "xPreHeatHeight",
                                                    "xDepth",   "xDepthP", "xFeed",
                                                    "xFloatH",  "xMarkerSpeed"};
constexpr std::string_view kMainSignedFields[] = {"xX",  "xY",  "xZ",  "xJogDist",
                                                  "xXM", "xYM", "xZM"};
constexpr std::string_view kMainSizeFields[] = {"xrB", "xrH", "xrR", "xrD"};

bool Listed(std::string_view field, const auto& names) {
  return std::find(std::begin(names), std::end(names), field) != std::end(names);
}

}  // namespace

KeyFilter ConfigurationKeyFilter(std::string_view field) {
  if (Listed(field, kDigitFields)) return KeyFilter::Digits;
  if (Listed(field, kDecimalFields)) return KeyFilter::Decimal;
  if (Listed(field, kUnsignedFields)) return KeyFilter::Unsigned;
  if (field == "eTHCspeed") return KeyFilter::DigitsPercent;
  if (field == "eAoffset") return KeyFilter::DigitsMinus;
  return KeyFilter::Any;
}

KeyFilter MainKeyFilter(std::string_view field) {
  if (Listed(field, kMainDigitFields)) return KeyFilter::Digits;
  if (Listed(field, kMainUnsignedFields)) return KeyFilter::Unsigned;
  if (Listed(field, kMainSignedFields)) return KeyFilter::Decimal;
  if (Listed(field, kMainSizeFields)) return KeyFilter::Size;
  if (field == "xFeed2") return KeyFilter::UnsignedPercent;
  return KeyFilter::Any;
}

std::optional<char> FilterKey(KeyFilter filter, char typed, bool busy) {
  if (busy) return std::nullopt;
  if (filter == KeyFilter::Any) return typed;
  if ((typed >= '0' && typed <= '9') || typed == kBackspace) return typed;
  switch (filter) {
    case KeyFilter::DigitsPercent:
      if (typed == '%') return typed;
      break;
    case KeyFilter::DigitsMinus:
      if (typed == '-') return typed;
      break;
    case KeyFilter::Decimal:
      if (typed == '-' || typed == '.') return typed;
      if (typed == ',') return '.';
      break;
    case KeyFilter::UnsignedPercent:
      if (typed == '%') return typed;
      [[fallthrough]];
    case KeyFilter::Unsigned:
      if (typed == '.') return typed;
      if (typed == ',') return '.';
      break;
    case KeyFilter::Size:
      if (typed == '.' || typed == '\n') return typed;
      if (typed == ',') return '.';
      break;
    default:
      break;
  }
  return std::nullopt;
}

std::string FilterText(KeyFilter filter, std::string_view text) {
  std::string kept;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 128) {
      if (filter == KeyFilter::Any) kept += c;
      continue;
    }
    if (c == kBackspace || c == '\n' || c == '\r') continue;
    if (const auto out = FilterKey(filter, c, false)) kept += *out;
  }
  return kept;
}

}  // namespace corvane
