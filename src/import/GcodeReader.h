#pragma once
#include <string_view>

#include "import/ImportOptions.h"
#include "import/ImportPaths.h"

namespace corvane {

class NumberParser;
class ProgramLog;

// Layers of a G-code path: opened by M3, M03 or M07, or by the operator's MCodeOn.
inline constexpr std::int64_t kLayerGcodeTorch = 1;
inline constexpr std::int64_t kLayerGcodeOwnCode = 2;

// Reads a flat plasma G-code program into the import path list (emptied first):
// every stretch between a torch-on and a torch-off code becomes one path.
// Coordinates are multiplied by the G-code scale field (eScaleTAP), so that its
// default "1" leaves them as the file gives them. An arc before the first
// torch-on only moves the current position. Always returns true: the caller
// treats an empty list as a failed load.
bool ReadGcode(std::string_view text, const ImportOptions& options, const NumberParser& parser,
               ProgramLog& log, TPaths& paths);

}  // namespace corvane
