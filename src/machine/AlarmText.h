#pragma once
#include <cstdint>
#include <string>

namespace corvane {

// The text the status panel shows for `StatusCode`: the table's text (25
// characters, blank-padded, so the panel's line keeps its length), an unknown
// code as its bare decimal number, and every alarm as the RS485 error while
// the plasma interface does not answer (status-word bit 9 clear). Code 0 is "".
std::string AlarmText(int code, std::uint32_t statusWord);

}  // namespace corvane
