#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Text files are Windows-1250 with CR LF on disk and UTF-8 inside the program.
// Conversion happens only at the file boundary, through these functions.
std::string Cp1250ToUtf8(std::string_view bytes);
// Characters without a Windows-1250 form become "?".
std::string Utf8ToCp1250(std::string_view text);

// Splits file text into lines; accepts CR LF, LF and a last line without end.
std::vector<std::string> SplitLines(std::string_view text);
// Joins lines, each ended by CR LF.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace corvane
