#include "machine/InputFilters.h"

#include <algorithm>
#include <iterator>

namespace corvane {
namespace {

constexpr char kBackspace = '\b';

constexpr std::string_view kDigitFields[] = {
    "eVcal",      "eVmin",     "eVmax",      "eAcal",     "eAccXY",    "eAccZ",
    "eAccA",      "xFeedMaxXY", "xFeedhXY",  "xFeedMinXY", "xFeedMaxZ", "xFeedhZ",
    "xFeedMinZ",  "xFeedMaxA", "xFeedhA",    "xFeedMinA", "xDetectionS"};
constexpr std::string_view kDecimalFields[] = {
    "xTransferH", "xMoveX", "xMoveY",      "xMoveZ", "eGearA", "xLimitX",   "xLimitY",
    "xLimitZ",    "xCor1",  "xCor2", "xDetectionH", "xSmall", "xBacklash"};

bool Listed(std::string_view field, const auto& names) {
  return std::find(std::begin(names), std::end(names), field) != std::end(names);
}

}  // namespace

KeyFilter ConfigurationKeyFilter(std::string_view field) {
  if (Listed(field, kDigitFields)) return KeyFilter::Digits;
  if (Listed(field, kDecimalFields)) return KeyFilter::Decimal;
  if (field == "eTHCspeed") return KeyFilter::DigitsPercent;
  if (field == "eAoffset") return KeyFilter::DigitsMinus;
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
    default:
      break;
  }
  return std::nullopt;
}

}  // namespace corvane
