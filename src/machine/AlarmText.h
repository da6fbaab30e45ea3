#pragma once
#include <cstdint>
#include <string>

namespace corvane {

// The text the status panel shows for `StatusCode`: the table's text (25
// characters, blank-padded, so the panel's line keeps its length), an unknown
// code as its bare decimal number, and every alarm as the RS485 error while
// the plasma interface is enabled but does not answer (status-word bit 9
// clear). With the interface off the bit is always clear and says nothing, so
// an E-stop must still read as one. Code 0 is "".
std::string AlarmText(int code, std::uint32_t statusWord, bool interfaceEnabled = true);

}  // namespace corvane
