// Hostile preset files: any bytes set at most the seven cutting parameters.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzStoreSupport.h"
#include "store/Presets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvane::fuzz::StoreReaderKit kit;
  kit.parser.imperial = size > 0 && (data[0] & 1);
  corvane::ApplyPreset(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz",
                       kit.fields, kit.parser, kit.log);
  return 0;
}
