#pragma once
#include <string>
#include <string_view>

#include "import/DrawingFile.h"

namespace corvane {

// What one file gave: the load with its report, and the numbers of its paths.
struct FileReading {
  std::string file;
  DrawingFormat format = DrawingFormat::Unknown;
  DrawingLoad load;
  std::size_t paths = 0;
  std::size_t vertices = 0;
  ImportExtents extents;
  double milliseconds = 0;
};

std::string FormatName(DrawingFormat format);

// The report block of `corvane-cli read --report`: a heading line, then one
// indented line per field. Lengths in 0.01 mm.
std::string ReportText(const FileReading& reading);

// The same as one JSON object on one line, with the summary numbers beside it.
std::string ReportJson(const FileReading& reading);

// A JSON string literal: quotes, backslashes and control characters escaped,
// and bytes that are not UTF-8 (drawings carry 8-bit code pages) as U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace corvane
