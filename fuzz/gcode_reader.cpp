#include "FuzzSupport.h"
#include "import/GcodeReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static corvane::fuzz::ReaderContext context;
  corvane::TPaths paths;
  corvane::ReadGcode(corvane::fuzz::TextFrom(data, size), corvane::fuzz::OptionsFrom(data, size),
                     context.parser, context.log, paths);
  return 0;
}
