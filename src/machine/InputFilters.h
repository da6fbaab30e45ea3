#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Which typed characters a configuration field accepts.
enum class KeyFilter {
  Any,           // no filter
  Digits,        // digits and backspace
  DigitsPercent, // digits, "%" and backspace
  DigitsMinus,   // digits, "-" and backspace
  Decimal,       // digits, "-", "." and backspace; "," becomes "."
  Unsigned,         // digits, "." and backspace; "," becomes "."
  UnsignedPercent,  // digits, ".", "%" and backspace; "," becomes "."
  Size,             // digits, ".", backspace and line feed; "," becomes "."
};

// The filter of a configuration window field, by its name.
KeyFilter ConfigurationKeyFilter(std::string_view field);

// The filter of a main window field, by its name.
KeyFilter MainKeyFilter(std::string_view field);

// The character a typed one becomes in a field with `filter`, or nothing when
// the field discards it; every character is discarded while the machine is busy.
std::optional<char> FilterKey(KeyFilter filter, char typed, bool busy);

// What a field with `filter` keeps of pasted or dropped text: each character
// as if it were typed (a "," becomes "." where typing does that), without the
// editing keys (backspace, line feed) and anything outside ASCII.
std::string FilterText(KeyFilter filter, std::string_view text);

}  // namespace corvane
