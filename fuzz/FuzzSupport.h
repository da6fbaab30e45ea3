#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/ImportOptions.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/ProgramLog.h"

namespace corvane::fuzz {

// A log that writes nowhere and a parser over it, shared by the fuzz targets.
struct ReaderContext {
  FakeClock clock;
  ProgramLog log{clock, nullptr};
  NumberParser parser{log, nullptr};
};

// The first byte picks the import options, so every option path gets fuzzed.
inline ImportOptions OptionsFrom(const std::uint8_t* data, std::size_t size) {
  ImportOptions options;
  if (size == 0) return options;
  const std::uint8_t bits = data[0];
  options.fastCalc = bits & 1;
  options.forceMM = bits & 2;
  options.forceInch = bits & 4;
  options.closeDxf = (bits & 8) ? 1 : 0;
  if (bits & 16) options.mCodeOn = "M101";
  if (bits & 16) options.mCodeOff = "M102";
  options.scaleDXF = options.scaleHPGL = options.scaleTAP = (bits & 32) ? 1000.0 : 1.0;
  return options;
}

inline std::string_view TextFrom(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  return {reinterpret_cast<const char*>(data) + 1, size - 1};
}

}  // namespace corvane::fuzz
